// screenshot.h -- the picture the player sees, written as a PNG file into
// screenshots/ of the working folder (the run folder, or the player's own
// folder when installed), named by the date and time it was taken so that
// none overwrites another. Writes no GameState fields.
#pragma once

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <string>

namespace valmoren {

constexpr const char* SCREENSHOT_FOLDER = "screenshots";

// The name for a picture taken at `when` (local time), the `copy`th of that
// second counting from 1: "valmoren_2025-05-20_14-03-07.png", then
// "valmoren_2025-05-20_14-03-07_002.png" and on, which sort in the order taken.
std::string screenshot_name(const std::tm& when, int copy);

// Writes `pixels` (0x00RRGGBB, w x h, top row first) as a compressed RGB PNG
// into an open file; false, with libpng's reason in `why`, when it cannot.
bool write_png(std::FILE* f, const uint32_t* pixels, int w, int h, std::string& why);

// Writes `pixels` (0x00RRGGBB, w x h, top row first) as an RGB PNG under a
// new name in screenshots/ (made when missing). The path written, relative to
// the working folder, or "" when nothing could be written (then `error`, when
// given, says why and no part-written file is left).
std::string save_screenshot(const uint32_t* pixels, int w, int h, std::time_t when,
                            std::string* error = nullptr);

}  // namespace valmoren
