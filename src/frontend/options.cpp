// options.cpp -- the settings file "options.dat" (music, controls, full screen),
// its reader and the options screen. Writes g.music_on, g.controls_mouse, g.stream_music.
#include <cstdio>
#include <string>

#include "audio/sound.h"
#include "frontend/frontend.h"
#include "platform/input.h"
#include "platform/screen.h"
#include "platform/textfile.h"
#include "state/game_state.h"

namespace valmoren {

namespace {

constexpr const char* OPTIONS_FILE = "options.dat";

// Cursor rows of the options screen (y of the ball) and the ball's x.
constexpr int ROW_MUSIC = 295;
constexpr int ROW_CONTROLS = 345;
constexpr int ROW_FULLSCREEN = 395;
constexpr int ROW_SAVE = 445;
constexpr int BALL_X = 200;

// One setting as the screen shows it: the value on display and the other one.
struct OptionValue {
    std::string shown;
    std::string other;
};

void swap_value(OptionValue& v) { v.shown.swap(v.other); }

// Reads the first `count` lines of the options file; missing lines stay empty.
void read_option_lines(std::string* lines, int count) {
    int n = free_file_number();
    open_file(OPTIONS_FILE, FILE_INPUT, n);
    for (int i = 0; i < count; ++i) read_line(n, lines[i]);
    close_file(n);
}

void print_option_row(int row, const char* label, const OptionValue& v) {
    locate(row, 30);
    print_text(label, END_ZONE);  // blanks up to column 42, value from column 43
    print_text(v.shown, END_LINE);
}

// Stores the three settings, each "0" or "1" with a line end: exactly 9 bytes.
// Written whole or not at all, so a crash or a full disk never leaves a
// half-written options file; a file the game may not write stays as it was.
void write_options_file(bool music, bool mouse, bool full_screen) {
    int n = free_file_number();
    open_file(OPTIONS_FILE, FILE_REPLACE, n);
    write_text(n, music ? "1" : "0", true);
    write_text(n, mouse ? "1" : "0", true);
    write_text(n, full_screen ? "1" : "0", true);
    close_file(n);
}

// Applies music and controls at once and saves all three settings.
void save_options(const OptionValue& music, const OptionValue& controls,
                  const OptionValue& full_screen) {
    bool music_wanted = !texts_equal(music.shown, "OFF");
    if (!music_wanted) {
        g.music_on = 0;
        sound_shutdown();
    } else {
        g.music_on = 1;
        // A menu music already playing goes on undisturbed.
        if (g.stream_music == 0) stream_open(g.stream_music, "sounds/mus_menu.ogg");
        stream_play(g.stream_music);
    }
    bool mouse = !texts_equal(controls.shown, "Keyboard");
    g.controls_mouse = mouse ? 1 : 0;
    write_options_file(music_wanted, mouse, texts_equal(full_screen.shown, "YES"));
}

}  // namespace

// Called by the main menu on entry and by the level-5 questions: music and
// controls from the first two lines of the options file.
void read_options() {
    std::string lines[2];
    read_option_lines(lines, 2);
    g.music_on = texts_equal(lines[0], "0") ? 0 : 1;
    g.controls_mouse = texts_equal(lines[1], "0") ? 0 : 1;
}

// The options screen, reached from the main menu. Esc leaves without saving;
// "Save and Exit" applies music and controls and writes the file.
void options_screen() {
    Image backg, ball;
    load_bmp("img/l2.bmp", backg);
    load_bmp("img/ball.bmp", ball);

    std::string lines[3];
    read_option_lines(lines, 3);
    OptionValue music = texts_equal(lines[0], "0") ? OptionValue{"OFF", "ON"}
                                                    : OptionValue{"ON", "OFF"};
    OptionValue controls = texts_equal(lines[1], "0") ? OptionValue{"Keyboard", "Mouse"}
                                                       : OptionValue{"Mouse", "Keyboard"};
    OptionValue full_screen = texts_equal(lines[2], "1") ? OptionValue{"YES", "NO"}
                                                          : OptionValue{"NO", "YES"};
    int cursor = ROW_MUSIC;

    for (;;) {
        clear();
        if (key_down(KEY_ESC)) return;  // toggles made here are dropped

        load_bmp_to_page("img/l1.bmp");
        put(320, 0, backg, PUT_XOR);
        put(BALL_X, cursor + 5, ball, PUT_TRANSPARENT);
        print_option_row(20, "Music:", music);
        print_option_row(23, "Controls:", controls);
        print_option_row(26, "Fullscreen:", full_screen);
        locate(29, 30);
        print_text("Save and Exit", END_LINE);

        wait_retrace();
        show_frame();
        wait(-1);

        // Keys are read after the wait, so each press shows its result in the next frame.
        if (key_down(KEY_UP)) {
            cursor -= 50;
        } else if (key_down(KEY_DOWN)) {
            cursor += 50;
        }
        if (cursor > ROW_SAVE) {
            cursor = ROW_SAVE;
        } else if (cursor < ROW_MUSIC) {
            cursor = ROW_MUSIC;
        }

        if (key_down(KEY_ENTER)) {
            switch (cursor) {
                case ROW_MUSIC: swap_value(music); break;
                case ROW_CONTROLS: swap_value(controls); break;
                case ROW_FULLSCREEN: swap_value(full_screen); break;
                case ROW_SAVE:
                    save_options(music, controls, full_screen);
                    return;
                default: break;
            }
        }
    }
}

}  // namespace valmoren
