// The level-1 ball: walls, speed limit, misses, plane hits with the
// deflection table, and the planes' bounds; the level-2 plane's bounds.
#include <gtest/gtest.h>

#include "levels/levels.h"
#include "play/play.h"
#include "play_support.h"
#include "state/game_state.h"

using namespace valmoren;
using namespace valmoren::testing_support;

namespace {

// A level-1 field with the planes parked at the top, out of the ball's way,
// and a wave that has no room, so no object is spawned.
void ball_field(int32_t x, int32_t y, int32_t vx, int32_t vy) {
    g.level = 1;
    g.craft_x = 10;
    g.craft2_x = 590;
    g.craft_y = g.craft2_y = 0;
    g.object_count = 5;
    g.last_spawned = 5;
    size_array(g.objects, 5);
    for (FallingObject& o : g.objects) o.alive = 1;
    size_array(g.ball_history, 6);
    g.player_x = x;
    g.player_y = y;
    g.vel_x = vx;
    g.vel_y = vy;
}

}  // namespace

TEST(Ball, WallsAndSpeedLimit) {
    fresh_game("ball_walls");
    ball_field(300, 458, 5, 5);
    update_ball();
    EXPECT_EQ(g.player_y, 458);
    EXPECT_EQ(g.vel_y, -5);

    ball_field(300, 12, 5, -5);
    update_ball();
    EXPECT_EQ(g.player_y, 12);
    EXPECT_EQ(g.vel_y, 5);

    // Too fast vertically: halved, halves to the even one.
    const int32_t speeds[][2] = {{7, 4}, {-9, -4}, {-7, -4}, {13, 6}, {6, 6}, {-6, -6}};
    for (const auto& s : speeds) {
        ball_field(300, 200, 5, s[0]);
        update_ball();
        EXPECT_EQ(g.vel_y, s[1]) << s[0];
    }
}

TEST(Ball, MissesCostEnergyAndShowGetReady) {
    fresh_game("ball_miss");
    ball_field(19, 300, -5, 2);  // reaches x = 14: past the left plane
    g.energy = 240;
    const long before = headless_frames_shown();
    const double t0 = headless_time();
    update_ball();
    EXPECT_EQ(g.energy, 200);
    EXPECT_EQ(g.player_x, 320);
    EXPECT_EQ(g.player_y, 240);
    EXPECT_EQ(g.vel_x, 5);
    EXPECT_EQ(g.vel_y, 3);
    EXPECT_GE(headless_time() - t0, 3.0);  // the get-ready overlay ran its 3 seconds
    EXPECT_GT(headless_frames_shown(), before + 100);

    // The last 40 energy: no overlay, the frame loop's game over follows.
    ball_field(19, 300, -5, 2);
    g.energy = 40;
    const long frames = headless_frames_shown();
    update_ball();
    EXPECT_EQ(g.energy, 0);
    EXPECT_EQ(headless_frames_shown(), frames);

    // x = 625 is still in play; 626 is past the right plane.
    ball_field(620, 300, 5, 0);
    g.energy = 10;
    update_ball();
    EXPECT_EQ(g.energy, 10);
    EXPECT_EQ(g.player_x, 625);
    ball_field(621, 300, 5, 0);
    update_ball();
    EXPECT_EQ(g.energy, -30);
    EXPECT_EQ(g.vel_x, -5);
    EXPECT_EQ(g.vel_y, -3);
}

TEST(Ball, PlaneHitsScoreAndDeflect) {
    fresh_game("ball_hits");
    // The ball meets the left plane 10 pixels below its top.
    ball_field(40, 245, -5, 3);
    g.craft_y = 240;
    g.score = 0;
    update_ball();  // moves to (35, 248): d = 8
    EXPECT_EQ(g.score, 10);
    EXPECT_EQ(g.vel_y, 8);  // +5; the speed limit applies in the next frame
    EXPECT_EQ(g.vel_x, 5);
    EXPECT_EQ(g.player_x, 40);

    // Touching only along the plane's edge is not a hit: the ball's right
    // edge exactly on the plane's left edge at x = 590.
    ball_field(569, 250, 5, 0);
    g.craft2_y = 240;
    g.score = 0;
    update_ball();  // x = 574: 574 + 16 = 590
    EXPECT_EQ(g.score, 0);
    EXPECT_EQ(g.vel_x, 5);

    // Holding Up for long: the planes stop at 0 and 400.
    ball_field(300, 200, 0, 0);
    g.craft_y = 240;
    g.craft2_y = 240;
    headless_press(KEY_UP);
    for (int i = 0; i < 100; ++i) {
        update_ball();
        read_controls();
    }
    update_ball();
    EXPECT_EQ(g.craft_y, 0);
    EXPECT_EQ(g.craft2_y, 400);

    // Level 2 keeps the plane between 1 and 610.
    g.level = 2;
    const int32_t bounds[][2] = {{0, 1}, {-50, 1}, {1, 1}, {609, 609}, {610, 610}, {700, 610}};
    for (const auto& b : bounds) {
        g.craft_x = b[0];
        update_ball();
        EXPECT_EQ(g.craft_x, b[1]) << b[0];
    }
}

TEST(Deflection, StrikeTableForBothPlanes) {
    fresh_game("deflect");
    g.level = 1;
    size_array(g.ball_history, 6);
    struct Case {
        int32_t d, vel_y, left_after, right_after;
    };
    const Case cases[] = {
        {10, 3, 8, -2},  {-5, 0, 5, -5},  {20, 3, 3, 3},  {25, 3, 6, 0}, {35, 3, 3, 3},
        {40, -6, 0, 0},  {45, 2, 2, 2},   {50, 2, -1, 5}, {60, 1, 1, 1}, {70, 0, -5, 5},
        {79, 0, -5, 5},  {80, 4, 4, 4},   {200, 4, 4, 4},
    };
    for (const Case& c : cases) {
        g.craft_y = 240;
        g.player_x = 40;
        g.player_y = 240 + c.d;
        g.vel_x = 5;
        g.vel_y = c.vel_y;
        deflect_ball();
        EXPECT_EQ(g.vel_y, c.left_after) << "left d=" << c.d;
        EXPECT_EQ(g.player_x, 45);
        EXPECT_EQ(g.vel_x, 5);

        g.craft2_y = 100;
        g.player_x = 560;
        g.player_y = 100 + c.d;
        g.vel_x = -5;
        g.vel_y = c.vel_y;
        deflect_ball();
        EXPECT_EQ(g.vel_y, c.right_after) << "right d=" << c.d;
        EXPECT_EQ(g.player_x, 555);
        EXPECT_EQ(g.vel_x, -5);
    }

    // In neither zone nothing changes.
    g.player_x = 300;
    g.player_y = 250;
    g.vel_x = 7;
    g.vel_y = 3;
    deflect_ball();
    EXPECT_EQ(g.player_x, 300);
    EXPECT_EQ(g.vel_x, 7);
    EXPECT_EQ(g.vel_y, 3);

    // Pushed out of the zone (56 -> 61): the speed given by the ball stays.
    g.player_x = 56;
    g.player_y = 240;
    g.craft_y = 240;
    g.vel_x = 9;
    deflect_ball();
    EXPECT_EQ(g.player_x, 61);
    EXPECT_EQ(g.vel_x, 9);
}
