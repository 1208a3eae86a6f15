// landing.cpp -- level 4: the start of each rocket's descent, the landing
// verdict on the crawling pad and the asteroids drifting in from the left.
// Writes g.player_x, g.player_y, g.heading (the engine gauge), g.thrust,
// g.rockets, g.energy, g.objects and g.level_done.
#include <cmath>

#include "audio/sound.h"
#include "levels/levels.h"
#include "platform/input.h"
#include "platform/screen.h"
#include "play/boxes.h"
#include "play/play.h"
#include "state/bounds.h"
#include "state/game_state.h"

namespace valmoren {

namespace {

constexpr int PAD_W = 195, PAD_H = 35;
constexpr int ROCKET_W = 21, ROCKET_H = 45;
constexpr int ROCKET_NOSE_H = 25;  // the upper part that decides an off-target touch
// The rocket's left edge must lie this far into the pad to land.
constexpr int ZONE_FROM = 40, ZONE_TO = 130;
// ... and its bottom within these rows.
constexpr int BOTTOM_FROM = 444, BOTTOM_TO = 448;

// The game stands still briefly after a landing or a crash: until the clock
// passes its nearest whole second by a tenth.
void crash_pause() {
    wait_until(whole_seconds() + 0.1);
}

// Every failed descent: energy lost, the explosion at the rocket, a new rocket.
void crash() {
    g.energy = static_cast<int16_t>(g.energy - 50);
    put(g.player_x, g.player_y, g.img_boom);
    stream_play(g.stream_fx);
    crash_pause();
    new_descent();
}

}  // namespace

// Drops a new rocket from above the top edge with a refilled gauge; when no
// rocket is left to drop, the level is won.
void new_descent() {
    if (g.rockets <= 0) {
        show_overlay(OVERLAY_LEVEL_DONE);
        g.level_done = 1;
    }
    g.player_y = -45;
    g.player_x = roll(440) + 100;
    g.heading = roll(51) + 50;
    g.thrust = 0.0;
}

// The landing verdict, at most one a frame: a gentle touch in the pad's middle
// lands, a fast one is a hard landing, a touch outside the middle misses, and a
// rocket that leaves the field is lost.
void check_landing() {
    const bool on_pad = boxes_overlap(g.craft_x, g.craft_y, PAD_W, PAD_H, g.player_x, g.player_y,
                                      ROCKET_W, ROCKET_H);
    const bool over_middle =
        g.player_x >= g.craft_x + ZONE_FROM && g.player_x <= g.craft_x + ZONE_TO;
    const int bottom = g.player_y + ROCKET_H;
    const bool low_enough = bottom >= BOTTOM_FROM && bottom <= BOTTOM_TO;

    if (on_pad && over_middle && low_enough && g.thrust >= -1.0 && g.thrust <= 2.0) {
        put(g.player_x + 2, g.player_y + 10, g.img_bonus);
        g.energy = static_cast<int16_t>(g.energy + 10);
        stream_play(g.stream_fx2);
        crash_pause();
        g.rockets = static_cast<int8_t>(g.rockets - 1);
        new_descent();
    } else if (on_pad && (g.thrust <= -2.0 || g.thrust >= 2.0)) {
        crash();
    } else if (boxes_overlap(g.craft_x, g.craft_y, PAD_W, PAD_H, g.player_x, g.player_y, ROCKET_W,
                             ROCKET_NOSE_H) &&
               !over_middle) {
        crash();
    } else if (g.player_y > 440 || g.player_y < -100 || g.player_x < 0 || g.player_x > 620) {
        crash();
    }
}

// The drifting asteroids: they cross from the left, are spent past the right
// edge, and one that meets the rocket destroys it.
void update_drifters() {
    if (g.last_spawned < 0) return;
    for (int k = 0; k <= last_index(g.objects, g.last_spawned); ++k) {
        FallingObject& o = g.objects[static_cast<size_t>(k)];
        o.x += o.dx;
        if (o.x > 640 || o.kind == OBJECT_EXPLODED) {
            o.alive = OBJECT_ENDED;
            o.kind = OBJECT_NONE;
        }
        if (o.alive > 0) {
            if (o.kind == OBJECT_ROCK) {
                put(o.x, o.y, g.img_rock);
            } else if (o.kind == OBJECT_ROCK2) {
                put(o.x, o.y, g.img_rock2);
            }
        }
        if (o.alive == OBJECT_IN_PLAY &&
            sprites_overlap(g.img_rock, o.x, o.y, ROCK_W, ROCK_H, g.img_player, g.player_x,
                            g.player_y, ROCKET_W, ROCKET_H)) {
            o.alive = OBJECT_ENDED;
            o.kind = OBJECT_NONE;
            crash();
        }
    }
}

}  // namespace valmoren
