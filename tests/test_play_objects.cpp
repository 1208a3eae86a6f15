// Falling objects: the wave bookkeeping, ends at the bottom and sides, the
// explosion's single frame, bonuses, the asteroid smash, the level-2 plane's
// crashes and level-5 contacts.
#include <gtest/gtest.h>

#include "play/play.h"
#include "play_support.h"
#include "state/game_state.h"

using namespace valmoren;
using namespace valmoren::testing_support;

namespace {

void field(int level, int object_count) {
    g.level = static_cast<int8_t>(level);
    g.object_count = static_cast<int8_t>(object_count);
    g.last_spawned = -1;
    g.fall_speed = 6;
    size_array(g.objects, object_count);
    size_array(g.split_requests, 4);
    // Ball and planes far from everything.
    g.player_x = g.player_y = -500;
    g.craft_x = g.craft_y = g.craft2_x = g.craft2_y = -500;
}

FallingObject& place(int i, int32_t kind, int32_t x, int32_t y, int32_t dy, int32_t dx = 0) {
    FallingObject& o = g.objects[static_cast<size_t>(i)];
    o = FallingObject{x, y, dy, dx, kind, 1};
    if (g.last_spawned < i) g.last_spawned = static_cast<int8_t>(i);
    return o;
}

}  // namespace

TEST(Objects, WaveBookkeeping) {
    fresh_game("objects_wave");
    field(1, 5);
    update_objects();  // nothing in play: nothing happens
    EXPECT_TRUE(wave_allows_spawn());
    EXPECT_EQ(g.alive_count, 0);
    EXPECT_EQ(g.last_spawned, -1);

    int spawned = 0;
    while (wave_allows_spawn() && spawned < 20) {
        spawn_object();
        ++spawned;
    }
    EXPECT_EQ(spawned, 6);
    EXPECT_EQ(g.last_spawned, 5);
    for (const FallingObject& o : g.objects) {
        EXPECT_EQ(o.alive, 1);
        EXPECT_EQ(o.y, -20);
        EXPECT_GE(o.x, 100);
        EXPECT_LT(o.x, 540);
        EXPECT_GE(o.dy, 1);
        EXPECT_LE(o.dy, 6);
        EXPECT_GE(o.kind, 0);
        EXPECT_LE(o.kind, 3);
    }
    // All but the last have ended: still no room.
    for (int i = 0; i < 5; ++i) g.objects[i].alive = 0;
    EXPECT_FALSE(wave_allows_spawn());
    EXPECT_EQ(g.alive_count, 1);
    g.objects[5].alive = 0;
    EXPECT_TRUE(wave_allows_spawn());
    EXPECT_EQ(g.last_spawned, -1);

    // An index beyond the array is never written.
    g.last_spawned = 5;
    g.object_count = 100;
    spawn_object();
    EXPECT_EQ(g.objects.size(), 6u);
}

TEST(Objects, EndsAtBottomAndSides) {
    fresh_game("objects_ends");
    field(1, 5);
    FallingObject& rock = place(0, 2, 300, 478, 3);
    FallingObject& bonus = place(1, 6, 300, 478, 3, 1);
    FallingObject& left = place(2, 7, -1, 100, 1, -1);
    FallingObject& right = place(3, 7, 641, 100, 1, 1);
    FallingObject& edge = place(4, 7, 640, 100, 1, 1);
    update_objects();
    EXPECT_EQ(rock.kind, 0);
    EXPECT_EQ(rock.alive, 0);
    EXPECT_EQ(bonus.kind, 6);  // a bonus bounces off the bottom instead
    EXPECT_EQ(bonus.dy, -3);
    EXPECT_EQ(bonus.x, 301);
    EXPECT_EQ(left.kind, 0);
    EXPECT_EQ(right.kind, 0);
    EXPECT_EQ(edge.kind, 7);
    EXPECT_EQ(edge.x, 641);  // it moved on, and ends next frame
    update_objects();
    EXPECT_EQ(edge.kind, 0);
}

TEST(Objects, ExplosionIsDrawnExactlyOnce) {
    fresh_game("objects_boom");
    field(1, 5);
    g.img_boom = solid_image(10, 10, 0xFFFF00);
    FallingObject& o = place(0, 4, 100, 100, 0);
    int frames_drawn = 0;
    for (int frame = 0; frame < 4; ++frame) {
        clear();
        update_objects();
        if (work_pixel(105, 105) == 0xFFFF00) ++frames_drawn;
    }
    EXPECT_EQ(frames_drawn, 1);
    EXPECT_EQ(o.kind, 0);
    EXPECT_EQ(o.alive, 0);
}

