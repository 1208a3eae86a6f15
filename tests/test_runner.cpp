// The level runner: requests honoured in the frame that raises them, restarts
// that go back to the level-1 set-up from any level (in a loop, not nested),
// level 4 lost to the crawling pad, the level-3 frame that wins the level
// never shown, a won level left by a request that does not count as won, and
// the score log's lines.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <functional>
#include <set>

#include "flow/flow.h"
#include "flow/runner.h"
#include "platform/headless/headless.h"
#include "play_support.h"
#include "state/game_state.h"

using namespace valmoren;
using namespace valmoren::testing_support;

namespace {

// Answers every key wait (story slides) with Enter and every question with
// the held key `answer`; makes every overlay end after one pass.
struct Answerer {
    int answer = KEY_Y;
    void operator()() const {
        if (headless_waiting_for_key()) {
            headless_tap(KEY_ENTER);
            return;
        }
        headless_press(answer);
        headless_advance(3.1);
    }
};

}  // namespace

TEST(Runner, Level1SetUpStoresItsValues) {
    fresh_game("runner_setup");
    link_game_data();
    headless_set_player(Answerer{KEY_N});
    g.request = 2;
    g.score = 500;
    g.level_done = 1;
    g.rockets = 3;
    level_setup(1);
    headless_set_player(nullptr);
    EXPECT_EQ(g.request, 0);
    EXPECT_EQ(g.score, 0);
    EXPECT_EQ(g.level, 1);
    EXPECT_EQ(g.energy, 240);
    EXPECT_EQ(g.level_time, 101.0);
    EXPECT_EQ(g.objects.size(), 6u);
    EXPECT_EQ(g.split_requests.size(), 5u);
    EXPECT_EQ(g.ball_history.size(), 7u);
    EXPECT_EQ(g.enemies.size(), 41u);
    EXPECT_EQ(g.wave_step, 1);
    EXPECT_EQ(g.rockets, 3);     // not a level-1 field
    EXPECT_EQ(g.level_done, 0);  // every game starts unwon
}

TEST(Runner, RestartFromLevel5GoesBackToLevel1) {
    fresh_game("runner_restart");
    link_game_data();
    headless_set_player(Answerer{KEY_Y});
    level_setup(1);
    level_setup(5);
    const uint16_t crosshair_w = g.img_player.w;
    g.rockets = 7;
    g.heading = 3.5;
    g.score = 900;
    g.energy = 0;  // lost: game over, "Game reset?!", Y
    EXPECT_EQ(level_frame(), RESTART_GAME);
    EXPECT_EQ(g.request, 1);
    level_setup(1);
    headless_set_player(nullptr);
    EXPECT_EQ(g.level, 1);
    EXPECT_EQ(g.score, 0);
    EXPECT_EQ(g.request, 0);
    EXPECT_EQ(g.rockets, 7);  // kept until level 4 sets it again
    EXPECT_EQ(g.heading, 3.5);
    if (crosshair_w != 0) {
        EXPECT_NE(g.img_player.w, crosshair_w);  // the ball again
    }
}

TEST(Runner, Level4IsLostWhenThePadCrawlsAway) {
    fresh_game("runner_pad");
    link_game_data();
    headless_set_player(Answerer{KEY_N});
    g.level = 3;
    level_setup(4);
    g.energy = 240;
    g.craft_x = -196;
    g.music_on = 1;
    const long shown = headless_frames_shown();
    EXPECT_EQ(level_frame(), LEAVE_TO_MENU);  // N to "Game reset?!": back to the menu
    headless_set_player(nullptr);
    EXPECT_EQ(g.request, 2);
    EXPECT_EQ(g.music_on, 0);  // the sound was shut down
    EXPECT_GT(headless_frames_shown(), shown);
}

TEST(Runner, WinningLevel3FrameIsNotShown) {
    fresh_game("runner_l3");
    link_game_data();
    headless_set_player(Answerer{KEY_N});
    level_setup(3);
    g.rocks_left = 0;
    g.rock_count = 11;  // the next wave start wins the level
    const long shown = headless_frames_shown();
    const FrameOutcome outcome = level_frame();
    headless_set_player(nullptr);
    EXPECT_EQ(outcome, LEVEL_WON);
    EXPECT_EQ(g.level_done, 1);
    // Only the level-done overlay's passes were shown, not the frame itself:
    // the work page was cleared and left.
    EXPECT_EQ(lit_pixels(0, 0, SCREEN_W, SCREEN_H), 0);
    EXPECT_GE(headless_frames_shown(), shown);
}

