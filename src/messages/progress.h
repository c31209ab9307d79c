#pragma once

#include "error_codes.h"

#include <array>
#include <cstdint>
#include <string>

namespace pmv {

using ProgressLines = std::array<std::string, 6>;

// The progress panel of a long operation and the Esc key that stops it. Operations look at Esc
// only between two register operations: an exchange that has begun always runs to its end.
class Progress {
public:
    virtual ~Progress() = default;

    // Title, sub-title, current step, two spare lines and the hint.
    virtual void SetProgressLines(const ProgressLines& lines) = 0;
    virtual void ShowProgressPanel() = 0;
    virtual void HideProgressPanel() = 0;

    // Shows the current step in line 3 and lets the window handle pending events, so that it
    // stays drawn and responsive between exchanges.
    virtual void SetProgressStep(const std::string& text) = 0;

    // True when Esc was pressed at any time since the previous query; each query resets it.
    virtual bool EscapePressed() = 0;

    void DiscardEscape() { (void)EscapePressed(); }
};

inline constexpr const char* kEscapeHint = "Для прекращения нажмите ESC";

// Hides the panel and passes the operation's result through, so every exit path reads
// `return EndOperation(progress, code);`.
ErrorCode EndOperation(Progress& progress, ErrorCode code);

// 20 when Esc was pressed since the last test, else 0: the abort test between register operations.
ErrorCode CheckEscape(Progress& progress);

}  // namespace pmv
