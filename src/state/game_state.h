// game_state.h -- the one record of game-wide variables, read and written in
// place by every routine, with its entity records and the names of the codes
// they hold. Field widths are behaviour: 8- and 16-bit fields wrap; the codes
// are stored in those same integers, only their names are here.
#pragma once

#include <cstdint>
#include <vector>

#include "platform/screen.h"

namespace valmoren {

// What a falling object is (FallingObject::kind). The three obstacles are
// named by the picture slot they are drawn with, which each level fills with
// its own pictures.
enum ObjectKind : int32_t {
    OBJECT_NONE = 0,      // an empty record
    OBJECT_ENEMY = 1,     // obstacle in img_enemy: a ship (levels 1, 2), a rocket (level 5)
    OBJECT_ROCK = 2,      // obstacle in img_rock: a station (1), an asteroid (2-4), a probe (5)
    OBJECT_ROCK2 = 3,     // obstacle in img_rock2: the small asteroid
    OBJECT_HIT = 4,       // struck: its explosion is drawn in the next pass
    OBJECT_EXPLODED = 5,  // its explosion has been drawn: it ends in the next pass
    OBJECT_ENERGY = 6,    // energy bonus (img_lives)
    OBJECT_TIME = 7,      // time bonus (img_bonus)
};

// Whether a falling object still counts for its wave (FallingObject::alive).
enum ObjectLife : int32_t {
    OBJECT_UNCOUNTED = -1,  // left over from a wave a level-2 wave start ended
    OBJECT_ENDED = 0,       // gone from play
    OBJECT_IN_PLAY = 1,     // moving and counted
};

// One falling object, bonus, level-3 asteroid or level-4 drifter.
struct FallingObject {
    int32_t x;      // left edge, pixels
    int32_t y;      // top edge, pixels
    int32_t dy;     // vertical step per frame
    int32_t dx;     // horizontal step per frame (bonuses, level-4 drifters)
    int32_t kind;   // ObjectKind
    int32_t alive;  // ObjectLife
};

// Who fired a shot of the level-2 pool (Shot::kind).
enum ShotKind : int32_t {
    SHOT_FREE = 0,    // the record is unused
    SHOT_PLAYER = 1,  // from the plane's nose, going up
    SHOT_ENEMY = 2,   // from an enemy's belly, going down
};

// One shot of the level-2 pool.
struct Shot {
    int32_t x;
    int32_t y;
    int32_t dy;    // -5 player shot, +7 enemy shot
    int32_t kind;  // ShotKind
};

// The state of a level-2 enemy or a level-3 debris piece (Enemy::state).
// Below zero it counts the frames of its explosion (level 2) or of its
// pick-up picture (level 3) down from ENEMY_STRUCK; the score is paid when
// the count passes its end and the state becomes ENEMY_GONE.
enum EnemyState : int32_t {
    ENEMY_STRUCK = -1,  // destroyed or collected this frame: the count starts
    ENEMY_GONE = 0,     // not in play
    ENEMY_ALIVE = 1,    // flying (level 2) or waiting to be collected (level 3)
};

// One level-2 enemy or level-3 debris piece.
struct Enemy {
    int32_t x;
    int32_t y;
    int32_t dy;
    int32_t dx;
    int32_t state;  // EnemyState, or below zero counting down
    int32_t hits;   // hits still needed
};

// What the in-level questions ask the level runner to do (GameState::request).
enum Request : int8_t {
    REQUEST_NONE = 0,     // play on
    REQUEST_RESTART = 1,  // start the game again at the level-1 set-up
    REQUEST_LEAVE = 2,    // shut the sound down and go back to the main menu
};

// A stream handle of the sound layer; 0 is none (also the empty handle of a
// file that could not be opened).
using StreamHandle = int32_t;

struct GameState {
    // Options and flow.
    int8_t controls_mouse = 0;  // 0 keyboard, nonzero mouse
    int8_t music_on = 1;        // 1 sound used, else silent
    int8_t level = 1;           // current level 1..5
    int8_t request = REQUEST_NONE;  // Request: none, restart at level 1, leave to the menu
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
