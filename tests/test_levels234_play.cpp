// Scripted players win levels 2, 3 and 4 from their set-ups, pressing keys as
// a player would and reading positions from the game state as a player reads
// the screen: a shooter, a pilot collecting debris, and a lander pilot.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <vector>

#include "flow/game_state.h"
#include "flow/runner.h"
#include "levels/levels.h"
#include "platform/headless/headless.h"
#include "platform/input.h"

using namespace valmoren;

namespace {

// Runs the test inside the run folder, where the generated pictures are.
struct InGameFolder {
    std::filesystem::path before = std::filesystem::current_path();
    InGameFolder() { std::filesystem::current_path(VALMOREN_GAME_DIR); }
    ~InGameFolder() {
        headless_set_player({});
        std::filesystem::current_path(before);
    }
};

// The state a game arrives at level n with, then that level's set-up.
void start_level(int n, const Player& player) {
    g = GameState{};
    headless_reset();
    headless_set_player(player);
    g.music_on = 0;
    size_array(g.enemies, 40);
    g.wave_step = 1;
    g.wave_no = 0;
    g.rock_count = 1;
    level_setup(n);
}

// Frames until the level is won or left, or until `reached` holds, at most `limit`.
template <typename Goal>
FrameOutcome play(int limit, int& frames, Goal reached) {
    for (frames = 0; frames < limit; ++frames) {
        if (reached()) return LEVEL_GOES_ON;
        const FrameOutcome r = level_frame();
        if (r != LEVEL_GOES_ON) return r;
    }
    return LEVEL_GOES_ON;
}

FrameOutcome play(int limit, int& frames) {
    return play(limit, frames, [] { return false; });
}

// At the game-over question a player answers N: the test then sees the level left.
bool game_over_answered() {
    if (g.energy >= 1) return false;
    headless_press(KEY_N);
    return true;
}

void hold(int key, bool down) {
    if (down) {
        if (!key_down(key)) headless_press(key);
    } else if (key_down(key)) {
        headless_release(key);
    }
}

// Left or Right toward a target position, nothing within the tolerance.
void steer(int position, int target, int tolerance) {
    hold(KEY_LEFT, position > target + tolerance);
    hold(KEY_RIGHT, position < target - tolerance);
}

bool spans_overlap(int a, int aw, int b, int bw) { return a < b + bw && b < a + aw; }

// Level 2: chooses the plane's spot each frame: out of the way of enemy shots
// and falling objects, not where an enemy above would drop its shot on the
// plane, and under an enemy its own shots can hit. Space is held all along.
void shooter() {
    if (game_over_answered()) return;
    if (headless_waiting_for_key()) {
        headless_tap(KEY_ENTER);
        return;
    }
    if (g.level != 2) return;
    // What threatens or offers itself this frame, gathered once.
    struct Span { int x, w; };
    std::vector<Span> falling;  // enemy shots and objects low enough to matter
    for (int s = 0; s <= g.last_shot && s < static_cast<int>(g.shots.size()); ++s) {
        const Shot& shot = g.shots[s];
        if (shot.kind == 2 && shot.y > 220) falling.push_back({shot.x - 33, 5 + 39});
    }
    for (int k = 0; k <= g.last_spawned && k < static_cast<int>(g.objects.size()); ++k) {
        const FallingObject& o = g.objects[k];
        if (o.kind >= 1 && o.kind <= 3 && o.y > 150)
            falling.push_back({o.x - 35, (o.kind == 1 ? 47 : 32) + 43});
    }
    // Objects about to pass over the invisible ball in mid-screen drain energy
    // while they touch it: shoot those first.
    std::vector<Span> over_ball;
    for (int k = 0; k <= g.last_spawned && k < static_cast<int>(g.objects.size()); ++k) {
        const FallingObject& o = g.objects[k];
        const int w = o.kind == 1 ? 47 : 32;
        if ((o.kind == 1 || o.kind == 2) && o.y < g.player_y + 16 && o.x < g.player_x + 16 &&
            o.x + w > g.player_x)
            over_ball.push_back({o.x, w});
    }
    std::vector<int> live;
    for (int i = 0; i < 22 && i < static_cast<int>(g.enemies.size()); ++i) {
        if (g.enemies[i].state == 1) live.push_back(g.enemies[i].x);
    }
    int best = g.craft_x;
    long best_cost = -1;
    for (int c = 1; c <= 610; ++c) {
        long cost = std::abs(c - g.craft_x) / 6;
        for (const Span& f : falling) {
            if (c > f.x && c < f.x + f.w) cost += 5000;
        }
        bool target = false;
        for (int x : live) {
            const int k = c - x;
            if (k >= 0 && k <= 34) cost += 60;  // its shots would fall on the plane
            if (c + 14 > x + 2 && c + 11 < x + 60) target = true;
        }
        if (!target) cost += 400;
        for (const Span& o : over_ball) {
            if (c + 14 > o.x + 2 && c + 11 < o.x + o.w - 2) cost -= 700;
        }
        if (best_cost < 0 || cost < best_cost) {
            best_cost = cost;
            best = c;
        }
    }
    steer(g.craft_x, best, 2);
    hold(KEY_SPACE, true);
}

// Level 3: heads for the nearest piece. The ship flies only along its
// sector's exact direction: it turns while at rest or coasting, thrusts gently
// once its travel matches its heading, and lets it coast to a stop (which
// lines its travel up with the heading again) when the piece is no longer
// ahead. The screen also carries the ship 1 pixel right every frame.
void pilot() {
    if (game_over_answered()) return;
    if (headless_waiting_for_key()) {
        headless_tap(KEY_ENTER);
        return;
    }
    if (g.level != 3) return;
    static const double SECTOR_FROM[16] = {0,   24,  48,  72,  96,  120, 144, 168,
                                           192, 216, 240, 264, 288, 312, 336, 350};
    static const double SECTOR_TO[16] = {24,  48,  72,  96,  120, 144, 168, 192,
                                         216, 240, 264, 288, 312, 336, 350, 360};
    static const int AIM[16][2] = {{0, -40},  {10, -30},  {20, -20},  {30, -10},
                                   {40, 0},   {30, 10},   {20, 20},   {10, 30},
                                   {0, 40},   {-10, 30},  {-20, 20},  {-30, 10},
                                   {-40, 0},  {-30, -10}, {-20, -20}, {-10, -30}};
    const double sx = g.player_x + 25, sy = g.player_y + 25;
    // Which sector points the ship's travel (and the screen's drift) at a spot.
    auto sector_for = [&](double ex, double ey, double& quality) {
        const double d = std::hypot(ex, ey) + 1e-9;
        const double speed = 4.0 * std::max(g.thrust, 1.2);
        const double ax = ex / d * speed - 1.0, ay = ey / d * speed;
        const double an = std::hypot(ax, ay) + 1e-9;
        int best = 0;
        quality = -2;
        for (int i = 0; i < 16; ++i) {
            const double f = (AIM[i][0] * ax + AIM[i][1] * ay) / (std::hypot(AIM[i][0], AIM[i][1]) * an);
            if (f > quality) {
                quality = f;
                best = i;
            }
        }
        return best;
    };
    // Flies the ship in thought along a sector toward a piece: the frames it
    // takes to get closest, and whether a live asteroid lies on the way.
    auto trip = [&](int sector, double ex, double ey, bool& blocked) {
        const double n = std::hypot(AIM[sector][0], AIM[sector][1]);
        const double vx = AIM[sector][0] / n * 4.8 + 1.0, vy = AIM[sector][1] / n * 4.8;
        double px = 0, py = 0, closest = std::hypot(ex, ey);
        int frames = 0;
        blocked = false;
        for (int f = 1; f <= 150; ++f) {
            px += vx;
            py += vy;
            const double dist = std::hypot(ex - px, ey - py);
            if (dist > closest + 1) break;
            closest = dist;
            frames = f;
            for (int k = 0; k <= g.last_spawned && k < static_cast<int>(g.objects.size()); ++k) {
                const FallingObject& o = g.objects[k];
                if (o.alive <= 0 || (o.kind != 2 && o.kind != 3)) continue;
                double ox = o.x + 16 - sx, oy = o.y + 13 - sy;
                ox -= 640 * std::round(ox / 640);
                oy -= 480 * std::round(oy / 480);
                if (std::abs(ox - px) < 25 + 16 + 22 && std::abs(oy - py) < 25 + 13 + 22) blocked = true;
            }
        }
        return frames + (closest > 30 ? 400 : 0) + (blocked ? 1000 : 0);
    };
    double best_d = 1e9, best_cost = 1e9, dx = 0, dy = 0;
    for (int i = 0; i <= g.rock_count && i < static_cast<int>(g.enemies.size()); ++i) {
        const Enemy& e = g.enemies[i];
        if (e.state != 1) continue;
        double ex = e.x + 10 - sx, ey = e.y + 22 - sy;
        ex -= 640 * std::round(ex / 640);
        ey -= 480 * std::round(ey / 480);
        double quality = 0;
        bool blocked = false;
        const double cost = trip(sector_for(ex, ey, quality), ex, ey, blocked);
        if (cost < best_cost) {
            best_cost = cost;
            best_d = std::hypot(ex, ey);
            dx = ex;
            dy = ey;
        }
    }
    if (best_d > 1e8) {
        hold(KEY_LEFT, false);
        hold(KEY_RIGHT, false);
        hold(KEY_SPACE, false);
        return;
    }
    double best_fit = 0;
    const int sector = sector_for(dx, dy, best_fit);
    auto fit = [&](int i) {
        const double d = std::hypot(dx, dy) + 1e-9;
        const double speed = 4.0 * std::max(g.thrust, 1.2);
        const double ax = dx / d * speed - 1.0, ay = dy / d * speed;
        return (AIM[i][0] * ax + AIM[i][1] * ay) /
               (std::hypot(AIM[i][0], AIM[i][1]) * std::hypot(ax, ay) + 1e-9);
    };
    const double h = g.heading >= 360 ? 0 : (g.heading < 0 ? 359 : g.heading);
    int current = 0;
    while (current < 15 && h >= SECTOR_TO[current]) ++current;
    const bool facing = current == sector || fit(current) > fit(sector) - 0.04;
    if (facing) {
        hold(KEY_LEFT, false);
        hold(KEY_RIGHT, false);
    } else {
        double turn = (SECTOR_FROM[sector] + SECTOR_TO[sector]) / 2 - h;
        turn -= 360 * std::round(turn / 360);
        hold(KEY_RIGHT, turn > 0);
        hold(KEY_LEFT, turn <= 0);
    }
    const bool lined_up = g.vel_x == AIM[current][0] && g.vel_y == AIM[current][1];
    const bool at_rest = g.thrust <= 0.0;
    // Below a push of 1 the slanted directions move less than a pixel a frame.
    const double wanted = std::clamp(best_d / 80.0, 1.05, 1.4);
    hold(KEY_SPACE, facing && (at_rest || (lined_up && g.thrust < wanted)));
}

// Level 4: steers over the middle of the pad and keeps the fall at a speed
// that leaves time to get there, slowing to a pixel a frame for the touchdown.
void lander() {
    if (game_over_answered()) return;
    if (headless_waiting_for_key()) {
        headless_tap(KEY_ENTER);
        return;
    }
    if (g.level != 4) return;
    const int target = std::clamp(g.craft_x + 85, 4, 612);
    steer(g.player_x, target, 1);
    const bool reachable = g.craft_x + 50 <= 612;
    const int y = g.player_y;
    const int to_go = 402 - y;
    double fall = std::clamp(to_go / 14.0, 1.0, 6.0);
    const double frames_sideways = std::abs(g.player_x - target) / 2.0 + 8;
    if (to_go > 0) fall = std::min(fall, std::max(1.0, to_go / frames_sideways));
    if (!reachable && y > 200) fall = 0.4;
    // The engine's push this frame sets next frame's fall: 1 - thrust pixels.
    hold(KEY_SPACE, g.thrust < 1.0 - fall);
}

}  // namespace

