#pragma once

#include "ini/file_error.h"

#include <optional>

namespace pmv::model {

// Writes each of the ten factory profiles that is missing from the current directory, in
// their order; an existing file is never changed, whatever it holds. Stops at the first
// profile that cannot be written and returns what the system refused; the profiles written
// before it stay.
std::optional<ini::FileError> CreateDefaultProfiles();

}  // namespace pmv::model
