#include "terminal_io.h"

#include <atomic>
#include <csignal>
#include <unistd.h>

namespace pmv::cli {
namespace {

// A stop asked for and not yet seen by the running operation.
std::atomic<bool> g_interrupted{false};
// SIGTERM or SIGHUP: the program is to end, so every later test stops too and no operation's
// DiscardEscape can forget it.
std::atomic<bool> g_terminating{false};

extern "C" void OnStopSignal(int signal)
{
    if (signal != SIGINT)
        g_terminating.store(true);
    if (g_interrupted.exchange(true))
        _exit(128 + signal);
}

struct IconWords {
    const char* lower;
    const char* capital;
};

IconWords IconWord(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Error: return {"ошибка", "Ошибка"};
    case MessageIcon::Warning: return {"внимание", "Внимание"};
    case MessageIcon::Information: return {"информация", "Информация"};
    }
    return {"", ""};
}

// "Caption (icon): text"; a caption that already is the icon's word is said once.
void PrintBox(std::FILE* err, const std::string& text, const std::string& caption, MessageIcon icon)
{
    const IconWords word = IconWord(icon);
    if (caption == word.capital || caption.empty())
        std::fprintf(err, "%s: %s\n", word.capital, text.c_str());
    else
        std::fprintf(err, "%s (%s): %s\n", caption.c_str(), word.lower, text.c_str());
}

}  // namespace

void TerminalMessages::ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon)
{
    PrintBox(err_, text, caption, icon);
}

void TerminalMessages::ShowDetailedMessage(const std::string& text, const std::string& detail,
                                           const std::string& caption, MessageIcon icon)
{
    ShowMessage(text, caption, icon);
    if (!detail.empty())
        std::fprintf(err_, "  %s\n", detail.c_str());
}

bool TerminalMessages::AskYesNo(Question, const std::string& text, const std::string& caption, MessageIcon icon)
{
    PrintBox(err_, text, caption, icon);
    if (answer_) {
        std::fprintf(err_, "Ответ: %s\n", *answer_ ? "да" : "нет");
        return *answer_;
    }
    if (!interactive_) {
        std::fprintf(err_, "Ответ: нет (нет терминала; задайте --yes или --no)\n");
        return false;
    }
    for (;;) {
        std::fprintf(err_, "Да или нет? [д/н] ");
        std::fflush(err_);
        std::string line;
        if (!std::getline(in_, line))
            return false;
        if (line == "д" || line == "Д" || line == "да" || line == "Да" || line == "y" || line == "Y" || line == "yes")
            return true;
        if (line == "н" || line == "Н" || line == "нет" || line == "Нет" || line == "n" || line == "N" || line == "no")
            return false;
    }
}

TerminalProgress::~TerminalProgress() { HideProgressPanel(); }

void TerminalProgress::CatchInterrupt()
{
    struct sigaction action {};
    action.sa_handler = OnStopSignal;
    sigemptyset(&action.sa_mask);
    for (const int signal : {SIGINT, SIGTERM, SIGHUP})
        sigaction(signal, &action, nullptr);
}

void TerminalProgress::SetProgressLines(const ProgressLines& lines)
{
    title_.clear();
    for (size_t i : {size_t{0}, size_t{1}})
        if (!lines[i].empty())
            title_ += (title_.empty() ? "" : ": ") + lines[i];
}

void TerminalProgress::HideProgressPanel()
{
    shown_ = false;
    if (lineOpen_) {
        std::fputs("\r\033[K", err_);
        std::fflush(err_);
        lineOpen_ = false;
    }
}

void TerminalProgress::SetProgressStep(const std::string& text) { Print(text); }

void TerminalProgress::Print(const std::string& step)
{
    if (!print_)
        return;
    const std::string line = title_.empty() ? step : (step.empty() ? title_ : title_ + " - " + step);
    if (terminal_) {
        std::fprintf(err_, "\r\033[K%s", line.c_str());
        lineOpen_ = true;
    } else {
        std::fprintf(err_, "%s\n", line.c_str());
    }
    std::fflush(err_);
}

bool TerminalProgress::EscapePressed() { return g_interrupted.exchange(false) || g_terminating.load(); }

}  // namespace pmv::cli
