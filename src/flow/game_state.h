// game_state.h -- the one record of game-wide variables, read and written in
// place by every routine. Field widths are behaviour: 8- and 16-bit fields wrap.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/screen.h"

namespace valmoren {

// One falling object, bonus, level-3 asteroid or level-4 drifter.
struct FallingObject {
    int32_t x;      // left edge, pixels
    int32_t y;      // top edge, pixels
    int32_t dy;     // vertical step per frame
    int32_t dx;     // horizontal step per frame (bonuses, level-4 drifters)
    int32_t kind;   // 0 nothing, 1..3 obstacles, 4 hit, 5 exploded, 6 energy, 7 time
    int32_t alive;  // 1 in play, 0 ended, -1 no longer counted (level-2 wave start)
};

// One shot of the level-2 pool.
struct Shot {
    int32_t x;
    int32_t y;
    int32_t dy;    // -5 player shot, +7 enemy shot
    int32_t kind;  // 0 free, 1 player, 2 enemy
};

// One level-2 enemy or level-3 debris piece.
struct Enemy {
    int32_t x;
    int32_t y;
    int32_t dy;
    int32_t dx;
    int32_t state;  // 0 gone, 1 alive, negative counting down an explosion or pick-up
    int32_t hits;   // hits still needed
};

// A stream handle of the sound layer; 0 is none (also the empty handle of a
// file that could not be opened).
using StreamHandle = int32_t;

struct GameState {
    // Options and flow.
    int8_t controls_mouse = 0;  // 0 keyboard, nonzero mouse
    int8_t music_on = 1;        // 1 sound used, else silent
    int8_t level = 1;           // current level 1..5
    int8_t request = 0;         // 0 none, 1 restart at level 1, 2 leave to the menu
    int8_t level_done = 0;      // 1 = current level won

    // Player and score.
    int16_t energy = 240;  // wraps as signed 16-bit
    int16_t score = 0;     // wraps as signed 16-bit
    int8_t rockets = 0;    // level 4: rockets still to launch

    // Sprites and motion.
    int32_t player_x = 0, player_y = 0;  // ball / ship / rocket / crosshair
    int32_t craft_x = 0, craft_y = 0;    // left plane / fighter / pad / slide-in
    int32_t craft2_x = 0, craft2_y = 0;  // level 1: right plane
    int32_t vel_x = 0, vel_y = 0;        // ball step; ship travel; rocket fall
    int32_t aim_dx = 0, aim_dy = 0;      // level 3: where the ship points
    double heading = 0.0;                // level 3 degrees 0..360; level 4 fuel
    double thrust = 0.0;                 // ship speed; engine push; crosshair charge
    double ship_accel = 0.0;             // level 3: speed added per frame of thrust
    const Image* ship_frame = nullptr;   // level 3: picture for the current heading
    std::vector<Image> ship_pictures;    // level 3: the 16 rotated ship pictures, read once
    int32_t thrusting = 0;               // level 4: engine firing

    // Falling objects and waves.
    int8_t object_count = 5;   // a wave is object_count + 1 objects
    int8_t last_spawned = -1;  // index of the object spawned last, -1 none
    int8_t fall_speed = 3;     // speed scale of new objects; level 5 phase count
    int8_t alive_count = 0;    // live objects, counted by wave_allows_spawn
    double dice = 0.0;         // last whole-number roll
    uint8_t rocks_left = 200;  // level 3: pieces still to collect (unsigned)
    int8_t rock_count = 1;     // level 3: highest debris index of the wave
    int8_t wave_no = 0;        // level 2: waves built so far
    int8_t wave_step = 0;      // level 2: wave being played, 6 = all done

    // Clock, display and input.
    double level_time = 0.0;  // L1 seconds left; L4 next tick due; L5 phase seconds left
    int32_t tick_mark = 0;    // whole seconds when the countdown last moved
    double event_time = 0.0;  // level 5: next 0.1 s tick due
    int32_t fps = 0;          // frames per second last shown
    int32_t mouse_x = 0, mouse_y = 0, mouse_buttons = 0;
    int32_t bg_scroll = 0, bg_scroll2 = 0;
    int32_t bg_tile_x = 0, bg_tile_y = 0, bg_tile_x2 = 0;
    int16_t bg_mode = 0;
    int16_t last_shot = 0;    // index of the newest shot, 0 = pool empty
    double fire_time = 0.0;   // clock time of the player's last shot

    // Image slots, filled by the level set-ups.
    Image img_player, img_craft, img_craft2, img_backg, img_backg2, img_enemy, img_rock,
        img_rock2, img_boom, img_lives, img_bonus, img_load, img_load2;

    // Entity arrays, sized (and cleared) by the level set-ups.
    std::vector<FallingObject> objects;
    std::vector<int16_t> split_requests;  // [0] bonus wanted, [1] x, [2] y
    std::vector<int8_t> ball_history;     // [0] vel_x, [1] vel_y, [2] flat-rally count
    std::vector<Shot> shots;
    std::vector<Enemy> enemies;

    // Sound streams.
    StreamHandle stream_music = 0;
    StreamHandle stream_fx = 0;
    StreamHandle stream_fx2 = 0;
};

extern GameState g;

// Sizes an entity array to indices 0..last, all records zero.
template <typename T>
void size_array(std::vector<T>& array, int last) {
    array.assign(static_cast<size_t>(last < 0 ? 0 : last) + 1, T{});
}

// Loads a picture into a slot afresh (the slot is emptied first).
void load_slot(Image& slot, const char* path);

}  // namespace valmoren
