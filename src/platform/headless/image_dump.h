// image_dump.h -- BMP and PNG writers for pages of 0x00RRGGBB pixels.
#pragma once

#include <cstdint>
#include <string>

namespace valmoren {

bool save_pixels_png(const std::string& path, const uint32_t* pixels, int w, int h);
bool save_pixels_bmp(const std::string& path, const uint32_t* pixels, int w, int h);

}  // namespace valmoren
