// png_support.h -- PNG files through libpng: read back for the screenshot
// tests of both backends, and written compressed for pictures of the game.
#pragma once

#include <png.h>

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/screenshot.h"

namespace valmoren::testing_support {

// The file's pixels as 0x00RRGGBB, top row first, with its size in w and h;
// empty when it does not decode.
inline std::vector<uint32_t> decode_png(const std::string& path, int& w, int& h) {
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) return {};
    image.format = PNG_FORMAT_RGB;
    std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) return {};
    w = static_cast<int>(image.width);
    h = static_cast<int>(image.height);
    std::vector<uint32_t> pixels(static_cast<size_t>(w) * h);
    for (size_t i = 0; i < pixels.size(); ++i)
        pixels[i] = (uint32_t{rgb[i * 3]} << 16) | (uint32_t{rgb[i * 3 + 1]} << 8) | rgb[i * 3 + 2];
    return pixels;
}

// Writes 0x00RRGGBB pixels (top row first) as a PNG file, as a screenshot is.
inline bool encode_png(const std::string& path, const uint32_t* pixels, int w, int h) {
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    std::string why;
    const bool written = write_png(f, pixels, w, h, why);
    return std::fclose(f) == 0 && written;
}

}  // namespace valmoren::testing_support
