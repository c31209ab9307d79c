#include "calibrate.h"

#include "command_table.h"

#include "binding/history_records.h"
#include "device/calibration_procedures.h"
#include "messages/error_codes.h"
#include "model/profile.h"

#include <optional>

namespace pmv::cli {
namespace {

// The panel's countdown and latest measurement become the terminal's step line, which the
// terminal progress prints.
class CalibrationProgress : public Progress {
public:
    explicit CalibrationProgress(Progress& inner) : inner_(inner) {}

    void SetProgressLines(const ProgressLines& lines) override
    {
        inner_.SetProgressLines(lines);
        inner_.SetProgressStep(lines[4].empty() ? lines[2] : lines[2] + "  " + lines[4]);
    }
    void ShowProgressPanel() override { inner_.ShowProgressPanel(); }
    void HideProgressPanel() override { inner_.HideProgressPanel(); }
    void SetProgressStep(const std::string& text) override { inner_.SetProgressStep(text); }
    bool EscapePressed() override { return inner_.EscapePressed(); }

private:
    Progress& inner_;
};

std::optional<device::CalibrationVariant> VariantOf(const std::string& word)
{
    if (word == "ku10")
        return device::CalibrationVariant::Ku10;
    if (word == "ku100")
        return device::CalibrationVariant::Ku100;
    if (word == "ki20")
        return device::CalibrationVariant::Ki20;
    if (word == "ki5")
        return device::CalibrationVariant::Ki5;
    return std::nullopt;
}

}  // namespace

bool CalibrationAnswers::AskYesNo(Question question, const std::string& text, const std::string& caption,
                                  MessageIcon icon)
{
    if (connectedAnyway_ && question != Question::WriteCalibrationResult) {
        inner_.ShowMessage(text + " - подключено", caption, icon);
        return true;
    }
    return DeclineWatch::AskYesNo(question, text, caption, icon);
}

int RunCalibrate(TerminalSession& s, const Arguments& a)
{
    const auto ch = ParseNumber(a.words[0], 1, 2);
    const auto variant = VariantOf(a.words[1]);
    if (!ch || (!variant && a.words[1] != "ref")) {
        return Usage(s.console, "канал 1 или 2, вариант градуировки или ref");
    }
    const std::string& path = a.words[2];
    std::string error;
    const auto description = LoadProfileUnchanged(path, s.model, true, error);
    if (!description) {
        std::fprintf(s.console.err, "%s\n", error.c_str());
        return TerminalSession::kFileFailure;
    }
    const model::SettingsModel before = s.model;

    CalibrationProgress progress(s.progress);
    device::Device device{s.exchange, progress, s.model, {}};
    CalibrationAnswers answers(s.messages, a.Has("--no"));
    device::Calibration calibration{device, answers, s.waitClock()};
    progress.DiscardEscape();
    const auto index = static_cast<uint32_t>(*ch - 1);
    const ErrorCode code = binding::CalibrateWithRecord(calibration, answers, variant, index, path,
                                                        [&](const history::HistoryRecord& r) { s.Record(r); });
    s.Finish(code);
    std::optional<ini::FileError> failure;
    if (s.model != before)
        failure = model::SaveProfile(path, s.model, *description);
    if (failure) {
        s.ReportFileProblem(*failure);
        return code != kOk ? static_cast<int>(CodeNumber(code)) : TerminalSession::kFileFailure;
    }
    return static_cast<int>(CodeNumber(code));
}

}  // namespace pmv::cli
