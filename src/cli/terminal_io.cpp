#include "terminal_io.h"

#include <atomic>
#include <csignal>
#include <unistd.h>

namespace pmv::cli {
namespace {

std::atomic<bool> g_interrupted{false};

extern "C" void OnInterrupt(int)
{
    if (g_interrupted.exchange(true))
        _exit(130);
}

const char* IconWord(MessageIcon icon)
{
    switch (icon) {
    case MessageIcon::Error:
        return "ошибка";
    case MessageIcon::Warning:
        return "внимание";
    case MessageIcon::Information:
        return "информация";
    }
    return "";
}

}  // namespace

void TerminalMessages::ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon)
{
    std::fprintf(err_, "%s (%s): %s\n", caption.c_str(), IconWord(icon), text.c_str());
}

void TerminalMessages::ShowDetailedMessage(const std::string& text, const std::string& detail,
                                           const std::string& caption, MessageIcon icon)
{
    ShowMessage(text, caption, icon);
    if (!detail.empty())
        std::fprintf(err_, "  %s\n", detail.c_str());
}

bool TerminalMessages::AskYesNo(const std::string& text, const std::string& caption, MessageIcon icon)
{
    std::fprintf(err_, "%s (%s): %s\n", caption.c_str(), IconWord(icon), text.c_str());
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

TerminalProgress::~TerminalProgress()
{
    HideProgressPanel();
}

void TerminalProgress::CatchInterrupt()
{
    struct sigaction action {};
    action.sa_handler = OnInterrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
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

void TerminalProgress::SetProgressStep(const std::string& text)
{
    Print(text);
}

void TerminalProgress::Print(const std::string& step)
{
    const std::string line = title_.empty() ? step : (step.empty() ? title_ : title_ + " - " + step);
    if (terminal_) {
        std::fprintf(err_, "\r\033[K%s", line.c_str());
        lineOpen_ = true;
    } else {
        std::fprintf(err_, "%s\n", line.c_str());
    }
    std::fflush(err_);
}

bool TerminalProgress::EscapePressed()
{
    return g_interrupted.exchange(false);
}

}  // namespace pmv::cli
