#pragma once

#include "arguments.h"
#include "binding/history_records.h"
#include "session.h"

namespace pmv::cli {

// With --no the reference is taken as connected: only the question about writing the result
// gets the No.
class CalibrationAnswers : public binding::DeclineWatch {
public:
    CalibrationAnswers(Messages& inner, bool connectedAnyway) : DeclineWatch(inner), connectedAnyway_(connectedAnyway)
    {}

    bool AskYesNo(Question question, const std::string& text, const std::string& caption, MessageIcon icon) override;

private:
    bool connectedAnyway_;
};

// pmvctl calibrate CH VARIANT [--yes|--no] PROFILE: one calibration procedure of a channel on
// the values of PROFILE, which is saved when the procedure changed the model.
int RunCalibrate(TerminalSession& session, const Arguments& arguments);

inline constexpr const char* kCalibrateUsage = "CH ku10|ku100|ki20|ki5|ref [--yes|--no] PROFILE";
inline constexpr const char* kCalibrateHelp =
    "Градуировка входа канала CH (1 или 2) по образцовому сигналу: ku10 (Ku 0-10 V), ku100 (Ku 0-100 mV), "
    "ki20 (Ki 0-20 мА), ki5 (Ki 0-5 мА), ref (UREF и RREF по двум резисторам). Образцовые значения, выдержки, "
    "числа измерений и границы берутся из профиля; результат сохраняется в профиль. --yes отвечает да на все "
    "вопросы; --no считает образец подключенным и не записывает результат в прибор. Ctrl-C прерывает.";

}  // namespace pmv::cli
