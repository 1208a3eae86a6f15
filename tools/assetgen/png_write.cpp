// png_write.cpp -- PNG encoding: each row filtered as deflate likes it best,
// the whole compressed with zlib, in chunks with their CRC.
#include "png_write.h"

#include <zlib.h>

#include <cstdio>
#include <cstdlib>

namespace valmoren::assetgen {

namespace {

void be32(std::vector<uint8_t>& out, uint32_t v) {
    out.push_back(static_cast<uint8_t>(v >> 24));
    out.push_back(static_cast<uint8_t>(v >> 16));
    out.push_back(static_cast<uint8_t>(v >> 8));
    out.push_back(static_cast<uint8_t>(v));
}

void chunk(std::vector<uint8_t>& out, const char* type, const std::vector<uint8_t>& data) {
    be32(out, static_cast<uint32_t>(data.size()));
    std::vector<uint8_t> body(type, type + 4);
    body.insert(body.end(), data.begin(), data.end());
    out.insert(out.end(), body.begin(), body.end());
    be32(out, static_cast<uint32_t>(::crc32(0, body.data(), static_cast<uInt>(body.size()))));
}

// One row under each of PNG's five filters, keeping the one whose bytes, read
// as signed, sum smallest: the usual guess at what deflates best.
void filter_row(const uint8_t* row, const uint8_t* above, size_t stride, int channels,
                std::vector<uint8_t>& out) {
    std::vector<uint8_t> best, trial(stride + 1);
    uint64_t best_cost = UINT64_MAX;
    for (uint8_t kind = 0; kind <= 4; ++kind) {
        trial[0] = kind;
        uint64_t cost = 0;
        for (size_t i = 0; i < stride; ++i) {
            const int a = i >= static_cast<size_t>(channels) ? row[i - channels] : 0;
            const int b = above ? above[i] : 0;
            const int c = above && i >= static_cast<size_t>(channels) ? above[i - channels] : 0;
            int predicted = 0;
            switch (kind) {
                case 1: predicted = a; break;
                case 2: predicted = b; break;
                case 3: predicted = (a + b) / 2; break;
                case 4: {
                    const int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
                    predicted = pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
                    break;
                }
                default: break;
            }
            const uint8_t v = static_cast<uint8_t>(row[i] - predicted);
            trial[i + 1] = v;
            cost += v < 128 ? v : 256 - v;
        }
        if (cost < best_cost) {
            best_cost = cost;
            best = trial;
        }
    }
    out.insert(out.end(), best.begin(), best.end());
}

}  // namespace

std::vector<uint8_t> encode_png(int w, int h, const std::vector<uint32_t>& pixels, bool alpha) {
    const int channels = alpha ? 4 : 3;
    const size_t stride = static_cast<size_t>(w) * channels;
    std::vector<uint8_t> rows(stride * h);
    for (size_t i = 0, n = static_cast<size_t>(w) * h; i < n; ++i) {
        const uint32_t p = pixels[i];
        uint8_t* out = &rows[i * channels];
        out[0] = static_cast<uint8_t>(p >> 16);
        out[1] = static_cast<uint8_t>(p >> 8);
        out[2] = static_cast<uint8_t>(p);
        if (alpha) out[3] = static_cast<uint8_t>(p >> 24);
    }
    std::vector<uint8_t> raw;
    raw.reserve(rows.size() + h);
    for (int y = 0; y < h; ++y)
        filter_row(&rows[y * stride], y > 0 ? &rows[(y - 1) * stride] : nullptr, stride, channels, raw);

    uLongf size = compressBound(static_cast<uLong>(raw.size()));
    std::vector<uint8_t> z(size);
    if (compress2(z.data(), &size, raw.data(), static_cast<uLong>(raw.size()), Z_BEST_COMPRESSION) != Z_OK)
        return {};
    z.resize(size);

    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    std::vector<uint8_t> ihdr;
    be32(ihdr, static_cast<uint32_t>(w));
    be32(ihdr, static_cast<uint32_t>(h));
    // 8 bits a channel, RGB (2) or RGBA (6), no interlace.
    ihdr.insert(ihdr.end(), {8, static_cast<uint8_t>(alpha ? 6 : 2), 0, 0, 0});
    chunk(png, "IHDR", ihdr);
    chunk(png, "IDAT", z);
    chunk(png, "IEND", {});
    return png;
}

bool write_png(const std::string& path, int w, int h, const std::vector<uint32_t>& pixels, bool alpha) {
    const std::vector<uint8_t> png = encode_png(w, h, pixels, alpha);
    if (png.empty()) return false;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(png.data(), 1, png.size(), f) == png.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace valmoren::assetgen
