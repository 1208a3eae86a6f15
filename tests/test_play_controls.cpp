// The player's controls per level and scheme, the pause and the exit key, and
// the level-4 lander's fall with its rounding.
#include <gtest/gtest.h>

#include "play/play.h"
#include "play_support.h"
#include "state/game_state.h"

using namespace valmoren;
using namespace valmoren::testing_support;

TEST(Controls, Level1PlanesMoveMirrored) {
    fresh_game("controls_l1");
    g.level = 1;
    g.craft_y = g.craft2_y = 240;
    headless_press(KEY_UP);
    read_controls();
    EXPECT_EQ(g.craft_y, 236);
    EXPECT_EQ(g.craft2_y, 244);
    headless_press(KEY_DOWN);  // both held: they cancel out
    read_controls();
    EXPECT_EQ(g.craft_y, 236);
    EXPECT_EQ(g.craft2_y, 244);
    headless_release(KEY_UP);
    read_controls();
    EXPECT_EQ(g.craft_y, 240);
    EXPECT_EQ(g.craft2_y, 240);
    headless_release(KEY_DOWN);

    g.controls_mouse = 1;
    headless_set_mouse(300, 100, 0);
    read_controls();
    EXPECT_EQ(g.craft_y, 100);
    EXPECT_EQ(g.craft2_y, 380);
    headless_mouse_outside();
    read_controls();
    EXPECT_EQ(g.craft_y, -1);
    EXPECT_EQ(g.craft2_y, 481);
}

TEST(Controls, OtherLevelsAndSchemes) {
    fresh_game("controls_other");
    // Level 2 mouse: the plane follows, at most 610.
    g.level = 2;
    g.controls_mouse = 1;
    headless_set_mouse(630, 200, 0);
    read_controls();
    EXPECT_EQ(g.craft_x, 610);
    headless_mouse_outside();
    read_controls();
    EXPECT_EQ(g.craft_x, -1);

    // Level 3 keyboard and mouse turn the ship by 10 degrees.
    g.level = 3;
    g.controls_mouse = 0;
    g.heading = 0.0;
    headless_press(KEY_RIGHT);
    read_controls();
    EXPECT_DOUBLE_EQ(g.heading, 10.0);
    headless_release(KEY_RIGHT);
    g.controls_mouse = 1;
    headless_set_mouse(10, 10, 1);
    read_controls();
    EXPECT_DOUBLE_EQ(g.heading, 0.0);
    headless_set_mouse(10, 10, 3);  // both buttons: neither counts
    read_controls();
    EXPECT_DOUBLE_EQ(g.heading, 0.0);

    // Level 4: Space with the gauge at 0.1 does not push; the gauge drops below 0.
    g.level = 4;
    g.controls_mouse = 0;
    g.heading = 0.1;
    g.thrust = 1.0;
    headless_press(KEY_SPACE);
    read_controls();
    EXPECT_NEAR(g.thrust, 1.0, 1e-9);
    EXPECT_EQ(g.thrusting, 0);
    EXPECT_NEAR(g.heading, -0.1, 1e-9);
    read_controls();  // from now on the push falls whether Space is held or not
    EXPECT_NEAR(g.thrust, 0.8, 1e-9);
    headless_release(KEY_SPACE);
}

TEST(Controls, Level5ChargeRisesAndResets) {
    fresh_game("controls_l5");
    g.level = 5;
    headless_set_mouse(100, 200, 1);
    int frames_in_firing_range = 0;
    for (int i = 0; i < 70; ++i) {
        read_controls();
        if (g.thrust > 0.0 && g.thrust <= 5.0 + 1e-9) ++frames_in_firing_range;
    }
    EXPECT_EQ(g.player_x, 100);
    EXPECT_EQ(g.player_y, 200);
    EXPECT_EQ(frames_in_firing_range, 50);
    EXPECT_DOUBLE_EQ(g.thrust, 6.0);
    headless_set_mouse(100, 200, 0);
    read_controls();
    EXPECT_EQ(g.thrust, 0.0);
    headless_set_mouse(100, 200, 3);
    read_controls();
    EXPECT_EQ(g.thrust, 0.0);
    headless_mouse_outside();
    read_controls();
    EXPECT_EQ(g.player_x, -1);
    EXPECT_EQ(g.thrust, 0.0);
}

TEST(Controls, PauseShowsItsTextAndEndsOnSpace) {
    fresh_game("controls_pause");
    g.level = 1;
    g.level_time = 50.0;
    headless_press(KEY_P);
    int shown = 0;
    bool text_seen = false;
    headless_set_player([&] {
        ++shown;
        // The pause's frame: row 28 from column 35 carries the text.
        text_seen = lit_pixels(8 * 34, 16 * 27, 8 * 12, 16) > 20;
        headless_release(KEY_P);
        headless_press(KEY_SPACE);
    });
    clear();
    read_controls();
    headless_set_player(nullptr);
    EXPECT_EQ(shown, 1);
    EXPECT_TRUE(text_seen);
    EXPECT_EQ(g.level_time, 50.0);
}

TEST(Controls, EscAsksFirstThenPauseFollows) {
    fresh_game("controls_esc");
    g.level = 1;
    g.level_time = 50.0;
    headless_press(KEY_ESC);
    headless_press(KEY_P);
    std::vector<std::string> seen;
    headless_set_player([&] {
        // Question frames have text at row 15; the pause's at row 28.
        if (lit_pixels(8 * 34, 16 * 14, 8 * 6, 16) > 20 && key_down(KEY_ESC)) {
            seen.push_back("question");
            headless_release(KEY_ESC);
            headless_press(KEY_N);
        } else if (lit_pixels(8 * 34, 16 * 27, 8 * 12, 16) > 20) {
            seen.push_back("pause");
            headless_release(KEY_N);
            headless_release(KEY_P);
            headless_press(KEY_SPACE);
        }
    });
    read_controls();
    headless_set_player(nullptr);
    ASSERT_EQ(seen.size(), 2u);
    EXPECT_EQ(seen[0], "question");
    EXPECT_EQ(seen[1], "pause");
    EXPECT_EQ(g.request, 0);  // N to "Exit?!" changes nothing
}

TEST(Controls, LanderFallsWithHalvesToEven) {
    fresh_game("controls_lander");
    g.level = 4;
    g.level_time = 1e9;  // no clock tick in the way
    g.vel_y = 1;
    struct Case {
        int32_t y;
        double thrust;
        int32_t after;
    };
    const Case cases[] = {{10, 0.5, 10}, {10, 1.5, 10}, {10, 2.5, 8}, {10, 0.0, 11}, {10, -0.5, 12}};
    for (const Case& c : cases) {
        g.player_y = c.y;
        g.thrust = c.thrust;
        draw_player_sprites();
        EXPECT_EQ(g.player_y, c.after) << c.thrust;
    }
}
