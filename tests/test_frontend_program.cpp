// The whole program from start-up: logo, menu, Options (toggle and save),
// Credits, Start, the two opening slides, Esc and Y back to the menu, Exit.
#include <gtest/gtest.h>

#include "flow/flow.h"
#include "frontend_helpers.h"
#include "players.h"

namespace valmoren {
namespace {

using namespace fe_test;

void copy_generated_data() {
    const fs::path game = VALMOREN_GAME_DIR;
    std::error_code ec;
    for (const char* name : {"img", "sounds", "suget.dat"}) {
        if (fs::exists(game / name)) {
            fs::copy(game / name, name,
                     fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
        }
    }
}

enum Phase { START_UP, MENU, STORY, LEVEL, MENU_AGAIN };

TEST(FrontEndProgram, MenuOptionsCreditsStoryAndBackToExit) {
    fresh_folder("frontend-program");
    copy_generated_data();
    write_options("0", "0", "0");

    Phase phase = START_UP;
    const std::vector<std::vector<int>> menu_keys = {
        {KEY_DOWN}, {KEY_ENTER},                                      // Options
        {KEY_ENTER}, {KEY_DOWN}, {KEY_ENTER}, {KEY_DOWN}, {KEY_DOWN},  // music ON, Mouse
        {KEY_ENTER},                                                  // Save and Exit
        {KEY_DOWN}, {KEY_DOWN}, {KEY_ENTER}, {KEY_SPACE},             // Credits and back
        {KEY_ENTER}};                                                 // Start
    const std::vector<std::vector<int>> exit_keys = {{KEY_DOWN}, {KEY_DOWN}, {KEY_DOWN}, {KEY_ENTER}};
    size_t step = 0;
    players::Hands hands;
    bool slide_shown = false;
    int slides = 0;
    std::string options_music;
    int8_t music_back_at_menu = -1;

    auto hold = [&](std::vector<int> keys) { hands.hold(std::move(keys)); };
    headless_set_player([&] {
        if (headless_time() > 300.0) throw ScriptEnded{};  // lost: stop rather than hang
        const bool key_wait = headless_waiting_for_key();
        switch (phase) {
            case START_UP:  // start-up and logo waits run out by themselves
                if (!key_wait || g.music_on != 0) return;
                phase = MENU;
                [[fallthrough]];
            case MENU:
                if (!key_wait) return;
                if (step == 2) options_music = screen_text(visible(), 20, 43, 3);
                hold(menu_keys[step]);
                if (++step == menu_keys.size()) phase = STORY;
                return;
            case STORY:  // a key at the wait after each slide, not the short wait before it
                if (!key_wait) {
                    slide_shown = true;
                } else if (slide_shown) {
                    slide_shown = false;
                    hold({});
                    headless_tap(KEY_SPACE);
                    if (++slides == 2) phase = LEVEL;
                }
                return;
            case LEVEL:
                if (g.request == 2 && key_wait) {
                    phase = MENU_AGAIN;
                    step = 0;
                    music_back_at_menu = g.music_on;
                    hold(exit_keys[step++]);
                } else if (!key_wait) {
                    hold({KEY_ESC, KEY_Y});  // Esc asks "Exit?!", Y answers it
                }
                return;
            case MENU_AGAIN:
                if (key_wait && step < exit_keys.size()) hold(exit_keys[step++]);
                return;
        }
    });

    EXPECT_EQ(headless_run_program([] { game_main(); }), 0);
    EXPECT_EQ(phase, MENU_AGAIN);
    EXPECT_EQ(options_music, "OFF");
    EXPECT_EQ(slides, 2);
    EXPECT_EQ(music_back_at_menu, 1);  // the saved setting switches the music on again
    EXPECT_EQ(read_bytes("options.dat"), "1\r\n1\r\n0\r\n");
    EXPECT_EQ(g.controls_mouse, 1);
}

}  // namespace
}  // namespace valmoren
