// ball.cpp -- the level-1 ball between the two planes: spawning rolls, walls,
// speed limit, misses and plane hits; the level-2 plane's screen bounds.
// Writes player_x, player_y, vel_x, vel_y, craft_y, craft2_y, craft_x, energy,
// score, dice.
#include <cmath>

#include "levels/levels.h"
#include "platform/input.h"
#include "play/boxes.h"
#include "play/play.h"
#include "state/game_state.h"

namespace valmoren {

namespace {

int32_t clamp_plane(int32_t y) {
    if (y < 0) return 0;
    if (y > 400) return 400;
    return y;
}

// A lost ball costs 40 energy and is served again from the middle; while
// energy is left the get-ready overlay gives the player a breather.
void miss(int32_t new_vel_x, int32_t new_vel_y) {
    g.energy -= 40;
    g.player_x = 320;
    g.player_y = 240;
    g.vel_x = new_vel_x;
    g.vel_y = new_vel_y;
    if (g.energy > 0) show_overlay(OVERLAY_GET_READY);
}

void ball_level1() {
    g.dice = roll(50) + 1;
    const bool dice_ok = g.dice == 25;
    const bool room = g.last_spawned < 5;
    const bool wave_ok = wave_allows_spawn();
    if (dice_ok && room && wave_ok) spawn_object();

    g.player_x += g.vel_x;
    g.player_y += g.vel_y;

    if (g.player_y > 460) {
        g.player_y -= 5;
        g.vel_y = -g.vel_y;
    }
    if (g.player_y < 10) {
        g.player_y += 5;
        g.vel_y = -g.vel_y;
    }

    if (g.vel_y < -6 || g.vel_y > 6) g.vel_y = halved(g.vel_y);

    if (g.player_x < 15)
        miss(5, 3);
    else if (g.player_x > 625)
        miss(-5, -3);

    if (boxes_overlap(g.craft_x, g.craft_y, PLANE1_W, PLANE1_H, g.player_x, g.player_y, BALL_SIZE,
                      BALL_SIZE)) {
        g.score += 10;
        g.vel_x = -g.vel_x;
        deflect_ball();
    }
    if (boxes_overlap(g.craft2_x, g.craft2_y, PLANE1_W, PLANE1_H, g.player_x, g.player_y,
                      BALL_SIZE, BALL_SIZE)) {
        g.score += 10;
        g.vel_x = -g.vel_x;
        deflect_ball();
    }

    g.craft_y = clamp_plane(g.craft_y);
    g.craft2_y = clamp_plane(g.craft2_y);
}

}  // namespace

// Once per frame in levels 1 and 2.
void update_ball() {
    if (g.level == 1) {
        ball_level1();
    } else if (g.level == 2) {
        if (g.craft_x <= 0) g.craft_x = 1;
        if (g.craft_x >= 610) g.craft_x = 610;
    }
}

}  // namespace valmoren
