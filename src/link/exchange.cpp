#include "exchange.h"

#include "crc16.h"
#include "log_file.h"
#include "messages/error_codes.h"

#include <algorithm>
#include <array>
#include <cerrno>
#include <charconv>
#include <chrono>
#include <cstdio>
#include <string_view>

namespace pmv::link {
namespace {

constexpr size_t kCommandStart = 5;  // after the four 0xFF bytes and ':'
// 8N1: a start bit, eight data bits, a stop bit.
constexpr size_t kBitsPerCharacter = 10;
// An answer's bytes besides its data: "!", an address of up to three digits, two ";", a checksum
// of up to five digits and the CR.
constexpr size_t kAnswerFrameBytes = 12;

struct StatusCode {
    std::string_view text;
    ErrorCode code;
};

// Tested in this order against the whole answer.
constexpr std::array<StatusCode, 9> kStatusCodes{{
    {"$0000", kOk},
    {"$0001", kDeviceError},
    {"$0002", kAnswerFormat},
    {"$0003", kParameterNotFound},
    {"$0005", kDeviceError},
    {"$0006", kOperandTooLarge},
    {"$000B", kCannotParse},
    {"$000C", kModuleAddressTooLarge},
    {"$000D", kChecksumMismatch},
}};

}  // namespace

size_t AppendChecksum(std::string& frame)
{
    const std::string_view command =
        frame.size() > kCommandStart ? std::string_view(frame).substr(kCommandStart) : std::string_view();
    const std::string digits = std::to_string(Crc16(command)) + "\r";
    frame += digits;
    return digits.size();
}

std::string Exchange::BuildFrame(const std::string& fields) const
{
    std::string frame(4, '\xFF');
    frame += ':';
    frame += std::to_string(values_.DeviceAddress);
    frame += ';';
    frame += fields;
    AppendChecksum(frame);
    return frame;
}

ErrorCode Exchange::AnswerStatus(const std::string& answer)
{
    if (answer.find('$') == std::string::npos)
        return kOk;
    for (const StatusCode& s : kStatusCodes)
        if (answer.find(s.text) != std::string::npos)
            return s.code;
    return kDeviceError;
}

ErrorCode Exchange::AnswerChecksum(const std::string& answer)
{
    const size_t bang = answer.find('!');
    if (bang == std::string::npos)
        return kOk;
    const size_t lineEnd = std::min(answer.find('\r', bang), answer.size());
    const std::string_view line = std::string_view(answer).substr(bang + 1, lineEnd - bang - 1);
    const size_t last = line.rfind(';');
    if (last == std::string_view::npos)
        return kOk;
    const std::string_view digits = line.substr(last + 1);
    if (digits.empty() || digits.size() > 5 || digits.find_first_not_of("0123456789") != std::string_view::npos)
        return kChecksumMismatch;
    uint32_t sent = 0;
    for (const char c : digits)
        sent = sent * 10 + static_cast<uint32_t>(c - '0');
    return sent == Crc16(line.substr(0, last + 1)) ? kOk : kChecksumMismatch;
}

ErrorCode Exchange::RunExchange(const std::string& fields, const AnswerCheck& check)
{
    const ErrorCode code = Run(fields, AnswerShape{0, false}, check);
    ReportLogFailure();
    return code;
}

ErrorCode Exchange::RunRead(const std::string& fields, AnswerShape shape, const AnswerCheck& check)
{
    const ErrorCode code = Run(fields, shape, check);
    ReportLogFailure();
    return code;
}

namespace {

// The line of the hand-over that dates a restart still pending, in epoch ms.
constexpr std::string_view kRestartHandover = "restart ";

int64_t EpochMs()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::system_clock::now().time_since_epoch())
        .count();
}

}  // namespace

std::string Exchange::OwedHandover() const
{
    const int64_t nowMs = clock_.MonotonicMs();
    const int64_t epochMs = EpochMs();
    std::string text = owedAnswers_.Handover(nowMs, epochMs);
    if (restartedAt_)
        text += std::string(kRestartHandover) + std::to_string(epochMs - (nowMs - *restartedAt_)) + "\n";
    return text;
}

