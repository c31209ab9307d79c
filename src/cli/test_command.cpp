#include "test_command.h"

#include "command_table.h"

#include "device/output_test.h"

namespace pmv::cli {

int RunTest(TerminalSession& s, const Arguments& a)
{
    device::OutputTest test(s.exchange);
    const std::string& what = a.words[0];
    if (what == "mode" && a.words.size() == 2 && (a.words[1] == "on" || a.words[1] == "off"))
        return s.Finish(test.SetTestMode(a.words[1] == "on"));
    if (what == "all-on" && a.words.size() == 1)
        return s.Finish(test.AllOn());
    if (what == "all-off" && a.words.size() == 1)
        return s.Finish(test.AllOff());
    if (what == "select" && a.words.size() == 2) {
        const auto n = ParseNumber(a.words[1], 0, device::OutputTest::kOutputCount - 1);
        if (!n)
            return Usage(s.console, "выход 0..35");
        return s.Finish(test.SelectTestOutput(static_cast<uint32_t>(*n)));
    }
    if (what == "run" && a.words.size() == 1) {
        const auto ticks =
            a.options.count("--count") ? ParseNumber(a.options.at("--count"), 1, 100000) : std::optional<int64_t>(-1);
        if (!ticks)
            return Usage(s.console, "--count 1..100000");
        s.progress.DiscardEscape();
        test.RunStop();
        for (int64_t i = 0; *ticks < 0 || i < *ticks; ++i) {
            std::fprintf(s.console.err, "Выход %u\n", test.runningIndex());
            if (const ErrorCode code = test.Tick(); code != kOk)
                return s.Finish(code);
            if (s.progress.EscapePressed())
                break;
            // Counted steps follow one another at once; the endless walk goes at the window's pace.
            if (*ticks < 0)
                s.waitClock().Wait(device::OutputTest::kTimerIntervalMs);
        }
        return s.Finish(test.RunStop());
    }
    return Usage(s.console, "неверные параметры");
}

}  // namespace pmv::cli
