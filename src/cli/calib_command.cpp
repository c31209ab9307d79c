#include "calib_command.h"

#include "command_table.h"

#include "binding/history_records.h"
#include "device/calibration_coefficients.h"
#include "device/service_commands.h"

namespace pmv::cli {

int RunCalib(TerminalSession& s, const Arguments& a)
{
    const auto channel = ParseNumber(a.words[1], 1, 2);
    if (!channel)
        return Usage(s.console, "канал 1 или 2");
    const auto ch = static_cast<uint32_t>(*channel - 1);
    const model::ChannelSettings& c = s.model.channel[ch];
    if (a.words[0] == "read" && a.words.size() == 2) {
        s.progress.DiscardEscape();
        if (const ErrorCode code = device::ReadCalibrationCoefficients(s.device, ch); code != kOk)
            return s.Finish(code);
        std::fprintf(s.console.out,
                     "UREF %.4f\nRREF %.4f\nKu 100 mV %.4f\nKu 10 V %.4f\nKi 0-5 mA %.4f\nKi 0-20 mA %.4f\n", c.uref,
                     c.rref, c.ku, c.ku10, c.ki05, c.ki020);
        return 0;
    }
    if (a.words[0] == "write" && a.words.size() == 3) {
        std::string error;
        if (!LoadProfileUnchanged(a.words[2], s.model, true, error))
            return s.FileFailure(error);
        const auto coefficients = [ch](model::Group group, unsigned groupChannel) {
            return group == model::Group::Calibration && groupChannel == ch + 1;
        };
        if (RefusedToSend(s, a.words[2], coefficients, false, false))
            return TerminalSession::kFileFailure;
        s.progress.DiscardEscape();
        const binding::RecordedCoefficientsWrite written =
            binding::WriteCoefficientsWithRecord(s.device, ch, a.words[2], [&](ErrorCode code) { s.Finish(code); });
        s.Finish(written.restart);
        s.Record(written.record);
        return static_cast<int>(CodeNumber(written.result()));
    }
    return Usage(s.console, "неверные параметры");
}

}  // namespace pmv::cli
