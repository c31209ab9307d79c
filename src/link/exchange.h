#pragma once

#include "clock.h"
#include "log_file.h"
#include "messages/error_codes.h"
#include "owed_answers.h"
#include "serial_line.h"

#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace pmv::link {

// The link values in force for the run (taken from the link settings at start-up).
struct LinkValues {
    uint32_t DeviceAddress = 1;
    uint32_t RetryCount = 2;        // tries of one exchange, and passes of a write with read-back
    uint32_t AnswerTimeout = 1000;  // ms; waits shorter than 1000 ms are raised to 1000 ms
    uint32_t ByteTimeout = 20;      // ms per byte of a port read or write
    // The line's speed (SetLineSpeed), for the wire time of a probe's request and answer; 0 when
    // not known.
    uint32_t BaudRate = 0;
    // ms the way to the line adds to an answer (a network's, SerialLine::TransitMs): added to the
    // answer time-out, the silence awaited after it and the wait for the rest of a line begun.
    uint32_t TransitMs = 0;
    bool UseLogFile = true;
    std::string LogFileName = "COM.txt";  // relative to the working directory
    bool VerifyAnswers = true;            // a data answer whose checksum does not match is a failed attempt
};

// The state of the last attempt, kept for the exchange log and the measurement log.
struct ExchangeState {
    TimeStamp sendTime;
    TimeStamp answerTime;
    uint32_t waitMs = 0;
    ErrorCode lastError = kOk;
};

inline constexpr size_t kMaxAnswerBytes = 256;
inline constexpr size_t kReadChunk = 32;
inline constexpr uint32_t kMinAnswerTimeoutMs = 1000;
// The shortest window a probe for a restarting instrument gets for its answer.
inline constexpr uint32_t kMinProbeWindowMs = 50;

// What a read's answer holds: the data field's hexadecimal digits, and whether the register gives
// the same answer when read again (a setting does; the live values change with every read).
struct AnswerShape {
    size_t digits = 0;
    bool steady = true;
};

// Checks an answer line (the receive buffer as text) and returns an error code; kOk accepts it.
using AnswerCheck = std::function<ErrorCode(const std::string& answer)>;
// Runs between two probes with the milliseconds since the restart; a code other than kOk ends
// the wait.
using ProbePause = std::function<ErrorCode(uint32_t waitedMs)>;

// Request frames and their answers on one serial line: one exchange at a time, with retries.
class Exchange {
public:
    Exchange(SerialLine& line, const Clock& clock) : line_(line), clock_(clock) {}

    LinkValues& values() { return values_; }
    const LinkValues& values() const { return values_; }
    const ExchangeState& state() const { return state_; }

    // The frame as written: four 0xFF bytes, ':', the command text, its checksum in decimal, CR.
    // `fields` is the text after "<address>;", e.g. "37;00000B;".
    std::string BuildFrame(const std::string& fields) const;

    // Sends the request up to RetryCount times until an answer passes `check` (after its
    // checksum, unless VerifyAnswers is off); returns the last attempt's error code. On a line that is not
    // open it returns "no answer" at once and
    // logs nothing. For commands answered with a status ("$0000").
    //
    // The instrument works through its requests one after the other, so after an attempt that
    // got no answer line it may still owe an answer for it, even after a retry was answered; and
    // a late answer carries the right address and checksum, so only its timing tells it apart.
    // Therefore, while an answer is owed, nothing is sent until the line has been silent for the
    // guard time (the effective answer time-out), dropping what arrives: before a retry, and
    // before the next request once more if an answer is still owed.
    //
    // A line that closes under an attempt (a network connection that broke) ends the exchange
    // with "no answer" at once: nothing more can come, and no retry is sent.
    ErrorCode RunExchange(const std::string& fields, const AnswerCheck& check);

    // A read, as RunExchange, whose answer must also not be a late answer of another request.
    // An answer later than the guard time would be taken for the next request's, so answers owed
    // are remembered for kLateAnswerHorizonMs. While one of them could read like this request's
    // answer (same width; same text once its request was answered on a retry) and stand for
    // another value (another register's, or this one's before a write), the request is
    // sent again until one answer text has come more often than the owed answers that could
    // read so: then at least one of them is this register's own. The live values cannot be
    // confirmed so, as they change with every read: while such an answer is owed and has not
    // turned up, their read fails with "no answer". Without owed answers a read costs one
    // exchange, as before.
    ErrorCode RunRead(const std::string& fields, AnswerShape shape, const AnswerCheck& check);

    // Answers still owed when a program gives up the line, for the next program on it (see
    // OwedAnswers::Handover), and those the last one left: reads they could stand for are
    // confirmed as in this program. No silence is waited for them: after every restart the last
    // probes are owed, and the next command must not pay for that. A restart still pending is
    // handed on with its time, so that the next program probes for the instrument (AwaitReturn)
    // rather than spend whole time-outs on it while it reboots.
    std::string OwedHandover() const;
    void TakeOwedHandover(std::string_view text);

