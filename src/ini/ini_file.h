#pragma once

#include "ini/file_error.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace pmv::ini {

// An INI document that follows the Windows private-profile rules, so that files move freely
// between this program and Windows programs. Text is UTF-8 in memory and Windows-1251 on disk.
//
// Reading: section and key names match without regard to ASCII case; the first matching
// section and in it the first matching key win; keys before the first section are not
// readable; blanks and tabs around names and values are dropped, then one outer pair of
// matching quotes is removed from a value; lines starting with ';' are comments; a section
// name ends at its first ']'; CRLF, LF and CR line ends all read; a value is cut to its first
// 1023 bytes (as stored on disk).
//
// Writing: the value of the first matching key is replaced on its own line (the key's casing
// kept), or "key=value" is appended after the last key line of the section, or "[Section]" and
// the key are appended at the end of the file; every other line stays byte for byte. New lines
// end with CRLF. A new file is exactly "[Section]\r\nkey=value\r\n".
class IniFile {
public:
    IniFile() = default;

    // Reads the file at path. A missing or unreadable file gives an empty document;
    // exists() tells which.
    static IniFile Load(const std::string& path);

    bool exists() const { return exists_; }
    // False when the file exists but could not be read.
    bool readable() const { return readError_ == 0; }
    // Why the file could not be read: the errno of its open or read; 0 when it was read.
    int readError() const { return readError_; }

    bool hasSection(const std::string& section) const;

    // The value of section/key, or nothing when the section or key is missing.
    std::optional<std::string> get(const std::string& section, const std::string& key) const;
    std::string getString(const std::string& section, const std::string& key, const std::string& fallback) const;
    // The line (from 1) of the key that get() reads, or nothing when it reads none.
    std::optional<std::size_t> lineOf(const std::string& section, const std::string& key) const;

    // Changes the document in memory only; save() puts it on disk. A value holding CR or LF
    // is refused (false, nothing changed): read back, its second line would be a key of its own.
    bool set(const std::string& section, const std::string& key, const std::string& value);

    // Replaces the file atomically (temporary file in the same folder, flush, rename, the old
    // file's permissions kept). A missing folder or a read-only file fails; nothing is created.
    // On failure returns the step the system refused with its errno (a file that could not be
    // read is not replaced: its Read).
    std::optional<FileError> save(const std::string& path) const;

    // The document as it would be written to disk (Windows-1251 bytes).
    std::string bytes() const;

private:
    // The line of the first section named name (Windows-1251), or lines_.size() when none.
    std::size_t findSection(const std::string& name) const;
    // Inserts a line ending with CRLF before line at.
    void insertLine(std::size_t at, const std::string& text);

    std::vector<std::string> lines_;  // raw Windows-1251 lines without their line ends
    // The lines that open a section, in file order: a profile asks for hundreds of keys, and
    // looking each section up through every line made loading and saving grow with the square.
    std::vector<std::size_t> sectionLines_;
    std::vector<std::string> ends_;  // the line end that followed each line ("" for the last)
    bool exists_ = false;
    int readError_ = 0;  // the file exists but could not be read (errno); save() refuses
};

// Integer text as the instrument's files write it: optional sign, then decimal digits, or
// hexadecimal digits after "0x", "0X" or "$". The whole text must be the number and fit in
// 32 bits (hexadecimal up to FFFFFFFF, taken as the bit pattern). Otherwise nothing.
std::optional<int32_t> ParseIniInt(const std::string& text);

// One read or one write of a single key, as the platform's private-profile calls do it:
// the file is read anew each time, and a write replaces the file atomically.
std::string ReadIniString(const std::string& path, const std::string& section, const std::string& key,
                          const std::string& fallback);
// A value holding CR or LF is refused with EINVAL.
std::optional<FileError> WriteIniString(const std::string& path, const std::string& section, const std::string& key,
                                        const std::string& value);

// Replaces the file at path with bytes as IniFile::save does (a symbolic link followed, the old
// file's permissions kept, a read-only file or folder refused), for any file a layer saves.
std::optional<FileError> ReplaceFile(const std::string& path, const std::string& bytes);

}  // namespace pmv::ini
