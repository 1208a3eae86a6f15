// players.cpp -- scripted players for every level and the whole game. They
// look at positions in `g` as a player looks at the screen and press keys or
// move the mouse; they never change `g` themselves.
#include "players.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "levels/levels.h"
#include "platform/headless/headless.h"
#include "platform/input.h"
#include "play/boxes.h"
#include "play/play.h"
#include "state/bounds.h"
#include "state/game_state.h"

namespace valmoren::players {

GameRun run;

namespace {

void hold(int key, bool down) {
    if (down) {
        if (!headless_key_held(key)) headless_press(key);
    } else if (headless_key_held(key)) {
        headless_release(key);
    }
}

// Left or Right toward a target position, nothing within the tolerance.
void steer(int position, int target, int tolerance) {
    hold(KEY_LEFT, position > target + tolerance);
    hold(KEY_RIGHT, position < target - tolerance);
}

// Levels 3 and 4 turn or shift with Left and Right, or with the left and the
// right mouse button alone when the mouse is the chosen control.
void sideways(bool left, bool right) {
    if (g.controls_mouse == 0) {
        hold(KEY_LEFT, left);
        hold(KEY_RIGHT, right);
    } else {
        headless_set_mouse(320, 240, left ? 1 : (right ? 2 : 0));
    }
}

// ---------------------------------------------------------------- level 1

// Where the ball's top will be when it reaches the plane it flies toward,
// following the walls as the ball does.
int32_t predicted_arrival_y() {
    int32_t x = g.player_x, y = g.player_y, vy = g.vel_y;
    for (int step = 0; step < 400; ++step) {
        if (g.vel_x < 0 && x < 42) break;
        if (g.vel_x > 0 && x > 574) break;
        x += g.vel_x;
        y += vy;
        if (y > 460) { y -= 5; vy = -vy; }
        if (y < 10) { y += 5; vy = -vy; }
    }
    return y;
}

// ---------------------------------------------------------------- level 2

constexpr int PLANE_Y = 436;  // the level-2 plane's row
constexpr int HORIZON = 48;  // frames looked ahead for what falls on the plane

// Something falling toward the plane's row: a box and its step per frame.
struct Falling {
    int x, y, w, h, dy;
};

// Where a level-2 enemy will be `frames` from now, bouncing as its wave does.
struct Track {
    std::vector<int> x, y;
};

Track track_enemy(const Enemy& e, int frames) {
    Track t;
    t.x.reserve(static_cast<size_t>(frames) + 1);
    t.y.reserve(static_cast<size_t>(frames) + 1);
    int x = e.x, y = e.y, dx = e.dx, dy = e.dy;
    t.x.push_back(x);
    t.y.push_back(y);
    for (int f = 0; f < frames; ++f) {
        x += dx;
        y += dy;
        if (g.wave_no == 2 && (x > 600 || x < 0)) dx = -dx;
        if (g.wave_no == 3 && (x > 640 || x < 0)) {
            dx = -dx;
            y += 10;
        }
        if ((g.wave_no == 4 || g.wave_no == 5) && (y > 300 || y < 0)) dy = -dy;
        t.x.push_back(x);
        t.y.push_back(y);
    }
    return t;
}

// The plane's left edge `k` frames from now when it heads for `target` at 6
// pixels a frame (the keys pressed now move it from the next frame on).
int plane_at(int from, int target, int k) {
    const int step = std::min(std::abs(target - from), 6 * std::max(0, k - 1));
    return target >= from ? from + step : from - step;
}

// ---------------------------------------------------------------- level 3

// The ship's picture in a heading sector (empty when none could be read).
const Image& ship_look(int sector) {
    static const Image none;
    if (sector < 0 || static_cast<size_t>(sector) >= g.ship_pictures.size()) return none;
    return g.ship_pictures[static_cast<size_t>(sector)];
}

// The nearest copy of a screen offset on the wrapping level-3 screen.
double wrapped(double d, double size) { return d - size * std::round(d / size); }

}  // namespace

void Hands::hold(std::vector<int> keys) {
    for (int k : held) headless_release(k);
    held = std::move(keys);
    for (int k : held) headless_press(k);
}

void tap_enter_at_key_wait() { headless_tap(KEY_ENTER); }

bool answer_game_over() {
    if (g.energy >= 1) return false;
    headless_press(KEY_N);
    return true;
}

namespace {

// The start of a level player's turn: false when the turn is taken already
// (the game-over question answered, when the player answers it; a key wait
// answered with Enter) or the level is not the player's.
bool my_turn(int8_t level, bool answers_game_over) {
    if (answers_game_over && answer_game_over()) return false;
    if (headless_waiting_for_key()) {
        tap_enter_at_key_wait();
        return false;
    }
    return g.level == level;
}

}  // namespace

void paddles() {
    if (!my_turn(1, false)) return;
    const bool left = g.vel_x < 0;
    const int32_t plane_y = left ? g.craft_y : g.craft2_y;
    // Aim for a strike 40 pixels below the plane's top: a flat return.
    const int32_t error = predicted_arrival_y() - 40 - plane_y;
    if (g.controls_mouse != 0) {
        // The left plane follows the pointer, the right one mirrors it.
        const int32_t wanted = predicted_arrival_y() - 40;
        headless_set_mouse(320, left ? wanted : 480 - wanted, 0);
        return;
    }
    bool up = false, down = false;
    if (error < -3) (left ? up : down) = true;  // the plane must rise
    if (error > 3) (left ? down : up) = true;   // the plane must sink
    hold(KEY_UP, up);
    hold(KEY_DOWN, down);
}

void shooter() {
    if (!my_turn(2, true)) return;

    // Enemy shots and obstacles, whether drawn or not: an obstacle of an
    // earlier wave is no longer drawn but still falls and still hurts.
    std::vector<Falling> falling;
    for (int s = 0; s <= last_index(g.shots, g.last_shot); ++s) {
        const Shot& shot = g.shots[static_cast<size_t>(s)];
        if (shot.kind == SHOT_ENEMY) falling.push_back({shot.x, shot.y, 5, 7, shot.dy});
    }
    // Obstacles that will pass over the middle of the screen rub against the
    // ball left there and drain energy while they touch it: shoot them first.
    struct Column {
        int x, w, value;
    };
    std::vector<Column> columns;
    for (int k = 0; k <= last_index(g.objects, g.last_spawned); ++k) {
        const FallingObject& o = g.objects[static_cast<size_t>(k)];
        if (o.kind < OBJECT_ENEMY || o.kind > OBJECT_ROCK2) continue;
        const Box box = level2_obstacle_box(o.kind);
        const int w = box.w, h = box.h;
        falling.push_back({o.x, o.y, w, h, o.dy});
        const int touch_w = o.kind == OBJECT_ENEMY ? 75 : 48;
        const bool over_ball = o.kind != OBJECT_ROCK2 && o.x < g.player_x + BALL_SIZE &&
                               o.x + touch_w > g.player_x && o.y < g.player_y + BALL_SIZE;
        if (o.y + h < PLANE_Y - 20) columns.push_back({o.x, w, over_ball ? 3000 : 150});
    }
    std::vector<Track> tracks;
    std::vector<const Enemy*> live;
    for (int i = 0; i <= last_index(g.enemies, 21); ++i) {
        const Enemy& e = g.enemies[static_cast<size_t>(i)];
        if (e.state != 1) continue;
        live.push_back(&e);
        tracks.push_back(track_enemy(e, 160));
    }

    const int from = g.craft_x;
    int best = from;
    long best_cost = 0;
    bool first = true, here_aimed = false;
    // The keys move the plane 6 pixels a frame, and the screen's edges hold
    // it within 1..610: the spots it can stop at.
    std::vector<int> spots;
    for (int c = from - 6 * ((from - 1) / 6); c <= 610; c += 6) spots.push_back(c);
    if (spots.front() != 1) spots.insert(spots.begin(), 1);
    if (spots.back() != 610) spots.push_back(610);
    for (int c : spots) {
        const int d = (std::abs(c - from) + 5) / 6;  // frames to get there
        long cost = std::abs(c - from) / 3;
        // Anything that would land on the plane on its way or once there.
        for (const Falling& f : falling) {
            for (int k = 1; k <= HORIZON; ++k) {
                const int y = f.y + f.dy * k;
                if (y >= PLANE_Y + PLANE2_H || y + f.h <= PLANE_Y) continue;
                const int p = plane_at(from, c, k);
                const int q = plane_at(from, c, k + 1);
                const int lo = std::min(p, q) - 4, hi = std::max(p, q) + PLANE2_W + 4;
                if (lo < f.x + f.w && f.x < hi) {
                    cost += 20000 + 200L * (HORIZON - k);
                    break;
                }
            }
        }
        // What a shot fired on arrival would meet on its way up.
        const int sx = c + 10;
        bool aimed = false;
        long gain = 0;
        for (size_t i = 0; i < live.size(); ++i) {
            const Track& t = tracks[i];
            // The shot climbs 5 pixels a frame from the plane's top.
            int when = d + std::max(0, (PLANE_Y - (t.y[0] + 39)) / 5);
            when = std::min(when, static_cast<int>(t.x.size()) - 1);
            when = std::min(static_cast<int>(t.x.size()) - 1,
                            d + std::max(0, (PLANE_Y - (t.y[static_cast<size_t>(when)] + 39)) / 5));
            const int ex = t.x[static_cast<size_t>(when)];
            if (sx > ex + 3 && sx + 5 < ex + 59) {
                aimed = true;
                gain = std::max<long>(gain, 500 + t.y[static_cast<size_t>(when)]);
            }
            // Standing where this enemy's own shots would fall on the plane.
            const int k = c - live[i]->x;
            if (k >= -1 && k <= 34) cost += 40;
        }
        for (const Column& col : columns) {
            if (sx > col.x + 1 && sx + 5 < col.x + col.w - 1) {
                aimed = true;
                gain = std::max<long>(gain, col.value);
            }
        }
        cost -= gain;
        if (c == from) here_aimed = aimed;
        if (first || cost < best_cost) {
            first = false;
            best_cost = cost;
            best = c;
        }
    }
    // Fire only when the shot has something to meet: every shot may also
    // bring a new obstacle down.
    const bool fire = here_aimed;
    if (g.controls_mouse == 0) {
        steer(from, best, 0);
        hold(KEY_SPACE, fire);
    } else {
        // The plane jumps to the pointer: move it as fast as the keys would.
        headless_set_mouse(std::clamp(best, from - 6, from + 6), 400, fire ? 1 : 0);
    }
}

void pilot() {
    if (!my_turn(3, true)) return;
    // Asteroids still to avoid and pieces still to collect, as on the screen.
    struct Spot {
        int x, y;
    };
    std::vector<Spot> rocks, pieces;
    for (int k = 0; k <= last_index(g.objects, g.last_spawned); ++k) {
        const FallingObject& o = g.objects[static_cast<size_t>(k)];
        if (o.kind == OBJECT_EXPLODED || o.kind == OBJECT_NONE) continue;
        // Only the asteroids the ship could reach in the frames looked at.
        if (std::hypot(wrapped(o.x - g.player_x, 640), wrapped(o.y - g.player_y, 480)) < 260)
            rocks.push_back({o.x, o.y});
    }
    for (int i = 0; i <= last_index(g.enemies, g.rock_count); ++i) {
        const Enemy& e = g.enemies[static_cast<size_t>(i)];
        if (e.state == ENEMY_ALIVE) pieces.push_back({e.x, e.y});
    }
    // A piece that lies on an asteroid cannot be had without a knock: after a
    // long while without a catch the pilot stops minding the asteroids.
    static int since_catch = 0;
    static int pieces_seen = -1;
    if (static_cast<int>(pieces.size()) != pieces_seen) {
        pieces_seen = static_cast<int>(pieces.size());
        since_catch = 0;
    }
    if (++since_catch > 600) rocks.clear();
    if (pieces.empty()) {
        sideways(false, false);
        hold(KEY_SPACE, false);
        return;
    }
    // Each plan turns toward one heading and pushes up to one speed there;
    // the flight of the next frames is worked out as the ship flies, and the
    // plan that reaches a piece soonest without touching an asteroid wins.
    constexpr int HORIZON_3 = 60;
    constexpr double PUSHES[4] = {0.0, 0.7, 1.05, 1.4};
    auto sector_of = [](double heading) {
        int i = 0;
        while (i < SHIP_SECTOR_COUNT - 1 && heading >= SHIP_SECTORS[i].to) ++i;
        return i;
    };
    auto step = [](int32_t v, double speed) {
        return static_cast<int>(static_cast<long>(std::nearbyint(v * speed)) / 10);
    };
    long best_cost = 0;
    bool first = true, best_turn_left = false, best_turn_right = false, best_space = false;
    for (int want = 0; want < SHIP_SECTOR_COUNT; ++want) {
        for (double push : PUSHES) {
            int px = g.player_x, py = g.player_y, vx = g.vel_x, vy = g.vel_y;
            int ax = g.aim_dx, ay = g.aim_dy;
            double thrust = g.thrust, heading = g.heading;
            bool left0 = false, right0 = false, space0 = false;
            long cost = -1;
            double closest = 1e9;
            // What the player would press in a frame of this plan.
            auto decide = [&](bool& l, bool& r, bool& sp) {
                double h = heading >= 360 ? 0 : (heading < 0 ? 359 : heading);
                const int now = sector_of(h);
                l = r = false;
                if (now != want) {
                    double turn = (SHIP_SECTORS[want].from + SHIP_SECTORS[want].to) / 2 - h;
                    turn -= 360 * std::round(turn / 360);
                    (turn > 0 ? r : l) = true;
                }
                // Push only along the heading's exact direction: a ship whose
                // travel points elsewhere coasts to a stop first, which lines
                // its travel up with the heading again.
                const bool lined_up = vx == SHIP_SECTORS[now].dx && vy == SHIP_SECTORS[now].dy;
                sp = now == want && push > 0 && thrust < push && (lined_up || thrust <= 0);
            };
            bool l = false, r = false, sp = false;
            decide(l, r, sp);
            left0 = l;
            right0 = r;
            space0 = sp;
            for (int f = 1; f <= HORIZON_3 && cost < 0; ++f) {
                px += 1;
                if (heading >= 360) heading = 0;
                else if (heading < 0) heading = 359;
                if (sp) {
                    const ShipSector& s = SHIP_SECTORS[sector_of(heading)];
                    ax = s.dx;
                    ay = s.dy;
                    if (vx < ax) ++vx;
                    else if (vx > ax) --vx;
                    else if (vy < ay) ++vy;
                    else if (vy > ay) --vy;
                    thrust += g.ship_accel;
                } else {
                    thrust -= 0.03;
                }
                px += step(vx, thrust);
                py += step(vy, thrust);
                if (vx == 0 && vy == 0) thrust = 0;
                if (thrust > 30) thrust = 30;
                if (thrust < 0) {
                    thrust = 0;
                    vx = ax;
                    vy = ay;
                }
                if (px < -30) px += 640;
                if (py < -30) py += 480;
                if (px > 640) px -= 640;
                if (py > 480) py -= 480;
                ax = SHIP_SECTORS[sector_of(heading)].dx;
                ay = SHIP_SECTORS[sector_of(heading)].dy;
                // The ship's picture in its heading, against what it meets,
                // as the eye sees the shapes touch.
                const Image& ship = ship_look(sector_of(heading));
                for (const Spot& b : rocks) {
                    if (sprites_overlap(g.img_rock, b.x, b.y, ROCK_W, ROCK_H, ship, px, py, SHIP_W, SHIP_H) ||
                        sprites_overlap(g.img_rock, b.x - 2, b.y, ROCK_W, ROCK_H, ship, px, py, SHIP_W, SHIP_H)) {
                        cost = 1000000 - 1000L * f;
                        break;
                    }
                }
                if (cost >= 0) break;
                for (const Spot& b : pieces) {
                    const int cx = b.x + 10, cy = b.y + 22;
                    if (sprites_overlap(ship, px, py, SHIP_W, SHIP_H, g.img_enemy, b.x, b.y, 21, 45)) {
                        cost = f;
                        break;
                    }
                    const double d = std::hypot(wrapped(cx - px - 25, 640), wrapped(cy - py - 25, 480));
                    closest = std::min(closest, d);
                }
                if (cost >= 0) break;
                heading += r ? 10.0 : (l ? -10.0 : 0.0);
                decide(l, r, sp);
            }
            if (cost < 0) cost = 1000 + static_cast<long>(closest) * 4 + static_cast<long>(thrust * 50);
            if (first || cost < best_cost) {
                first = false;
                best_cost = cost;
                best_turn_left = left0;
                best_turn_right = right0;
                best_space = space0;
            }
        }
    }
    sideways(best_turn_left, best_turn_right);
    hold(KEY_SPACE, best_space);
}

void lander() {
    if (!my_turn(4, true)) return;
    const int target = std::clamp(g.craft_x + 85, 4, 612);
    sideways(g.player_x > target + 1, g.player_x < target - 1);
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

void gunner() {
    if (!my_turn(5, false)) return;
    const FallingObject* target = nullptr;
    for (int i = 0; i <= last_index(g.objects, g.last_spawned); ++i) {
        const FallingObject& o = g.objects[static_cast<size_t>(i)];
        if (o.alive <= 0 || o.kind < OBJECT_ENEMY || o.kind > OBJECT_ROCK2) continue;
        if (o.y + 4 * o.dy > 455) continue;  // too late to stop
        if (target == nullptr || o.y > target->y) target = &o;
    }
    int32_t x = 320, y = 240;
    if (target != nullptr) {
        // The box each kind is tested with, and its middle under the hot spot
        // two frames from now, when the shot is tested.
        const Box box = level5_target_box(target->kind);
        x = target->x + box.w / 2 - 16;
        y = target->y + 2 * target->dy + box.h / 2 - 16;
    }
    headless_set_mouse(x, y, g.thrust > 4.5 ? 0 : 1);
}

void level_player() {
    switch (g.level) {
        case 1: paddles(); break;
        case 2: shooter(); break;
        case 3: pilot(); break;
        case 4: lander(); break;
        case 5: gunner(); break;
        default:
            if (headless_waiting_for_key()) tap_enter_at_key_wait();
            break;
    }
}

namespace {

// Lets go of every key the level players may hold.
void release_all() {
    for (int key : {KEY_UP, KEY_DOWN, KEY_LEFT, KEY_RIGHT, KEY_SPACE, KEY_ENTER, KEY_ESC, KEY_Y,
                    KEY_N})
        hold(key, false);
    headless_set_mouse(320, 240, 0);
}

// One fresh press of a key, held until the next look.
void press_again(int key) {
    hold(key, false);
    headless_press(key);
}

// The way out once the game is lost or the budget is spent: leave the level
// and choose Exit in the menu (Down three times, then Enter).
void leave_the_game(bool key_wait) {
    static int menu_steps = 0;
    if (!run.left_to_menu) menu_steps = 0;
    if (!key_wait) {
        if (g.request != 0) return;
        if (run.lost) {
            hold(KEY_N, true);  // "Game reset?!" -- no: back to the menu
        } else {
            hold(KEY_ESC, true);  // "Exit?!" -- yes
            hold(KEY_Y, true);
        }
        return;
    }
    run.left_to_menu = true;
    release_all();
    if (menu_steps < 3) {
        headless_press(KEY_DOWN);
    } else {
        headless_press(KEY_ENTER);
    }
    ++menu_steps;
}

}  // namespace

void whole_game() {
    const bool key_wait = headless_waiting_for_key();
    if (key_wait) {
        ++run.key_waits;
    } else {
        ++run.frames;
        if (g.level > run.highest_level) run.highest_level = g.level;
        if (g.energy < run.lowest_energy) run.lowest_energy = g.energy;
        ++run.frames_in_level;
        if (g.level >= 1 && g.level <= 5) ++run.frames_by_level[g.level];
        if (g.level != run.level_seen) {
            run.level_seen = g.level;
            run.frames_in_level = 0;
        }
        if (g.energy < 1) run.lost = true;
        if (run.level_budget > 0 && run.frames_in_level > run.level_budget) run.gave_up = true;
    }
    if (run.lost || run.gave_up) {
        leave_the_game(key_wait);
        return;
    }
    if (key_wait) {
        // The menu's Start, the story slides, the level-done pictures and
        // the victory all go on with Enter.
        release_all();
        press_again(KEY_ENTER);
        return;
    }
    hold(KEY_ENTER, false);
    level_player();
}

}  // namespace valmoren::players
