// shots.cpp -- the level-2 shot pool (player shots up, enemy shots down) and the
// player's fire limiter. Writes g.shots, g.last_shot and g.fire_time.
#include "levels/levels.h"
#include "platform/input.h"
#include "platform/screen.h"
#include "state/bounds.h"
#include "state/game_state.h"

namespace valmoren {

namespace {

// The player may fire again only this long after the last allowed shot.
constexpr double FIRE_INTERVAL = 0.2;

}  // namespace

// Creates a shot at the next pool index; the caller has asked shots_available()
// this frame. A player shot leaves the plane's nose going up, an enemy shot an
// enemy's belly going down.
void fire_shot(int32_t x, int32_t y, int32_t kind) {
    g.last_shot = static_cast<int16_t>(g.last_shot + 1);
    Shot* s = record_at(g.shots, g.last_shot);
    if (s == nullptr) return;
    if (kind == SHOT_PLAYER) {
        *s = Shot{x + 10, y, -5, SHOT_PLAYER};
    } else if (kind == SHOT_ENEMY) {
        *s = Shot{x + 28, y + 5, 7, SHOT_ENEMY};
    }
}

// Draws every shot at its place and then steps it; a shot that has left the
// screen (above the top or past 480) is freed. Once per level-2 frame.
void move_shots() {
    if (g.last_shot <= 0) return;
    const int last = last_index(g.shots, g.last_shot);
    for (int i = 0; i <= last; ++i) {
        Shot& s = g.shots[static_cast<size_t>(i)];
        if (s.kind != SHOT_FREE) {
            put(s.x, s.y, s.kind == SHOT_PLAYER ? g.img_craft2 : g.img_bonus);
            s.y += s.dy;
        }
        if (s.y < 0 || s.y > 480) s.kind = SHOT_FREE;
    }
}

// True while the pool can take another shot. When every index of the cycle has
// been given out and no shot of it is left on the screen, the pool starts over.
bool shots_available() {
    int in_flight = 0;
    const int last = last_index(g.shots, SHOT_POOL_LAST);
    for (int i = 0; i <= last; ++i) {
        if (g.shots[static_cast<size_t>(i)].kind != SHOT_FREE) ++in_flight;
    }
    if (g.last_shot >= SHOT_POOL_LAST && in_flight == 0) g.last_shot = 0;
    return g.last_shot < SHOT_POOL_LAST;
}

void clear_shots() {
    const int last = last_index(g.shots, SHOT_POOL_LAST);
    for (int i = 0; i <= last; ++i) g.shots[static_cast<size_t>(i)].kind = SHOT_FREE;
}

// The player's rate limiter: FIRE_BY_MOUSE means the mouse button was already
// seen down; any other key counts while it is held. Answers true (and starts a new
// interval) when more than 0.2 s have passed since the last allowed shot.
bool fire_allowed(int key) {
    const bool asked = key == FIRE_BY_MOUSE || (key >= 0 && key < KEY_TABLE_SIZE && key_down(key));
    if (!asked) return false;
    if (seconds() > g.fire_time + FIRE_INTERVAL) {
        g.fire_time = seconds();
        return true;
    }
    return false;
}

}  // namespace valmoren
