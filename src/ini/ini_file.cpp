#include "ini/ini_file.h"

#include "ini/cp1251.h"

#include <dirent.h>
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <string_view>

namespace pmv::ini {

namespace {

constexpr std::size_t kMaxValueBytes = 1023;
constexpr const char* kNewLineEnd = "\r\n";

bool IsBlank(char c) { return c == ' ' || c == '\t'; }

std::string_view Trim(std::string_view s)
{
    while (!s.empty() && IsBlank(s.front()))
        s.remove_prefix(1);
    while (!s.empty() && IsBlank(s.back()))
        s.remove_suffix(1);
    return s;
}

char AsciiLower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b)
{
    if (a.size() != b.size())
        return false;
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (AsciiLower(a[i]) != AsciiLower(b[i]))
            return false;
    }
    return true;
}

// What one line of the file is, by the private-profile reading rules.
struct Line {
    enum Kind {
        Other,
        Section,
        Key,
    } kind = Other;
    std::string_view name;    // section or key name, trimmed
    std::string_view value;   // key value as read: trimmed, outer quotes removed, cut
    std::size_t valueAt = 0;  // where the value starts: just after the '='
};

Line Classify(std::string_view text)
{
    const std::string_view t = Trim(text);
    if (t.empty() || t.front() == ';')
        return {};
    if (t.front() == '[') {
        const std::string_view inside = t.substr(1);
        return {Line::Section, Trim(inside.substr(0, inside.find(']'))), {}, 0};
    }
    const std::size_t eq = text.find('=');
    if (eq == std::string_view::npos)
        return {};
    std::string_view value = Trim(text.substr(eq + 1));
    if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front())
        value = value.substr(1, value.size() - 2);
    return {Line::Key, Trim(text.substr(0, eq)), value.substr(0, kMaxValueBytes), eq + 1};
}

// 0, or the errno of the open or read that failed.
int ReadWholeFile(const std::string& path, std::string& content)
{
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0)
        return errno;
    char buffer[65536];
    int error = 0;
    for (;;) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n > 0) {
            content.append(buffer, static_cast<std::size_t>(n));
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            error = errno;
            break;
        }
    }
    ::close(fd);
    return error;
}

// 0, or the errno of the write that failed.
int WriteAll(int fd, const std::string& data)
{
    std::size_t done = 0;
    while (done < data.size()) {
        const ssize_t n = ::write(fd, data.data() + done, data.size() - done);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            return errno;
        // A write that takes nothing of a regular file is the device failing.
        if (n == 0)
            return EIO;
        done += static_cast<std::size_t>(n);
    }
    return 0;
}

