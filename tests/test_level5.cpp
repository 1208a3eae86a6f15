// A scripted mouse player wins level 5 through its seven phases and finale;
// the victory needs two key presses, appends the score log and ends the
// program with status 0. The log's exact bytes are checked.
#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <iterator>
#include <sstream>

#include "flow/runner.h"
#include "play_support.h"
#include "players.h"
#include "state/game_state.h"

using namespace valmoren;
using namespace valmoren::testing_support;

namespace {

// The shared gunner, counting the key waits it answers.
struct Gunner {
    int key_waits = 0;
    void operator()() {
        if (headless_waiting_for_key()) ++key_waits;
        players::gunner();
    }
};

}  // namespace

TEST(Level5, ScriptedGunnerWinsAndTheScoreIsLogged) {
    fresh_game("level5_win");
    link_game_data();
    g.score = 1000;
    g.energy = 100;
    Gunner gunner;
    headless_set_player(std::ref(gunner));
    level_setup(5);
    EXPECT_EQ(g.score, 1100);  // the energy left from level 4
    EXPECT_EQ(g.energy, 240);
    EXPECT_EQ(g.controls_mouse, 1);

    gunner.key_waits = 0;
    int16_t lowest_energy = g.energy;
    int won_frames = 0;
    const int status = headless_run_program([&] {
        for (long frame = 0; frame < 20000; ++frame) {
            const FrameOutcome outcome = level_frame();
            if (g.energy < lowest_energy) lowest_energy = g.energy;
            if (outcome == LEVEL_WON) {
                ++won_frames;
                victory();
            }
            if (outcome != LEVEL_GOES_ON) return;
        }
    });
    headless_set_player(nullptr);
    ASSERT_EQ(status, 0);
    EXPECT_EQ(won_frames, 1);
    EXPECT_EQ(g.fall_speed, 13);  // seven phases
    EXPECT_GT(lowest_energy, 0);
    EXPECT_GE(gunner.key_waits, 2);  // two key presses after the victory pictures
    EXPECT_GT(g.score, 1100);

    std::ostringstream expected;
    expected << today_mdy() << "\r\n " << g.score << "\r\n***\r\n";
    EXPECT_EQ(read_whole_file("score.dat"), expected.str());
}

TEST(ScoreLog, RecordsAppendWithSignedScores) {
    fresh_game("score_log");
    g.score = 1234;
    append_score_log();
    g.score = static_cast<int16_t>(32767 + 40);  // wrapped below zero
    append_score_log();
    const std::string d = today_mdy();
    EXPECT_EQ(read_whole_file("score.dat"), d + "\r\n 1234\r\n***\r\n" + d + "\r\n-32729\r\n***\r\n");
    EXPECT_EQ(d.size(), 10u);
}