TEST(Objects, BonusesAndTheAsteroidSmash) {
    fresh_game("objects_bonus");
    field(1, 5);
    // Energy bonus at the left plane.
    g.craft_x = 10;
    g.craft_y = 200;
    const int16_t energies[][2] = {{240, 240}, {230, 260}};
    for (const auto& e : energies) {
        g.energy = e[0];
        FallingObject& o = place(0, 6, 30, 220, 0);
        update_objects();
        EXPECT_EQ(g.energy, e[1]);
        EXPECT_EQ(o.kind, 0);
    }
    // Time bonus: 30 s off the clock; the left plane also gives 20 energy.
    g.level_time = 80.0;
    g.energy = 100;
    place(0, 7, 30, 220, 0);
    update_objects();
    EXPECT_EQ(g.level_time, 50.0);
    EXPECT_EQ(g.energy, 120);
    g.craft_x = g.craft_y = -500;
    g.craft2_x = 590;
    g.craft2_y = 200;
    place(0, 7, 600, 220, 0);
    update_objects();
    EXPECT_EQ(g.level_time, 20.0);
    EXPECT_EQ(g.energy, 120);

    // The ball smashes an asteroid: it turns back, slower, and a bonus
    // appears in the next record where the asteroid was.
    field(1, 5);
    FallingObject& rock = place(0, 3, 200, 200, 0);
    g.player_x = 210;
    g.player_y = 205;
    g.vel_x = 5;
    g.vel_y = 5;
    g.score = 0;
    update_objects();
    EXPECT_EQ(rock.kind, 4);
    EXPECT_EQ(g.score, 30);
    EXPECT_EQ(g.vel_x, -5);
    EXPECT_EQ(g.vel_y, 2);
    EXPECT_EQ(g.last_spawned, 1);
    const FallingObject& bonus = g.objects[1];
    EXPECT_TRUE(bonus.kind == 6 || bonus.kind == 7);
    EXPECT_EQ(bonus.x, 200);
    EXPECT_EQ(bonus.y, 200);
    EXPECT_EQ(bonus.dy, 1);
    EXPECT_TRUE(bonus.dx == 1 || bonus.dx == -1);
    EXPECT_EQ(g.split_requests[0], 0);
}

TEST(Objects, BallBouncesOffShipsHalvingItsSpeed) {
    fresh_game("objects_ship");
    field(1, 5);
    g.img_enemy = solid_image(75, 84, 0x808080);
    g.img_player = solid_image(16, 16, 0xFFFFFF);
    const int32_t halves[][2] = {{5, 2}, {3, 2}, {-5, -2}, {1, 0}};
    for (const auto& h : halves) {
        place(0, 1, 200, 200, 0);
        g.player_x = 250;
        g.player_y = 250;
        g.vel_x = 5;
        g.vel_y = h[0];
        g.energy = 100;
        update_objects();
        EXPECT_EQ(g.vel_y, h[1]);
        EXPECT_EQ(g.vel_x, -5);
        EXPECT_EQ(g.player_x, 246);
        EXPECT_EQ(g.energy, 99);
        EXPECT_EQ(g.objects[0].kind, 1);  // the ship is not harmed
    }
}

// Level 2: every obstacle that meets the plane (27 x 40) crashes into it (30
// energy, 20 score, the obstacle struck), each with its box: a ship 47 x 54,
// the asteroids 32 x 27 and 32 x 25; one whose corner only touches the plane's
// does not. Ships and stations (75 x 84, 48 x 62) rub against the ball left in
// mid-screen (16 x 16) for 1 energy.
TEST(Objects, Level2ObstaclesCrashIntoThePlaneAndRubTheBall) {
    fresh_game("objects_l2_crash");
    const struct {
        int32_t kind, w, h;
    } obstacles[] = {{OBJECT_ENEMY, 47, 54}, {OBJECT_ROCK, 32, 27}, {OBJECT_ROCK2, 32, 25}};
    for (const auto& o : obstacles) {
        SCOPED_TRACE(testing::Message() << "kind " << o.kind << " against the plane");
        expect_box_edges(300, 400, 27, 40, o.w, o.h, [&](int32_t x, int32_t y) {
            field(2, 5);
            g.craft_x = 300;
            g.craft_y = 400;
            g.energy = 100;
            g.score = 50;
            place(0, o.kind, x, y, 0);
            update_objects();
            const bool crashed = g.objects[0].kind == OBJECT_HIT;
            EXPECT_EQ(g.energy, crashed ? 70 : 100);
            EXPECT_EQ(g.score, crashed ? 30 : 50);
            return crashed;
        });
    }
    field(2, 5);
    g.craft_x = 300;
    g.craft_y = 400;
    place(0, OBJECT_ENEMY, 253, 346, 0);  // the ship's box ends exactly at the plane's corner
    update_objects();
    EXPECT_EQ(g.objects[0].kind, OBJECT_ENEMY);

    const struct {
        int32_t kind, w, h;
    } rubbing[] = {{OBJECT_ENEMY, 75, 84}, {OBJECT_ROCK, 48, 62}};
    for (const auto& o : rubbing) {
        SCOPED_TRACE(testing::Message() << "kind " << o.kind << " against the ball");
        expect_box_edges(200, 200, o.w, o.h, 16, 16, [&](int32_t x, int32_t y) {
            field(2, 5);
            g.energy = 100;
            g.player_x = x;
            g.player_y = y;
            place(0, o.kind, 200, 200, 0);
            update_objects();
            return g.energy == 99;
        });
    }
}

