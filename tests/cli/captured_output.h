#pragma once

#include <cstdio>
#include <string>

namespace pmv::test {

// What pmvctl wrote into a temporary file standing for one of its streams; the file is closed.
inline std::string Slurp(std::FILE* f)
{
    std::rewind(f);
    std::string text;
    char buffer[4096];
    for (size_t n; (n = std::fread(buffer, 1, sizeof buffer, f)) > 0;)
        text.append(buffer, n);
    std::fclose(f);
    return text;
}

}  // namespace pmv::test
