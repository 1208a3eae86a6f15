// bmpwrite.h -- writes the game's pictures as 24-bit uncompressed BMP files
// (40-byte info header, bottom-up rows padded to 4 bytes).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace valmoren::assetgen {

// The BMP file bytes for a w x h picture of 0x00RRGGBB pixels, top row first.
std::vector<uint8_t> encode_bmp24(int w, int h, const std::vector<uint32_t>& pixels);

// Writes the picture to `path`; false when the file cannot be written.
bool write_bmp24(const std::string& path, int w, int h, const std::vector<uint32_t>& pixels);

}  // namespace valmoren::assetgen
