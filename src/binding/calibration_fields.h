#pragma once

#include "messages/error_codes.h"
#include "model/settings_model.h"

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace pmv {
class Messages;
}  // namespace pmv

namespace pmv::binding {

// The settings of the calibration procedures as the service dialog edits them: the reference
// values of each channel and the section Grad. Each field is named by its control.
struct CalibrationField {
    enum class Kind {
        Real,
        Whole,
        Flag,
    };
    const char* name;   // control name: the profile key, with the channel number for set_*
    const char* label;  // the field as the operator knows it, also in its error message
    Kind kind;
    float* (*real)(model::SettingsModel&);
    int32_t* (*whole)(model::SettingsModel&);
    int32_t min, max;  // Whole
};

using FieldTexts = std::map<std::string, std::string>;

// Reals as "%8.4f", wholes in decimal, the flag as "1" or "0".
FieldTexts ShowCalibrationFields(model::SettingsModel& model);

// Checks every text first: a real must be a number text, a whole a decimal number within its
// bounds (dwell times from 1 s, measurement counts 1..255). The first failure is named in an
// error box and gives 17 with the model untouched; else every field goes into the model and 0.
ErrorCode GatherCalibrationFields(const FieldTexts& texts, model::SettingsModel& model, Messages& messages);

}  // namespace pmv::binding
