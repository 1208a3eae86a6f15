// screenshot.cpp -- the names screenshots are given. Writes no GameState
// fields.
#include "platform/screenshot.h"

#include <cstdio>

namespace valmoren {

std::string screenshot_name(const std::tm& when, int copy) {
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "valmoren_%04d-%02d-%02d_%02d-%02d-%02d", when.tm_year + 1900,
                  when.tm_mon + 1, when.tm_mday, when.tm_hour, when.tm_min, when.tm_sec);
    std::string name = stamp;
    if (copy > 1) {
        char number[16];
        std::snprintf(number, sizeof number, "_%03d", copy);  // three digits: _002 sorts before _010
        name += number;
    }
    return name + ".png";
}

}  // namespace valmoren