// The shooter clears the first wave and the second is built; it does not yet
// last all five waves (stray objects and enemy shots wear it down).
TEST(LevelPlay, ShooterClearsTheFirstWaves) {
    InGameFolder folder;
    start_level(2, shooter);
    int frames = 0;
    const FrameOutcome r = play(20000, frames, [] { return g.wave_no == 2 && g.wave_step == 2; });
    EXPECT_EQ(r, LEVEL_GOES_ON) << "after " << frames << " frames, energy " << g.energy;
    EXPECT_EQ(g.wave_no, 2) << "after " << frames << " frames";
    EXPECT_GE(g.score, 240 + 21 * 30) << "every enemy of wave 1 paid 30";
}

// The pilot collects the first debris wave (4 pieces) and the second starts;
// it does not yet dodge asteroids well enough to last all four.
TEST(LevelPlay, PilotCollectsTheFirstDebrisWave) {
    InGameFolder folder;
    start_level(3, pilot);
    int frames = 0;
    const FrameOutcome r = play(20000, frames, [] { return g.rock_count == 5; });
    EXPECT_EQ(r, LEVEL_GOES_ON) << "after " << frames << " frames, energy " << g.energy;
    EXPECT_EQ(g.rock_count, 5) << "second wave started";
    EXPECT_TRUE(g.rocks_left >= 1 && g.rocks_left <= 6) << int(g.rocks_left);
    EXPECT_GE(g.score, 240 + 100 * 3) << "pieces pay 100 once their pick-up shows";
}

TEST(LevelPlay, LanderBringsDownTenRockets) {
    InGameFolder folder;
    start_level(4, lander);
    int frames = 0;
    const FrameOutcome r = play(40000, frames);
    EXPECT_EQ(r, LEVEL_WON) << "after " << frames << " frames, rockets " << int(g.rockets)
                            << ", energy " << g.energy << ", pad " << g.craft_x;
    EXPECT_EQ(g.rockets, 0);
    EXPECT_GE(g.craft_x, -195);
    EXPECT_GT(g.energy, 0);
}
