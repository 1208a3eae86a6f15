// deflection.cpp -- how a plane returns the ball in level 1: the new vertical
// speed from where the ball struck, a push clear of the plane, and the
// horizontal speed away from it. Writes player_x, vel_x, vel_y, ball_history.
#include "levels/levels.h"
#include "state/game_state.h"

namespace valmoren {

namespace {

// The change of vertical speed for a strike d pixels below the plane's top,
// for the left plane (the right plane uses the opposite sign). The borders
// 20, 35, 45, 60 and anything from 80 down leave the speed alone.
enum Strike { STRIKE_NONE, STRIKE_ADD, STRIKE_ZERO };

Strike strike_rule(int32_t d, int32_t& change) {
    if (d < 20) { change = 5; return STRIKE_ADD; }
    if (d > 20 && d < 35) { change = 3; return STRIKE_ADD; }
    if (d > 35 && d < 45) { change = 0; return STRIKE_ZERO; }
    if (d > 45 && d < 60) { change = -3; return STRIKE_ADD; }
    if (d > 60 && d < 80) { change = -5; return STRIKE_ADD; }
    change = 0;
    return STRIKE_NONE;
}

void apply_strike(int32_t d, int32_t sign) {
    int32_t change = 0;
    switch (strike_rule(d, change)) {
        case STRIKE_ADD: g.vel_y += sign * change; break;
        case STRIKE_ZERO: g.vel_y = 0; break;
        case STRIKE_NONE: break;
    }
}

}  // namespace

// Called by the ball right after a plane hit has reversed vel_x.
void deflect_ball() {
    bool struck = false;
    if (g.player_x < 60) {
        apply_strike(g.player_y - g.craft_y, +1);
        g.player_x += 5;
        struck = true;
    } else if (g.player_x > 500) {
        apply_strike(g.player_y - g.craft2_y, -1);
        g.player_x -= 5;
        struck = true;
    }

    // Flat rallies: the rally counter counts returns that leave the ball flat
    // at a horizontal speed of 3; after three of them a return in a plane's
    // zone gets a downward nudge. The ball is only ever given horizontal
    // speeds of 5, so in play the counter stays at 0. A history too short to
    // hold the three entries is left alone.
    std::vector<int8_t>& history = g.ball_history;
    if (history.size() >= 3) {
        if (struck) {
            history[0] = static_cast<int8_t>(g.vel_x);
            history[1] = static_cast<int8_t>(g.vel_y);
            if (history[1] == 0 && (history[0] == 3 || history[0] == -3)) history[2] += 1;
        }
        if (history[2] >= 3 && (g.player_x < 60 || g.player_x > 500)) {
            g.vel_y += 1;
            history[2] = 0;
        }
    }

    if (g.player_x < 60) g.vel_x = 5;
    if (g.player_x > 500) g.vel_x = -5;
}

}  // namespace valmoren