    // The instrument acknowledged its restart command: it reboots and answers nothing for a while.
    void NoteRestart() { restartedAt_ = clock_.MonotonicMs(); }
    // From an acknowledged restart until the instrument is heard again.
    bool Restarting() const { return restartedAt_.has_value(); }

    // Waits for a restarting instrument: sends the probe request `probeFields` and gives it a
    // short window (twice the wait of the last answer, at least kMinProbeWindowMs beyond the wire
    // time of the probe and its answer at the line's speed) until an answer
    // passes `check`, at most until `limitMs` after the restart. `pause` runs before each probe.
    // Returns 0 at once when no restart is pending, else 0, 2 when the instrument stayed silent,
    // or the code of `pause`.
    //
    // The instrument loses what reaches it while it reboots, but a probe that comes as it wakes
    // up may be answered after its window. Probes are all the same request, so such an answer may
    // stand for the next probe; it must never stand for another request. Therefore, once a probe
    // is answered after others were not, nothing is sent until the line has been silent for a
    // probe window. After an unanswered wait an answer is owed as after a failed exchange.
    // The last probes unanswered before it is heard are remembered as owed, as a failed exchange's.
    ErrorCode AwaitReturn(const std::string& probeFields, AnswerShape probe, const AnswerCheck& check, uint32_t limitMs,
                          const ProbePause& pause);

    // Called once, after the exchange, when the exchange log could not be written (the file, the
    // system's errno); again only after an entry was written since.
    using LogFailure = std::function<void(const std::string& path, int error)>;
    void OnLogFailure(LogFailure report) { onLogFailure_ = std::move(report); }

    // Called when the line closed under an exchange (a network connection broke), before the
    // exchange ends with "no answer": that alone would send the user looking at the instrument.
    using LineLost = std::function<void()>;
    void OnLineLost(LineLost report) { onLineLost_ = std::move(report); }

    // True while a request waits for its answer: a timer that fires between two exchanges of an
    // operation may poll, one that fires inside an exchange may not.
    bool InExchange() const { return inExchange_; }

    // The last answer received (the receive buffer as text).
    const std::string& answer() const { return receive_; }

    // Maps a status answer ("$" and four hexadecimal digits) to an error code.
    static ErrorCode AnswerStatus(const std::string& answer);

    // Checks the checksum of a data answer "!" address ";" data ";" checksum: the CRC-16 of the
    // text after "!" up to and including the last ";" of its line, in decimal, like a request's.
    // Returns 6 when it does not match or is missing, else 0. Status answers ("$0000") carry no
    // checksum, and an answer without ";" after its "!" is left to the answer's parser.
    static ErrorCode AnswerChecksum(const std::string& answer);

private:
    ErrorCode Run(const std::string& fields, AnswerShape shape, const AnswerCheck& check);
    // Tells a log failure of the exchange just ended, once.
    void ReportLogFailure();
    // The owed answers once a steady read is answered by `answer`: its own read so; each other
    // text it heard was owed for another request, and one more of its own is owed instead.
    void SettleRead(uint64_t exchange, const std::string& fields, const std::string& answer,
                    const std::vector<std::string>& heard);
    // Reads until a line end, more than kMaxAnswerBytes, or `limit` ms.
    ErrorCode ReceiveAnswer(uint32_t limit);
    // Reads and drops input until the line has been silent for `guard` ms; each line end that
    // arrives settles one owed answer.
    void AwaitSilence(uint32_t guard);
    // Drops what is waiting on the line before a request; lines in it settle owed answers.
    void DropInput();
    // Lines that arrived apart from an attempt settle owed answers; a line's start is kept until
    // its end arrives.
    void TakeApart(std::string_view bytes);
    // Lines behind the first of the answer received; the start of one still coming is kept.
    void TakeExtraLines();
    uint32_t EffectiveTimeout() const;
    uint32_t ProbeWindow(size_t answerBytes) const;
    // The exchange log: the file's lookup and the request's lines while the answer comes in (or
    // after it, when it came at once), the answer's lines and the flush of the whole entry after it.
    void BeginLogEntry();
    ErrorCode LogExchange();

    SerialLine& line_;
    const Clock& clock_;
    LinkValues values_;
    ExchangeState state_;
    std::string send_;
    std::string receive_;
    bool inExchange_ = false;
    uint32_t owed_ = 0;
    OwedAnswers owedAnswers_;
    uint64_t exchanges_ = 0;
    std::string apart_;  // the start of a line that arrived apart from an attempt
    uint32_t lastAnswerMs_ = 0;
    std::optional<int64_t> restartedAt_;  // monotonic ms
    LogFile log_;
    std::FILE* logTo_ = nullptr;  // the file of the entry begun, nullptr when it could not be opened
    std::string logEntry_;        // the entry begun, empty until it is
    LogFailure onLogFailure_;
    LineLost onLineLost_;
    bool logFailing_ = false;  // the last entry was not written
    int logError_ = 0;         // errno of the first entry not written, until told
    int logOpenError_ = 0;     // errno of the log's last failed open
};

// Appends the decimal CRC-16 of the command text (the frame from offset 5 on) and a carriage
// return to a frame; returns the number of characters appended.
size_t AppendChecksum(std::string& frame);

}  // namespace pmv::link