void Exchange::TakeOwedHandover(std::string_view text)
{
    const int64_t nowMs = clock_.MonotonicMs();
    const int64_t epochMs = EpochMs();
    owedAnswers_.TakeHandover(text, nowMs, epochMs);
    // The system clock is the only one two programs share; a restart it dates after now is now.
    for (size_t at = text.find(kRestartHandover); at != std::string_view::npos;
         at = text.find(kRestartHandover, at + 1)) {
        if (at != 0 && text[at - 1] != '\n')
            continue;
        int64_t restartEpochMs = 0;
        const std::string_view digits = text.substr(at + kRestartHandover.size());
        if (std::from_chars(digits.data(), digits.data() + digits.size(), restartEpochMs).ec == std::errc{})
            restartedAt_ = nowMs - std::max<int64_t>(0, epochMs - restartEpochMs);
    }
}

void Exchange::ReportLogFailure()
{
    if (logError_ == 0)
        return;
    const int error = logError_;
    logError_ = 0;
    if (onLogFailure_)
        onLogFailure_(values_.LogFileName, error);
}

ErrorCode Exchange::Run(const std::string& fields, AnswerShape shape, const AnswerCheck& check)
{
    struct Busy {
        bool& flag;
        explicit Busy(bool& f) : flag(f) { flag = true; }
        ~Busy() { flag = false; }
    } busy(inExchange_);
    send_ = BuildFrame(fields);
    // A port that did not open carries nothing: "no answer" at once, not after every time-out.
    if (!line_.IsOpen()) {
        receive_.clear();
        state_.lastError = kNoAnswer;
        return kNoAnswer;
    }
    const uint64_t exchange = ++exchanges_;
    owedAnswers_.Expire(clock_.MonotonicMs());
    owedAnswers_.SetAddress(values_.DeviceAddress);
    const uint32_t byteWriteTimeout = values_.ByteTimeout * static_cast<uint32_t>(send_.size() + 1);
    if (owed_ > 0) {
        AwaitSilence(EffectiveTimeout());
        // Whatever has not come by now was lost; it must not stop the next request's drain.
        owed_ = 0;
    }
    const bool confirmed = shape.digits > 0 && shape.steady;
    if (shape.digits == 0)
        owedAnswers_.WriteSent();
    // Live values change with every read, so a late answer of an earlier read cannot be told
    // from this one's by its text: while one is owed and has not turned up, the read fails at
    // once rather than show values of an earlier moment.
    if (shape.digits > 0 && !shape.steady && owedAnswers_.ForeignUnknown(exchange, shape.digits) > 0) {
        DropInput();
        if (owedAnswers_.ForeignUnknown(exchange, shape.digits) > 0) {
            receive_.clear();
            state_.lastError = kNoAnswer;
            return kNoAnswer;
        }
    }
    // At most every owed answer comes in, and each confirmation needs one more than could be
    // owed: the tries beyond the failures are bounded by the owed answers.
    const auto attemptLimit = values_.RetryCount + 2 * static_cast<uint32_t>(owedAnswers_.Size()) + 1;
    std::vector<std::string> heard;  // the answer texts that passed, in order
    uint32_t failures = 0;
    for (uint32_t attempt = 0; failures < values_.RetryCount && attempt < attemptLimit; ++attempt) {
        if (owed_ > 0)
            AwaitSilence(EffectiveTimeout());
        receive_.clear();
        state_.lastError = kOk;
        DropInput();
        line_.Write(send_.data(), send_.size(), byteWriteTimeout);
        const int64_t sentMs = clock_.MonotonicMs();
        ++owed_;
        state_.lastError = ReceiveAnswer(EffectiveTimeout());
        if (state_.lastError == kOk) {
            --owed_;
            lastAnswerMs_ = state_.waitMs;
            restartedAt_.reset();
        }
        LogExchange();
        if (state_.lastError != kOk) {
            owedAnswers_.Add(sentMs, fields, shape.digits, exchange);
            ++failures;
            if (!line_.IsOpen())
                break;
            continue;
        }
        TakeExtraLines();
        state_.lastError = values_.VerifyAnswers ? AnswerChecksum(receive_) : kOk;
        if (state_.lastError == kOk)
            state_.lastError = check(receive_);
        const std::string text(AnswerText(receive_));
        // On a line of several instruments, the late answer of another one that owes it.
        if (state_.lastError == kOk && owedAnswers_.OwedByAnother(AnswerAddress(text))) {
            owedAnswers_.Arrived(text);
            continue;
        }
        if (state_.lastError != kOk) {
            // It may have been owed for another request; then this one's is owed now.
            if (!owedAnswers_.Empty()) {
                owedAnswers_.Arrived(text);
                owedAnswers_.Add(sentMs, fields, shape.digits, exchange);
            }
            ++failures;
            continue;
        }
        if (!confirmed)
            return kOk;
        heard.push_back(text);
        const auto times = static_cast<uint32_t>(std::count(heard.begin(), heard.end(), text));
        if (times > owedAnswers_.Foreign(exchange, fields, text)) {
            SettleRead(exchange, fields, text, heard);
            return kOk;
        }
    }
    if (state_.lastError == kOk)
        state_.lastError = kNoAnswer;
    if (!line_.IsOpen() && onLineLost_)
        onLineLost_();
    return state_.lastError;
}

