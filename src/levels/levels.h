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

// Shot pool and fire limiter (level 2).
void fire_shot(int32_t x, int32_t y, int32_t kind);
void move_shots();
bool shots_available();
bool fire_allowed(int key);

// Enemy formation waves (level 2; pattern 0 and update_enemies also serve level 3).
void build_formation(int pattern);
void update_enemies(int wave);
void enemy_fire();
void resolve_shot_hits();
void run_waves();

// Rotating ship and debris field (level 3).
void choose_ship_sector();
void fly_ship();
void update_hazards();
void start_debris_wave();

// Descent and landing (level 4).
void new_descent();
void update_drifters();
void check_landing();

}  // namespace valmoren
