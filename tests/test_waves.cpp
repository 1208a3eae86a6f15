// Level-2 enemy formation: wave patterns, movement and bounces, explosions,
// enemy fire, every shot hit, and the wave sequence to the level's end.
#include <gtest/gtest.h>

#include "levels/levels.h"
#include "platform/headless/headless.h"
#include "platform/input.h"
#include "play_support.h"
#include "state/game_state.h"

using namespace valmoren;
using namespace valmoren::testing_support;

namespace {

// Leaves only enemy i of the formation alive.
void only_enemy(int i) {
    for (auto& e : g.enemies) e.state = 0;
    g.enemies[i].state = 1;
}

}  // namespace

TEST(Formation, PatternsPlaceThreeRowsWithTheirMotionAndToughness) {
    fresh_level2();
    struct Row { int pattern, i, x, y, dx, dy, hits; };
    const Row rows[] = {
        {1, 0, 50, 20, 0, 0, 5},   {1, 7, 540, 20, 0, 0, 5},  {1, 8, 90, 90, 0, 0, 5},
        {1, 14, 510, 90, 0, 0, 5}, {1, 21, 510, 160, 0, 0, 5}, {2, 15, 90, 160, 2, 0, 6},
        {3, 3, 260, 20, 2, 0, 7},  {3, 9, 160, 90, 3, 0, 7},  {3, 20, 440, 160, 6, 0, 7},
        {4, 0, 50, 20, 0, 2, 10},  {4, 10, 230, 90, 0, 0, 10}, {4, 16, 160, 160, 0, 2, 10},
        {5, 0, 50, 20, 0, 3, 10},  {5, 3, 260, 20, 0, 1, 10}, {5, 6, 470, 20, 0, 2, 10},
        {5, 8, 90, 90, 0, 3, 10},  {5, 12, 370, 90, 0, 1, 10}, {5, 13, 440, 90, 0, 2, 10},
        {5, 21, 510, 160, 0, 3, 10},
    };
    for (const Row& r : rows) {
        build_formation(r.pattern);
        const Enemy& e = g.enemies[r.i];
        EXPECT_EQ(e.x, r.x) << "pattern " << r.pattern << " record " << r.i;
        EXPECT_EQ(e.y, r.y) << "pattern " << r.pattern << " record " << r.i;
        EXPECT_EQ(e.dx, r.dx) << "pattern " << r.pattern << " record " << r.i;
        EXPECT_EQ(e.dy, r.dy) << "pattern " << r.pattern << " record " << r.i;
        EXPECT_EQ(e.hits, r.hits) << "pattern " << r.pattern << " record " << r.i;
        EXPECT_EQ(e.state, 1);
        EXPECT_EQ(g.enemies[22].state, 0) << "records past 21 are left alone";
    }
    g.enemies[4].x = 999;
    build_formation(6);
    EXPECT_EQ(g.enemies[4].x, 999) << "an unknown pattern changes nothing";
}

TEST(Formation, WavesMoveAndBounceAtTheirEdges) {
    fresh_level2();
    build_formation(1);
    update_enemies(1);
    EXPECT_EQ(g.enemies[0].x, 50) << "wave 1 stands still";

    build_formation(2);
    g.enemies[0].x = 600;  // steps to 602 and turns
    update_enemies(2);
    EXPECT_EQ(g.enemies[0].x, 602);
    EXPECT_EQ(g.enemies[0].dx, -2);

    build_formation(3);
    g.enemies[15].x = 636;  // row 2 moves 6: 642, turns and steps down
    update_enemies(3);
    EXPECT_EQ(g.enemies[15].x, 642);
    EXPECT_EQ(g.enemies[15].dx, -6);
    EXPECT_EQ(g.enemies[15].y, 170);
    EXPECT_EQ(g.enemies[16].y, 160);

    build_formation(4);
    g.enemies[0].y = 300;
    update_enemies(4);
    EXPECT_EQ(g.enemies[0].y, 302);
    EXPECT_EQ(g.enemies[0].dy, -2);
    g.enemies[0].y = 1;
    update_enemies(4);
    update_enemies(4);
    EXPECT_EQ(g.enemies[0].dy, 2) << "bounces off the top too";
}