void Exchange::SettleRead(uint64_t exchange, const std::string& fields, const std::string& answer,
                          const std::vector<std::string>& heard)
{
    owedAnswers_.Settle(exchange, answer);
    for (const std::string& text : heard) {
        if (text == answer)
            continue;
        owedAnswers_.Arrived(text);
        owedAnswers_.Add(clock_.MonotonicMs(), fields, DataDigits(answer), exchange, answer);
    }
}

ErrorCode Exchange::AwaitReturn(const std::string& probeFields, AnswerShape probe, const AnswerCheck& check,
                                uint32_t limitMs, const ProbePause& pause)
{
    // A restart longer ago than the limit is over: the exchanges that follow find out as usual.
    if (restartedAt_ && clock_.MonotonicMs() - *restartedAt_ >= limitMs)
        restartedAt_.reset();
    if (!restartedAt_)
        return kOk;
    owedAnswers_.SetAddress(values_.DeviceAddress);
    struct Busy {
        bool& flag;
        explicit Busy(bool& f) : flag(f) { flag = true; }
        ~Busy() { flag = false; }
    } busy(inExchange_);
    send_ = BuildFrame(probeFields);
    const uint32_t window = ProbeWindow(probe.digits + kAnswerFrameBytes);
    const uint32_t byteWriteTimeout = values_.ByteTimeout * static_cast<uint32_t>(send_.size() + 1);
    const uint64_t exchange = ++exchanges_;
    // The probes lost while the instrument reboots are never answered; only the last ones, which
    // may have reached it as it woke, can still be.
    constexpr size_t kProbesOwed = 3;
    std::vector<int64_t> unansweredAt;
    bool unanswered = false;
    ErrorCode code = kNoAnswer;
    const auto noteOwed = [&] {
        const size_t first = unansweredAt.size() > kProbesOwed ? unansweredAt.size() - kProbesOwed : 0;
        for (size_t i = first; i < unansweredAt.size(); ++i)
            owedAnswers_.Add(unansweredAt[i], probeFields, probe.digits, exchange);
    };
    for (;;) {
        const auto waited = static_cast<uint32_t>(clock_.MonotonicMs() - *restartedAt_);
        if (waited >= limitMs || !line_.IsOpen())
            break;
        if ((code = pause(waited)) != kOk)
            break;
        receive_.clear();
        DropInput();
        line_.Write(send_.data(), send_.size(), byteWriteTimeout);
        const int64_t sentMs = clock_.MonotonicMs();
        state_.lastError = ReceiveAnswer(window);
        LogExchange();
        if (state_.lastError == kOk && check(receive_) == kOk) {
            // An answer owed from before the restart is not waited for with a whole time-out of
            // silence: the instrument is heard again. It stays owed, so a read it could stand for
            // is still confirmed.
            owed_ = 0;
            restartedAt_.reset();
            lastAnswerMs_ = state_.waitMs;
            noteOwed();
            if (probe.steady)
                owedAnswers_.Settle(exchange, std::string(AnswerText(receive_)));
            if (unanswered)
                AwaitSilence(window);
            return kOk;
        }
        unansweredAt.push_back(sentMs);
        unanswered = true;
        code = kNoAnswer;
    }
    restartedAt_.reset();
    noteOwed();
    if (unanswered)
        owed_ = std::max(owed_, 1u);
    state_.lastError = code;
    return code;
}

