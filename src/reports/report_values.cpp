#include "reports/report_values.h"

#include "model/number_format.h"

#include <cstdio>

namespace pmv::reports {

std::string Value(float value) { return model::FormatNumber(value); }

std::string Value(int32_t value) { return std::to_string(value); }

std::optional<float> AccuracyFigure(const model::SettingsModel& model, int32_t dat)
{
    if (dat < 0 || dat >= model::kSensorCount)
        return std::nullopt;
    return model.datBound[static_cast<size_t>(dat)].pogr;
}

std::string InstrumentNumberOf(const model::SettingsModel& model)
{
    char type[16];
    std::snprintf(type, sizeof type, "%03u", static_cast<unsigned>(model.general.otk_type));
    return std::string(type) + "-" + Value(model.SerialNumber());
}

}  // namespace pmv::reports