TEST(Formation, DestroyedEnemyExplodesThreeFramesThenPays30) {
    fresh_level2();
    build_formation(1);
    g.enemies[5].hits = 0;
    const int states[] = {-2, -3, 0};
    for (int frame = 0; frame < 3; ++frame) {
        update_enemies(1);
        EXPECT_EQ(g.enemies[5].state, states[frame]) << "frame " << frame;
        EXPECT_EQ(g.enemies[5].hits, 1);
        EXPECT_EQ(g.score, frame == 2 ? 30 : 0);
    }
    update_enemies(1);
    EXPECT_EQ(g.score, 30) << "paid once";
}

TEST(EnemyFire, OnlyWhenThePlanesLeftEdgeIsUnderTheEnemy) {
    fresh_level2();
    build_formation(1);
    only_enemy(3);  // x 260
    g.craft_x = 260 + 63;
    for (int frame = 0; frame < 1000; ++frame) enemy_fire();
    EXPECT_EQ(g.last_shot, 0);

    g.craft_x = 260 + 62;
    int fired = 0;
    for (int frame = 0; frame < 1000; ++frame) {
        const int before = g.last_shot;
        enemy_fire();
        if (g.last_shot != before) ++fired;
        if (g.last_shot >= 150) g.last_shot = 0;
    }
    EXPECT_GT(fired, 5) << "about one frame in 50";
    EXPECT_LT(fired, 60);
    EXPECT_EQ(g.shots[1].x, 288);
    EXPECT_EQ(g.shots[1].y, 25);
    EXPECT_EQ(g.shots[1].kind, 2);
}

// A shot that overlaps two enemies hits both; an empty object (kind 0) is no
// target; with no energy left the enemy shots pass through the plane.
TEST(ShotHits, OneShotHitsEveryEnemyItOverlapsAndEmptyObjectsAreNoTargets) {
    fresh_level2();
    build_formation(1);
    // Enemy 1 has drifted onto enemy 0: a shot where they overlap hits both.
    g.enemies[1].x = 112;
    g.shots[1] = Shot{110, 30, -5, 1};
    g.objects[1] = FallingObject{500, 300, 3, 0, 0, 1};
    g.shots[4] = Shot{510, 310, -5, 1};
    g.energy = 0;
    g.shots[2] = Shot{310, 440, 7, 2};
    g.last_spawned = 1;
    g.last_shot = 4;
    resolve_shot_hits();
    EXPECT_EQ(g.enemies[0].hits, 4);
    EXPECT_EQ(g.enemies[1].hits, 4);
    EXPECT_EQ(g.enemies[2].hits, 5);
    EXPECT_EQ(g.shots[1].kind, 0);
    EXPECT_EQ(g.shots[4].kind, 1) << "an empty object is not a target";
    EXPECT_EQ(g.score, 0);
    EXPECT_EQ(g.shots[2].kind, 2);
    EXPECT_EQ(g.energy, 0);
}

