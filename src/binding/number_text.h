#pragma once

#include "model/number_format.h"

#include <cstdint>
#include <optional>
#include <string>

namespace pmv::binding {

// A number field read back with "%f", a decimal comma taken as the point (Russian users type
// "7,5"): leading blanks are skipped and the scan stops at the first character that does not
// fit ("1.5x" gives 1.5); nothing when nothing scans.
std::optional<float> ScanNumberText(const std::string& text);
// ScanNumberText, 0 when nothing scans.
float ParseNumberText(const std::string& text);

// The entry check of a number field: without its outer blanks, the text holds only the
// characters "0123456789+-.," and is one finite number as a whole, with a point or a comma
// ("1-2.3.4", "+." and "" fail).
bool IsNumberText(const std::string& text);

// The check of the serial number field: without its outer blanks, the text is not empty,
// holds decimal digits only, and its number does not exceed history::kLastSerial.
bool IsSerialNumberText(const std::string& text);

// The serial number field scanned as an unsigned decimal number ("%u": leading blanks, an
// optional sign, the digits up to the first other character); 0 when nothing scans. Numbers
// above history::kLastSerial, and negative ones (which "%u" wraps to large numbers), give
// history::kLastSerial + 1.
uint32_t ScanSerialNumber(const std::string& text);

}  // namespace pmv::binding
