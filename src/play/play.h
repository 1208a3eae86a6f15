// play.h -- what the levels share: collisions, background, controls and
// player sprites, the ball, falling objects, status display, overlays and
// questions. Per-frame routines over the game state `g`.
#pragma once

#include <cmath>
#include <cstdint>

#include "platform/screen.h"

namespace valmoren {

// Collision tests.
bool boxes_overlap(int32_t x1, int32_t y1, int32_t w1, int32_t h1, int32_t x2, int32_t y2,
                   int32_t w2, int32_t h2);
bool sprites_overlap(const Image& a, int32_t xa, int32_t ya, int32_t wa, int32_t ha,
                     const Image& b, int32_t xb, int32_t yb, int32_t wb, int32_t hb);

// Background: the two-layer star field.
enum BackgroundStyle : int8_t {
    BACKGROUND_STILL = 0,  // a still grid (after the victory)
    BACKGROUND_DOWN = 2,   // scrolling down (levels 1, 2)
    BACKGROUND_RIGHT = 3,  // scrolling right (levels 3 to 5)
};
void draw_background(int8_t style);

// Player controls and sprites.
void read_controls();
void draw_player_sprites();

// Ball and paddles (level 1; keeps the plane in bounds in level 2).
void update_ball();
// A speed halved to the nearest whole number, halves to the even one (the
// ball slowed by an obstacle or by its speed limit).
inline int32_t halved(int32_t v) { return static_cast<int32_t>(std::nearbyint(v / 2.0)); }

// Falling objects.
void spawn_object();
bool wave_allows_spawn();
void update_objects();

// Status display.
void draw_energy_bar();
void draw_hud();

// The 3-second overlays over a running level.
enum Overlay : int {
    OVERLAY_GET_READY = 0,   // before play, with the controls help
    OVERLAY_LEVEL_DONE = 1,  // the level (or a level-2 wave) is won
    OVERLAY_GAME_OVER = 2,   // then "Game reset?!" is asked
};
// The device the controls help shows.
enum HelpDevice : int16_t {
    HELP_MOUSE = 1,
    HELP_KEYBOARD = 2,
};
// The yes/no questions.
enum Question : int {
    QUESTION_GAME_RESET = 1,  // "Game reset?!": Y restarts, N leaves to the menu
    QUESTION_EXIT = 2,        // "Exit?!": Y leaves to the menu, N plays on
};
void show_overlay(int k);
void draw_controls_help(int16_t x, int16_t y, int16_t device, double phase);
void ask_question(int q);

}  // namespace valmoren