// Every level-2 hit box at its edges: a player shot (5 x 8) against an enemy
// (62 x 39) and a ship (47 x 54), as a 5 x 7 box against the asteroids (32 x 27,
// 32 x 25); an enemy shot (5 x 7) against the plane (27 x 40); the plane
// flying into an enemy, which ends the game.
TEST(ShotHits, EveryBoxMeetsOnePixelOverItsEdgesAndNotEdgeToEdge) {
    // A shot of `kind` at (x, y) against what is set up: true when it hit
    // (a hit frees the shot).
    auto shot_hits = [](int32_t kind, int32_t x, int32_t y) {
        g.shots[1] = Shot{x, y, 0, kind};
        g.last_shot = 1;
        resolve_shot_hits();
        return g.shots[1].kind == SHOT_FREE;
    };
    auto formation_of_one = [] {
        fresh_level2();
        build_formation(1);
        only_enemy(0);  // at (50, 20)
    };
    {
        SCOPED_TRACE("player shot against an enemy");
        expect_box_edges(50, 20, 62, 39, 5, 8, [&](int32_t x, int32_t y) {
            formation_of_one();
            return shot_hits(SHOT_PLAYER, x, y) && g.enemies[0].hits == 4;
        });
    }
    const struct {
        int32_t kind, w, h, shot_h;
    } obstacles[] = {{OBJECT_ENEMY, 47, 54, 8}, {OBJECT_ROCK, 32, 27, 7}, {OBJECT_ROCK2, 32, 25, 7}};
    for (const auto& o : obstacles) {
        SCOPED_TRACE(testing::Message() << "player shot against a falling object of kind " << o.kind);
        expect_box_edges(300, 200, o.w, o.h, 5, o.shot_h, [&](int32_t x, int32_t y) {
            fresh_level2();
            g.objects[0] = FallingObject{300, 200, 0, 0, o.kind, 1};
            g.last_spawned = 0;
            return shot_hits(SHOT_PLAYER, x, y) && g.objects[0].kind == OBJECT_HIT && g.score == 20;
        });
    }
    {
        SCOPED_TRACE("enemy shot against the plane");
        expect_box_edges(300, 436, 27, 40, 5, 7, [&](int32_t x, int32_t y) {
            fresh_level2();
            return shot_hits(SHOT_ENEMY, x, y) && g.energy == 210;
        });
    }
    {
        SCOPED_TRACE("the plane against an enemy");
        expect_box_edges(50, 20, 62, 39, 27, 40, [&](int32_t x, int32_t y) {
            formation_of_one();
            g.craft_x = x;
            g.craft_y = y;
            headless_set_player([] { headless_press(KEY_N); });  // N to "Game reset?!"
            update_enemies(1);
            headless_set_player(nullptr);
            return g.request == REQUEST_LEAVE;
        });
    }
}

TEST(WaveSequence, WavesStartEndAtTwentyOneGoneAndTheFifthWins) {
    fresh_level2();
    g.energy = 150;
    g.last_shot = 50;
    g.shots[7].kind = 1;
    g.objects[3].alive = 1;
    run_waves();
    EXPECT_EQ(g.wave_no, 1);
    EXPECT_EQ(g.energy, 190) << "each wave start gives 40";
    EXPECT_EQ(g.last_shot, 0);
    EXPECT_EQ(g.shots[7].kind, 0);
    EXPECT_EQ(g.objects[3].alive, -1);
    EXPECT_EQ(g.enemies[21].hits, 5);

    // 21 gone and one left: the wave ends at once; the next frame builds wave 2 over it.
    for (int i = 0; i < 21; ++i) g.enemies[i].state = 0;
    run_waves();
    EXPECT_EQ(g.wave_step, 2);
    run_waves();
    EXPECT_EQ(g.wave_no, 2);
    EXPECT_EQ(g.enemies[21].hits, 6);

    // The last two finish exploding in the same frame: the count jumps from 20 to 22.
    for (int i = 0; i < 20; ++i) g.enemies[i].state = 0;
    g.enemies[20].state = g.enemies[21].state = -3;
    run_waves();
    EXPECT_EQ(g.wave_step, 3);

    for (int wave = 3; wave <= 5; ++wave) {
        run_waves();
        EXPECT_EQ(g.wave_no, wave);
        for (auto& e : g.enemies) e.state = 0;
        run_waves();
        EXPECT_EQ(g.wave_step, wave + 1);
    }
    EXPECT_EQ(g.level_done, 0);
    run_waves();
    EXPECT_EQ(g.level_done, 1);
    EXPECT_EQ(g.wave_no, 5) << "no sixth formation";
    EXPECT_EQ(g.wave_step, 6);
}
