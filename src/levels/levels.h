// levels.h -- the rules that make each level its own game: the level clock,
// paddle deflection, the shot pool, the enemy waves, level-3 flight and the
// level-4 descent.
#pragma once

#include <cstdint>

namespace valmoren {

// Level clock and timed events (levels 1, 4, 5).
void run_level_clock();

// Paddle deflection (level 1).
void deflect_ball();

// Shot pool and fire limiter (level 2). Shots are handed out from index 1 up
// to SHOT_POOL_LAST; then the pool must drain before it starts over.
constexpr int SHOT_POOL_LAST = 200;
void fire_shot(int32_t x, int32_t y, int32_t kind);
void move_shots();
bool shots_available();
// `key`: a key held down to fire, or FIRE_BY_MOUSE when the caller has
// already seen the mouse button down.
constexpr int FIRE_BY_MOUSE = 1;
bool fire_allowed(int key);
// Frees every shot of the pool (a new wave, an overlay: no shot survives).
void clear_shots();

// Enemy formation waves (level 2; pattern 0 and update_enemies also serve level
// 3). The formation is 22 enemies, records 0..FORMATION_LAST, in rows of 8, 7
// and 7.
constexpr int FORMATION_LAST = 21;
void build_formation(int pattern);
void update_enemies(int wave);
void enemy_fire();
void resolve_shot_hits();
void run_waves();

// Rotating ship and debris field (level 3). The ship's 16 headings: degrees
// from (inclusive) to (exclusive), and the direction each pushes in, in tenths
// of a pixel per unit of speed.
struct ShipSector {
    double from;
    double to;
    int32_t dx;
    int32_t dy;
};
constexpr int SHIP_SECTOR_COUNT = 16;
constexpr ShipSector SHIP_SECTORS[SHIP_SECTOR_COUNT] = {
    {0, 24, 0, -40},      {24, 48, 10, -30},    {48, 72, 20, -20},    {72, 96, 30, -10},
    {96, 120, 40, 0},     {120, 144, 30, 10},   {144, 168, 20, 20},   {168, 192, 10, 30},
    {192, 216, 0, 40},    {216, 240, -10, 30},  {240, 264, -20, 20},  {264, 288, -30, 10},
    {288, 312, -40, 0},   {312, 336, -30, -10}, {336, 350, -20, -20}, {350, 360, -10, -30},
};
void choose_ship_sector();
void fly_ship();
void update_hazards();
void start_debris_wave();

// Descent and landing (level 4).
void new_descent();
void update_drifters();
void check_landing();

}  // namespace valmoren
