// play_support.h -- shared set-up for the headless tests: a fresh game state
// and platform, a private working folder, the generated game data or small
// hand-made pictures and sounds (BMP and WAV writers), a level's rules set up
// alone, pictures looked for on the page, and every edge of a hit box tried.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/headless/headless.h"
#include "platform/headless/image_dump.h"
#include "platform/input.h"
#include "platform/screen.h"
#include "state/game_state.h"

namespace valmoren::testing_support {

// Fresh state, fresh platform, a working folder of the test's own.
inline void fresh_game(const std::string& folder) {
    g = GameState{};
    headless_reset();
    headless_enter_temp_folder(folder);
}

// What a game brings to level 2 and later from level 1 besides its pictures:
// the formation's records, and the ball left in mid-screen by level 1's
// level-done picture.
inline void carry_past_level1() {
    size_array(g.enemies, 40);
    g.wave_step = 1;
    g.wave_no = 0;
    g.rock_count = 1;
    g.player_x = 320;
    g.player_y = 240;
    g.vel_x = 5;
    g.vel_y = 2;
}

// A fresh state and platform in level n, silent, for the tests of one level's rules.
inline void fresh_level(int8_t n) {
    g = GameState{};
    headless_reset();
    g.level = n;
    g.music_on = 0;
}

// Level 2 as its set-up leaves it for the formation, shot and object tests:
// the arrays at their sizes, the first wave due, the plane at its place.
inline void fresh_level2() {
    fresh_level(2);
    size_array(g.enemies, 40);
    size_array(g.shots, 210);
    size_array(g.objects, 15);
    g.object_count = 5;
    g.wave_step = 1;
    g.craft_x = 300;
    g.craft_y = 436;
}

// Runs a test inside the run folder itself, where the generated pictures,
// sounds and captions are; the player is taken away at the end.
struct InGameFolder {
    std::filesystem::path before = std::filesystem::current_path();
    InGameFolder() { std::filesystem::current_path(VALMOREN_GAME_DIR); }
    ~InGameFolder() {
        headless_set_player({});
        std::filesystem::current_path(before);
    }
};

// Makes the generated pictures and sounds visible from the working folder
// (they may not exist yet: then every picture stays empty). Windows' C++
// library makes no links: there the run folder is read after the working
// folder, as an installed game reads its data.
inline void link_game_data() {
#ifdef _WIN32
    set_data_folder(VALMOREN_GAME_DIR);
#else
    namespace fs = std::filesystem;
    std::error_code ec;
    for (const char* sub : {"img", "sounds"}) {
        const fs::path from = fs::path(VALMOREN_GAME_DIR) / sub;
        if (fs::exists(from)) fs::create_directory_symlink(from, sub, ec);
    }
#endif
}

// Writes a 24-bit BMP whose pixel (x, y) (y from the top) is colour(x, y).
inline void write_bmp(const std::string& path, int w, int h,
                      const std::function<uint32_t(int, int)>& colour) {
    std::error_code ec;
    const std::filesystem::path parent = std::filesystem::path(path).parent_path();
    if (!parent.empty()) std::filesystem::create_directories(parent, ec);
    std::vector<uint32_t> pixels(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) pixels[static_cast<size_t>(y) * w + x] = colour(x, y);
    valmoren::save_pixels_bmp(path, pixels.data(), w, h);
}

// Writes a PCM WAV file: `samples` are interleaved, in the file's own range
// (0..255 for 8-bit, -32768..32767 for 16-bit).
inline void write_wav(const std::string& path, int rate, int channels, int bits, const std::vector<int>& samples) {
    std::vector<uint8_t> body;
    for (int s : samples) {
        if (bits == 8) {
            body.push_back(static_cast<uint8_t>(s));
        } else {
            body.push_back(static_cast<uint8_t>(s & 0xFF));
            body.push_back(static_cast<uint8_t>((s >> 8) & 0xFF));
        }
    }
    auto u32 = [](std::vector<uint8_t>& v, uint32_t x) {
        for (int i = 0; i < 4; ++i) v.push_back(static_cast<uint8_t>(x >> (8 * i)));
    };
    auto u16 = [](std::vector<uint8_t>& v, uint32_t x) {
        v.push_back(static_cast<uint8_t>(x));
        v.push_back(static_cast<uint8_t>(x >> 8));
    };
    std::vector<uint8_t> f = {'R', 'I', 'F', 'F'};
    u32(f, static_cast<uint32_t>(36 + body.size()));
    f.insert(f.end(), {'W', 'A', 'V', 'E', 'f', 'm', 't', ' '});
    u32(f, 16);
    u16(f, 1);
    u16(f, static_cast<uint32_t>(channels));
    u32(f, static_cast<uint32_t>(rate));
    u32(f, static_cast<uint32_t>(rate * channels * bits / 8));
    u16(f, static_cast<uint32_t>(channels * bits / 8));
    u16(f, static_cast<uint32_t>(bits));
    f.insert(f.end(), {'d', 'a', 't', 'a'});
    u32(f, static_cast<uint32_t>(body.size()));
    f.insert(f.end(), body.begin(), body.end());
    if (body.size() & 1) f.push_back(0);
    std::FILE* out = std::fopen(path.c_str(), "wb");
    ASSERT_NE(out, nullptr);
    std::fwrite(f.data(), 1, f.size(), out);
    std::fclose(out);
}

// The whole content of a file ("" when it cannot be read).
inline std::string read_whole_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void write_whole_file(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

// Today's local date as the score log writes it: month-day-year.
inline std::string today_mdy() {
    const std::time_t now = std::time(nullptr);
    std::tm t{};
    localtime_r(&now, &t);
    char text[32];
    std::snprintf(text, sizeof text, "%02d-%02d-%04d", t.tm_mon + 1, t.tm_mday, t.tm_year + 1900);
    return text;
}

inline void write_solid_bmp(const std::string& path, int w, int h, uint32_t colour) {
    write_bmp(path, w, h, [colour](int, int) { return colour; });
}

// A picture made in memory: w x h of one colour.
inline Image solid_image(int w, int h, uint32_t colour) {
    Image img;
    img.w = static_cast<uint16_t>(w);
    img.h = static_cast<uint16_t>(h);
    img.pixels.assign(static_cast<size_t>(w * h), colour);
    return img;
}

// A rule that meets box A (at ax, ay, aw x ah) with a box B of bw x bh, pinned
// at each edge where they can meet: B one pixel over the edge sets the rule
// off, B edge to edge does not, so a size or a place off by one fails.
// `meets(bx, by)` puts B's top-left corner there, runs the rule from a fresh
// set-up and says whether it fired.
inline void expect_box_edges(int32_t ax, int32_t ay, int32_t aw, int32_t ah, int32_t bw, int32_t bh,
                             const std::function<bool(int32_t, int32_t)>& meets) {
    struct Edge {
        const char* name;
        int32_t x, y, over_x, over_y;
    };
    const Edge edges[] = {{"A's right edge", ax + aw, ay + 1, -1, 0},
                          {"A's bottom edge", ax + 1, ay + ah, 0, -1},
                          {"A's left edge", ax - bw, ay + 1, 1, 0},
                          {"A's top edge", ax + 1, ay - bh, 0, 1}};
    for (const Edge& e : edges) {
        EXPECT_FALSE(meets(e.x, e.y)) << e.name << ": B edge to edge at " << e.x << "," << e.y;
        EXPECT_TRUE(meets(e.x + e.over_x, e.y + e.over_y)) << e.name << ": B one pixel over";
    }
}

// True when the visible page shows a w x h picture of one colour with its
// top-left corner at (x, y): its corners are there, the pixels beside them not.
inline bool shown_at(uint32_t colour, int x, int y, int w, int h) {
    return headless_pixel(x, y) == colour && headless_pixel(x + w - 1, y + h - 1) == colour &&
           headless_pixel(x - 1, y) != colour && headless_pixel(x, y - 1) != colour &&
           headless_pixel(x + w, y + h - 1) != colour && headless_pixel(x + w - 1, y + h) != colour;
}

inline uint32_t work_pixel(int x, int y) { return page_pixels(work_page())[y * SCREEN_W + x]; }

// Counts the pixels of the work page inside a rectangle that are not black.
inline int lit_pixels(int x0, int y0, int w, int h) {
    int n = 0;
    for (int y = y0; y < y0 + h; ++y)
        for (int x = x0; x < x0 + w; ++x)
            if (work_pixel(x, y) != 0) ++n;
    return n;
}

}  // namespace valmoren::testing_support
