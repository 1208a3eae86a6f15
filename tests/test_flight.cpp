// Level-3 flight: heading sectors and pictures, thrust with its rounding,
// drag and the snap to the aim, the speed limit, wrap-around, wave starts,
// debris collection and asteroid contact.
#include <gtest/gtest.h>

#include <filesystem>

#include "levels/levels.h"
#include "platform/headless/headless.h"
#include "platform/input.h"
#include "play_support.h"
#include "state/game_state.h"

using namespace valmoren;
using namespace valmoren::testing_support;

namespace {

// Level 3 with the ship's 16 pictures already in memory, each its own colour.
void fresh_level3() {
    fresh_level(3);
    g.ship_pictures.clear();
    for (int i = 0; i < 16; ++i) g.ship_pictures.push_back(solid_image(50, 50, 0x100 + i));
    g.img_enemy = solid_image(21, 45, 0x00FF00);
    g.img_rock = solid_image(32, 27, 0x808080);
    g.img_rock2 = g.img_rock;
    size_array(g.enemies, 40);
    size_array(g.objects, 10);
    g.object_count = 10;
    g.ship_accel = 0.04;
    g.player_x = 300;
    g.player_y = 200;
}

int frame_index() { return static_cast<int>(g.ship_frame - g.ship_pictures.data()); }

// One fly_ship frame; the x step the ship made, across a wrap.
int fly_dx() {
    const int before = g.player_x;
    fly_ship();
    int d = g.player_x - before;
    if (d < -320) d += 640;
    if (d > 320) d -= 640;
    return d;
}

}  // namespace

TEST(ShipSectors, HeadingPicksPictureAndAim) {
    fresh_level3();
    struct Row { double heading; int picture, dx, dy; };
    const Row rows[] = {
        {0.0, 0, 0, -40},     {23.99, 0, 0, -40},   {24.0, 1, 10, -30},  {100.0, 4, 40, 0},
        {200.0, 8, 0, 40},    {300.0, 12, -40, 0},  {335.9, 13, -30, -10}, {336.0, 14, -20, -20},
        {349.9, 14, -20, -20}, {350.0, 15, -10, -30}, {359.99, 15, -10, -30},
    };
    for (const Row& r : rows) {
        g.heading = r.heading;
        choose_ship_sector();
        EXPECT_EQ(frame_index(), r.picture) << "heading " << r.heading;
        EXPECT_EQ(g.aim_dx, r.dx) << "heading " << r.heading;
        EXPECT_EQ(g.aim_dy, r.dy) << "heading " << r.heading;
    }
    // fly_ship keeps the heading within 0..360 before it picks the sector.
    g.heading = -10.0;
    fly_ship();
    EXPECT_EQ(g.heading, 359.0);
    EXPECT_EQ(frame_index(), 15);
    g.heading = 360.0;
    fly_ship();
    EXPECT_EQ(g.heading, 0.0);
    EXPECT_EQ(frame_index(), 0);
}

TEST(ShipSectors, MissingPictureFilesLeaveEmptyPicturesAndStillAim) {
    fresh_level3();
    g.ship_pictures.clear();
    const auto before = std::filesystem::current_path();
    headless_enter_temp_folder("levels_no_ship_pictures");
    g.heading = 100.0;
    fly_ship();
    std::filesystem::current_path(before);
    ASSERT_EQ(g.ship_pictures.size(), 16u);
    for (const Image& picture : g.ship_pictures) EXPECT_EQ(picture.w, 0);
    EXPECT_EQ(frame_index(), 4);
    EXPECT_EQ(g.aim_dx, 40);
}

TEST(ShipFlight, ThrustBuildsSpeedWithRoundedTenthsAndStopsAt30) {
    fresh_level3();
    g.heading = 100.0;  // aims (40, 0)
    g.vel_x = 40;
    headless_press(KEY_SPACE);
    EXPECT_EQ(fly_dx(), 0) << "q(40 * 0.04) = q(1.6) = 0";
    for (int frame = 2; frame < 25; ++frame) fly_dx();
    EXPECT_EQ(fly_dx(), 4) << "25th frame: q(40 * 1.0) = 4";
    for (int frame = 26; frame < 800; ++frame) fly_dx();
    EXPECT_EQ(g.thrust, 30.0);
    EXPECT_EQ(fly_dx(), 120);
    EXPECT_EQ(g.player_y, 200);

    // Rounding to tenths, then dropping the remainder toward zero: q(-37.6) = -3.
    g.heading = 300.0;  // aims (-40, 0)
    g.vel_x = -40;
    g.thrust = 0.90;
    EXPECT_EQ(fly_dx(), -3);
}

