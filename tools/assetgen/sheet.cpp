// sheet.cpp -- the review sheet: every generated picture at 2x on one PNG, each
// labelled with its file name; transparent pixels show as a dark checkerboard.
#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "assetgen.h"
#include "pictures_raster.h"
#include "png_write.h"

namespace valmoren::assetgen {

namespace {

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
