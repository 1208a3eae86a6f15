// The whole program played headless from its entry: logo, menu, Start, the
// story, five levels won by the scripted players, the victory pictures, the
// score log and exit status 0; and the same with an empty run folder.
#include <gtest/gtest.h>

#include <cstdio>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>

#include "flow/flow.h"
#include "platform/headless/headless.h"
#include "play_support.h"
#include "players.h"
#include "state/game_state.h"

using namespace valmoren;
using namespace valmoren::testing_support;

namespace {

namespace fs = std::filesystem;

// A fresh program in a fresh working folder, the whole-game player installed
// with a budget of frames per level, so a level that cannot be won ends in the
// menu's Exit instead of running for ever.
int play_whole_game(const std::string& folder, bool with_data, long level_budget) {
    g = GameState{};
    headless_reset();
    headless_enter_temp_folder(folder);
    if (with_data) {
        const fs::path game = VALMOREN_GAME_DIR;
        std::error_code ec;
        for (const char* name : {"img", "sounds", "suget.dat"}) {
            fs::copy(game / name, name, fs::copy_options::recursive, ec);
        }
        // Music on, keyboard, window.
        std::ofstream("options.dat", std::ios::binary) << "1\r\n0\r\n0\r\n";
    }
    players::run = players::GameRun{};
    players::run.level_budget = level_budget;
    headless_set_player(players::whole_game);
    const int status = headless_run_program([] { game_main(); });
    headless_set_player({});
    return status;
}

}  // namespace

TEST(WholeGame, PlayedFromTheLogoToTheScoreLog) {
    const int status = play_whole_game("whole_game", true, 30000);
    const players::GameRun& run = players::run;
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(run.lost) << "lost in level " << int(g.level);
    EXPECT_FALSE(run.gave_up) << "stuck in level " << int(g.level);
    EXPECT_EQ(run.highest_level, 5);
    for (int level = 1; level <= 5; ++level) EXPECT_GT(run.frames_by_level[level], 0) << level;
    EXPECT_EQ(g.level_done, 1);
    EXPECT_GT(run.lowest_energy, 0);
    // Menu, two opening slides, one before each later level, level-done
    // pictures of level 3, the finale and two after the victory pictures.
    EXPECT_GE(run.key_waits, 10);
    EXPECT_GT(g.score, 1000);
    EXPECT_EQ(read_whole_file("score.dat"), today_mdy() + "\r\n " + std::to_string(g.score) + "\r\n***\r\n");
}

// No pictures, no sounds, no captions, no options (so the mouse is the control
// and the music is asked for but silent). Nothing is drawn but the text, yet a
// missing picture still collides as its box, so every level is played and won.
TEST(WholeGame, WithoutAnyDataFileTheGameIsStillWon) {
    const int status = play_whole_game("whole_game_empty", false, 20000);
    const players::GameRun& run = players::run;
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(run.lost) << "lost in level " << int(g.level);
    EXPECT_FALSE(run.gave_up) << "gave up in level " << int(g.level);
    EXPECT_EQ(g.controls_mouse, 1);
    EXPECT_EQ(run.highest_level, 5);
    EXPECT_EQ(read_whole_file("score.dat"), today_mdy() + "\r\n " + std::to_string(g.score) + "\r\n***\r\n");
}
