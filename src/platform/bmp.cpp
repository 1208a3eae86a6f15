// bmp.cpp -- reads the game's Windows BMP pictures into images or straight onto
// the work page. The whole file is read into memory, then parsed with every
// read checked against its end. Writes no GameState fields.
#include <algorithm>
#include <cstdio>
#include <cstring>

#include "platform/core_hooks.h"
#include "platform/files.h"
#include "platform/screen.h"

namespace valmoren {

namespace {

constexpr size_t HEADERS_SIZE = 54;  // 14-byte file header + 40-byte information header
// A picture this large is only believed when the file really holds all its rows.
constexpr unsigned long long LARGE_PICTURE = 1u << 20;
// No picture the game could use comes near this; refused outright.
constexpr unsigned long long HUGE_PICTURE = 64u << 20;

uint16_t u16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | p[1] << 8); }
uint32_t u32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 | static_cast<uint32_t>(p[2]) << 16 |
           static_cast<uint32_t>(p[3]) << 24;
}

// Decodes into `img` (sized to the picture) and counts the rows read, which are
// the bottom `rows_read` rows of the image.
int decode(const uint8_t* data, size_t size, Image& img, int& rows_read) {
    empty_image(img);
    rows_read = 0;
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
    const unsigned long long pixel_count = w * h;
    if (pixel_count > HUGE_PICTURE) return BMP_BAD;
    if (pixel_count > LARGE_PICTURE && whole_rows < h) return BMP_BAD;

    img.w = static_cast<uint16_t>(width);
    img.h = static_cast<uint16_t>(height);
    img.pixels.assign(pixel_count, 0);

    const int rows_present = static_cast<int>(std::min(whole_rows, h));
    for (int r = 0; r < rows_present; ++r) {
        const uint8_t* src = data + pos + r * row_stride;
        uint32_t* dst = img.pixels.data() + (h - 1 - r) * w;
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
        rows_read = r + 1;
    }
    return rows_present < height ? BMP_BAD : BMP_OK;
}

// Reads a whole file into memory; false when it cannot be opened.
bool read_whole_file(const std::string& path, std::vector<uint8_t>& bytes) {
    bytes.clear();
    std::FILE* f = open_game_file(path, "rb");
    if (!f) return false;
    uint8_t chunk[65536];
    size_t got;
    while ((got = std::fread(chunk, 1, sizeof chunk, f)) > 0) bytes.insert(bytes.end(), chunk, chunk + got);
    std::fclose(f);
    return true;
}

}  // namespace

int load_bmp_from_memory(const uint8_t* data, size_t size, Image& img) {
    int rows_read = 0;
    if (!data) size = 0;
    return decode(data, size, img, rows_read);
}

int load_bmp(const std::string& path, Image& img) {
    std::vector<uint8_t> bytes;
    if (!read_whole_file(path, bytes)) {
        empty_image(img);
        return BMP_NO_FILE;
    }
    int rows_read = 0;
    return decode(bytes.data(), bytes.size(), img, rows_read);
}

int load_bmp_to_page(const std::string& path) {
    std::vector<uint8_t> bytes;
    if (!read_whole_file(path, bytes)) return BMP_NO_FILE;
    Image img;
    int rows_read = 0;
    const int result = decode(bytes.data(), bytes.size(), img, rows_read);
    if (rows_read == 0) return result;
    // Only the rows the file held are copied: a short file leaves the page
    // above them as it was.
    uint32_t* page = page_pixels(work_page());
    const int span = std::min<int>(img.w, SCREEN_W);
    for (int y = img.h - rows_read; y < std::min<int>(img.h, SCREEN_H); ++y) {
        std::memcpy(page + y * SCREEN_W, img.pixels.data() + static_cast<size_t>(y) * img.w, span * sizeof(uint32_t));
    }
    visible_page_changed();
    return result;
}

}  // namespace valmoren
