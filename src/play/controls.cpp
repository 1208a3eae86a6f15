// controls.cpp -- the player's keyboard and mouse per level, the pause and the
// exit key, and the player's own sprites. Writes craft_x, craft_y, craft2_y,
// heading, thrust, thrusting, player_x, player_y, level_time, dice, mouse_*.
#include <cmath>

#include "levels/levels.h"
#include "platform/input.h"
#include "play/play.h"
#include "state/game_state.h"

namespace valmoren {

namespace {

void read_mouse() {
    int32_t wheel = 0;
    get_mouse(g.mouse_x, g.mouse_y, wheel, g.mouse_buttons);
}

// P: the frame drawn so far is shown with "Press SPACE!" and everything stops
// until Space is down. In level 1 each whole second spent here is given back
// to the countdown, so the remaining time is the same afterwards.
void pause_game() {
    locate(28, 35);
    print_text("Press SPACE!", END_LINE);
    show_frame();
    int32_t t0 = whole_seconds();
    while (!key_down(KEY_SPACE)) {
        if (g.level == 1) {
            const int32_t now = whole_seconds();
            if (now > t0) {
                g.level_time += 1.0;
                t0 = now;
            }
        }
        rest_between_polls();
    }
}

// Level 2: the plane fires one shot, and every second shot on average offers
// a new falling object.
void fire_from_plane() {
    fire_shot(g.craft_x, g.craft_y, SHOT_PLAYER);
    g.dice = roll(4) + 1;
    const bool dice_ok = g.dice == 4 || g.dice == 2;
    const bool room = g.last_spawned < 5;
    const bool wave_ok = wave_allows_spawn();
    if (dice_ok && room && wave_ok) spawn_object();
}

void controls_level1() {
    if (g.controls_mouse == 0) {
        if (key_down(KEY_UP)) {
            g.craft2_y += 4;
            g.craft_y -= 4;
        }
        if (key_down(KEY_DOWN)) {
            g.craft2_y -= 4;
            g.craft_y += 4;
        }
    } else {
        read_mouse();
        g.craft_y = g.mouse_y;
        g.craft2_y = 480 - g.mouse_y;
    }
}

void controls_level2() {
    if (g.controls_mouse == 0) {
        if (key_down(KEY_LEFT)) g.craft_x -= 6;
        if (key_down(KEY_RIGHT)) g.craft_x += 6;
        const bool allowed = fire_allowed(KEY_SPACE);
        const bool free_shot = shots_available();
        if (allowed && free_shot) fire_from_plane();
    } else {
        read_mouse();
        const bool left_alone = g.mouse_buttons == MOUSE_LEFT;
        const bool allowed = fire_allowed(FIRE_BY_MOUSE);
        const bool free_shot = shots_available();
        if (left_alone && allowed && free_shot) fire_from_plane();
        g.craft_x = g.mouse_x;
        if (g.craft_x > 610) g.craft_x = 610;
    }
}

void controls_level3() {
    if (g.controls_mouse == 0) {
        if (key_down(KEY_LEFT)) g.heading -= 10.0;
        if (key_down(KEY_RIGHT)) g.heading += 10.0;
    } else {
        read_mouse();
        if (g.mouse_buttons == MOUSE_LEFT) g.heading -= 10.0;
        if (g.mouse_buttons == MOUSE_RIGHT) g.heading += 10.0;
    }
}

// Level 4: `heading` is the engine's fuel gauge. When the gauge runs out
// during a press both steps run and the push is unchanged that frame.
void controls_level4() {
    if (key_down(KEY_SPACE) && g.heading > 0) {
        g.thrust += 0.2;
        g.thrusting = 1;
        g.heading -= 0.2;
    }
    if (!key_down(KEY_SPACE) || g.heading <= 0) {
        g.thrust -= 0.2;
        g.thrusting = 0;
    }
    if (g.controls_mouse == 0) {
        if (key_down(KEY_LEFT)) g.player_x -= 2;
        if (key_down(KEY_RIGHT)) g.player_x += 2;
    } else {
        read_mouse();
        if (g.mouse_buttons == MOUSE_LEFT) g.player_x -= 2;
        if (g.mouse_buttons == MOUSE_RIGHT) g.player_x += 2;
    }
}

// Level 5: the crosshair follows the mouse; the left button alone charges the
// shot, which hits only while the charge is above 0 and at most 5.
void controls_level5() {
    read_mouse();
    g.player_x = g.mouse_x;
    g.player_y = g.mouse_y;
    if (g.mouse_buttons == MOUSE_LEFT)
        g.thrust += 0.1;
    else
        g.thrust = 0.0;
    if (g.thrust > 6.0) g.thrust = 6.0;
}

}  // namespace

// Once per level frame, and once per pass of the overlays (not in level 2).
void read_controls() {
    if (key_down(KEY_ESC)) ask_question(QUESTION_EXIT);
    if (key_down(KEY_P)) pause_game();
    switch (g.level) {
        case 1: controls_level1(); break;
        case 2: controls_level2(); break;
        case 3: controls_level3(); break;
        case 4: controls_level4(); break;
        case 5: controls_level5(); break;
        default: break;
    }
}

// The player's pictures for the current level; in levels 4 and 5 this is also
// where the level clock runs, and in level 4 where the lander falls.
void draw_player_sprites() {
    switch (g.level) {
        case 1:
            put(g.player_x, g.player_y, g.img_player);
            put(g.craft2_x, g.craft2_y, g.img_craft2);
            put(g.craft_x, g.craft_y, g.img_craft);
            break;
        case 2:
            put(g.craft_x, g.craft_y, g.img_craft);
            break;
        case 4:
            put(g.craft_x, g.craft_y, g.img_craft);
            run_level_clock();
            put(g.player_x, g.player_y, g.thrusting == 0 ? g.img_player : g.img_craft2);
            g.player_y = static_cast<int32_t>(std::nearbyint(g.player_y + g.vel_y - g.thrust));
            break;
        case 5:
            put(g.player_x, g.player_y, g.img_player);
            run_level_clock();
            break;
        default:
            break;
    }
}

}  // namespace valmoren
