// boxes.h -- the hit boxes that more than one rule tests (the ball, the
// planes, the asteroid, the level-3 ship, the bonuses, the level-2 obstacles
// and the level-5 targets): one home for each size, so the play routines, the level rules
// and the scripted test players all test the same boxes. Sizes are fixed by
// the game, not read from the pictures.
#pragma once

#include <cstdint>

#include "state/game_state.h"

namespace valmoren {

struct Box {
    int32_t w;
    int32_t h;
};

constexpr int32_t BALL_SIZE = 16;                 // the level-1 ball
constexpr int32_t PLANE1_W = 48, PLANE1_H = 75;   // a level-1 plane (returns the ball, takes bonuses)
constexpr int32_t PLANE2_W = 27, PLANE2_H = 40;   // the level-2 plane
constexpr int32_t ROCK_W = 32, ROCK_H = 27;       // an asteroid
constexpr int32_t SHIP_W = 50, SHIP_H = 50;       // the level-3 ship
constexpr int32_t BONUS_SIZE = 20;                // an energy or time bonus
// The level-5 crosshair hits with a small spot inside its picture.
constexpr int32_t CROSSHAIR_SPOT = 14, CROSSHAIR_SPOT_SIZE = 4;

// A level-2 obstacle as the plane and the plane's shots meet it; {0, 0} for
// anything that is not an obstacle.
constexpr Box level2_obstacle_box(int32_t kind) {
    switch (kind) {
        case OBJECT_ENEMY: return {47, 54};
        case OBJECT_ROCK: return {ROCK_W, ROCK_H};
        case OBJECT_ROCK2: return {32, 25};
        default: return {0, 0};
    }
}

// A level-5 target as the crosshair's spot meets it; {0, 0} for anything that
// cannot be shot.
constexpr Box level5_target_box(int32_t kind) {
    switch (kind) {
        case OBJECT_ENEMY: return {20, 60};
        case OBJECT_ROCK: return {60, 61};
        case OBJECT_ROCK2: return {ROCK_W, ROCK_H};
        default: return {0, 0};
    }
}

}  // namespace valmoren
