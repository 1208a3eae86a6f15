// sheet.cpp -- the review sheet: every generated picture at 2x on one PNG, each
// labelled with its file name; transparent pixels show as a dark checkerboard.
// The PNG is written with stored (uncompressed) deflate blocks, so no zlib.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "assetgen.h"
#include "pictures_raster.h"

namespace valmoren::assetgen {

namespace {

uint32_t crc_table_entry(uint32_t n) {
    uint32_t c = n;
    for (int k = 0; k < 8; ++k) c = (c & 1) ? 0xEDB88320u ^ (c >> 1) : c >> 1;
    return c;
}

uint32_t crc32(const uint8_t* data, size_t len, uint32_t crc = 0) {
    static uint32_t table[256];
    static bool ready = false;
    if (!ready) {
        for (uint32_t n = 0; n < 256; ++n) table[n] = crc_table_entry(n);
        ready = true;
    }
    crc ^= 0xFFFFFFFFu;
    for (size_t i = 0; i < len; ++i) crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
    return crc ^ 0xFFFFFFFFu;
}

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
    be32(out, crc32(body.data(), body.size()));
}

// Reads back one of our own 24-bit bottom-up BMP files; false for anything else.
bool read_bmp24(const std::string& path, Canvas& out) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (!f) return false;
    std::vector<uint8_t> b;
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) b.insert(b.end(), buf, buf + n);
    std::fclose(f);
    if (b.size() < 54 || b[0] != 'B' || b[1] != 'M') return false;
    auto le32 = [&](size_t at) { return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24; };
    const uint32_t offset = le32(10);
    const int32_t w = static_cast<int32_t>(le32(18)), h = static_cast<int32_t>(le32(22));
    const int bpp = b[28] | b[29] << 8;
    if (bpp != 24 || w <= 0 || h <= 0 || w > 4096 || h > 4096) return false;
    const size_t row = (static_cast<size_t>(w) * 3 + 3) & ~size_t(3);
    if (offset + row * h > b.size()) return false;
    out = Canvas(w, h);
    for (int y = 0; y < h; ++y) {
        const uint8_t* p = &b[offset + row * (h - 1 - y)];
        for (int x = 0; x < w; ++x) out.px[y * w + x] = p[3 * x] | p[3 * x + 1] << 8 | p[3 * x + 2] << 16;
    }
    return true;
}

}  // namespace

bool write_png(const std::string& png_path, int w, int h, const std::vector<uint32_t>& pixels) {
    std::vector<uint8_t> raw;
    raw.reserve(static_cast<size_t>(h) * (w * 3 + 1));
    for (int y = 0; y < h; ++y) {
        raw.push_back(0);  // no filter
        for (int x = 0; x < w; ++x) {
            const uint32_t p = pixels[static_cast<size_t>(y) * w + x];
            raw.push_back(static_cast<uint8_t>(p >> 16));
            raw.push_back(static_cast<uint8_t>(p >> 8));
            raw.push_back(static_cast<uint8_t>(p));
        }
    }
    std::vector<uint8_t> z = {0x78, 0x01};
    size_t pos = 0;
    do {
        const size_t len = std::min<size_t>(65535, raw.size() - pos);
        const bool last = pos + len == raw.size();
        z.push_back(last ? 1 : 0);
        z.push_back(static_cast<uint8_t>(len));
        z.push_back(static_cast<uint8_t>(len >> 8));
        z.push_back(static_cast<uint8_t>(~len));
        z.push_back(static_cast<uint8_t>(~len >> 8));
        z.insert(z.end(), raw.begin() + pos, raw.begin() + pos + len);
        pos += len;
    } while (pos < raw.size());
    uint32_t a = 1, bsum = 0;
    for (uint8_t v : raw) {
        a = (a + v) % 65521;
        bsum = (bsum + a) % 65521;
    }
    be32(z, bsum << 16 | a);

    std::vector<uint8_t> png = {0x89, 'P', 'N', 'G', 0x0D, 0x0A, 0x1A, 0x0A};
    std::vector<uint8_t> ihdr;
    be32(ihdr, static_cast<uint32_t>(w));
    be32(ihdr, static_cast<uint32_t>(h));
    ihdr.insert(ihdr.end(), {8, 2, 0, 0, 0});  // 8-bit RGB, no interlace
    chunk(png, "IHDR", ihdr);
    chunk(png, "IDAT", z);
    chunk(png, "IEND", {});
    std::FILE* f = std::fopen(png_path.c_str(), "wb");
    if (!f) return false;
    const bool ok = std::fwrite(png.data(), 1, png.size(), f) == png.size();
    return std::fclose(f) == 0 && ok;
}

bool write_sheet(const std::string& dir, const std::string& png_path) {
    namespace fs = std::filesystem;
    std::vector<std::string> names;
    for (const char* sub : {"img", "img/rotate"}) {
        std::error_code ec;
        for (const auto& e : fs::directory_iterator(fs::path(dir) / sub, ec)) {
            if (e.is_regular_file() && e.path().extension() == ".bmp")
                names.push_back(fs::relative(e.path(), fs::path(dir) / "img").generic_string());
        }
    }
    // Small sprites first, then the big scenes, so the sheet packs tightly.
    struct Item {
        std::string name;
        Canvas pic;
    };
    std::vector<Item> items;
    for (const std::string& n : names) {
        Canvas c(1, 1);
        if (read_bmp24((fs::path(dir) / "img" / n).string(), c)) items.push_back({n, c});
    }
    if (items.empty()) return false;
    std::sort(items.begin(), items.end(), [](const Item& a, const Item& b) {
        if (a.pic.h != b.pic.h) return a.pic.h < b.pic.h;
        return a.name < b.name;
    });

    const int sheet_w = 1340, pad = 8, label_h = 12;
    struct Place {
        int x, y;
    };
    std::vector<Place> places;
    int x = pad, y = pad, shelf = 0;
    for (const Item& it : items) {
        const int cw = std::max(it.pic.w * 2, text_width(it.name, 1));
        const int ch = it.pic.h * 2 + label_h;
        if (x + cw + pad > sheet_w && x > pad) {
            x = pad;
            y += shelf + pad;
            shelf = 0;
        }
        places.push_back({x, y});
        x += cw + pad;
        shelf = std::max(shelf, ch);
    }
    const int sheet_h = y + shelf + pad;
    Canvas sheet(sheet_w, sheet_h, 0x26262E);
    for (size_t i = 0; i < items.size(); ++i) {
        const Canvas& p = items[i].pic;
        const int ox = places[i].x, oy = places[i].y;
        for (int j = 0; j < p.h * 2; ++j)
            for (int k = 0; k < p.w * 2; ++k) {
                uint32_t v = p.px[(j / 2) * p.w + k / 2];
                if (v == KEY) v = ((j / 8 + k / 8) & 1) ? 0x44444E : 0x383840;
                sheet.set(ox + k, oy + j, v);
            }
        Mask mk(sheet_w, sheet_h);
        text_mask(mk, ox, oy + p.h * 2 + 3, items[i].name, 1, 1);
        paint_flat(sheet, mk, 0xD8D8E0);
    }
    return write_png(png_path, sheet_w, sheet_h, sheet.px);
}

}  // namespace valmoren::assetgen
