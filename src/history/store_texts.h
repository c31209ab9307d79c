#pragma once

// What both stores of the history say and stamp alike; for the stores alone.

#include <cstdint>
#include <optional>
#include <string>

namespace pmv::history {

// Local time "YYYY-MM-DDTHH:MM:SS", as every row is stamped.
std::string LocalNow();

std::string WriteFailure(const std::string& where, const std::string& reason);
std::string ReadFailure(const std::string& where, const std::string& reason);

// Why a number reserved at `reserved` (local ISO time) counts as given: its production's outcome,
// nullopt while it has none.
std::string ReservedText(int32_t typeCode, int32_t serial, const std::string& reserved, std::optional<int64_t> outcome);
// A number written into an instrument at `written`.
std::string WrittenText(int32_t typeCode, int32_t serial, const std::string& written);
std::string PassportExistsText(int32_t typeCode, int32_t serial);
// Every number of the type code is given: the history's last, or the last passport.
std::string RangeEndText(int32_t typeCode, bool passport);
std::string GivenTwiceText(int32_t typeCode, int32_t serial);

}  // namespace pmv::history
