#pragma once

#include <string>

namespace pmv::model {

// A float as every number field, profile, panel and log shows it: "%8.4f", with a point as the
// decimal separator whatever the user's locale (5 gives "  5.0000").
std::string FormatNumber(float value);

}  // namespace pmv::model
