#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace pmv {

// A log that reaches this size is set aside as NAME.1 (replacing an older one) and a new file is
// begun, so that a poll running for days never fills the disk. The lines themselves do not change.
inline constexpr uint64_t kLogRotateBytes = 64ull * 1024 * 1024;

// Opens a log file for appending one entry, rotating it first when it has reached `limit`
// bytes. Returns nullptr when the file cannot be opened; a failed rotation still appends.
std::FILE* OpenLogForAppend(const std::string& path, uint64_t limit = kLogRotateBytes);

}  // namespace pmv
