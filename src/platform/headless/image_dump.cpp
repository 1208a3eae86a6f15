// image_dump.cpp -- writes a 640x480 page as a BMP or PNG file so tests and
// developers can look at what the game drew.
#include <array>
#include <cstdio>
#include <vector>

#include "platform/headless/image_dump.h"

namespace valmoren {

namespace {

void put_u32_be(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v >> 24));
    out.push_back(static_cast<uint8_t>(v >> 16));
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}

uint32_t crc32_of(const uint8_t* data, size_t n) {
    static std::array<uint32_t, 256> table = [] {
        std::array<uint32_t, 256> t{};
        for (uint32_t i = 0; i < 256; ++i) {
            uint32_t c = i;
            for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
            t[i] = c;
        }
        return t;
    }();
    uint32_t c = 0xFFFFFFFFu;
    for (size_t i = 0; i < n; ++i) c = table[(c ^ data[i]) & 0xFF] ^ (c >> 8);
    return c ^ 0xFFFFFFFFu;
}

void add_chunk(std::vector<uint8_t>& png, const char* type, const std::vector<uint8_t>& body) {
    put_u32_be(png, static_cast<uint32_t>(body.size()));
    std::vector<uint8_t> typed(type, type + 4);
    typed.insert(typed.end(), body.begin(), body.end());
    png.insert(png.end(), typed.begin(), typed.end());
    put_u32_be(png, crc32_of(typed.data(), typed.size()));
}

bool write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
    FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    ok = (std::fclose(f) == 0) && ok;
    return ok;
}

}  // namespace

bool save_pixels_png(const std::string& path, const uint32_t* pixels, int w, int h) {
    // Raw scanlines (filter byte 0, then RGB), wrapped in stored deflate blocks.
    std::vector<uint8_t> raw;
    raw.reserve(static_cast<size_t>(h) * (w * 3 + 1));
    for (int y = 0; y < h; ++y) {
        raw.push_back(0);
        for (int x = 0; x < w; ++x) {
            uint32_t p = pixels[static_cast<size_t>(y) * w + x];
            raw.push_back(static_cast<uint8_t>(p >> 16));
            raw.push_back(static_cast<uint8_t>(p >> 8));
            raw.push_back(static_cast<uint8_t>(p));
        }
    }
    std::vector<uint8_t> z = {0x78, 0x01};
    size_t pos = 0;
    do {
        size_t n = std::min<size_t>(65535, raw.size() - pos);
        bool last = pos + n == raw.size();
        z.push_back(last ? 1 : 0);
        z.push_back(static_cast<uint8_t>(n));
        z.push_back(static_cast<uint8_t>(n >> 8));
        z.push_back(static_cast<uint8_t>(~n));
        z.push_back(static_cast<uint8_t>(~n >> 8));
        z.insert(z.end(), raw.begin() + pos, raw.begin() + pos + n);
        pos += n;
    } while (pos < raw.size());
    uint32_t a = 1, b = 0;
    for (uint8_t c : raw) {
        a = (a + c) % 65521;
        b = (b + a) % 65521;
    }
    put_u32_be(z, (b << 16) | a);

    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    std::vector<uint8_t> ihdr;
    put_u32_be(ihdr, static_cast<uint32_t>(w));
    put_u32_be(ihdr, static_cast<uint32_t>(h));
    ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});  // 8-bit RGB
    add_chunk(png, "IHDR", ihdr);
    add_chunk(png, "IDAT", z);
    add_chunk(png, "IEND", {});
    return write_file(path, png);
}

bool save_pixels_bmp(const std::string& path, const uint32_t* pixels, int w, int h) {
    const uint32_t stride = (static_cast<uint32_t>(w) * 3 + 3) & ~3u;
    const uint32_t data_size = stride * static_cast<uint32_t>(h);
    std::vector<uint8_t> out(54 + data_size, 0);
    auto u16 = [&](size_t at, uint32_t v) {
        out[at] = static_cast<uint8_t>(v);
        out[at + 1] = static_cast<uint8_t>(v >> 8);
    };
    auto u32 = [&](size_t at, uint32_t v) {
        u16(at, v & 0xFFFF);
        u16(at + 2, v >> 16);
    };
    out[0] = 'B';
    out[1] = 'M';
    u32(2, 54 + data_size);
    u32(10, 54);
    u32(14, 40);
    u32(18, static_cast<uint32_t>(w));
    u32(22, static_cast<uint32_t>(h));
    u16(26, 1);
    u16(28, 24);
    u32(34, data_size);
    for (int y = 0; y < h; ++y) {
        uint8_t* row = out.data() + 54 + static_cast<size_t>(h - 1 - y) * stride;
        for (int x = 0; x < w; ++x) {
            uint32_t p = pixels[static_cast<size_t>(y) * w + x];
            row[x * 3] = static_cast<uint8_t>(p);
            row[x * 3 + 1] = static_cast<uint8_t>(p >> 8);
            row[x * 3 + 2] = static_cast<uint8_t>(p >> 16);
        }
    }
    return write_file(path, out);
}

}  // namespace valmoren
