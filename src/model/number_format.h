#pragma once

#include <optional>
#include <string>

namespace pmv::model {

// A float as every number field, profile, panel and log shows it: "%8.4f", with a point as the
// decimal separator whatever the user's locale (5 gives "  5.0000").
std::string FormatNumber(float value);

// A float value of a profile as the "%f" scan reads it: only its first 16 characters, leading
// white space skipped, the rest after the number ignored. A point or a comma is the decimal
// separator whatever the locale: hand-edited profiles carry the comma of Russian typing, and
// files are still written with the point. Infinities and NaN, which no setting can hold, count
// as not a number.
std::optional<float> ParseProfileFloat(const std::string& text);

// The same value only when the number is the whole text (blanks around it aside), in decimal
// digits: what a profile about to be sent must hold, so that "5O.0" is not sent as 5 nor
// "0x32" as 50.
std::optional<float> ScanWholeProfileFloat(const std::string& text);

}  // namespace pmv::model
