#include "simulator.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <unistd.h>

#include "line_timing.h"
#include "request_framer.h"
#include "request_parser.h"

namespace pmv::sim {

Simulator::Simulator(SimOptions options) : options_(std::move(options)), lateDraw_(options_.lateAnswers) {}

Simulator::~Simulator()
{
    Stop();
}

bool Simulator::Start(std::string* error)
{
    const std::lock_guard life(lifecycle_);
    if (thread_.joinable()) {
        if (error)
            *error = "already running";
        return false;
    }
    if (!pty_.Open(options_.linkPath, error))
        return false;
    if (pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
        if (error)
            *error = "pipe failed";
        pty_.Close();
        return false;
    }
    {
        const std::lock_guard lock(mutex_);
        ptyPath_ = pty_.SlavePath();
    }
    thread_ = std::thread(&Simulator::Serve, this);
    return true;
}

void Simulator::Stop()
{
    const std::lock_guard life(lifecycle_);
    if (!thread_.joinable())
        return;
    while (write(wake_[1], "x", 1) < 0 && errno == EINTR) {
    }
    thread_.join();
    close(wake_[0]);
    close(wake_[1]);
    wake_[0] = wake_[1] = -1;
    pty_.Close();
    const std::lock_guard lock(mutex_);
    ptyPath_.clear();
}

std::string Simulator::DevicePath() const
{
    const std::lock_guard lock(mutex_);
    return options_.linkPath.empty() ? ptyPath_ : options_.linkPath;
}

std::string Simulator::PtyPath() const
{
    const std::lock_guard lock(mutex_);
    return ptyPath_;
}

void Simulator::Serve()
{
    // The default timer slack lets a sleep end some 50 us late, a third of a byte time at
    // 57600 baud.
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
    RequestFramer framer(options_.lenient);
    const LineWriter writer(pty_.Master(), pty_.Slave(), wake_[0]);
    std::vector<HeldAnswer> held;
    char buffer[512];
    for (;;) {
        while (!held.empty() && held.front().start <= Clock::now()) {
            const HeldAnswer due = std::move(held.front());
            held.erase(held.begin());
            if (!writer.Send(due.bytes, due.start, due.baud))
                return;
        }
        int timeout = -1;
        if (!held.empty()) {
            const auto wait = std::chrono::ceil<std::chrono::milliseconds>(held.front().start - Clock::now());
            timeout = static_cast<int>(std::max<int64_t>(wait.count(), 0));
        }
        pollfd fds[2] = {{pty_.Master(), POLLIN, 0}, {wake_[0], POLLIN, 0}};
        const int ready = poll(fds, 2, timeout);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            return;
        }
        if (fds[1].revents != 0)
            return;
        if (ready == 0)
            continue;
        const ssize_t n = read(pty_.Master(), buffer, sizeof buffer);
        if (n < 0 && (errno == EAGAIN || errno == EINTR))
            continue;
        if (n <= 0)
            return;
        for (const Frame& frame : framer.Feed({buffer, static_cast<size_t>(n)}, Clock::now())) {
            if (!Handle(frame, writer, held))
                return;
        }
    }
}

bool Simulator::Handle(const Frame& frame, const LineWriter& writer, std::vector<HeldAnswer>& held)
{
    Request request;
    Delivery delivery;
    uint32_t baud = 0;
    uint32_t turnaroundMs = 0;
    bool restarted = false;
    {
        const std::lock_guard lock(mutex_);
        ParsedRequest parsed = ParseRequest(frame.line, options_.address, options_.lenient);
        if (options_.anyAddress && parsed.verdict == Verdict::ForeignAddress)
            parsed = ParseRequest(frame.line, parsed.request.address, options_.lenient);
        const bool heard = (!options_.onlyAtBaud || pty_.LineBaud() == options_.baud) && frame.end >= silentUntil_;
        const int restartsBefore = instrument_.Restarts();
        if (heard && parsed.verdict != Verdict::ForeignAddress) {
            const auto fault = faults_.TakeDeliveryFault(parsed.request);
            const bool refused = fault && fault->kind == Fault::Kind::Status;
            delivery = Deliver(fault, refused ? std::string() : instrument_.Respond(parsed, faults_));
            if (!fault)
                lateDraw_.Apply(delivery);
        }
        restarted = instrument_.Restarts() != restartsBefore;
        request = std::move(parsed.request);
        request.answered = !delivery.bytes.empty();
        request.answer = delivery.bytes;
        request.wireBytes = frame.wireBytes;
        if (transcript_.size() == kTranscriptLimit)
            transcript_.pop_front();
        transcript_.push_back(request);
        baud = options_.baud;
        turnaroundMs = options_.turnaroundMs;
    }
    bool running = true;
    if (!delivery.bytes.empty()) {
        const auto requestEnd = std::max(frame.end, frame.start + WireTime(frame.wireBytes, baud));
        const auto start = requestEnd + std::chrono::milliseconds(turnaroundMs) + std::chrono::milliseconds(delivery.delayMs);
        if (delivery.apart) {
            const HeldAnswer answer{start, std::move(delivery.bytes), baud};
            held.insert(std::upper_bound(held.begin(), held.end(), answer,
                                         [](const HeldAnswer& a, const HeldAnswer& b) { return a.start < b.start; }),
                        answer);
        } else {
            running = writer.Send(delivery.bytes, start, baud);
        }
        if (restarted) {
            const std::lock_guard lock(mutex_);
            silentUntil_ = start + WireTime(delivery.bytes.size(), baud) + std::chrono::milliseconds(options_.rebootMs);
        }
    }
    if (options_.onRequest)
        options_.onRequest(request);
    return running;
}

