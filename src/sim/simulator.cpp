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

namespace {

// What the line carries when two answers start together: each byte of one meets the other's
// bits a bit time apart and the receiver reads neither. The CR both end with still ends a line.
std::string Collided(const std::string& a, const std::string& b)
{
    std::string line(std::max(a.size(), b.size()), '\xFF');
    for (size_t i = 0; i < line.size(); ++i) {
        const auto first = static_cast<uint8_t>(i < a.size() ? a[i] : '\xFF');
        const auto second = static_cast<uint8_t>(i < b.size() ? b[i] : '\xFF');
        line[i] = static_cast<char>(first & static_cast<uint8_t>((second << 1) | 1u));
    }
    std::replace(line.begin(), line.end(), '\r', '\x0C');
    if (!a.empty() && a.back() == '\r')
        line.back() = '\r';
    return line;
}

}  // namespace

Simulator::Simulator(SimOptions options) : options_(std::move(options)), lateDraw_(options_.lateAnswers)
{
    if (options_.addresses.empty()) {
        stations_.push_back({options_.address});
        return;
    }
    // Each instrument of a cabinet tells itself apart by its serial number; the device type
    // alternates so that the instruments differ in what they show too.
    for (const uint32_t address : options_.addresses) {
        Station& station = stations_.emplace_back(Station{address});
        const uint32_t serial = 1234 + static_cast<uint32_t>(stations_.size() - 1);
        RegisterMemory& memory = station.instrument.Memory();
        memory.Set(2, 1, 11, serial % 256);
        memory.Set(2, 1, 12, serial / 256);
        memory.Set(2, 1, 3, stations_.size() % 2 == 1 ? 1 : 0);
    }
}

Simulator::~Simulator() { Stop(); }

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
        const uint32_t first = stations_.front().address;
        ParsedRequest parsed = ParseRequest(frame.line, first, options_.lenient);
        const bool foreign = parsed.verdict == Verdict::ForeignAddress;
        // Each instrument parses the request in its own name; one whose address could not be read
        // is answered by the first alone.
        if (foreign && (options_.anyAddress || stations_.size() > 1))
            parsed = ParseRequest(frame.line, parsed.request.address, options_.lenient);
        std::vector<Station*> addressed;
        if (parsed.verdict != Verdict::ForeignAddress) {
            for (Station& station : stations_)
                if (options_.anyAddress ? &station == &stations_.front()
                                        : station.address == (foreign ? parsed.request.address : first))
                    addressed.push_back(&station);
        }
        const bool heard = (!options_.onlyAtBaud || pty_.LineBaud() == options_.baud) && frame.end >= silentUntil_;
        int restartsBefore = 0;
        for (const Station* station : addressed)
            restartsBefore += station->instrument.Restarts();
        std::erase_if(addressed, [](const Station* station) { return station->silent; });
        if (heard && !addressed.empty()) {
            const auto fault = faults_.TakeDeliveryFault(parsed.request);
            const bool refused = fault && fault->kind == Fault::Kind::Status;
            std::string answer;
            if (!refused) {
                answer = addressed.front()->instrument.Respond(parsed, faults_);
                for (size_t i = 1; i < addressed.size(); ++i)
                    answer = Collided(answer, addressed[i]->instrument.Respond(parsed, faults_));
            }
            delivery = Deliver(fault, answer);
            if (!fault)
                lateDraw_.Apply(delivery);
        }
        int restartsAfter = 0;
        for (const Station* station : addressed)
            restartsAfter += station->instrument.Restarts();
        restarted = restartsAfter != restartsBefore;
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
        const auto start =
            requestEnd + std::chrono::milliseconds(turnaroundMs) + std::chrono::milliseconds(delivery.delayMs);
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

Simulator::Station* Simulator::StationAt(uint32_t address)
{
    const auto at =
        std::find_if(stations_.begin(), stations_.end(), [&](const Station& s) { return s.address == address; });
    return at == stations_.end() ? nullptr : &*at;
}

const Simulator::Station* Simulator::StationAt(uint32_t address) const
{
    const auto at =
        std::find_if(stations_.begin(), stations_.end(), [&](const Station& s) { return s.address == address; });
    return at == stations_.end() ? nullptr : &*at;
}