TEST(ShipFlight, DragSlowsTheShipAndTheStopSnapsItToTheAim) {
    fresh_level3();
    g.heading = 200.0;  // aims (0, 40)
    g.vel_x = 40;
    g.thrust = 0.05;
    EXPECT_EQ(fly_dx(), 0);
    EXPECT_NEAR(g.thrust, 0.02, 1e-9);
    EXPECT_EQ(g.vel_x, 40);
    fly_ship();
    EXPECT_EQ(g.thrust, 0.0);
    EXPECT_EQ(g.vel_x, 0);
    EXPECT_EQ(g.vel_y, 40);
}

TEST(ShipFlight, WaveStartLeavesTheShipAtRestAndThrustTurnsItOneUnitAFrame) {
    fresh_level3();
    g.heading = 100.0;
    g.vel_x = 13;
    g.thrust = 5.0;
    start_debris_wave();
    fly_ship();
    fly_ship();
    EXPECT_EQ(g.player_x, 300);
    EXPECT_EQ(g.vel_x, 0);
    EXPECT_EQ(g.vel_y, 0);
    EXPECT_EQ(g.thrust, 0.0);
    headless_press(KEY_SPACE);
    fly_ship();
    EXPECT_EQ(g.vel_x, 1);
    EXPECT_NEAR(g.thrust, 0.04, 1e-9);
}

TEST(ShipFlight, WrapsAroundTheScreen) {
    fresh_level3();
    struct Row { int x, y, want_x, want_y; };
    const Row rows[] = {{641, 200, 1, 200}, {-31, 200, 609, 200}, {640, 200, 640, 200},
                        {-30, 481, -30, 1}, {300, -31, 300, 449}};
    for (const Row& r : rows) {
        g.player_x = r.x;
        g.player_y = r.y;
        fly_ship();
        EXPECT_EQ(g.player_x, r.want_x) << r.x << "," << r.y;
        EXPECT_EQ(g.player_y, r.want_y) << r.x << "," << r.y;
    }
}

TEST(DebrisWaves, WavesGrowByTwoAndTheFifthStartWins) {
    fresh_level3();
    const int pieces[] = {4, 6, 8, 10};
    for (int wave = 0; wave < 4; ++wave) {
        start_debris_wave();
        EXPECT_EQ(g.rocks_left, pieces[wave]);
        EXPECT_EQ(g.rock_count, pieces[wave] - 1);
        EXPECT_EQ(g.last_spawned, 9) << "ten asteroids";
        for (int i = 0; i < pieces[wave]; ++i) {
            const Enemy& e = g.enemies[i];
            EXPECT_EQ(e.state, 1);
            EXPECT_TRUE(e.x >= 0 && e.x < 600 && e.y >= 0 && e.y < 400);
        }
        EXPECT_EQ(g.level_done, 0);
    }
    start_debris_wave();
    EXPECT_EQ(g.level_done, 1);
    EXPECT_EQ(g.rocks_left, 12) << "more than 10: no get-ready overlay for it";
}

TEST(DebrisWaves, CollectedPiecePays100AfterTenFramesAndTheLastEndsTheWave) {
    fresh_level3();
    headless_set_player([] {
        if (headless_waiting_for_key()) headless_tap(KEY_ENTER);
    });
    g.heading = 100.0;
    choose_ship_sector();
    g.rock_count = 1;
    g.rocks_left = 2;
    g.enemies[0] = Enemy{310, 210, 0, 0, 1, 1};  // under the ship
    g.enemies[1] = Enemy{500, 10, 0, 0, 1, 1};
    update_enemies(0);
    EXPECT_EQ(g.enemies[0].state, -1);
    EXPECT_EQ(g.rocks_left, 1);
    for (int frame = 1; frame <= 10; ++frame) {
        EXPECT_EQ(g.score, 0) << "frame " << frame;
        update_enemies(0);
    }
    EXPECT_EQ(g.enemies[0].state, 0);
    EXPECT_EQ(g.score, 100);
    EXPECT_EQ(g.enemies[1].state, 1);

    g.player_x = 490;
    g.player_y = 0;
    update_enemies(0);  // the wave's last piece: overlay and a key wait
    EXPECT_EQ(g.rocks_left, 0);
    EXPECT_EQ(g.enemies[1].state, -1);
}

TEST(Asteroids, ContactCosts30OnceAndTheAsteroidExplodes) {
    fresh_level3();
    g.heading = 100.0;
    choose_ship_sector();
    g.objects[0] = FallingObject{305, 205, 0, 0, 2, 1};
    g.objects[1] = FallingObject{100, 100, 0, 0, 3, 1};
    g.last_spawned = 1;
    update_hazards();
    EXPECT_EQ(g.energy, 210);
    EXPECT_EQ(g.objects[0].kind, 4);
    EXPECT_EQ(g.objects[1].kind, 3);
    update_hazards();
    update_hazards();
    EXPECT_EQ(g.energy, 210);
    EXPECT_EQ(g.objects[0].kind, 5);
}
