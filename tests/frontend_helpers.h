// frontend_helpers.h -- shared by the front-end screen tests: a fresh working
// folder, small pictures (the play tests' writer) and sounds written on the
// spot, the text grid read back from a page, and a scripted player that holds
// keys at each key wait.
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/input.h"
#include "platform/screen.h"
#include "play_support.h"
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

inline void write_bytes(const std::string& path, const std::string& bytes) { testing_support::write_whole_file(path, bytes); }
inline std::string read_bytes(const std::string& path) { return testing_support::read_whole_file(path); }

using testing_support::write_bmp;
using testing_support::write_solid_bmp;

// A short, quiet 16-bit mono WAV: any sound file will do for a music slot.
inline void write_wav(const std::string& path, double secs = 2.0) {
    std::vector<int> samples(static_cast<size_t>(22050 * secs));
    for (size_t i = 0; i < samples.size(); ++i) samples[i] = (i / 50) % 2 ? 300 : -300;
    testing_support::write_wav(path, 22050, 1, 16, samples);
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