std::vector<uint32_t> Simulator::Addresses() const
{
    const std::lock_guard lock(mutex_);
    std::vector<uint32_t> addresses;
    for (const Station& station : stations_)
        addresses.push_back(station.address);
    return addresses;
}

uint32_t Simulator::RegisterAt(uint32_t address, int bank, int memType, int reg) const
{
    const std::lock_guard lock(mutex_);
    const Station* station = StationAt(address);
    return station ? station->instrument.Memory().Get(bank, memType, reg) : 0;
}

void Simulator::SetRegisterAt(uint32_t address, int bank, int memType, int reg, uint32_t value)
{
    const std::lock_guard lock(mutex_);
    if (Station* station = StationAt(address))
        station->instrument.Memory().Set(bank, memType, reg, value);
}

int Simulator::RestartCountAt(uint32_t address) const
{
    const std::lock_guard lock(mutex_);
    const Station* station = StationAt(address);
    return station ? station->instrument.Restarts() : 0;
}

void Simulator::SetSilent(uint32_t address, bool silent)
{
    const std::lock_guard lock(mutex_);
    for (Station& station : stations_)
        if (station.address == address)
            station.silent = silent;
}

uint32_t Simulator::Register(int bank, int memType, int reg) const
{
    const std::lock_guard lock(mutex_);
    return stations_.front().instrument.Memory().Get(bank, memType, reg);
}

void Simulator::SetRegister(int bank, int memType, int reg, uint32_t value)
{
    const std::lock_guard lock(mutex_);
    stations_.front().instrument.Memory().Set(bank, memType, reg, value);
}

float Simulator::FloatRegister(int bank, int reg) const { return std::bit_cast<float>(Register(bank, 3, reg)); }

void Simulator::SetFloatRegister(int bank, int reg, float value)
{
    SetRegister(bank, 3, reg, std::bit_cast<uint32_t>(value));
}

void Simulator::SetLiveBlock(const LiveBlock& block)
{
    const std::lock_guard lock(mutex_);
    stations_.front().instrument.Blocks().FixLive(block);
}

void Simulator::ReleaseLiveBlock()
{
    const std::lock_guard lock(mutex_);
    stations_.front().instrument.Blocks().ReleaseLive();
}

void Simulator::SetMeasurementBlock(int channel, const MeasurementBlock& block)
{
    const std::lock_guard lock(mutex_);
    if (channel == 0 || channel == 1)
        stations_.front().instrument.Blocks().SetMeasurement(channel, block);
}

void Simulator::ReleaseMeasurementBlock(int channel)
{
    const std::lock_guard lock(mutex_);
    if (channel == 0 || channel == 1)
        stations_.front().instrument.Blocks().ReleaseMeasurement(channel);
}

void Simulator::ConnectSource(int channel, const Source& source)
{
    const std::lock_guard lock(mutex_);
    if (channel == 0 || channel == 1)
        stations_.front().instrument.Blocks().Inputs().Connect(channel, source);
}

void Simulator::SetTrueCoefficients(int channel, const TrueCoefficients& coefficients)
{
    const std::lock_guard lock(mutex_);
    if (channel == 0 || channel == 1)
        stations_.front().instrument.Blocks().Inputs().SetTrue(channel, coefficients);
}

TrueCoefficients Simulator::TrueCoefficientsOf(int channel) const
{
    const std::lock_guard lock(mutex_);
    return channel == 0 || channel == 1 ? stations_.front().instrument.Blocks().Inputs().True(channel)
                                        : TrueCoefficients{};
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
    stations_.front().instrument.ChangeOnRestart(cell, value);
}

int Simulator::RestartCount() const
{
    const std::lock_guard lock(mutex_);
    return stations_.front().instrument.Restarts();
}

int Simulator::FactoryResetCount() const
{
    const std::lock_guard lock(mutex_);
    return stations_.front().instrument.FactoryResets();
}

void Simulator::ResetToFactory()
{
    const std::lock_guard lock(mutex_);
    stations_.front().instrument.Memory().LoadFactoryParameters();
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
