#pragma once

#include "link/clock.h"
#include "messages/messages.h"
#include "messages/progress.h"

#include <deque>
#include <functional>
#include <string>
#include <vector>

namespace pmv::test {

// Records every box; answers questions from a script (No once the script runs out).
class RecordingMessages : public Messages {
public:
    struct Box {
        std::string text, caption;
        MessageIcon icon;
        bool question;
        std::string detail{};
        Question asked = Question::Other;
    };

    void ShowMessage(const std::string& text, const std::string& caption, MessageIcon icon) override
    {
        boxes.push_back({text, caption, icon, false});
    }
    void ShowDetailedMessage(const std::string& text, const std::string& detail, const std::string& caption,
                             MessageIcon icon) override
    {
        boxes.push_back({text, caption, icon, false, detail});
    }
    bool AskYesNo(Question question, const std::string& text, const std::string& caption, MessageIcon icon) override
    {
        boxes.push_back({text, caption, icon, true, {}, question});
        if (answers.empty())
            return false;
        const bool yes = answers.front();
        answers.pop_front();
        return yes;
    }
    void DiscardPendingKeys() override { ++discards; }
    void ResultReported(ErrorCode code) override
    {
        if (code != kOk)
            results.push_back(code);
    }
    void OutcomeNoted(const std::string& note) override { notes.push_back(note); }

    std::vector<Box> boxes;
    std::vector<std::string> notes;
    std::vector<ErrorCode> results;  // the non-zero ones
    std::deque<bool> answers;
    int discards = 0;
};

// Records the panel; Esc counts as pressed at the chosen query (1-based; 0 = never).
class ScriptedProgress : public Progress {
public:
    void SetProgressLines(const ProgressLines& l) override { lines = l; }
    void ShowProgressPanel() override { shown = true; }
    void HideProgressPanel() override { shown = false; }
    void SetProgressStep(const std::string& text) override { steps.push_back(text); }
    bool EscapePressed() override { return ++queries == escapeAtQuery; }

    ProgressLines lines;
    bool shown = false;
    std::vector<std::string> steps;
    int queries = 0;
    int escapeAtQuery = 0;
};

// Local time starts at a chosen stamp and runs with the real monotonic clock.
class SettableClock : public link::Clock {
public:
    explicit SettableClock(link::TimeStamp start) : start_(start), origin_(real_.MonotonicMs()) {}
    link::TimeStamp LocalTime() const override
    {
        const int64_t ms = static_cast<int64_t>(((start_.hour * 60 + start_.minute) * 60 + start_.second) * 1000 +
                                                start_.millisecond) +
                           (real_.MonotonicMs() - origin_);
        const int64_t day = ms % (24 * 3600 * 1000);
        return {static_cast<uint32_t>(day / 3600000), static_cast<uint32_t>(day / 60000 % 60),
                static_cast<uint32_t>(day / 1000 % 60), static_cast<uint32_t>(day % 1000)};
    }
    int64_t MonotonicMs() const override { return real_.MonotonicMs(); }
    int64_t MonotonicUs() const override { return real_.MonotonicUs(); }

private:
    link::SystemClock real_;
    link::TimeStamp start_;
    int64_t origin_;
};

// Waits cost no time: they are added up, and a hook may act at each (the 1-based count), so a
// test can press Esc or break the line in the middle of a procedure.
class TestClock : public link::Clock {
public:
    link::TimeStamp LocalTime() const override { return real_.LocalTime(); }
    int64_t MonotonicMs() const override { return real_.MonotonicMs(); }
    int64_t MonotonicUs() const override { return real_.MonotonicUs(); }
    void Wait(uint32_t ms) override
    {
        waitedMs += ms;
        ++waits;
        if (onWait)
            onWait(waits);
    }

    int64_t waitedMs = 0;
    int waits = 0;
    std::function<void(int)> onWait;

private:
    link::SystemClock real_;
};

}  // namespace pmv::test
