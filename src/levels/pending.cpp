// pending.cpp -- levels 2 to 4 routines that do nothing yet; removed as the
// shot pool, enemy waves, level-3 flight and level-4 descent arrive.
#include "levels/levels.h"

namespace valmoren {

void fire_shot(int32_t, int32_t, int32_t) {}
void move_shots() {}
bool shots_available() { return false; }
bool fire_allowed(int) { return false; }
void build_formation(int) {}
void update_enemies(int) {}
void enemy_fire() {}
void resolve_shot_hits() {}
void run_waves() {}
void choose_ship_sector() {}
void fly_ship() {}
void update_hazards() {}
void start_debris_wave() {}
void new_descent() {}
void update_drifters() {}
void check_landing() {}

}  // namespace valmoren