// Each restart shows the opening story again (two slides with their wipes),
// which makes a restart cost about a quarter of a second of drawing here; 40
// restarts are enough to tell a loop from nesting, because the story's key
// waits must then be reached at exactly the same stack depth every time.
TEST(Runner, RestartsUseNoMoreStackThanOne) {
    constexpr int RESTARTS = 40;
    fresh_game("runner_restarts");
    int restarts = 0;
    int8_t last_request = 0;
    std::set<uintptr_t> key_wait_depths;
    uintptr_t lowest = UINTPTR_MAX, highest = 0;
    headless_set_player([&] {
        volatile char here = 0;
        const uintptr_t at = reinterpret_cast<uintptr_t>(&here);
        lowest = std::min(lowest, at);
        highest = std::max(highest, at);
        if (last_request == 1 && g.request == 0) ++restarts;  // a level-1 set-up ran
        last_request = g.request;
        if (headless_waiting_for_key()) {
            key_wait_depths.insert(at);
            headless_tap(KEY_ENTER);
            return;
        }
        headless_advance(3.1);  // every overlay ends after one pass
        if (g.level == 1 && g.request == 0) g.energy = 0;  // lose at once
        if (restarts >= RESTARTS) {  // enough: N to "Game reset?!" leaves
            headless_release(KEY_Y);
            headless_press(KEY_N);
        } else {
            headless_press(KEY_Y);
        }
    });
    run_game();  // returns on the final N: leave to the menu
    headless_set_player(nullptr);
    EXPECT_EQ(restarts, RESTARTS);
    EXPECT_EQ(g.request, 2);
    EXPECT_EQ(key_wait_depths.size(), 1u);
    EXPECT_LT(highest - lowest, 16u * 1024u);
}

namespace {

// Stops the program from inside the scripted player.
struct SecondGameSeen {};

// What the second game looked like: at its first shown frame (level 1's
// get-ready overlay, right after the set-up) and after `frames_to_watch`.
struct SecondGame {
    int8_t level = 0, level_done = -1;
    int16_t energy = 0, score = -1;
    double level_time = 0.0;
    int8_t level_later = 0;
    long level1_frames = 0;
};

// The whole program from its entry: Start at the menu, Enter at every key
// wait. In the first game, level 1's countdown is run out at once, and during
// the level-done overlay that follows, `in_overlay` acts (it says true once it
// has done what it came to do). Then the second game is watched.
SecondGame play_through_stale_win(const std::function<bool()>& in_overlay) {
    constexpr long FRAMES_TO_WATCH = 400;
    g = GameState{};
    headless_reset();
    headless_enter_temp_folder("runner_stale_win");
    link_game_data();
    int game = 0;
    int8_t last_request = 0;
    bool acted = false;
    long watched = 0;
    SecondGame second;
    headless_set_player([&] {
        if (headless_waiting_for_key()) {
            headless_release(KEY_ESC);
            headless_release(KEY_Y);
            headless_release(KEY_ENTER);
            headless_press(KEY_ENTER);  // Start in the menu, the story slides
            return;
        }
        headless_release(KEY_ENTER);
        if (g.request == 0 && (game == 0 || last_request != 0)) {
            ++game;  // a level-1 set-up has just run: a new game is shown
            if (game == 2) {
                second.level = g.level;
                second.level_done = g.level_done;
                second.energy = g.energy;
                second.score = g.score;
                second.level_time = g.level_time;
            }
        }
        last_request = g.request;
        if (game == 1 && g.level == 1) {
            const bool done_overlay = g.level_time == 0.0 && g.player_x == 320 && g.player_y == 240;
            if (!done_overlay && !acted) g.level_time = 0.0;  // the countdown runs out next frame
            if (done_overlay && !acted) acted = in_overlay();
        }
        if (game == 2) {
            if (g.level == 1) ++second.level1_frames;
            if (++watched == FRAMES_TO_WATCH) {
                second.level_later = g.level;
                throw SecondGameSeen{};
            }
        }
    });
    try {
        headless_run_program([] { game_main(); });
    } catch (const SecondGameSeen&) {
    }
    headless_set_player(nullptr);
    return second;
}

void expect_level1_from_its_start(const SecondGame& second) {
    EXPECT_EQ(second.level, 1);
    EXPECT_EQ(second.level_done, 0);
    EXPECT_EQ(second.energy, 240);
    EXPECT_EQ(second.score, 0);  // no energy banked for a level never played
    EXPECT_EQ(second.level_time, 101.0);
    EXPECT_EQ(second.level_later, 1);  // still playing level 1, not level 2
    EXPECT_GT(second.level1_frames, 300);
}

}  // namespace

// Esc, then Y to "Exit?!", while level 1's level-done picture is up: the level
// is left for the menu, and Start there plays level 1 from its beginning.
TEST(StaleWin, LeavingDuringTheLevelDoneOverlayDoesNotCarryTheWin) {
    const SecondGame second = play_through_stale_win([] {
        headless_press(KEY_ESC);
        headless_press(KEY_Y);
        return g.request == 2;
    });
    expect_level1_from_its_start(second);
}

// The level is won and, later in the same frame, the last energy is lost (the
// ball missed after the countdown ran out): Y to "Game reset?!" restarts the
// game, which plays level 1 from its beginning.
TEST(StaleWin, RestartAfterAWinAndAGameOverInOneFrame) {
    const SecondGame second = play_through_stale_win([] {
        g.energy = 0;
        headless_press(KEY_Y);
        return true;
    });
    expect_level1_from_its_start(second);
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
