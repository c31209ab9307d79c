#pragma once

#include <optional>
#include <string>

namespace pmv::model {

// Writes each of the ten factory profiles that is missing from the current directory, in
// their order; an existing file is never changed, whatever it holds. Stops at the first
// profile that cannot be written and returns "Unable to write to <path>"; the profiles
// written before it stay.
std::optional<std::string> CreateDefaultProfiles();

}  // namespace pmv::model
