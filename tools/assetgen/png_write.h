// png_write.h -- PNG files of the generator's pictures (the review sheet, the
// game's icons): 8-bit RGB or RGBA, filtered and compressed as small as zlib
// makes them (the browser's icons come with a first visit).
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace valmoren::assetgen {

// A w x h picture, top row first: 0x00RRGGBB pixels, or 0xAARRGGBB with `alpha`;
// empty when zlib fails.
std::vector<uint8_t> encode_png(int w, int h, const std::vector<uint32_t>& pixels, bool alpha);

// Writes encode_png's bytes to `path`; false when the file cannot be written.
bool write_png(const std::string& path, int w, int h, const std::vector<uint32_t>& pixels,
               bool alpha = false);

}  // namespace valmoren::assetgen
