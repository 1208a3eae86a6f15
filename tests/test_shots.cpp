// Shot pool and fire limiter of level 2: the pool's cycle of indices 1..200,
// drawing and freeing shots at the screen's edges, and the 0.2 s limiter.
#include <gtest/gtest.h>

#include "levels/levels.h"
#include "platform/headless/headless.h"
#include "platform/input.h"
#include "play_support.h"
#include "state/game_state.h"

using namespace valmoren;
using valmoren::testing_support::fresh_level2;

TEST(ShotPool, CycleGivesIndices1To200ThenWaitsForTheScreenToEmpty) {
    fresh_level2();
    for (int n = 1; n <= 200; ++n) {
        ASSERT_TRUE(shots_available()) << "shot " << n;
        fire_shot(300, 436, 1);
    }
    EXPECT_EQ(g.last_shot, 200);
    EXPECT_EQ(g.shots[0].kind, 0) << "index 0 is never given out";
    EXPECT_EQ(g.shots[1].kind, 1);
    EXPECT_EQ(g.shots[200].kind, 1);
    EXPECT_EQ(g.shots[201].kind, 0);

    // One shot of the cycle still flying: the pool stays closed.
    for (int i = 1; i < 200; ++i) g.shots[i].kind = 0;
    EXPECT_FALSE(shots_available());
    EXPECT_EQ(g.last_shot, 200);
    // A stray record above 200 does not hold the pool closed.
    g.shots[200].kind = 0;
    g.shots[205].kind = 2;
    EXPECT_TRUE(shots_available());
    EXPECT_EQ(g.last_shot, 0);
    fire_shot(0, 0, 2);
    EXPECT_EQ(g.last_shot, 1);
}

TEST(ShotPool, ShotsLeaveFromTheShootersPosition) {
    fresh_level2();
    fire_shot(300, 436, 1);
    fire_shot(100, 90, 2);
    const Shot& up = g.shots[1];
    const Shot& down = g.shots[2];
    EXPECT_EQ(up.x, 310);
    EXPECT_EQ(up.y, 436);
    EXPECT_EQ(up.dy, -5);
    EXPECT_EQ(down.x, 128);
    EXPECT_EQ(down.y, 95);
    EXPECT_EQ(down.dy, 7);
    EXPECT_EQ(down.kind, 2);
}

TEST(ShotPool, MoveFreesShotsOnlyOnceTheyLeaveTheScreen) {
    fresh_level2();
    fire_shot(300, 436, 1);  // y 436, 431, ... 1, then -4
    fire_shot(100, 400, 2);  // y 405, 412, ... 475, then 482
    int up_frames = 0, down_frames = 0;
    for (int frame = 1; frame <= 200; ++frame) {
        move_shots();
        if (g.shots[1].kind == 1) up_frames = frame;
        if (g.shots[2].kind == 2) down_frames = frame;
    }
    EXPECT_EQ(up_frames, 87) << "freed in the step that takes y below 0";
    EXPECT_EQ(g.shots[1].y, -4);
    EXPECT_EQ(down_frames, 10) << "freed in the step that takes y past 480";
    EXPECT_EQ(g.shots[2].y, 482);

    // An empty pool (last_shot 0) is not moved, even a record at index 0.
    fresh_level2();
    g.shots[0] = Shot{10, 100, -5, 1};
    move_shots();
    EXPECT_EQ(g.shots[0].y, 100);
}

TEST(ShotPool, NeverWritesPastAShortPool) {
    fresh_level2();
    size_array(g.shots, 0);  // other levels hold only index 0
    g.last_shot = 5;
    fire_shot(1, 1, 1);
    move_shots();
    resolve_shot_hits();
    EXPECT_TRUE(shots_available());
    EXPECT_EQ(g.last_shot, 6);
    g.shots.clear();
    g.last_shot = 300;
    EXPECT_TRUE(shots_available()) << "nothing in flight: the pool recycles";
    EXPECT_EQ(g.last_shot, 0);
}

TEST(FireLimiter, OneShotPerIntervalAndOnlyWhileAsked) {
    fresh_level2();
    headless_advance(1.0);
    EXPECT_FALSE(fire_allowed(KEY_SPACE)) << "Space not held";
    EXPECT_TRUE(fire_allowed(1)) << "the mouse request needs no key";
    EXPECT_FALSE(fire_allowed(1)) << "interval just renewed";

    headless_press(KEY_SPACE);
    headless_advance(0.15);
    EXPECT_FALSE(fire_allowed(KEY_SPACE));
    headless_advance(0.06);
    EXPECT_TRUE(fire_allowed(KEY_SPACE));
    const double fired_at = g.fire_time;
    EXPECT_GT(fired_at, 1.2);

    // Held for two seconds of 60 fps frames: never two shots within 0.2 s.
    int shots = 0;
    double last = fired_at;
    for (int frame = 0; frame < 120; ++frame) {
        headless_advance(1.0 / 60);
        if (fire_allowed(KEY_SPACE)) {
            EXPECT_GT(g.fire_time - last, 0.2);
            last = g.fire_time;
            ++shots;
        }
    }
    EXPECT_GE(shots, 8);
    EXPECT_LE(shots, 10);
}
