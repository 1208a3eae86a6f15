// Scripted players win levels 2, 3 and 4 from their set-ups, pressing keys as
// a player would and reading positions from the game state as a player reads
// the screen: a shooter, a pilot collecting debris, and a lander pilot.
#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>

#include "flow/runner.h"
#include "levels/levels.h"
#include "platform/headless/headless.h"
#include "platform/input.h"
#include "play_support.h"
#include "players.h"
#include "state/game_state.h"

using namespace valmoren;

namespace {

// The state a game arrives at level n with (the level-1 level-done picture
// leaves the ball in mid-screen), then that level's set-up.
void start_level(int n, const Player& player, double seed) {
    g = GameState{};
    headless_reset();
    randomize(seed);
    headless_set_player(player);
    g.music_on = 0;
    testing_support::carry_past_level1();
    level_setup(n);
}

// Frames until the level is won or left, at most `limit`; each energy loss is
// noted with the frame, the wave and the energy after it, for the failure text.
FrameOutcome play(int limit, int& frames, std::string& losses) {
    std::ostringstream notes;
    for (frames = 0; frames < limit; ++frames) {
        const int16_t before = g.energy;
        const FrameOutcome r = level_frame();
        if (g.energy < before)
            notes << " [" << frames << ": w" << int(g.wave_no) << " r" << int(g.rock_count) << " "
                  << before << "->" << g.energy << "]";
        if (r != LEVEL_GOES_ON) {
            losses = notes.str();
            return r;
        }
    }
    losses = notes.str();
    return LEVEL_GOES_ON;
}

}  // namespace

// Five waves of the formation, with the enemies' fire, falling obstacles and
// the ball left in mid-screen, for a few different games.
TEST(LevelPlay, ShooterWinsLevelTwo) {
    testing_support::InGameFolder folder;
    for (double seed : {1.0, 7.0, 123.0}) {
        start_level(2, players::shooter, seed);
        int frames = 0;
        std::string losses;
        const FrameOutcome r = play(40000, frames, losses);
        EXPECT_EQ(r, LEVEL_WON) << "seed " << seed << " after " << frames << " frames, wave "
                                << int(g.wave_no) << ", energy " << g.energy << losses;
        EXPECT_EQ(g.wave_step, 6) << "seed " << seed;
        EXPECT_GT(g.energy, 0);
        // 240 banked from level 1, then 21 enemies of 30 points in each wave.
        EXPECT_GE(g.score, 240 + 5 * 21 * 30 - 200) << "seed " << seed;
    }
}

// Four debris waves among the asteroids, then the fifth wave start wins.
TEST(LevelPlay, PilotWinsLevelThree) {
    testing_support::InGameFolder folder;
    for (double seed : {1.0, 7.0, 123.0}) {
        start_level(3, players::pilot, seed);
        int frames = 0;
        std::string losses;
        const FrameOutcome r = play(40000, frames, losses);
        EXPECT_EQ(r, LEVEL_WON) << "seed " << seed << " after " << frames << " frames, rock_count "
                                << int(g.rock_count) << ", energy " << g.energy << losses;
        EXPECT_EQ(g.rock_count, 11) << "seed " << seed;
        EXPECT_GT(g.energy, 0);
    }
}

TEST(LevelPlay, LanderBringsDownTenRockets) {
    testing_support::InGameFolder folder;
    start_level(4, players::lander, 1.0);
    int frames = 0;
    std::string losses;
    const FrameOutcome r = play(40000, frames, losses);
    EXPECT_EQ(r, LEVEL_WON) << "after " << frames << " frames, rockets " << int(g.rockets)
                            << ", energy " << g.energy << ", pad " << g.craft_x;
    EXPECT_EQ(g.rockets, 0);
    EXPECT_GE(g.craft_x, -195);
    EXPECT_GT(g.energy, 0);
}
