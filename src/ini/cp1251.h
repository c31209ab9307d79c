#pragma once

#include <string>

namespace pmv::ini {

// Windows-1251 bytes on disk, UTF-8 in memory. Characters with no Windows-1251 form become '?'.
std::string Cp1251ToUtf8(const std::string& bytes);
std::string Utf8ToCp1251(const std::string& text);

}  // namespace pmv::ini