uint32_t Exchange::EffectiveTimeout() const
{
    return (values_.AnswerTimeout < kMinAnswerTimeoutMs ? kMinAnswerTimeoutMs : values_.AnswerTimeout) +
           values_.TransitMs;
}

uint32_t Exchange::ProbeWindow(size_t answerBytes) const
{
    // A fresh program knows no answer's wait yet: at 4800 baud the probe and its answer alone
    // take longer than the shortest window, and an answer that comes after its window would
    // stand for the next probe.
    uint32_t shortest = kMinProbeWindowMs;
    if (values_.BaudRate != 0)
        shortest +=
            static_cast<uint32_t>((send_.size() + answerBytes) * kBitsPerCharacter * 1000 / values_.BaudRate) + 1;
    return std::min(std::max(2 * lastAnswerMs_, shortest), EffectiveTimeout());
}

ErrorCode Exchange::ReceiveAnswer(uint32_t limit)
{
    state_.sendTime = clock_.LocalTime();
    const int64_t sent = clock_.MonotonicMs();
    logEntry_.clear();
    const uint32_t readTimeout = values_.ByteTimeout * static_cast<uint32_t>(kReadChunk + 1);
    std::array<char, kReadChunk> chunk{};
    // An answer begun within the limit is awaited to its end while its bytes keep coming: cut off
    // at a probe's short limit, its tail would stand as the next probe's answer.
    const uint32_t gap = values_.ByteTimeout * 4 + values_.TransitMs;
    int64_t lastByte = sent;
    for (;;) {
        // Each read ends by the limit, so that a short limit (a probe's) is kept to the millisecond.
        const int64_t now = clock_.MonotonicMs();
        const auto waited = static_cast<uint32_t>(now - sent);
        uint32_t left = waited <= limit ? limit + 1 - waited : 0;
        if (!receive_.empty())
            left = std::max(left, static_cast<uint32_t>(std::max<int64_t>(0, lastByte + gap + 1 - now)));
        const size_t got = line_.Read(chunk.data(), chunk.size(), std::min(readTimeout, left));
        if (got > 0) {
            lastByte = clock_.MonotonicMs();
            receive_.append(chunk.data(), got);
            const bool lineEnds = std::string_view(chunk.data(), got).find('\r') != std::string_view::npos;
            if (receive_.size() > kMaxAnswerBytes || lineEnds) {
                state_.answerTime = clock_.LocalTime();
                state_.waitMs = static_cast<uint32_t>(clock_.MonotonicMs() - sent);
                return receive_.size() > kMaxAnswerBytes ? kTooManyChars : kOk;
            }
            // The rest of the answer is still on its way: the log entry is begun between its
            // bytes, so that after the last one only the answer's own lines are left to write.
            if (logEntry_.empty())
                BeginLogEntry();
        }
        state_.answerTime = clock_.LocalTime();
        state_.waitMs = static_cast<uint32_t>(clock_.MonotonicMs() - sent);
        const bool arriving = !receive_.empty() && clock_.MonotonicMs() - lastByte <= gap;
        if ((state_.waitMs > limit && !arriving) || !line_.IsOpen())
            return kNoAnswer;
    }
}

