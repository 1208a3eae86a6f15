// The level clock: level 1's countdown in whole seconds and its end at zero
// with energy left; the 0.1 s ticks of levels 4 and 5 (the pad or the station
// pulled one pixel left, a new object on a 4 of the dice); level 5's
// twenty-second steps, the station coming back only from beyond x 620, and
// the finale after the seventh step.
#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "audio/mixer.h"
#include "audio/sound.h"
#include "levels/levels.h"
#include "play_support.h"
#include "state/game_state.h"

using namespace valmoren;
using namespace valmoren::testing_support;

namespace {

// Seeds the generator so that its next roll of n comes out as `face`.
void next_roll_is(int32_t n, int32_t face) {
    for (double seed = 1;; ++seed) {
        randomize(seed);
        if (roll(n) == face) return randomize(seed);
    }
}

// The clock at `at` seconds, the countdown last moved at its whole second.
void clock_at(double at) {
    headless_advance(at - headless_time());
    g.tick_mark = whole_seconds();
}

// Ticks 0.11 s apart: each pulls craft_x one pixel left and rolls 1..n; an
// object is spawned exactly when the dice show 4 and the wave has room, and
// the wave is counted at every tick.
void expect_spawn_ticks(int32_t n) {
    size_array(g.objects, 20);
    g.object_count = 20;
    g.last_spawned = -1;
    g.fall_speed = 8;
    int32_t lowest = 99, highest = 0, spawned = 0;
    for (int tick = 1; tick <= 400; ++tick) {
        headless_advance(0.11);
        const int32_t x = g.craft_x;
        const int8_t before = g.last_spawned;
        run_level_clock();
        const bool spawns = g.dice == 4 && before < g.object_count;
        ASSERT_EQ(g.craft_x, x - 1) << "tick " << tick;
        ASSERT_EQ(g.last_spawned, before + (spawns ? 1 : 0)) << "tick " << tick << ", dice " << g.dice;
        ASSERT_EQ(g.alive_count, before + 1) << "tick " << tick;
        lowest = std::min(lowest, static_cast<int32_t>(g.dice));
        highest = std::max(highest, static_cast<int32_t>(g.dice));
        spawned += spawns;
    }
    EXPECT_EQ(lowest, 1);
    EXPECT_EQ(highest, n);
    EXPECT_EQ(spawned, 21) << "the whole wave, then no room";
}

}  // namespace

TEST(Clock, Level1CountsWholeSecondsAndEndsAtZeroWithEnergyLeft) {
    fresh_game("clock_level1");
    g.level = 1;
    g.energy = 10;
    g.level_time = 6.0;
    clock_at(10.2);
    struct Step {
        double advance, level_time;
        int16_t energy;
        bool done;
    };
    const Step steps[] = {
        {0.2, 6.0, 10, false},  // the same whole second
        {1.0, 5.0, 10, false},
        {3.0, 2.0, 10, false},  // a frame three seconds late: three at once
        {1.0, 1.0, 10, false},
        {1.0, 0.0, 0, false},   // time runs out with no energy: not won
        {0.0, 0.0, 1, true},    // energy at zero time: won
    };
    for (const Step& s : steps) {
        g.energy = s.energy;
        g.player_x = 0;
        headless_advance(s.advance);
        const long shown = headless_frames_shown();
        run_level_clock();
        EXPECT_EQ(g.level_time, s.level_time) << "at " << headless_time();
        EXPECT_EQ(g.tick_mark, whole_seconds() - (s.done ? 3 : 0)) << "at " << headless_time();
        EXPECT_EQ(g.level_done, s.done ? 1 : 0) << "at " << headless_time();
        // Won: the level-done picture (which puts the ball in the middle) for its 3 seconds.
        EXPECT_EQ(g.player_x, s.done ? 320 : 0);
        EXPECT_EQ(headless_frames_shown() > shown, s.done);
    }
    // A time bonus taken below zero: the countdown ends at 0.
    g.level_done = 0;
    g.level_time = -29.0;
    run_level_clock();
    EXPECT_EQ(g.level_time, 0.0);
    EXPECT_EQ(g.level_done, 1);
}

TEST(Clock, Level4TicksEveryTenthOfASecond) {
    fresh_game("clock_level4");
    g.level = 4;
    g.level_time = 0.0;  // the first tick is due at once
    g.craft_x = 600;
    size_array(g.objects, 20);
    run_level_clock();
    EXPECT_EQ(g.craft_x, 599);
    EXPECT_NEAR(g.level_time - headless_time(), 0.1, 1e-3);
    headless_advance(g.level_time - headless_time() - 1e-3);
    run_level_clock();
    EXPECT_EQ(g.craft_x, 599) << "not yet due";
    headless_advance(2e-3);
    run_level_clock();
    EXPECT_EQ(g.craft_x, 598);
    expect_spawn_ticks(10);
}

