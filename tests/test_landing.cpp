// Level-4 descent and landing: the verdict's boundaries (zone, bottom rows,
// engine push, nose box, lost rockets), the pause after a verdict, the start
// of each descent, the tenth landing, and the drifting asteroids.
#include <gtest/gtest.h>

#include <algorithm>

#include "levels/levels.h"
#include "platform/headless/headless.h"
#include "play_support.h"
#include "state/game_state.h"

using namespace valmoren;
using namespace valmoren::testing_support;

namespace {

void fresh_level4() {
    fresh_level(4);
    g.craft_x = 300;
    g.craft_y = 446;
    g.rockets = 10;
    g.vel_y = 1;
    g.img_player = solid_image(21, 45, 0x404040);
    g.img_rock = solid_image(32, 27, 0x404040);
    g.img_rock2 = g.img_rock;
    g.object_count = 20;
    size_array(g.objects, 20);
}

enum Verdict { NONE, LANDED, CRASHED };

Verdict judge(int x, int y, double thrust) {
    g.energy = 200;
    g.rockets = 10;
    g.player_x = x;
    g.player_y = y;
    g.thrust = thrust;
    check_landing();
    if (g.rockets == 9 && g.energy == 210) return LANDED;
    if (g.rockets == 10 && g.energy == 150) return CRASHED;
    EXPECT_EQ(g.player_y, y) << "no verdict leaves the rocket where it is";
    return NONE;
}

}  // namespace

TEST(Landing, VerdictBoundaries) {
    fresh_level4();  // pad at x 300..495, y 446; zone x 340..430, bottom 444..448
    struct Row { int x, y; double thrust; Verdict want; const char* why; };
    const Row rows[] = {
        {340, 402, 0.0, LANDED, "left end of the zone, bottom 447"},
        {430, 403, 0.0, LANDED, "right end of the zone, bottom 448"},
        {340, 402, 2.0, LANDED, "a push of exactly 2.0 still lands"},
        {340, 402, -1.0, LANDED, "falling at the gentle limit"},
        {340, 402, -1.5, NONE, "between gentle and hard: no verdict"},
        {340, 402, -2.0, CRASHED, "hard landing"},
        {340, 402, 2.2, CRASHED, "rising too hard"},
        {340, 401, 0.0, NONE, "bottom on the pad's top edge does not touch"},
        {340, 404, 0.0, NONE, "bottom 449 is below the landing rows"},
        {320, 402, 2.0, CRASHED, "outside the zone a push of 2.0 is hard"},
        {339, 425, 0.0, CRASHED, "one pixel short of the zone: off target"},
        {431, 403, 0.0, NONE, "outside the zone, nose not yet down"},
        {431, 425, 0.0, CRASHED, "outside the zone, nose down: off target"},
        {621, 100, 0.0, CRASHED, "lost past the right"},
        {620, 100, 0.0, NONE, ""},
        {-1, 100, 0.0, CRASHED, "lost past the left"},
        {200, -101, 0.0, CRASHED, "lost above"},
        {200, -100, 0.0, NONE, ""},
        {200, 441, 0.0, CRASHED, "lost below, off the pad"},
        {200, 440, 0.0, NONE, ""},
    };
    for (const Row& r : rows) {
        EXPECT_EQ(judge(r.x, r.y, r.thrust), r.want) << r.x << "," << r.y << " " << r.why;
    }
}

TEST(Landing, VerdictStartsANewDescentAfterThePause) {
    fresh_level4();
    headless_advance(5.7);  // nearest whole second is 6: the pause runs to 6.1
    EXPECT_EQ(judge(340, 402, 0.0), LANDED);
    EXPECT_GT(headless_time(), 6.1);
    EXPECT_DOUBLE_EQ(headless_last_rest(), 6.1);  // rested, not spun, in a window
    EXPECT_EQ(g.player_y, -45);
    EXPECT_EQ(g.thrust, 0.0);
    EXPECT_GE(g.heading, 50.0);

    headless_advance(0.1);  // 6.2 and a little: nearest second 6, already past 6.1
    const double before = headless_time();
    EXPECT_EQ(judge(340, 402, -3.0), CRASHED);
    EXPECT_LT(headless_time() - before, 0.01);
}

TEST(Landing, DescentsStartAboveTheScreenAndTheTenthLandingWins) {
    fresh_level4();
    int min_x = 1000, max_x = -1000;
    double min_fuel = 1000, max_fuel = -1;
    for (int n = 0; n < 5000; ++n) {
        new_descent();
        EXPECT_EQ(g.player_y, -45);
        min_x = std::min(min_x, g.player_x);
        max_x = std::max(max_x, g.player_x);
        min_fuel = std::min(min_fuel, g.heading);
        max_fuel = std::max(max_fuel, g.heading);
        EXPECT_EQ(g.heading, static_cast<int>(g.heading));
    }
    EXPECT_EQ(min_x, 100);
    EXPECT_EQ(max_x, 539);
    EXPECT_EQ(min_fuel, 50.0);
    EXPECT_EQ(max_fuel, 100.0);
    EXPECT_EQ(g.level_done, 0);

    g.rockets = 1;
    g.player_x = 340;
    g.player_y = 402;
    g.thrust = 0.0;
    check_landing();
    EXPECT_EQ(g.rockets, 0);
    EXPECT_EQ(g.level_done, 1);
}

TEST(Drifters, SpentPastTheRightEdgeAndDestroyTheRocketOnContact) {
    fresh_level4();
    g.player_x = 200;
    g.player_y = 100;
    g.objects[0] = FallingObject{630, 300, 0, 15, 2, 1};  // crosses x 640
    g.objects[1] = FallingObject{50, 300, 0, 3, 5, 1};    // already spent
    g.objects[2] = FallingObject{190, 120, 0, 5, 3, 1};   // drifts onto the rocket's foot
    g.objects[3] = FallingObject{10, 300, 0, 4, 2, 1};    // far from it
    g.last_spawned = 3;
    update_drifters();
    EXPECT_EQ(g.objects[0].alive, 0);
    EXPECT_EQ(g.objects[0].kind, 0);
    EXPECT_EQ(g.objects[1].kind, 0);
    EXPECT_EQ(g.objects[2].alive, 0);
    EXPECT_EQ(g.objects[2].kind, 0);
    EXPECT_EQ(g.energy, 190);
    EXPECT_EQ(g.player_y, -45) << "a new descent";
    EXPECT_EQ(g.rockets, 10);
    EXPECT_EQ(g.objects[3].x, 14);
    EXPECT_EQ(g.objects[3].alive, 1);
    update_drifters();
    EXPECT_EQ(g.objects[0].x, 660);
    EXPECT_EQ(g.energy, 190);
}