void Exchange::AwaitSilence(uint32_t guard)
{
    const uint32_t readTimeout = values_.ByteTimeout * static_cast<uint32_t>(kReadChunk + 1);
    std::array<char, kReadChunk> chunk{};
    int64_t quietSince = clock_.MonotonicMs();
    for (;;) {
        const auto quiet = static_cast<uint32_t>(clock_.MonotonicMs() - quietSince);
        if (quiet > guard || !line_.IsOpen())
            return;
        const size_t got = line_.Read(chunk.data(), chunk.size(), std::min(readTimeout, guard + 1 - quiet));
        if (got == 0)
            continue;
        quietSince = clock_.MonotonicMs();
        TakeApart(std::string_view(chunk.data(), got));
    }
}

void Exchange::DropInput()
{
    // Only while answers are owed, or a line is under way, is the waiting input worth a look:
    // otherwise it is noise.
    if (!owedAnswers_.Empty() || owed_ > 0 || !apart_.empty()) {
        std::array<char, kReadChunk> chunk{};
        size_t taken = 0;
        while (taken < 4 * kMaxAnswerBytes) {
            // A line begun is awaited to its end while its bytes keep coming: its tail would
            // otherwise stand as the next request's answer.
            const uint32_t wait = apart_.empty() ? 0 : values_.ByteTimeout * 4 + values_.TransitMs;
            const size_t got = line_.Read(chunk.data(), chunk.size(), wait);
            if (got == 0)
                break;
            TakeApart(std::string_view(chunk.data(), got));
            taken += got;
        }
    }
    apart_.clear();
    line_.Purge();
}

void Exchange::TakeApart(std::string_view bytes)
{
    apart_ += bytes;
    for (size_t end = apart_.find('\r'); end != std::string::npos; end = apart_.find('\r')) {
        owedAnswers_.Arrived(AnswerText(std::string_view(apart_).substr(0, end + 1)));
        if (owed_ > 0)
            --owed_;
        apart_.erase(0, end + 1);
    }
}

void Exchange::TakeExtraLines()
{
    apart_.clear();
    const size_t end = receive_.find('\r');
    if (end != std::string::npos && end + 1 < receive_.size())
        TakeApart(std::string_view(receive_).substr(end + 1));
}

void Exchange::BeginLogEntry()
{
    if (!values_.UseLogFile)
        return;
    errno = 0;
    logTo_ = log_.Begin(values_.LogFileName);
    logOpenError_ = logTo_ ? 0 : errno;
    const TimeStamp& s = state_.sendTime;
    char stamp[32];
    std::snprintf(stamp, sizeof stamp, "%02u:%02u:%02u :", s.hour, s.minute, s.second);
    logEntry_ += "________________________________________\n";
    logEntry_ += "Send cmd at ";
    logEntry_ += stamp;
    logEntry_ += std::string_view(send_.c_str());
    logEntry_ += '\n';
}

ErrorCode Exchange::LogExchange()
{
    if (!values_.UseLogFile)
        return kOk;
    if (logEntry_.empty())
        BeginLogEntry();
    const auto failed = [this](int error) {
        if (!logFailing_)
            logError_ = error != 0 ? error : EIO;
        logFailing_ = true;
        return kFileNotOpened;
    };
    if (!logTo_)
        return failed(logOpenError_);
    const TimeStamp& a = state_.answerTime;
    char line[48];
    std::snprintf(line, sizeof line, "Answ at %02u:%02u:%02u :", a.hour, a.minute, a.second);
    logEntry_ += line;
    // Text up to a NUL, as the entry has always been printed.
    logEntry_ += std::string_view(receive_.c_str());
    std::snprintf(line, sizeof line, "\nWait for answ %u ms\n", state_.waitMs);
    logEntry_ += line;
    errno = 0;
    const bool written = std::fwrite(logEntry_.data(), 1, logEntry_.size(), logTo_) == logEntry_.size();
    const bool onDisk = log_.End();
    logTo_ = nullptr;
    if (!written || !onDisk)
        return failed(errno);
    logFailing_ = false;
    return kOk;
}

}  // namespace pmv::link
