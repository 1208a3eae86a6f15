// A scripted player wins level 1 from its set-up with the arrow keys alone,
// steering the plane the ball flies towards to where the ball will arrive.
#include <gtest/gtest.h>

#include "flow/runner.h"
#include "play_support.h"
#include "players.h"
#include "state/game_state.h"

using namespace valmoren;
using namespace valmoren::testing_support;

TEST(Level1, ScriptedPlayerLastsTheCountdown) {
    fresh_game("level1_win");
    link_game_data();
    headless_set_player(players::paddles);
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
