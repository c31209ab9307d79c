#pragma once

#include "pmvctl.h"
#include "terminal_io.h"

#include "binding/commands.h"
#include "binding/session.h"
#include "history/history.h"
#include "messages/error_codes.h"
#include "model/profile_check.h"
#include "model/settings_model.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pmv::cli {

// The global options of a pmvctl run; they override dev.dat for this run only.
struct LinkOverrides {
    std::string port;
    std::optional<int32_t> address;
    std::optional<uint32_t> baud;
    std::string history;  // the history's server
};

// The window's part around a command: nothing to repaint on a terminal.
class NoWindow : public binding::CommandHost {
public:
    void ShowControls(const binding::ControlValues&) override {}
    void RepaintNow() override {}
};

// Progress lines go to stderr when it is a terminal, unless --quiet; with --verbose always.
bool ProgressShown(const Console& console);

// The terminal's message and progress objects, built before the session that uses them.
struct TerminalSeams {
    TerminalSeams(Console& console, std::optional<bool> answer);
    TerminalMessages terminalMessages;
    TerminalProgress terminalProgress;
};

// One pmvctl run: the program's session on the terminal, with dev.dat from the current
// directory (created when missing) and the overrides of the command line.
class TerminalSession : private TerminalSeams, public pmv::binding::Session {
public:
    TerminalSession(Console& console, std::optional<bool> answer);

    // Returns kOk, or the error code to exit with (kNoAnswer when the port does not open). A restart
    // the last program on the line left pending is waited for here (device::AwaitRestart).
    ErrorCode Open(const LinkOverrides& overrides);
    // Exit status of a profile that cannot be read or written.
    static constexpr int kFileFailure = CodeNumber(kFileNotOpened);

    // Shows the message of a non-zero code on stderr and passes it through.
    int Finish(ErrorCode code);
    // Says why a profile or another file of the user's failed; the exit status of that.
    int FileFailure(const std::string& message);
    int FileFailure(const ini::FileError& error);
    // A file the program could not write or read: a text in the user's words as it is, what the
    // system refused in Russian with its reason (binding::FileErrorText).
    void ReportFileProblem(const std::string& message);
    void ReportFileProblem(const ini::FileError& error);
    // Where the waits between a command's steps pass: the console's clock, else the session's.
    link::Clock& waitClock() { return console.waitClock ? *console.waitClock : clock; }

    Console& console;
    LinkOverrides overrides;  // as given to Open

    // Adds a row to the history; a history that cannot be written is said once on stderr and
    // never changes the command's result. False when the row was not written.
    bool Record(const history::HistoryRecord& record);

private:
    // --verbose: each request and answer on stderr as a line of its own.
    void ShowExchanges();

    bool historyFailed_ = false;
    std::string answerLine_;
};

// Loads a profile into the model without writing to its file; a missing profile gives the values
// of a new one, unless the profile is to go into the instrument (toInstrument), which must exist
// and hold at least one of a profile's sections. The description lines come back; an error names
// the user's file.
std::optional<std::vector<std::string>> LoadProfileUnchanged(const std::string& path, model::SettingsModel& model,
                                                             bool toInstrument, std::string& error);

// Refuses a profile about to be sent (or compared) that holds values the instrument would get
// wrong: a value that does not scan whole or lies outside its valid values, all of them named at
// once; with checkMissing also keys of the sent settings the file lacks, whose defaults would be
// sent, unless allowDefaults (--defaults). Prints why; true when refused.
bool RefusedToSend(TerminalSession& s, const std::string& path, const model::SentSettings& sent, bool checkMissing,
                   bool allowDefaults);

// Waits until `deadline` on the clock's monotonic time, or less when Ctrl-C comes; true when it
// came. The wait is counted in the slices waited, so that a clock whose waits pass at once ends it.
bool WaitOrStop(TerminalSession& s, link::Clock& clock, int64_t deadline);

}  // namespace pmv::cli
