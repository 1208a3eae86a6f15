// The main menu: the ball cursor under the arrow keys, what Enter does on each
// button, the pictures and their drawing modes, and the menu music.
#include <gtest/gtest.h>

#include "audio/sound.h"
#include "frontend/frontend.h"
#include "frontend_helpers.h"

namespace valmoren {
namespace {

using namespace fe_test;

constexpr uint32_t BALL = 0x00FF00;

int ball_row() { return first_row_of(visible(), 252, BALL); }

TEST(MainMenu, CursorMovesClampsAndExitEndsTheProgram) {
    fresh_folder("menu-cursor");
    write_solid_bmp("img/ball.bmp", 8, 8, BALL);
    write_options("0", "0", "0");
    std::vector<int> rows;
    script_keys({{KEY_UP}, {KEY_DOWN}, {KEY_DOWN}, {KEY_DOWN}, {KEY_DOWN}, {KEY_UP, KEY_DOWN},
                 {KEY_SPACE}, {KEY_DOWN}, {KEY_ENTER}},
                [&](size_t) { rows.push_back(ball_row()); });
    EXPECT_EQ(headless_run_program([] { main_menu(); }), 0);
    // Up on Start stays; Down to Exit and no further; Up wins over Down; another
    // key redraws the same frame.
    EXPECT_EQ(rows, (std::vector<int>{255, 255, 305, 355, 405, 405, 355, 355, 405}));
    // One frame per key press; Enter on Exit leaves without showing another.
    EXPECT_EQ(headless_frames_shown(), 9);
}

TEST(MainMenu, PicturesAreDrawnInTheirPlacesAndModes) {
    fresh_folder("menu-pictures");
    const uint32_t left = 0x102030, right = 0x0F0F0F, button = 0xC08040;
    write_solid_bmp("img/l1.bmp", 640, 480, left);
    write_solid_bmp("img/l2.bmp", 320, 480, right);
    auto half_keyed = [button](int x, int) { return x < 20 ? KEY_COLOUR : button; };
    for (const char* name : {"img/start.bmp", "img/options.bmp", "img/credits.bmp", "img/exit.bmp"}) {
        write_bmp(name, 40, 20, half_keyed);
    }
    write_solid_bmp("img/ball.bmp", 8, 8, BALL);
    write_options("0", "0", "0");
    const uint32_t* shown = nullptr;
    std::vector<uint32_t> seen;
    script_keys({{KEY_ENTER}}, [&](size_t) {
        shown = visible();
        seen = {pixel(shown, 10, 10),   pixel(shown, 330, 10),  pixel(shown, 275, 255),
                pixel(shown, 300, 255), pixel(shown, 300, 305), pixel(shown, 300, 355),
                pixel(shown, 300, 405), pixel(shown, 300, 425), pixel(shown, 252, 256)};
    });
    EXPECT_EQ(headless_run_program([] { main_menu(); }), -1);  // Start returns to the caller
    EXPECT_EQ(seen, (std::vector<uint32_t>{left, left ^ right, left, button, button, button,
                                           button, left, BALL}));
}

TEST(MainMenu, OptionsAndCreditsComeBackWithTheBallOnStart) {
    fresh_folder("menu-sub");
    write_solid_bmp("img/ball.bmp", 8, 8, BALL);
    write_solid_bmp("img/name.bmp", 30, 10, 0x4080C0);
    write_music_files();
    write_options("1", "0", "0");
    std::vector<int> rows;
    std::string options_label;
    uint32_t names = 0;
    StreamHandle music_in_credits = -1;
    script_keys({{KEY_DOWN}, {KEY_ENTER}, {KEY_ESC}, {KEY_DOWN}, {KEY_DOWN}, {KEY_ENTER},
                 {KEY_SPACE}, {KEY_ENTER}},
                [&](size_t n) {
                    rows.push_back(ball_row());
                    if (n == 2) options_label = screen_text(visible(), 20, 30, 6);
                    if (n == 6) {
                        names = pixel(visible(), 185, 305);
                        music_in_credits = g.stream_music;
                    }
                });
    EXPECT_EQ(headless_run_program([] { main_menu(); }), -1);
    EXPECT_EQ(options_label, "Music:");
    EXPECT_EQ(names, 0x4080C0u);
    ASSERT_EQ(rows.size(), 8u);
    EXPECT_EQ(rows[3], 255);  // back from Options: on Start
    EXPECT_EQ(rows[5], 355);
    EXPECT_EQ(rows[7], 255);  // back from Credits: on Start
    EXPECT_NE(music_in_credits, 0);  // the menu music plays on behind the credits
    EXPECT_EQ(g.stream_music, 0);    // Start stopped it
}

TEST(MainMenu, MusicFollowsTheSavedSettingOnEveryEntry) {
    fresh_folder("menu-music");
    write_music_files();
    write_options("0", "1", "0");
    StreamHandle at_menu = -1;
    script_keys({{KEY_ENTER}}, [&](size_t) { at_menu = g.stream_music; });
    main_menu();
    EXPECT_EQ(at_menu, 0);
    EXPECT_EQ(g.music_on, 0);
    EXPECT_EQ(g.controls_mouse, 1);

    write_options("1", "0", "0");
    for (int entry = 0; entry < 2; ++entry) {
        SCOPED_TRACE(entry);
        at_menu = 0;
        script_keys({{KEY_ENTER}}, [&](size_t) { at_menu = g.stream_music; });
        main_menu();
        EXPECT_NE(at_menu, 0);
        EXPECT_EQ(g.music_on, 1);
        EXPECT_EQ(g.stream_music, 0);  // stopped on Start
        sound_shutdown();              // as the runner does when a game is left
    }
}

}  // namespace
}  // namespace valmoren
