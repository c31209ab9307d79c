#pragma once

#include "error_codes.h"

#include <cstdint>
#include <string>

namespace pmv {

// Which question a Yes/No box asks, so that whoever answers for the operator (pmvctl's --no, a
// recorder in a test) decides by the question and not by its wording. Questions nobody answers
// differently from the others are Other.
enum class Question {
    Other,
    ReferenceConnected,      // the reference a calibration asks for is connected to the input
    WriteCalibrationResult,  // a calibration's result is written into the instrument at once
    ProfileDefaults,         // an opened profile lacks settings a write sends: take their defaults
    ReuseSerialNumber,       // a serial number given before is written into an instrument again
    WriteAgain,              // a write stopped part way is sent again from its first group
    RestoreHeldSettings,     // settings an instrument held before a write, from the history, go back into it
    RestartInstrument,       // the instrument restarts at once, its measurement and outputs stopped meanwhile
    WriteControlByte,        // a control byte is written into the instrument
};

// Message boxes and the keyboard state they depend on. The window shows real boxes (raising and
// repainting itself first), pmvctl prints to the terminal, tests record the texts.
class Messages {
public:
    virtual ~Messages() = default;

    // A box with a single OK button.
    virtual void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) = 0;

    // A box with a single OK button and a second, explaining text under the first (the window
    // shows it as the box's informative text); by default both as one text.
    virtual void ShowDetailedMessage(const std::string& text, const std::string& detail, const std::string& caption,
                                     MessageIcon icon)
    {
        ShowMessage(detail.empty() ? text : text + "\n" + detail, caption, icon);
    }

    // A box with Yes and No; true for Yes.
    virtual bool AskYesNo(Question question, const std::string& text, const std::string& caption, MessageIcon icon) = 0;

    // Forgets Esc and Enter presses made since the last query of each key.
    virtual void DiscardPendingKeys() = 0;

    // The result of a command, 0 included, as ShowErrorMessage is given it before its box: the
    // window's status bar names the outcome of the running operation from it.
    virtual void ResultReported(ErrorCode /*code*/) {}

    // What the running operation's outcome leaves unsaid (the groups a stopped write reached, an
    // Esc that came after the last exchange), for the window's status bar beside the result.
    virtual void OutcomeNoted(const std::string& /*note*/) {}
};

}  // namespace pmv
