// play_support.h -- shared set-up for the play and runner tests: a fresh game
// state and platform, a private working folder, the generated game data or
// small hand-made pictures, and a tiny BMP writer for the latter.
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

// The whole content of a file ("" when it cannot be read).
inline std::string read_whole_file(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
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
