// bmpwrite.cpp -- 24-bit BMP encoding for the generated pictures.
#include "bmpwrite.h"

#include <cstdio>

namespace valmoren::assetgen {

namespace {

void put16(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v & 0xFF));
    out.push_back(static_cast<uint8_t>((v >> 8) & 0xFF));
}

void put32(std::vector<uint8_t>& out, uint32_t v) {
    put16(out, v & 0xFFFF);
    put16(out, v >> 16);
}

}  // namespace

std::vector<uint8_t> encode_bmp24(int w, int h, const std::vector<uint32_t>& pixels) {
    std::vector<uint8_t> out;
    if (w <= 0 || h <= 0 || pixels.size() < static_cast<size_t>(w) * static_cast<size_t>(h)) {
        return out;
    }
    const uint32_t row_bytes = (static_cast<uint32_t>(w) * 3 + 3) & ~3u;
    const uint32_t data_size = row_bytes * static_cast<uint32_t>(h);
    out.reserve(54 + data_size);
    // File header: magic, file size, two reserved words, offset of the pixels.
    out.push_back('B');
    out.push_back('M');
    put32(out, 54 + data_size);
    put32(out, 0);
    put32(out, 54);
    // Info header: size 40, width, height (positive: bottom-up), 1 plane,
    // 24 bits, no compression, data size, 2835 pixels per metre (72 dpi), no palette.
    put32(out, 40);
    put32(out, static_cast<uint32_t>(w));
    put32(out, static_cast<uint32_t>(h));
    put16(out, 1);
    put16(out, 24);
    put32(out, 0);
    put32(out, data_size);
    put32(out, 2835);
    put32(out, 2835);
    put32(out, 0);
    put32(out, 0);
    for (int y = h - 1; y >= 0; --y) {
        const uint32_t* row = &pixels[static_cast<size_t>(y) * static_cast<size_t>(w)];
        for (int x = 0; x < w; ++x) {
            out.push_back(static_cast<uint8_t>(row[x] & 0xFF));
            out.push_back(static_cast<uint8_t>((row[x] >> 8) & 0xFF));
            out.push_back(static_cast<uint8_t>((row[x] >> 16) & 0xFF));
        }
        for (uint32_t pad = static_cast<uint32_t>(w) * 3; pad < row_bytes; ++pad) out.push_back(0);
    }
    return out;
}

bool write_bmp24(const std::string& path, int w, int h, const std::vector<uint32_t>& pixels) {
    const std::vector<uint8_t> bytes = encode_bmp24(w, h, pixels);
    if (bytes.empty()) return false;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace valmoren::assetgen
