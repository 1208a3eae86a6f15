// A scripted player wins level 1 from its set-up with the arrow keys alone,
// steering the plane the ball flies towards to where the ball will arrive.
#include <gtest/gtest.h>

#include "flow/game_state.h"
#include "flow/runner.h"
#include "play_support.h"

using namespace valmoren;
using namespace valmoren::testing_support;

namespace {

// Where the ball's top will be when it reaches the plane it is flying
// towards, following the walls as the ball routine does.
int32_t predicted_arrival_y() {
    int32_t x = g.player_x, y = g.player_y, vy = g.vel_y;
    for (int step = 0; step < 400; ++step) {
        if (g.vel_x < 0 && x < 42) break;
        if (g.vel_x > 0 && x > 574) break;
        x += g.vel_x;
        y += vy;
        if (y > 460) { y -= 5; vy = -vy; }
        if (y < 10) { y += 5; vy = -vy; }
    }
    return y;
}

void hold(int key, bool down) {
    if (down)
        headless_press(key);
    else
        headless_release(key);
}

// Reads the screen as a player would (positions in g) and holds Up or Down.
void steer() {
    if (headless_waiting_for_key()) {
        headless_tap(KEY_ENTER);
        return;
    }
    const bool left = g.vel_x < 0;
    const int32_t plane_y = left ? g.craft_y : g.craft2_y;
    // Aim for a strike 40 pixels below the plane's top: a flat return.
    const int32_t error = predicted_arrival_y() - 40 - plane_y;
    bool up = false, down = false;
    if (error < -3) (left ? up : down) = true;   // the plane must rise
    if (error > 3) (left ? down : up) = true;    // the plane must sink
    hold(KEY_UP, up);
    hold(KEY_DOWN, down);
}

}  // namespace

TEST(Level1, ScriptedPlayerLastsTheCountdown) {
    fresh_game("level1_win");
    link_game_data();
    headless_set_player(steer);
    level_setup(1);
    EXPECT_EQ(g.level, 1);

    FrameOutcome outcome = LEVEL_GOES_ON;
    long frames = 0;
    int32_t lowest_energy = g.energy;
    while (outcome == LEVEL_GOES_ON && frames < 20000) {
        outcome = level_frame();
        ++frames;
        if (g.energy < lowest_energy) lowest_energy = g.energy;
    }
    headless_set_player(nullptr);
    ASSERT_EQ(outcome, LEVEL_WON) << "after " << frames << " frames";
    EXPECT_EQ(g.level_time, 0.0);
    EXPECT_GT(g.energy, 0);
    EXPECT_GE(g.score, 100);  // the planes returned the ball many times
    // 101 seconds at 60 frames a second, less any time bonus.
    EXPECT_GT(headless_time(), 30.0);

    level_end();
    EXPECT_EQ(g.level_done, 0);
}
