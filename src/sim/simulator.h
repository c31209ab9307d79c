#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "blocks.h"
#include "faults.h"
#include "instrument.h"
#include "pseudo_terminal.h"
#include "request.h"
#include "request_framer.h"

namespace pmv::sim {

class LineWriter;

struct SimOptions {
    uint32_t address = 1;               // device address answered to; requests for others stay unanswered
    std::vector<uint32_t> addresses{};  // if not empty: one instrument at each of these addresses on the
                                        // line instead, each with its memory, serial number and type; an
                                        // address given twice holds two whose answers collide
    bool anyAddress = false;            // answers every device address, each in its own name
    bool onlyAtBaud = false;            // answers only while the line is set to `baud`, like a real
                                        // instrument that hears noise at any other speed
    uint32_t baud = 0;                  // 0: no line timing; else every byte costs 10 bit times, both ways
    uint32_t turnaroundMs = 0;          // from the end of a request to the start of its answer
    uint32_t rebootMs = 0;              // silent for this long after answering a restart command: requests
                                        // that end meanwhile are lost, as the instrument reboots
    std::string linkPath{};             // if not empty: a symbolic link to the pty slave, placed here
    bool lenient = false;               // a request may end right after its last ';' (typing by hand);
                                        // LF then also ends a request
    LateAnswers lateAnswers{};          // answers held back at random
    std::function<void(const Request&)> onRequest{};  // on the serving thread, after each request
};

// A PMV 77xx instrument on a pseudo-terminal, served by one thread. All methods are thread-safe.
//
// Answers: a read gets "!address;data;checksum" CR, a write "$0000" CR. Refusals: "$000D" wrong or
// missing checksum, "$000B" text not parsable (fields, digits, lengths), "$0002" unknown command
// number, "$0003" no such register (memory type 2, a block other than 0..2 of bank 1, a write to
// a block, a non-zero first address byte, a plain register number above 8191). Requests naming another
// device address get no answer.
//
// Faults (InjectFault) disturb the answer on the line; the request itself is still carried out,
// except under a Status fault, which stands for the instrument refusing it.
//
// Reboot (rebootMs > 0): the restart's "$0000" still goes out; requests whose CR arrives before
// rebootMs after its last byte get no answer and take no fault.
//
// Several instruments on the line (addresses): a request is carried out by every instrument at its
// address; the one line is busy while one answers, so the next request waits for the answer
// before it. Two at one address answer at once and the line carries neither answer: the bytes
// overlap and arrive garbled, up to the CR both end with.
//
// Line timing (baud > 0): the request is taken to have come over the line from the arrival of
// its first byte, so its answer starts no earlier than that arrival + its length in byte times
// + the turnaround (+ a Delay or DelayApart fault); the answer's bytes are then handed over one by one as
// they would arrive on the line.
class Simulator {
public:
    explicit Simulator(SimOptions options = {});
    ~Simulator();  // stops serving, closes the pty, removes its link
    Simulator(const Simulator&) = delete;
    Simulator& operator=(const Simulator&) = delete;

    bool Start(std::string* error = nullptr);
    void Stop();
    std::string DevicePath() const;  // the link if one was asked for, else the slave
    std::string PtyPath() const;     // the slave, /dev/pts/N; empty while stopped

    // The addresses of the instruments on the line, in the order given.
    std::vector<uint32_t> Addresses() const;
    // The first instrument at `address`: its cells as Register and SetRegister below (0 and
    // ignored when none is there).
    uint32_t RegisterAt(uint32_t address, int bank, int memType, int reg) const;
    void SetRegisterAt(uint32_t address, int bank, int memType, int reg, uint32_t value);
    int RestartCountAt(uint32_t address) const;
    // Every instrument at `address` stops answering, as one cut off the line, or answers again.
    void SetSilent(uint32_t address, bool silent);

    // The first instrument's register cells: banks 1 and 2, memory types 1 (byte) and 3 (4 bytes), numbers 0..8191.
    // Other coordinates read 0 and ignore writes. Bank 1 byte register 6 holds the last value
    // written there, whereas a read over the line gives the firmware version.
    uint32_t Register(int bank, int memType, int reg) const;
    void SetRegister(int bank, int memType, int reg, uint32_t value);
    float FloatRegister(int bank, int reg) const;
    void SetFloatRegister(int bank, int reg, float value);

    // Live values block: fixed contents until released; by default every read gives new values.
    void SetLiveBlock(const LiveBlock& block);
    void ReleaseLiveBlock();
    // Measurement block of channel 0 or 1: fixed contents until released; by default what the
    // input stage measures from the connected source.
    void SetMeasurementBlock(int channel, const MeasurementBlock& block);
    void ReleaseMeasurementBlock(int channel);

    // The input stage of channel 0 or 1: the reference source on its input and the instrument's
    // true coefficients.
    void ConnectSource(int channel, const Source& source);
    void SetTrueCoefficients(int channel, const TrueCoefficients& coefficients);
    TrueCoefficients TrueCoefficientsOf(int channel) const;

    void InjectFault(const Fault& fault);
    void ClearFaults();

    // Every complete request line received, oldest first; the oldest entries give way beyond
    // kTranscriptLimit.
    static constexpr size_t kTranscriptLimit = 100000;
    std::vector<Request> Transcript() const;
    void ClearTranscript();

    int RestartCount() const;
    // From now on every restart sets the cell to `value`: an instrument that loses a setting.
    void ChangeOnRestart(int bank, int memType, int reg, uint32_t value);
    int FactoryResetCount() const;
    // Loads the factory parameters like the factory-reset command, without counting a command.
    void ResetToFactory();

    void SetBaud(uint32_t baud);
    void SetTurnaround(uint32_t ms);
    void SetReboot(uint32_t ms);
    // Holds answers back at random from now on; a share of 0 stops it.
    void SetLateAnswers(const LateAnswers& late);

private:
    // An answer of a DelayApart fault, due at start.
    struct HeldAnswer {
        Clock::time_point start;
        std::string bytes;
        uint32_t baud;
    };

    void Serve();
    bool Handle(const Frame& frame, const LineWriter& writer, std::vector<HeldAnswer>& held);

    mutable std::mutex mutex_;  // guards everything below but the thread and the descriptors
    SimOptions options_;
    // One instrument on the line.
    struct Station {
        uint32_t address = 0;
        Instrument instrument{};
        bool silent = false;
    };
    Station* StationAt(uint32_t address);
    const Station* StationAt(uint32_t address) const;

    std::vector<Station> stations_;  // never empty; the first serves the one-instrument calls
    FaultList faults_;
    LateAnswerDraw lateDraw_;
    Clock::time_point silentUntil_{};  // end of the current reboot
    std::deque<Request> transcript_;
    std::string ptyPath_;

    std::mutex lifecycle_;  // Start and Stop
    PseudoTerminal pty_;
    int wake_[2] = {-1, -1};
    std::thread thread_;
};

}  // namespace pmv::sim
