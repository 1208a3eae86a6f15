// play_support.h -- shared set-up for the play and runner tests: a fresh game
// state and platform, a private working folder, the generated game data or
// small hand-made pictures, and a tiny BMP writer for the latter.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "flow/game_state.h"
#include "platform/headless/headless.h"
#include "platform/input.h"
#include "platform/screen.h"

namespace valmoren::testing_support {

// Fresh state, fresh platform, a working folder of the test's own.
inline void fresh_game(const std::string& folder) {
    g = GameState{};
    headless_reset();
    headless_enter_temp_folder(folder);
}

// Makes the generated pictures and sounds visible from the working folder
// (they may not exist yet: then every picture stays empty).
inline void link_game_data() {
    namespace fs = std::filesystem;
    std::error_code ec;
    for (const char* sub : {"img", "sounds"}) {
        const fs::path from = fs::path(VALMOREN_GAME_DIR) / sub;
        if (fs::exists(from)) fs::create_directory_symlink(from, sub, ec);
    }
}

// Writes a 24-bit BMP whose pixel (x, y) (y from the top) is colour(x, y).
inline void write_bmp(const std::string& path, int w, int h,
                      const std::function<uint32_t(int, int)>& colour) {
    namespace fs = std::filesystem;
    std::error_code ec;
    const fs::path parent = fs::path(path).parent_path();
    if (!parent.empty()) fs::create_directories(parent, ec);
    const int row = (w * 3 + 3) / 4 * 4;
    const uint32_t data_size = static_cast<uint32_t>(row * h);
    std::vector<uint8_t> b(54 + data_size, 0);
    auto u16 = [&](size_t at, uint32_t v) { b[at] = v & 0xFF; b[at + 1] = (v >> 8) & 0xFF; };
    auto u32 = [&](size_t at, uint32_t v) { u16(at, v & 0xFFFF); u16(at + 2, v >> 16); };
    b[0] = 'B';
    b[1] = 'M';
    u32(2, 54 + data_size);
    u32(10, 54);
    u32(14, 40);
    u32(18, static_cast<uint32_t>(w));
    u32(22, static_cast<uint32_t>(h));
    u16(26, 1);
    u16(28, 24);
    u32(34, data_size);
    for (int y = 0; y < h; ++y) {
        const size_t at = 54 + static_cast<size_t>((h - 1 - y) * row);
        for (int x = 0; x < w; ++x) {
            const uint32_t c = colour(x, y);
            b[at + 3 * x] = c & 0xFF;
            b[at + 3 * x + 1] = (c >> 8) & 0xFF;
            b[at + 3 * x + 2] = (c >> 16) & 0xFF;
        }
    }
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(b.data()),
                                                static_cast<std::streamsize>(b.size()));
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