TEST(Clock, Level5StepsTicksAndTheStationComingBack) {
    fresh_game("clock_level5");
    g.level = 5;
    g.fall_speed = 6;
    g.event_time = 1e9;  // no 0.1 s tick in the way
    g.craft_x = 700;
    g.craft_y = 100;
    g.level_time = 2.0;
    clock_at(10.2);
    headless_advance(1.0);
    run_level_clock();
    EXPECT_EQ(g.level_time, 1.0);
    EXPECT_EQ(g.fall_speed, 6);
    headless_advance(1.0);
    run_level_clock();
    EXPECT_EQ(g.level_time, 20.0) << "a step at zero";
    EXPECT_EQ(g.fall_speed, 7);

    // At a step a 4 of the dice brings the station back from beyond x 620
    // (strictly) to the left edge, at a height of 50..400.
    const struct {
        int32_t x, face, after;
    } returns[] = {{620, 3, 620}, {621, 3, -20}, {700, 2, 700}};
    for (const auto& r : returns) {
        g.craft_x = r.x;
        g.craft_y = 100;
        g.level_time = 0.0;
        next_roll_is(5, r.face);
        run_level_clock();
        EXPECT_EQ(g.craft_x, r.after) << r.x << ", dice " << r.face + 1;
        if (r.after == r.x) {
            EXPECT_EQ(g.craft_y, 100);
        }
    }
    int32_t lowest = 999, highest = 0, highest_dice = 0;
    for (int step = 0; step < 20000; ++step) {
        g.craft_x = 700;
        g.fall_speed = 6;
        g.level_time = 0.0;
        run_level_clock();
        ASSERT_EQ(g.craft_x == -20, g.dice == 4) << "step " << step;
        if (g.craft_x == -20) lowest = std::min(lowest, g.craft_y), highest = std::max(highest, g.craft_y);
        highest_dice = std::max(highest_dice, static_cast<int32_t>(g.dice));
    }
    EXPECT_EQ(lowest, 50);
    EXPECT_EQ(highest, 400);
    EXPECT_EQ(highest_dice, 5);

    // The 0.1 s ticks, with the countdown far from a step.
    g.level_time = 1e6;
    g.event_time = 0.0;
    expect_spawn_ticks(5);
}

// The seventh step (fall_speed past 12) ends the level: the level's music
// stops, the closing picture at (100, 50), three seconds, the level-done picture.
TEST(Clock, Level5EndsAfterTheSeventhStep) {
    fresh_game("clock_finale");
    g.level = 5;
    g.music_on = 1;
    write_wav("music.wav", 22050, 1, 16, std::vector<int>(22050 * 20, 4000));
    stream_open(g.stream_music, "music.wav");
    stream_play(g.stream_music);
    ASSERT_TRUE(mixer_is_playing(g.stream_music));
    g.event_time = 1e9;
    constexpr uint32_t CLOSING = 0x3366CC;
    g.img_bonus = solid_image(10, 10, CLOSING);
    bool closing_seen = false;
    double last_frame = -1.0, longest_gap = 0.0;
    int frames_after_gap = 0;
    headless_set_player([&] {
        if (headless_waiting_for_key()) return;
        closing_seen = closing_seen || shown_at(CLOSING, 100, 50, 10, 10);
        const double gap = last_frame < 0 ? 0.0 : headless_time() - last_frame;
        frames_after_gap = gap > longest_gap ? 0 : frames_after_gap + 1;
        longest_gap = std::max(longest_gap, gap);
        last_frame = headless_time();
    });
    clock_at(10.2);
    for (int8_t fall_speed : {11, 12}) {
        g.fall_speed = fall_speed;
        g.level_time = 0.0;
        run_level_clock();
        EXPECT_EQ(g.fall_speed, fall_speed + 1);
        EXPECT_EQ(g.level_done, fall_speed == 12 ? 1 : 0);
        EXPECT_EQ(closing_seen, fall_speed == 12);
    }
    headless_set_player(nullptr);
    EXPECT_GE(longest_gap, 2.5);
    EXPECT_LT(longest_gap, 3.6);
    EXPECT_GT(frames_after_gap, 150) << "the level-done picture's 3 seconds";
    EXPECT_FALSE(mixer_is_playing(g.stream_music));
    sound_shutdown();
}
