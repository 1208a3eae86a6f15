// Overlays last 3 s of the clock at any frame rate and show the help only
// when getting ready; questions are answered by held keys and give level 1
// its time back; level 2 loses its shots.
#include <gtest/gtest.h>

#include "levels/levels.h"
#include "play/play.h"
#include "play_support.h"
#include "state/game_state.h"

using namespace valmoren;
using namespace valmoren::testing_support;

namespace {

constexpr uint32_t HELP = 0x00FFFF;  // colour of the hand-made help pictures

void help_pictures() {
    for (const char* p : {"img/key.bmp", "img/mouse.bmp", "img/strelki.bmp", "img/strelki_2.bmp",
                          "img/strelki_3.bmp"})
        write_solid_bmp(p, 20, 20, HELP);
    write_solid_bmp("img/get_r.bmp", 40, 20, 0xFF0000);
    write_solid_bmp("img/ok_d.bmp", 40, 20, 0x00FF00);
}

bool help_visible() {
    // The device picture sits at (345, 190), 20 x 20.
    return headless_pixel(350, 195) == HELP;
}

}  // namespace

TEST(Overlays, LastThreeSecondsAtAnyFrameRate) {
    for (double extra : {0.0, 0.05, 0.4}) {
        fresh_game("overlay_time");
        help_pictures();
        g.level = 1;
        int frames = 0;
        bool help_seen = false;
        headless_set_player([&] {
            ++frames;
            help_seen = help_seen || help_visible();
            headless_advance(extra);  // a slow machine
        });
        const double t0 = headless_time();
        show_overlay(0);
        const double took = headless_time() - t0;
        EXPECT_GT(took, 3.0) << extra;
        EXPECT_LT(took, 3.0 + extra + 0.05) << extra;
        EXPECT_TRUE(help_seen);
        if (extra == 0.0) {
            EXPECT_GE(frames, 175);
            EXPECT_LE(frames, 182);
        }
    }

    // Level done: no help, and the ball is put in the middle.
    fresh_game("overlay_done");
    help_pictures();
    g.level = 1;
    bool help_seen = false;
    headless_set_player([&] { help_seen = help_seen || help_visible(); });
    show_overlay(1);
    EXPECT_FALSE(help_seen);
    EXPECT_EQ(g.player_x, 320);
    EXPECT_EQ(g.player_y, 240);
}

TEST(Overlays, PlanesMoveDuringGetReadyAndShotsAreCleared) {
    fresh_game("overlay_planes");
    g.level = 1;
    g.craft_y = g.craft2_y = 240;
    g.player_x = 111;
    g.player_y = 222;
    headless_press(KEY_DOWN);
    show_overlay(0);
    // Moved, and brought back at each pass before the controls move them one
    // more step: at most 4 pixels beyond the bounds when the overlay ends.
    EXPECT_EQ(g.craft_y, 404);
    EXPECT_EQ(g.craft2_y, -4);
    EXPECT_EQ(g.player_x, 111);  // the ball stays put
    EXPECT_EQ(g.player_y, 222);
    headless_release(KEY_DOWN);

    g.level = 2;
    size_array(g.shots, 210);
    for (Shot& s : g.shots) s.kind = 1;
    show_overlay(0);
    for (size_t i = 0; i <= 200; ++i) EXPECT_EQ(g.shots[i].kind, 0) << i;
}

TEST(Questions, HeldKeysAnswer) {
    struct Case {
        int q, key, request;
    };
    const Case cases[] = {{1, KEY_Y, 1}, {1, KEY_N, 2}, {2, KEY_Y, 2}, {2, KEY_N, 0}};
    for (const Case& c : cases) {
        fresh_game("question_keys");
        g.level = 3;
        headless_press(c.key);  // already held when the question comes up
        ask_question(c.q);
        EXPECT_EQ(g.request, c.request) << c.q << " " << c.key;
    }

    // Neither key: the question stays up; Y after 500 frames answers it.
    fresh_game("question_wait");
    g.level = 3;
    int frames = 0;
    headless_set_player([&] {
        if (++frames == 500) headless_press(KEY_Y);
    });
    ask_question(1);
    EXPECT_EQ(g.request, 1);
    EXPECT_GE(frames, 500);
}

TEST(Questions, Level1KeepsItsTimeAndGameOverAsks) {
    fresh_game("question_time");
    g.level = 1;
    g.level_time = 60.0;
    g.tick_mark = 0;
    // "Exit?!" answered N after about 5 seconds.
    headless_set_player([&] {
        headless_advance(0.1);
        if (headless_time() > 5.0) headless_press(KEY_N);
    });
    headless_press(KEY_ESC);
    read_controls();
    headless_release(KEY_ESC);
    headless_release(KEY_N);
    headless_set_player(nullptr);
    EXPECT_EQ(g.request, 0);
    run_level_clock();  // the countdown takes off the seconds that passed...
    EXPECT_EQ(g.level_time, 60.0);  // ...which the question gave back

    // Game over: the picture for 3 s, then "Game reset?!".
    fresh_game("question_over");
    g.level = 2;
    int question_frames = 0;
    headless_set_player([&] {
        if (headless_time() > 3.0 && lit_pixels(8 * 34, 16 * 14, 8 * 12, 16) > 30) {
            ++question_frames;
            headless_press(KEY_N);
        }
    });
    show_overlay(2);
    EXPECT_EQ(g.request, 2);
    EXPECT_GE(question_frames, 1);
}
