// The INI reader on arbitrary file bytes: load, the exact bytes back, reads, a write, a save and
// a reload that must show the value written.
#include "ini/cp1251.h"
#include "ini/ini_file.h"

#include <unistd.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

std::string Folder()
{
    static const std::string folder = [] {
        // Every save syncs its file: on a memory file system that costs nothing.
        char shm[] = "/dev/shm/pmv-ini-fuzz-XXXXXX";
        char tmp[] = "/tmp/pmv-ini-fuzz-XXXXXX";
        const char* made = ::mkdtemp(shm);
        if (made == nullptr)
            made = ::mkdtemp(tmp);
        if (made == nullptr)
            std::abort();
        return std::string(made);
    }();
    return folder;
}

void WriteFile(const std::string& path, const uint8_t* data, size_t size)
{
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr)
        std::abort();
    if (size > 0 && std::fwrite(data, 1, size, f) != size)
        std::abort();
    std::fclose(f);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string path = Folder() + "/f.ini";
    WriteFile(path, data, size);
    pmv::ini::IniFile file = pmv::ini::IniFile::Load(path);
    if (file.bytes() != std::string(reinterpret_cast<const char*>(data), size))
        std::abort();

    // Names and a value taken from the input, so that they meet its sections and keys.
    const std::string text(reinterpret_cast<const char*>(data), size < 48 ? size : 48);
    const std::string section = text.substr(0, text.size() / 3);
    const std::string key = text.substr(text.size() / 3, text.size() / 3);
    const std::string value = text.substr(2 * (text.size() / 3));
    (void)file.get(section, key);
    (void)file.getString("CH1", "dat", "0");
    const bool valid = !section.empty() && !key.empty() && section.find_first_of("]\r\n;") == std::string::npos &&
                       key.find_first_of("=\r\n[;") == std::string::npos && section.find_first_not_of(" \t") == 0 &&
                       key.find_first_not_of(" \t") == 0 && section.back() != ' ' && section.back() != '\t' &&
                       key.back() != ' ' && key.back() != '\t' && value.find_first_of("\r\n") == std::string::npos &&
                       value.size() < 1000 && value.find_first_not_of(" \t\"'") == 0 && value.back() != ' ' &&
                       value.back() != '\t' && value.back() != '"' && value.back() != '\'';
    const bool set = file.set(section, key, value);
    if (set == (value.find_first_of("\r\n") != std::string::npos))
        std::abort();
    if (file.save(path))
        return 0;
    const pmv::ini::IniFile reloaded = pmv::ini::IniFile::Load(path);
    if (reloaded.bytes() != file.bytes())
        std::abort();
    // A value read back equals the one written when the names and the value survive the
    // private-profile trimming rules and the Windows-1251 conversion unchanged.
    if (valid && pmv::ini::Cp1251ToUtf8(pmv::ini::Utf8ToCp1251(value)) == value &&
        pmv::ini::Cp1251ToUtf8(pmv::ini::Utf8ToCp1251(section)) == section &&
        pmv::ini::Cp1251ToUtf8(pmv::ini::Utf8ToCp1251(key)) == key && reloaded.get(section, key) != value)
        std::abort();
    return 0;
}
