#include "reports/page_pdf.h"

namespace pmv::reports {

bool SavesUnderItsName(const std::string& path)
{
    // Well-formed UTF-8: no stray continuation byte, no overlong form, no surrogate, nothing above U+10FFFF.
    const auto byte = [&](size_t at) { return static_cast<unsigned char>(path[at]); };
    for (size_t i = 0; i < path.size();) {
        const unsigned char lead = byte(i);
        if (lead < 0x80) {
            ++i;
            continue;
        }
        size_t length = 0;
        unsigned char low = 0x80, high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            length = 2;
        } else if (lead >= 0xE0 && lead <= 0xEF) {
            length = 3;
            low = lead == 0xE0 ? 0xA0 : low;
            high = lead == 0xED ? 0x9F : high;
        } else if (lead >= 0xF0 && lead <= 0xF4) {
            length = 4;
            low = lead == 0xF0 ? 0x90 : low;
            high = lead == 0xF4 ? 0x8F : high;
        } else {
            return false;
        }
        if (i + length > path.size() || byte(i + 1) < low || byte(i + 1) > high)
            return false;
        for (size_t k = 2; k < length; ++k)
            if (byte(i + k) < 0x80 || byte(i + k) > 0xBF)
                return false;
        i += length;
    }
    return true;
}

}  // namespace pmv::reports