uint32_t Simulator::Register(int bank, int memType, int reg) const
{
    const std::lock_guard lock(mutex_);
    return instrument_.Memory().Get(bank, memType, reg);
}

void Simulator::SetRegister(int bank, int memType, int reg, uint32_t value)
{
    const std::lock_guard lock(mutex_);
    instrument_.Memory().Set(bank, memType, reg, value);
}

float Simulator::FloatRegister(int bank, int reg) const
{
    return std::bit_cast<float>(Register(bank, 3, reg));
}

void Simulator::SetFloatRegister(int bank, int reg, float value)
{
    SetRegister(bank, 3, reg, std::bit_cast<uint32_t>(value));
}

void Simulator::SetLiveBlock(const LiveBlock& block)
{
    const std::lock_guard lock(mutex_);
    instrument_.Blocks().FixLive(block);
}

void Simulator::ReleaseLiveBlock()
{
    const std::lock_guard lock(mutex_);
    instrument_.Blocks().ReleaseLive();
}

void Simulator::SetMeasurementBlock(int channel, const MeasurementBlock& block)
{
    const std::lock_guard lock(mutex_);
    if (channel == 0 || channel == 1)
        instrument_.Blocks().SetMeasurement(channel, block);
}

void Simulator::ReleaseMeasurementBlock(int channel)
{
    const std::lock_guard lock(mutex_);
    if (channel == 0 || channel == 1)
        instrument_.Blocks().ReleaseMeasurement(channel);
}

void Simulator::ConnectSource(int channel, const Source& source)
{
    const std::lock_guard lock(mutex_);
    if (channel == 0 || channel == 1)
        instrument_.Blocks().Inputs().Connect(channel, source);
}

Source Simulator::ConnectedSource(int channel) const
{
    const std::lock_guard lock(mutex_);
    return channel == 0 || channel == 1 ? instrument_.Blocks().Inputs().Connected(channel) : Source{};
}

void Simulator::SetTrueCoefficients(int channel, const TrueCoefficients& coefficients)
{
    const std::lock_guard lock(mutex_);
    if (channel == 0 || channel == 1)
        instrument_.Blocks().Inputs().SetTrue(channel, coefficients);
}

TrueCoefficients Simulator::TrueCoefficientsOf(int channel) const
{
    const std::lock_guard lock(mutex_);
    return channel == 0 || channel == 1 ? instrument_.Blocks().Inputs().True(channel) : TrueCoefficients{};
}

void Simulator::InjectFault(const Fault& fault)
{
    const std::lock_guard lock(mutex_);
    faults_.Add(fault);
}

void Simulator::ClearFaults()
{
    const std::lock_guard lock(mutex_);
    faults_.Clear();
}

std::vector<Request> Simulator::Transcript() const
{
    const std::lock_guard lock(mutex_);
    return {transcript_.begin(), transcript_.end()};
}

void Simulator::ClearTranscript()
{
    const std::lock_guard lock(mutex_);
    transcript_.clear();
}

void Simulator::ChangeOnRestart(int bank, int memType, int reg, uint32_t value)
{
    const std::lock_guard lock(mutex_);
    Request cell;
    cell.bank = bank, cell.memType = memType, cell.reg = reg;
    instrument_.ChangeOnRestart(cell, value);
}

int Simulator::RestartCount() const
{
    const std::lock_guard lock(mutex_);
    return instrument_.Restarts();
}

int Simulator::FactoryResetCount() const
{
    const std::lock_guard lock(mutex_);
    return instrument_.FactoryResets();
}

void Simulator::ResetToFactory()
{
    const std::lock_guard lock(mutex_);
    instrument_.Memory().LoadFactoryParameters();
}

void Simulator::SetBaud(uint32_t baud)
{
    const std::lock_guard lock(mutex_);
    options_.baud = baud;
}

void Simulator::SetLateAnswers(const LateAnswers& late)
{
    const std::lock_guard lock(mutex_);
    options_.lateAnswers = late;
    lateDraw_ = LateAnswerDraw(late);
}

void Simulator::SetReboot(uint32_t ms)
{
    const std::lock_guard lock(mutex_);
    options_.rebootMs = ms;
}

void Simulator::SetTurnaround(uint32_t ms)
{
    const std::lock_guard lock(mutex_);
    options_.turnaroundMs = ms;
}

}  // namespace pmv::sim