std::string FolderOf(const std::string& path)
{
    const std::size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a write lands in: a symbolic link is followed, so the link stays a link, also when
// the file it points to does not exist yet.
std::string WriteTarget(const std::string& path)
{
    std::string target = path;
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st {};
        if (::lstat(target.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return target;
        std::string next(static_cast<std::size_t>(st.st_size > 0 ? st.st_size : 4096) + 1, '\0');
        const ssize_t n = ::readlink(target.c_str(), next.data(), next.size());
        if (n <= 0 || static_cast<std::size_t>(n) >= next.size())
            return target;
        next.resize(static_cast<std::size_t>(n));
        target = next.front() == '/' || target.find('/') == std::string::npos ? next : FolderOf(target) + "/" + next;
    }
    return target;
}

// The temporary file of a save is target + ".tmp" + the saving process's id + "_" + a number.
// A process killed during its save leaves it behind; those of processes that are gone go now.
void RemoveStaleTemporaries(const std::string& target)
{
    const std::size_t slash = target.rfind('/');
    const std::string prefix = (slash == std::string::npos ? target : target.substr(slash + 1)) + ".tmp";
    DIR* folder = ::opendir(FolderOf(target).c_str());
    if (folder == nullptr)
        return;
    while (const dirent* entry = ::readdir(folder)) {
        const std::string_view name = entry->d_name;
        if (!name.starts_with(prefix))
            continue;
        const std::string_view rest = name.substr(prefix.size());
        const std::size_t underscore = rest.find('_');
        const auto digits = [](std::string_view t) {
            return !t.empty() && t.size() < 10 && t.find_first_not_of("0123456789") == std::string_view::npos;
        };
        if (underscore == std::string_view::npos || !digits(rest.substr(0, underscore)) ||
            !digits(rest.substr(underscore + 1)))
            continue;
        const auto pid = static_cast<pid_t>(std::stol(std::string(rest.substr(0, underscore))));
        if (pid != ::getpid() && ::kill(pid, 0) != 0 && errno == ESRCH)
            ::unlinkat(::dirfd(folder), entry->d_name, 0);
    }
    ::closedir(folder);
}

// Writes data to a fresh file beside target and renames it over target, so that a crash or a
// full disk leaves either the old file or the new one. On failure leaves no trace and tells which
// step the system refused, with its errno; `path` is the name the caller gave.
std::optional<FileError> ReplaceAtomically(const std::string& path, const std::string& target, const std::string& data)
{
    const std::string folder = FolderOf(target);
    const std::string otherFolder = folder == FolderOf(path) ? std::string() : folder;
    const auto refused = [&](FileOperation operation, int error) {
        return FileError{operation, path, error, otherFolder};
    };
    struct stat folderStat {};
    if (::stat(folder.c_str(), &folderStat) != 0)
        return refused(FileOperation::OpenFolder, errno);
    if (!S_ISDIR(folderStat.st_mode))
        return refused(FileOperation::OpenFolder, ENOTDIR);
    // A folder without write bits is kept like a read-only file, also from root.
    if ((folderStat.st_mode & 0222) == 0)
        return refused(FileOperation::CreateFile, EACCES);

    struct stat old {};
    const bool replacing = ::stat(target.c_str(), &old) == 0;
    // A link loop or a name that cannot be looked up is no missing file to create.
    if (!replacing && errno != ENOENT)
        return refused(FileOperation::Write, errno);
    if (replacing) {
        if (S_ISDIR(old.st_mode))
            return refused(FileOperation::Write, EISDIR);
        // A device, a pipe or a socket under the name is not replaced by a file.
        if (!S_ISREG(old.st_mode))
            return refused(FileOperation::Write, EINVAL);
        // A read-only file stays untouched, as the read-only attribute keeps it on Windows;
        // the mode bits are tested too because root passes every access() test.
        if ((old.st_mode & 0222) == 0)
            return refused(FileOperation::Write, EACCES);
        if (::access(target.c_str(), W_OK) != 0)
            return refused(FileOperation::Write, errno);
    }

    RemoveStaleTemporaries(target);
    std::string temp;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temp = target + ".tmp" + std::to_string(::getpid()) + "_" + std::to_string(attempt);
        fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST)
            return refused(FileOperation::CreateFile, errno);
    }
    if (fd < 0)
        return refused(FileOperation::CreateFile, EEXIST);

    std::optional<FileError> failure;
    if (replacing && ::fchmod(fd, old.st_mode & 07777) != 0)
        failure = refused(FileOperation::Write, errno);
    else if (const int error = WriteAll(fd, data); error != 0)
        failure = refused(FileOperation::Write, error);
    else if (::fsync(fd) != 0)
        failure = refused(FileOperation::Sync, errno);
    if (::close(fd) != 0 && !failure)
        failure = refused(FileOperation::Sync, errno);
    if (!failure && std::rename(temp.c_str(), target.c_str()) != 0)
        failure = refused(FileOperation::Rename, errno);
    if (failure) {
        ::unlink(temp.c_str());
        return failure;
    }
    const int dir = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return std::nullopt;
}

}  // namespace

IniFile IniFile::Load(const std::string& path)
{
    IniFile file;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode))
        return file;
    file.exists_ = true;
    std::string content;
    file.readError_ = ReadWholeFile(path, content);
    if (file.readError_ != 0)
        return file;
    std::size_t start = 0;
    while (start < content.size()) {
        const std::size_t end = content.find_first_of("\r\n", start);
        if (end == std::string::npos) {
            file.lines_.push_back(content.substr(start));
            file.ends_.emplace_back();
            break;
        }
        const std::size_t endLength = content.compare(end, 2, "\r\n") == 0 ? 2 : 1;
        file.lines_.push_back(content.substr(start, end - start));
        file.ends_.push_back(content.substr(end, endLength));
        start = end + endLength;
    }
    for (std::size_t i = 0; i < file.lines_.size(); ++i) {
        if (Classify(file.lines_[i]).kind == Line::Section)
            file.sectionLines_.push_back(i);
    }
    return file;
}

std::size_t IniFile::findSection(const std::string& name) const
{
    for (const std::size_t i : sectionLines_) {
        if (SameName(Classify(lines_[i]).name, name))
            return i;
    }
    return lines_.size();
}

std::optional<std::size_t> IniFile::lineOf(const std::string& section, const std::string& key) const
{
    const std::size_t header = findSection(Utf8ToCp1251(section));
    if (header == lines_.size())
        return std::nullopt;
    const std::string name = Utf8ToCp1251(key);
    for (std::size_t i = header + 1; i < lines_.size(); ++i) {
        const Line line = Classify(lines_[i]);
        if (line.kind == Line::Section)
            break;
        if (line.kind == Line::Key && SameName(line.name, name))
            return i + 1;
    }
    return std::nullopt;
}

std::optional<std::string> IniFile::get(const std::string& section, const std::string& key) const
{
    const std::optional<std::size_t> line = lineOf(section, key);
    if (!line)
        return std::nullopt;
    return Cp1251ToUtf8(std::string(Classify(lines_[*line - 1]).value));
}

