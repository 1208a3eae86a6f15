// bmp.cpp -- reads the game's Windows BMP pictures into images or straight onto
// the work page. The file is read into memory (no more of it than an image
// can hold), then parsed with every read checked against its end. Writes no
// GameState fields.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/core_hooks.h"
#include "platform/files.h"
#include "platform/screen.h"

namespace valmoren {

namespace {

constexpr size_t HEADERS_SIZE = 54;  // 14-byte file header + 40-byte information header
// An image holds only the rows its file gave, and never more than this many
// pixels (256 MB); rows of a larger picture beyond it are not read, as if the
// file had ended there. No picture the game uses comes near it.
constexpr unsigned long long PIXELS_HELD_MAX = 64u << 20;

uint16_t u16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t u32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

// Decodes into `img`: its size is the picture's, its pixels the bottom rows
// the file held whole (all of them, unless the file ends early).
int decode(const uint8_t* data, size_t size, Image& img) {
    empty_image(img);
    if (size < 1 || data[0] != 'B') return BMP_BAD;
    if (size < HEADERS_SIZE) return BMP_BAD;
    if (u16(data) != 0x4D42) return BMP_BAD;
    if (u32(data + 14) != 40) return BMP_BAD;

    const uint32_t data_offset = u32(data + 10);
    const int32_t width = static_cast<int32_t>(u32(data + 18));
    const int32_t height = static_cast<int32_t>(u32(data + 22));
    const int bits = u16(data + 28);
    const uint32_t compression = u32(data + 30);

    if (bits == 15 || bits == 16) return BMP_UNSUPPORTED;
    if (compression == 3) {
        if (size < HEADERS_SIZE + 4 || u32(data + HEADERS_SIZE) != 0xFF0000) return BMP_BAD;
    } else if (compression != 0) {
        return BMP_BAD;  // run-length and embedded formats are not read
    }
    if (bits != 1 && bits != 4 && bits != 8 && bits != 24 && bits != 32) return BMP_BAD;
    // Top-down files (negative height) and sizes an image cannot hold are refused.
    if (width <= 0 || height <= 0 || width > 0xFFFF || height > 0xFFFF) return BMP_BAD;

    // The palette fills the space between the headers and the pixel data.
    uint32_t palette[256];
    size_t pos = HEADERS_SIZE;
    long long entries = (static_cast<long long>(data_offset) - static_cast<long long>(HEADERS_SIZE)) / 4;
    if (entries < 0) entries = 0;
    if (static_cast<unsigned long long>(entries) > (size - pos) / 4) return BMP_BAD;
    const int kept = static_cast<int>(std::min<long long>(entries, 256));
    for (int i = 0; i < kept; ++i) {
        const uint8_t* e = data + pos + 4 * i;
        palette[i] = static_cast<uint32_t>(e[2]) << 16 | static_cast<uint32_t>(e[1]) << 8 | e[0];
    }
    // Indices past the palette take its first colour (black when it has none).
    std::fill(palette + kept, palette + 256, kept > 0 ? palette[0] : 0u);
    pos += static_cast<size_t>(entries) * 4;

    const unsigned long long w = static_cast<unsigned long long>(width);
    const unsigned long long h = static_cast<unsigned long long>(height);
    const unsigned long long row_pixel_bytes = (w * bits + 7) / 8;
    const unsigned long long row_stride = (w * bits + 31) / 32 * 4;
    // Rows whose pixels are all in the file (the last one may lack its padding).
    const unsigned long long left = size - pos;
    const unsigned long long whole_rows =
        left < row_pixel_bytes ? 0 : (left - row_pixel_bytes) / row_stride + 1;
    // The image is sized by what the file holds, so a header that claims
    // gigabytes costs no more than the bytes that are really there.
    const int rows_kept = static_cast<int>(std::min({whole_rows, h, PIXELS_HELD_MAX / w}));

    img.w = static_cast<uint16_t>(width);
    img.h = static_cast<uint16_t>(height);
    img.pixels.assign(static_cast<size_t>(rows_kept) * w, 0);

    for (int r = 0; r < rows_kept; ++r) {
        const uint8_t* src = data + pos + r * row_stride;
        uint32_t* dst = img.pixels.data() + (rows_kept - 1 - r) * w;
        switch (bits) {
        case 32:
            for (unsigned long long x = 0; x < w; ++x, src += 4) {
                dst[x] = static_cast<uint32_t>(src[2]) << 16 | static_cast<uint32_t>(src[1]) << 8 | src[0];
            }
            break;
        case 24:
            for (unsigned long long x = 0; x < w; ++x, src += 3) {
                dst[x] = static_cast<uint32_t>(src[2]) << 16 | static_cast<uint32_t>(src[1]) << 8 | src[0];
            }
            break;
        case 8:
            for (unsigned long long x = 0; x < w; ++x) dst[x] = palette[src[x]];
            break;
        case 4:
            for (unsigned long long x = 0; x < w; ++x) {
                const uint8_t b = src[x / 2];
                dst[x] = palette[x % 2 == 0 ? b >> 4 : b & 0x0F];
            }
            break;
        case 1:
            for (unsigned long long x = 0; x < w; ++x) {
                dst[x] = palette[(src[x / 8] >> (7 - x % 8)) & 1];
            }
            break;
        }
    }
    return rows_kept < height ? BMP_BAD : BMP_OK;
}

// How much of a picture file the reader can use, told by its first bytes: the
// headers, the palette and the rows an image may hold. A file whose headers
// are not there or make no sense is refused from what was read already.
unsigned long long bytes_wanted(const uint8_t* data, size_t size) {
    if (size < HEADERS_SIZE) return size;
    const int32_t width = static_cast<int32_t>(u32(data + 18));
    const int32_t height = static_cast<int32_t>(u32(data + 22));
    const unsigned long long bits = u16(data + 28);
    if (width <= 0 || height <= 0 || width > 0xFFFF || height > 0xFFFF || bits == 0 || bits > 32) return size;
    const unsigned long long w = static_cast<unsigned long long>(width);
    const unsigned long long rows = std::min<unsigned long long>(static_cast<unsigned long long>(height),
                                                                 PIXELS_HELD_MAX / w);
    // Where the rows begin; a file that puts them further back than any
    // palette reaches is read that far only, and refused for it.
    constexpr unsigned long long GAP_MAX = 16u << 20;
    const unsigned long long start = std::clamp<unsigned long long>(u32(data + 10), HEADERS_SIZE + 4, GAP_MAX);
    return start + rows * ((w * bits + 31) / 32 * 4);
}

// Reads the part of a picture file the reader can use into memory (all of
// it, for any picture the game has); false when it cannot be opened.
bool read_picture_file(const std::string& path, std::vector<uint8_t>& bytes) {
    bytes.clear();
    std::FILE* f = open_game_file(path, "rb");
    if (!f) return false;
    uint8_t chunk[65536];
    unsigned long long wanted = sizeof chunk;
    size_t got;
    while (bytes.size() < wanted &&
           (got = std::fread(chunk, 1, std::min<unsigned long long>(sizeof chunk, wanted - bytes.size()), f)) > 0) {
        const bool first = bytes.empty();
        bytes.insert(bytes.end(), chunk, chunk + got);
        if (first) wanted = std::max<unsigned long long>(bytes_wanted(bytes.data(), bytes.size()), bytes.size());
    }
    std::fclose(f);
    return true;
}

}  // namespace

int load_bmp_from_memory(const uint8_t* data, size_t size, Image& img) {
    if (!data) size = 0;
    return decode(data, size, img);
}

int load_bmp(const std::string& path, Image& img) {
    std::vector<uint8_t> bytes;
    if (!read_picture_file(path, bytes)) {
        empty_image(img);
        return BMP_NO_FILE;
    }
    return decode(bytes.data(), bytes.size(), img);
}

int load_bmp_to_page(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (!read_picture_file(path, bytes)) return BMP_NO_FILE;
    Image img;
    const int result = decode(bytes.data(), bytes.size(), img);
    const int held = image_rows_held(img);
    if (held == 0) return result;
    // Only the rows the file held are copied: a short file leaves the page
    // above them as it was.
    uint32_t* page = page_pixels(work_page());
    const int span = std::min<int>(img.w, SCREEN_W);
    const int first = img.h - held;
    for (int y = first; y < std::min<int>(img.h, SCREEN_H); ++y) {
        std::memcpy(page + y * SCREEN_W, img.pixels.data() + static_cast<size_t>(y - first) * img.w,
                    span * sizeof(uint32_t));
    }
    visible_page_changed();
    return result;
}

}  // namespace valmoren
