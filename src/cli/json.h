#pragma once

#include <string>

namespace pmv::cli {

// A JSON string: quoted, with quotes, backslashes and control characters escaped; UTF-8 passes.
std::string JsonString(const std::string& text);

// A value as the program shows it ("55.5000", "3") as a JSON number; a text that is no JSON
// number (e.g. "nan" from an instrument) stays a string rather than breaking the document.
std::string JsonNumber(const std::string& text);

}  // namespace pmv::cli
