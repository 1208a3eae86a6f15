// play.h -- what the levels share: collisions, background, controls and
// player sprites, the ball, falling objects, status display, overlays and
// questions. Per-frame routines over the game state `g`.
#pragma once

#include <cstdint>

#include "platform/screen.h"

namespace valmoren {

// Collision tests.
bool boxes_overlap(int32_t x1, int32_t y1, int32_t w1, int32_t h1, int32_t x2, int32_t y2,
                   int32_t w2, int32_t h2);
bool sprites_overlap(const Image& a, int32_t xa, int32_t ya, int32_t wa, int32_t ha,
                     const Image& b, int32_t xb, int32_t yb, int32_t wb, int32_t hb);

// Background: the scrolling two-layer star field.
void draw_background(int8_t style);

// Player controls and sprites.
void read_controls();
void draw_player_sprites();

// Ball and paddles (level 1; keeps the plane in bounds in level 2).
void update_ball();

// Falling objects.
void spawn_object();
bool wave_allows_spawn();
void update_objects();

// Status display.
void draw_energy_bar();
void draw_hud();

// Overlays (0 get ready, 1 level done, 2 game over), help and questions
// (1 "Game reset?!", 2 "Exit?!").
void show_overlay(int k);
void draw_controls_help(int16_t x, int16_t y, int16_t device, double phase);
void ask_question(int q);

}  // namespace valmoren
