// frontend_helpers.h -- shared by the front-end screen tests: a fresh working
// folder, small pictures and sounds written on the spot, the text grid read back
// from a page, and a scripted player that holds keys at each key wait.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/input.h"
#include "platform/screen.h"
#include "state/game_state.h"

namespace valmoren::fe_test {

namespace fs = std::filesystem;

// Game state and platform as at program start, in an empty working folder.
inline std::string fresh_folder(const std::string& name) {
    g = GameState{};
    headless_reset();
    std::string dir = headless_enter_temp_folder(name);
    fs::create_directories("img");
    fs::create_directories("sounds");
    return dir;
}

inline void write_bytes(const std::string& path, const std::string& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << bytes;
}

inline std::string read_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::ostringstream s;
    s << in.rdbuf();
    return s.str();
}

inline void put_le(std::string& s, uint32_t v, int bytes) {
    for (int i = 0; i < bytes; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
}

// A 24-bit BMP whose pixel (x, y) (y from the top) is colour(x, y).
inline void write_bmp(const std::string& path, int w, int h,
                      const std::function<uint32_t(int, int)>& colour) {
    const int row_bytes = (w * 3 + 3) / 4 * 4;
    std::string s = "BM";
    put_le(s, 54 + row_bytes * h, 4);
    put_le(s, 0, 4);
    put_le(s, 54, 4);
    put_le(s, 40, 4);
    put_le(s, w, 4);
    put_le(s, h, 4);
    put_le(s, 1, 2);
    put_le(s, 24, 2);
    for (int i = 0; i < 6; ++i) put_le(s, 0, 4);
    for (int y = h - 1; y >= 0; --y) {
        for (int x = 0; x < w; ++x) put_le(s, colour(x, y), 3);
        for (int p = w * 3; p < row_bytes; ++p) s.push_back(0);
    }
    write_bytes(path, s);
}

inline void write_solid_bmp(const std::string& path, int w, int h, uint32_t colour) {
    write_bmp(path, w, h, [colour](int, int) { return colour; });
}

// A short, quiet 16-bit mono WAV: any sound file will do for a music slot.
inline void write_wav(const std::string& path, double secs = 2.0) {
    const int rate = 22050;
    const int frames = static_cast<int>(rate * secs);
    std::string s = "RIFF";
    put_le(s, 36 + frames * 2, 4);
    s += "WAVEfmt ";
    put_le(s, 16, 4);
    put_le(s, 1, 2);  // PCM
    put_le(s, 1, 2);  // mono
    put_le(s, rate, 4);
    put_le(s, rate * 2, 4);
    put_le(s, 2, 2);
    put_le(s, 16, 2);
    s += "data";
    put_le(s, frames * 2, 4);
    for (int i = 0; i < frames; ++i) put_le(s, (i / 50) % 2 ? 300 : 0xFFFF - 299, 2);
    write_bytes(path, s);
}

// The menu, logo and story music files, so the music slots get real streams.
inline void write_music_files() {
    for (const char* name : {"sounds/mus_menu.ogg", "sounds/mus_logo.ogg", "sounds/suget.ogg"}) {
        write_wav(name);
    }
}

inline void write_options(const std::string& music, const std::string& controls,
                          const std::string& full_screen) {
    write_bytes("options.dat", music + "\r\n" + controls + "\r\n" + full_screen + "\r\n");
}

// The character printed white on black in a text cell, or '?' when the cell
// holds anything else.
inline char cell_char(const uint32_t* page, int row, int column) {
    const int x0 = (column - 1) * 8, y0 = (row - 1) * 16;
    for (int c = 32; c < 127; ++c) {
        const uint8_t* glyph = font_glyph(static_cast<unsigned char>(c));
        bool same = true;
        for (int r = 0; r < 16 && same; ++r) {
            for (int b = 0; b < 8 && same; ++b) {
                uint32_t want = (glyph[r] >> b) & 1 ? 0xFFFFFF : 0x000000;
                same = page[(y0 + r) * SCREEN_W + x0 + b] == want;
            }
        }
        if (same) return static_cast<char>(c);
    }
    return '?';
}

inline std::string screen_text(const uint32_t* page, int row, int column, int length) {
    std::string s;
    for (int i = 0; i < length && column + i <= 80; ++i) s.push_back(cell_char(page, row, column + i));
    return s;
}

inline const uint32_t* visible() { return headless_visible_page(); }
inline uint32_t pixel(const uint32_t* page, int x, int y) { return page[y * SCREEN_W + x]; }

// Top row of the first run of `colour` in column x of the page, or -1.
inline int first_row_of(const uint32_t* page, int x, uint32_t colour) {
    for (int y = 0; y < SCREEN_H; ++y) {
        if (pixel(page, x, y) == colour) return y;
    }
    return -1;
}

// Thrown by a scripted player that has run out of keys, so a screen that
// never returns fails the test instead of waiting for ever.
struct ScriptEnded {};

// At the n-th key wait: `look(n)` sees the screen as shown, then the keys held
// for the wait before are let go and the keys of step n are held down.
inline void script_keys(std::vector<std::vector<int>> steps,
                        std::function<void(size_t)> look = nullptr) {
    release_all_keys();  // nothing stays held from an earlier script
    take_key_press();
    auto held = std::make_shared<std::vector<int>>();
    auto next = std::make_shared<size_t>(0);
    headless_set_player([steps = std::move(steps), look = std::move(look), held, next]() {
        if (!headless_waiting_for_key()) return;
        if (look) look(*next);
        for (int k : *held) headless_release(k);
        held->clear();
        if (*next >= steps.size()) throw ScriptEnded{};
        for (int k : steps[*next]) {
            headless_press(k);
            held->push_back(k);
        }
        ++*next;
    });
}

}  // namespace valmoren::fe_test
