// pending.cpp -- shared play routines, the level clock and paddle deflection
// that do nothing yet; removed as they arrive.
#include "levels/levels.h"
#include "play/play.h"

namespace valmoren {

bool boxes_overlap(int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t, int32_t) {
    return false;
}
bool sprites_overlap(const Image&, int32_t, int32_t, int32_t, int32_t, const Image&, int32_t,
                     int32_t, int32_t, int32_t) {
    return false;
}
void draw_background(int8_t) {}
void read_controls() {}
void draw_player_sprites() {}
void update_ball() {}
void spawn_object() {}
bool wave_allows_spawn() { return false; }
void update_objects() {}
void draw_energy_bar() {}
void draw_hud() {}
void show_overlay(int) {}
void draw_controls_help(int16_t, int16_t, int16_t, double) {}
void ask_question(int) {}
void run_level_clock() {}
void deflect_ball() {}

}  // namespace valmoren
