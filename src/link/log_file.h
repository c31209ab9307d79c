#pragma once

#include <cstdint>
#include <cstdio>
#include <string>

namespace pmv::link {

// A log that reaches this size is set aside as NAME.1 (replacing an older one) and a new file is
// begun, so that a poll running for days never fills the disk. The lines themselves do not change.
inline constexpr uint64_t kLogRotateBytes = 64ull * 1024 * 1024;

// Opens a log file for appending one entry, rotating it first when it has reached `limit`
// bytes. Returns nullptr when the file cannot be opened; a failed rotation still appends.
std::FILE* OpenLogForAppend(const std::string& path, uint64_t limit = kLogRotateBytes);

// A log kept open between entries, each entry flushed whole, so that after every entry the file
// holds the same bytes as opening, appending and closing would leave. The name is looked up at
// every entry: when it now means another file (removed, set aside, another working folder) or
// none, that one is opened; the rotation is the one above.
class LogFile {
public:
    LogFile() = default;
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;
    ~LogFile() { Close(); }

    // The file to write one entry to; nullptr when it cannot be opened.
    std::FILE* Begin(const std::string& path, uint64_t limit = kLogRotateBytes);
    // Puts the entry on disk; false when the system refused it (a full disk), with errno set.
    bool End();

private:
    void Close();

    std::FILE* file_ = nullptr;
    std::string path_;
    uint64_t device_ = 0, inode_ = 0;
};

}  // namespace pmv::link
