#pragma once

#include "messages/messages.h"
#include "messages/progress.h"

#include <cstdio>
#include <istream>
#include <optional>
#include <string>

namespace pmv::cli {

// Boxes become lines on stderr; questions are asked on the terminal ("д"/"н"), or answered by
// --yes/--no; without a terminal and without either flag the answer is No.
class TerminalMessages : public Messages {
public:
    TerminalMessages(std::FILE* err, std::istream& in, bool interactive, std::optional<bool> answer)
        : err_(err), in_(in), interactive_(interactive), answer_(answer)
    {}

    void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override;
    void ShowDetailedMessage(const std::string& text, const std::string& detail, const std::string& caption,
                             MessageIcon icon) override;
    bool AskYesNo(Question question, const std::string& text, const std::string& caption, MessageIcon icon) override;
    void DiscardPendingKeys() override {}

private:
    std::FILE* err_;
    std::istream& in_;
    bool interactive_;
    std::optional<bool> answer_;
};

// The progress panel as one updating line on a terminal, plain lines otherwise, nothing when not
// shown (a log or a pipe gets the result, not every step). Ctrl-C counts as Esc: the running
// operation stops between two register operations with code 20. SIGTERM and SIGHUP stop it the
// same way and every operation after it, so the program ends with its files whole and its port
// lock released.
class TerminalProgress : public Progress {
public:
    TerminalProgress(std::FILE* err, bool terminal, bool shown) : err_(err), terminal_(terminal), print_(shown) {}
    ~TerminalProgress() override;

    void SetProgressLines(const ProgressLines& lines) override;
    void ShowProgressPanel() override { shown_ = true; }
    void HideProgressPanel() override;
    void SetProgressStep(const std::string& text) override;
    bool EscapePressed() override;

    // Installs the handler of Ctrl-C, SIGTERM and SIGHUP; a second signal before the first was
    // noticed ends the program at once.
    static void CatchInterrupt();

private:
    void Print(const std::string& step);

    std::FILE* err_;
    bool terminal_;
    bool print_;
    bool shown_ = false;
    bool lineOpen_ = false;
    std::string title_;
};

}  // namespace pmv::cli