TEST(Objects, Level5CrosshairAndObjectsGettingThrough) {
    fresh_game("objects_l5");
    // The crosshair's 4 x 4 spot at (x + 14, y + 14) against each target's box,
    // while the shot is charged (0 < thrust <= 5).
    const struct {
        int32_t kind, w, h;
    } targets[] = {{OBJECT_ENEMY, 20, 60}, {OBJECT_ROCK, 60, 61}, {OBJECT_ROCK2, 32, 27}};
    auto shot_at = [](int32_t kind, int32_t x, int32_t y, double thrust) {
        field(5, 25);
        g.score = 0;
        g.thrust = thrust;
        place(0, kind, 300, 200, 0);
        g.player_x = x - 14;
        g.player_y = y - 14;
        update_objects();
        return g.objects[0].kind == OBJECT_HIT && g.score == 50;
    };
    for (const auto& t : targets) {
        SCOPED_TRACE(testing::Message() << "kind " << t.kind);
        expect_box_edges(300, 200, t.w, t.h, 4, 4, [&](int32_t x, int32_t y) { return shot_at(t.kind, x, y, 1.0); });
    }
    EXPECT_FALSE(shot_at(OBJECT_ROCK, 320, 220, 0.0)) << "not charged";
    EXPECT_TRUE(shot_at(OBJECT_ROCK, 320, 220, 5.0)) << "the last charge that fires";
    EXPECT_FALSE(shot_at(OBJECT_ROCK, 320, 220, 5.1)) << "over-charged";

    // Below 460 an object has got through: y 460 has not, 461 has, and costs
    // 30; an empty record (kind 0) costs nothing.
    const struct {
        int32_t kind, y;
        int16_t energy;
    } falls[] = {{OBJECT_ENEMY, 460, 240}, {OBJECT_ENEMY, 461, 210}, {OBJECT_NONE, 461, 240}};
    for (const auto& f : falls) {
        field(5, 25);
        g.energy = 240;
        place(0, f.kind, 300, f.y, 0);
        update_objects();
        EXPECT_EQ(g.energy, f.energy) << "kind " << f.kind << " at " << f.y;
    }

    // Shot at y = 455, falling 6: at 461 it is an explosion (kind 5) and
    // still costs 30.
    field(5, 25);
    g.thrust = 0.0;
    FallingObject& late = place(0, 4, 300, 455, 6);  // just hit at y = 455
    update_objects();  // y 461: the explosion is drawn (kind 5) and it got through
    EXPECT_EQ(g.energy, 210);
    EXPECT_EQ(late.kind, 0);
    EXPECT_EQ(late.y, -10);

    // Kind 1 reaching 461 ends and costs before the crosshair is looked at.
    field(5, 25);
    g.thrust = 1.0;
    g.score = 0;
    FallingObject& through = place(0, 1, 300, 455, 6);
    g.player_x = 300 + 10 - 16;
    g.player_y = 461 + 30 - 16;
    update_objects();
    EXPECT_EQ(g.energy, 180);
    EXPECT_EQ(g.score, 0);
    EXPECT_EQ(through.kind, 0);

    // Level-5 objects fall at 3 up to the phase's speed.
    field(5, 25);
    g.fall_speed = 9;
    for (int i = 0; i <= 25; ++i) {
        ASSERT_TRUE(wave_allows_spawn());
        spawn_object();
        EXPECT_GE(g.objects[i].dy, 3);
        EXPECT_LE(g.objects[i].dy, 9);
    }
}