std::string IniFile::getString(const std::string& section, const std::string& key, const std::string& fallback) const
{
    return get(section, key).value_or(fallback);
}

bool IniFile::hasSection(const std::string& section) const
{
    return findSection(Utf8ToCp1251(section)) != lines_.size();
}

bool IniFile::set(const std::string& section, const std::string& key, const std::string& value)
{
    if (value.find_first_of("\r\n") != std::string::npos)
        return false;
    const std::string sectionName = Utf8ToCp1251(section);
    const std::string name = Utf8ToCp1251(key);
    const std::string bytes = Utf8ToCp1251(value);

    const std::size_t header = findSection(sectionName);
    if (header == lines_.size()) {
        insertLine(lines_.size(), "[" + sectionName + "]");
        insertLine(lines_.size(), name + "=" + bytes);
        return true;
    }
    std::size_t lastKey = header;
    for (std::size_t i = header + 1; i < lines_.size(); ++i) {
        const Line line = Classify(lines_[i]);
        if (line.kind == Line::Section)
            break;
        if (line.kind != Line::Key)
            continue;
        if (SameName(line.name, name)) {
            lines_[i] = lines_[i].substr(0, line.valueAt) + bytes;
            return true;
        }
        lastKey = i;
    }
    insertLine(lastKey + 1, name + "=" + bytes);
    return true;
}

void IniFile::insertLine(std::size_t at, const std::string& text)
{
    // A last line without a line end gets one before anything follows it.
    if (at > 0 && ends_[at - 1].empty())
        ends_[at - 1] = kNewLineEnd;
    lines_.insert(lines_.begin() + static_cast<std::ptrdiff_t>(at), text);
    ends_.insert(ends_.begin() + static_cast<std::ptrdiff_t>(at), kNewLineEnd);
    const auto later = std::lower_bound(sectionLines_.begin(), sectionLines_.end(), at);
    for (auto i = later; i != sectionLines_.end(); ++i)
        ++*i;
    if (Classify(text).kind == Line::Section)
        sectionLines_.insert(later, at);
}

std::string IniFile::bytes() const
{
    std::string out;
    for (std::size_t i = 0; i < lines_.size(); ++i)
        out += lines_[i] + ends_[i];
    return out;
}

std::optional<FileError> IniFile::save(const std::string& path) const
{
    // A file that exists but could not be read is never replaced: its content would be lost.
    if (readError_ != 0)
        return FileError{FileOperation::Read, path, readError_};
    return ReplaceAtomically(path, WriteTarget(path), bytes());
}

std::optional<FileError> ReplaceFile(const std::string& path, const std::string& bytes)
{
    return ReplaceAtomically(path, WriteTarget(path), bytes);
}

std::optional<int32_t> ParseIniInt(const std::string& text)
{
    std::string_view t = text;
    bool negative = false;
    if (!t.empty() && (t.front() == '+' || t.front() == '-')) {
        negative = t.front() == '-';
        t.remove_prefix(1);
    }
    unsigned base = 10;
    if (t.size() >= 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
        base = 16;
        t.remove_prefix(2);
    } else if (!t.empty() && t.front() == '$') {
        base = 16;
        t.remove_prefix(1);
    }
    if (t.empty())
        return std::nullopt;

    const uint64_t limit = base == 16 ? 0xFFFFFFFFull : negative ? 0x80000000ull : 0x7FFFFFFFull;
    uint64_t value = 0;
    for (char c : t) {
        unsigned digit;
        if (c >= '0' && c <= '9')
            digit = static_cast<unsigned>(c - '0');
        else if (base == 16 && AsciiLower(c) >= 'a' && AsciiLower(c) <= 'f')
            digit = static_cast<unsigned>(AsciiLower(c) - 'a' + 10);
        else
            return std::nullopt;
        value = value * base + digit;
        if (value > limit)
            return std::nullopt;
    }
    // Hexadecimal text is a bit pattern: $FFFFFFFF is -1. Unsigned arithmetic wraps the same way
    // for the negated forms, and -2147483648 comes out exactly.
    const auto bits = static_cast<uint32_t>(negative ? 0 - value : value);
    return static_cast<int32_t>(bits);
}

std::string ReadIniString(const std::string& path, const std::string& section, const std::string& key,
                          const std::string& fallback)
{
    return IniFile::Load(path).getString(section, key, fallback);
}

std::optional<FileError> WriteIniString(const std::string& path, const std::string& section, const std::string& key,
                                        const std::string& value)
{
    IniFile file = IniFile::Load(path);
    if (!file.set(section, key, value))
        return FileError{FileOperation::Write, path, EINVAL};
    return file.save(path);
}

}  // namespace pmv::ini
