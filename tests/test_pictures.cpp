// test_pictures.cpp -- the generated pictures: every file the game loads is there
// at the size its hit boxes assume, sprites are keyed, the background tile has
// no seams, the ship's headings turn the right way, and the generator writes
// the same bytes every time.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include "assetgen.h"
#include "platform/screen.h"

namespace valmoren {
namespace {

namespace fs = std::filesystem;

const std::string IMG = std::string(VALMOREN_GAME_DIR) + "/img/";

struct Expected {
    const char* name;
    int w, h;  // 0 x 0: a menu button, at most 180 x 40
    bool keyed_sprite;  // drawn with the key colour: corners keyed, body solid
};

// The generator's contract: every picture the game loads, at the size its code assumes.
const Expected PICTURES[] = {
    {"ball.bmp", 16, 16, true},          {"samalet.bmp", 48, 75, true},
    {"samalet2.bmp", 48, 75, true},      {"backg.bmp", 200, 200, false},
    {"backg2.bmp", 200, 200, false},     {"ship3.bmp", 75, 84, true},
    {"stations.bmp", 48, 62, true},      {"aster.bmp", 32, 27, true},
    {"aster2.bmp", 32, 25, true},        {"vzruv.bmp", 27, 27, true},
    {"lives.bmp", 20, 20, true},         {"time.bmp", 20, 20, true},
    {"load.bmp", 170, 26, true},         {"load2.bmp", 6, 8, false},
    {"samol.bmp", 27, 40, true},         {"pull.bmp", 5, 8, true},
    {"pull2.bmp", 5, 7, true},           {"andr.bmp", 62, 39, true},
    {"ship2.bmp", 47, 54, true},         {"oskolki.bmp", 21, 45, true},
    {"oskolki2.bmp", 21, 45, true},      {"kosm.bmp", 195, 35, true},
    {"planets.bmp", 640, 90, false},     {"target.bmp", 31, 31, true},
    {"andr2.bmp", 60, 61, true},         {"racet.bmp", 20, 60, true},
    {"fac.bmp", 128, 128, true},         {"we_victory.bmp", 345, 128, true},
    {"img_end.bmp", 99, 43, true},       {"l1.bmp", 320, 480, false},
    {"l2.bmp", 320, 480, false},         {"start.bmp", 0, 0, true},
    {"options.bmp", 0, 0, true},         {"credits.bmp", 0, 0, true},
    {"exit.bmp", 0, 0, true},            {"logo3.bmp", 282, 127, true},
    {"name.bmp", 276, 31, false},        {"get_r.bmp", 139, 36, true},
    {"ok_d.bmp", 139, 36, true},         {"g_o.bmp", 139, 36, true},
    {"strelki.bmp", 43, 43, false},      {"strelki_2.bmp", 43, 43, false},
    {"strelki_3.bmp", 43, 43, false},    {"strelki(2).bmp", 43, 43, false},
    {"strelki_2(2).bmp", 43, 43, false}, {"strelki_3(2).bmp", 43, 43, false},
    {"mouse.bmp", 32, 32, true},         {"key.bmp", 32, 32, true},
    {"suget0.bmp", 320, 240, false},     {"suget1.bmp", 320, 240, false},
    {"suget2.bmp", 320, 240, false},     {"suget3.bmp", 320, 240, false},
    {"suget4.bmp", 320, 240, false},     {"suget5.bmp", 320, 240, false},
};

bool keyed(uint32_t p) { return (p & 0xFFFFFF) == KEY_COLOUR; }

uint32_t at(const Image& img, int x, int y) { return img.pixels[static_cast<size_t>(y) * img.w + x]; }

int brightness(uint32_t p) { return ((p >> 16) & 0xFF) + ((p >> 8) & 0xFF) + (p & 0xFF); }

int channel_distance(uint32_t a, uint32_t b) {
    int d = 0;
    for (int sh = 0; sh <= 16; sh += 8) d += std::abs(static_cast<int>((a >> sh) & 0xFF) - static_cast<int>((b >> sh) & 0xFF));
    return d;
}

Image load(const std::string& path) {
    Image img;
    EXPECT_EQ(load_bmp(path, img), 0) << path;
    return img;
}

std::vector<char> bytes_of(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

TEST(Pictures, EveryPictureLoadsAtTheSizeTheGameUses) {
    for (const Expected& e : PICTURES) {
        Image img;
        ASSERT_EQ(load_bmp(IMG + e.name, img), 0) << e.name;
        if (e.w == 0) {
            EXPECT_GT(img.w, 20) << e.name;
            EXPECT_LE(img.w, 180) << e.name;
            EXPECT_GT(img.h, 10) << e.name;
            EXPECT_LE(img.h, 40) << e.name;
        } else {
            EXPECT_EQ(img.w, e.w) << e.name;
            EXPECT_EQ(img.h, e.h) << e.name;
        }
    }
    for (int k = 1; k <= 16; ++k) {
        const std::string name = "rotate/abc" + std::to_string(k) + ".bmp";
        Image img;
        ASSERT_EQ(load_bmp(IMG + name, img), 0) << name;
        EXPECT_EQ(img.w, 50) << name;
        EXPECT_EQ(img.h, 50) << name;
    }
}

TEST(Pictures, SpritesHaveKeyedCornersAndASolidBody) {
    for (const Expected& e : PICTURES) {
        if (!e.keyed_sprite) continue;
        const Image img = load(IMG + e.name);
        ASSERT_GT(img.w, 0) << e.name;
        EXPECT_TRUE(keyed(at(img, 0, 0)) && keyed(at(img, img.w - 1, 0)) && keyed(at(img, 0, img.h - 1)) &&
                    keyed(at(img, img.w - 1, img.h - 1)))
            << e.name << " has a drawn corner";
        const long solid = std::count_if(img.pixels.begin(), img.pixels.end(), [](uint32_t p) { return !keyed(p); });
        EXPECT_GT(solid * 100, static_cast<long>(img.pixels.size()) * 15) << e.name << " is mostly empty";
        // Every sprite is solid at its middle (the crosshair's hot spot included).
        bool middle = false;
        for (int dy = -1; dy <= 1; ++dy)
            for (int dx = -1; dx <= 1; ++dx) middle = middle || !keyed(at(img, img.w / 2 + dx, img.h / 2 + dy));
        EXPECT_TRUE(middle) << e.name;
    }
    // Pictures put opaque or by exclusive-or must not carry the key colour at all;
    // the top star layer is nearly all key.
    for (const char* name : {"backg.bmp", "l1.bmp", "l2.bmp", "load2.bmp"}) {
        const Image img = load(IMG + name);
        EXPECT_EQ(std::count_if(img.pixels.begin(), img.pixels.end(), keyed), 0) << name;
    }
    const Image top = load(IMG + "backg2.bmp");
    const long key_count = std::count_if(top.pixels.begin(), top.pixels.end(), keyed);
    EXPECT_GT(key_count, 40000 * 97 / 100);
    EXPECT_LT(key_count, 40000);
}

TEST(Pictures, EnergyBarSlotsLineUpWithTheSegments) {
    // 24 segments of 6 x 8 are drawn at x = 13 + 6 i, y = 11: the slot area must be
    // a dark channel inside the frame, with the frame solid all around it.
    const Image bar = load(IMG + "load.bmp");
    ASSERT_EQ(bar.w, 170);
    for (int y = 11; y < 19; ++y)
        for (int x = 13; x < 157; ++x) {
            EXPECT_FALSE(keyed(at(bar, x, y))) << x << "," << y;
            EXPECT_LT(brightness(at(bar, x, y)), 3 * 80) << x << "," << y;
        }
    for (int x = 12; x <= 157; ++x) {
        EXPECT_FALSE(keyed(at(bar, x, 10)));
        EXPECT_FALSE(keyed(at(bar, x, 19)));
    }
    // A lit segment stands out from the empty channel.
    const Image seg = load(IMG + "load2.bmp");
    EXPECT_GT(brightness(at(seg, 2, 3)), brightness(at(bar, 40, 14)) + 100);
}

TEST(Pictures, BackgroundTileHasNoSeams) {
    const Image t = load(IMG + "backg.bmp");
    ASSERT_EQ(t.w, 200);
    // Mean difference between neighbouring columns (rows) inside the tile, and
    // across the seam where the last column (row) meets the first of the next tile.
    auto column_step = [&](int x0, int x1) {
        long d = 0;
        for (int y = 0; y < 200; ++y) d += channel_distance(at(t, x0, y), at(t, x1, y));
        return d / 200.0;
    };
    auto row_step = [&](int y0, int y1) {
        long d = 0;
        for (int x = 0; x < 200; ++x) d += channel_distance(at(t, x, y0), at(t, x, y1));
        return d / 200.0;
    };
    double inner_cols = 0, inner_rows = 0, worst_col = 0, worst_row = 0;
    for (int i = 0; i < 199; ++i) {
        inner_cols += column_step(i, i + 1) / 199;
        inner_rows += row_step(i, i + 1) / 199;
        worst_col = std::max(worst_col, column_step(i, i + 1));
        worst_row = std::max(worst_row, row_step(i, i + 1));
    }
    EXPECT_LE(column_step(199, 0), std::max(2 * inner_cols, worst_col));
    EXPECT_LE(row_step(199, 0), std::max(2 * inner_rows, worst_row));
    // A star whose centre lies on an edge keeps its arms on the far side: every
    // bright pixel on the edge has a lit neighbour across the seam or beside it.
    for (int i = 0; i < 200; ++i) {
        for (const auto& [x, y, ox, oy] : {std::tuple{0, i, 199, i}, std::tuple{199, i, 0, i},
                                          std::tuple{i, 0, i, 199}, std::tuple{i, 199, i, 0}}) {
            if (brightness(at(t, x, y)) < 3 * 150) continue;
            const bool lit_across = brightness(at(t, ox, oy)) > 3 * 40;
            EXPECT_TRUE(lit_across) << "star cut at " << x << "," << y;
        }
    }
}

// The solid pixels of a 50 x 50 ship picture, turned a quarter clockwise `turns` times.
std::vector<bool> ship_mask(const Image& img, int turns) {
    std::vector<bool> m(2500);
    for (int y = 0; y < 50; ++y)
        for (int x = 0; x < 50; ++x) {
            int tx = x, ty = y;
            for (int t = 0; t < turns; ++t) {
                const int nx = 49 - ty, ny = tx;
                tx = nx;
                ty = ny;
            }
            m[ty * 50 + tx] = !keyed(at(img, x, y));
        }
    return m;
}

double overlap(const std::vector<bool>& a, const std::vector<bool>& b) {
    int both = 0, either = 0;
    for (size_t i = 0; i < a.size(); ++i) {
        both += a[i] && b[i];
        either += a[i] || b[i];
    }
    return either ? static_cast<double>(both) / either : 0.0;
}

TEST(Pictures, ShipHeadingsTurnClockwiseFromNoseUp) {
    std::vector<Image> ship;
    for (int k = 1; k <= 16; ++k) ship.push_back(load(IMG + "rotate/abc" + std::to_string(k) + ".bmp"));
    for (const Image& s : ship) ASSERT_TRUE(s.w == 50 && s.pixels.size() == 50u * 50u) << s.w << " x " << s.h;
    for (int a = 0; a < 16; ++a)
        for (int b = a + 1; b < 16; ++b) EXPECT_NE(ship[a].pixels, ship[b].pixels) << a + 1 << " vs " << b + 1;

    // abc1 points up: a narrow nose at the top, the wings below the middle.
    int top = 0;
    while (top < 50 && std::none_of(&ship[0].pixels[top * 50], &ship[0].pixels[top * 50 + 50], [](uint32_t p) { return !keyed(p); }))
        ++top;
    ASSERT_LT(top, 10);
    int widest_row = 0, widest = 0;
    for (int y = 0; y < 50; ++y) {
        const int w = static_cast<int>(std::count_if(&ship[0].pixels[y * 50], &ship[0].pixels[y * 50 + 50], [](uint32_t p) { return !keyed(p); }));
        if (w > widest) widest = w, widest_row = y;
    }
    EXPECT_GT(widest_row, 25);

    // abc5, abc9 and abc13 are abc1 turned 90, 180 and 270 degrees clockwise;
    // turned the other way they do not match.
    const std::vector<bool> up = ship_mask(ship[0], 0);
    for (int q = 1; q <= 3; ++q) {
        const std::vector<bool> turned = ship_mask(ship[0], q);
        const std::vector<bool> drawn = ship_mask(ship[4 * q], 0);
        EXPECT_GT(overlap(turned, drawn), 0.85) << "abc" << 4 * q + 1;
    }
    EXPECT_LT(overlap(ship_mask(ship[0], 3), ship_mask(ship[4], 0)), 0.7);
    EXPECT_LT(overlap(up, ship_mask(ship[2], 0)), 0.8);
}

TEST(Pictures, GeneratorWritesTheSameBytesEveryRun) {
    const fs::path base = fs::temp_directory_path() / "valmoren_pictures_twice";
    fs::remove_all(base);
    const fs::path a = base / "a", b = base / "b";
    fs::create_directories(a);
    fs::create_directories(b);
    assetgen::write_pictures(a.string());
    assetgen::write_pictures(b.string());
    int files = 0;
    for (const auto& e : fs::recursive_directory_iterator(a / "img")) {
        if (!e.is_regular_file()) continue;
        const fs::path rel = fs::relative(e.path(), a);
        const std::vector<char> first = bytes_of(e.path());
        EXPECT_FALSE(first.empty()) << rel;
        EXPECT_EQ(first, bytes_of(b / rel)) << rel;
        // The run folder of this build holds the same pictures.
        EXPECT_EQ(first, bytes_of(fs::path(VALMOREN_GAME_DIR) / rel)) << rel;
        ++files;
    }
    EXPECT_EQ(files, static_cast<int>(std::size(PICTURES)) + 16);
    fs::remove_all(base);
}

}  // namespace
}  // namespace valmoren
