// overlays.cpp -- the 3-second level overlays (get ready, level done, game
// over), the animated controls help and the yes/no questions. Writes request,
// level_time (time given back in level 1), player_x, player_y (level done),
// craft_y, craft2_y (kept on screen), shots (cleared in level 2).
#include <cmath>

#include "flow/game_state.h"
#include "frontend/frontend.h"
#include "platform/input.h"
#include "play/play.h"

namespace valmoren {

namespace {

struct OverlayPicture {
    const char* path;
    int x, y;
};

constexpr OverlayPicture OVERLAY_PICTURES[3] = {
    {"img/get_r.bmp", 250, 140},  // get ready
    {"img/ok_d.bmp", 300, 140},   // level done
    {"img/g_o.bmp", 250, 140},    // game over
};

constexpr double OVERLAY_SECONDS = 3.0;

int32_t whole_seconds() { return static_cast<int32_t>(std::nearbyint(seconds())); }

int32_t clamp_to(int32_t v, int32_t low, int32_t high) { return v < low ? low : v > high ? high : v; }

void level_background() { draw_background(g.level >= 3 ? 3 : 2); }

}  // namespace

// Shows overlay k over the running level for 3 seconds of the clock, while the
// player may still move, pause or ask to leave. Game over then asks whether to
// start again.
void show_overlay(int k) {
    const OverlayPicture& kind = OVERLAY_PICTURES[(k >= 0 && k <= 2) ? k : 0];
    Image picture;
    load_bmp(kind.path, picture);
    const int16_t device = g.controls_mouse == 0 ? 2 : 1;
    float arrow_phase = 0.0f;

    const double t0 = seconds();
    while (seconds() <= t0 + OVERLAY_SECONDS) {
        if (g.craft_y < 0) g.craft_y = 0;
        if (g.level != 2 && g.level != 4 && g.craft_y > 400) g.craft_y = 400;
        g.craft2_y = clamp_to(g.craft2_y, 0, 400);

        arrow_phase += 0.1f;
        if (arrow_phase > 3.0f) arrow_phase = -1.0f;

        clear();
        level_background();
        if (g.level == 5) put(0, 392, g.img_craft);
        put(kind.x, kind.y, picture);
        if (k == 1) {
            g.player_x = 320;
            g.player_y = 240;
        }
        if (g.level != 2) read_controls();
        draw_hud();
        draw_energy_bar();
        if (g.level != 4 && g.level != 5) draw_player_sprites();
        if (k == 0) draw_controls_help(320, 180, device, arrow_phase);
        wait_retrace();
        show_frame();
    }

    if (g.level == 2) {
        // No shot survives an overlay.
        for (size_t i = 0; i <= 200 && i < g.shots.size(); ++i) g.shots[i].kind = 0;
    }
    if (k == 2) ask_question(1);
}

// The help under the get-ready picture: the device (1 mouse, 2 keyboard) and
// three arrow frames that follow the phase; exactly at 1.0 and 2.0 no arrows.
void draw_controls_help(int16_t x, int16_t y, int16_t device, double phase) {
    Image device_picture, arrows;
    load_bmp(device == 1 ? "img/mouse.bmp" : "img/key.bmp", device_picture);

    const bool level1 = g.level == 1;
    const char* arrow_path = nullptr;
    if (phase < 1.0)
        arrow_path = level1 ? "img/strelki.bmp" : "img/strelki(2).bmp";
    else if (phase > 1.0 && phase < 2.0)
        arrow_path = level1 ? "img/strelki_2.bmp" : "img/strelki_2(2).bmp";
    else if (phase > 2.0)
        arrow_path = level1 ? "img/strelki_3.bmp" : "img/strelki_3(2).bmp";
    if (arrow_path != nullptr) load_bmp(arrow_path, arrows);

    put(x, y, arrows);
    put(x + 25, y + 10, device_picture);
}

// Asks q (1 "Game reset?!", 2 "Exit?!") until Y or N is down. Game reset: Y
// restarts the game (request 1), N leaves for the menu (request 2). Exit: Y
// leaves (request 2), N goes back to play.
void ask_question(int q) {
    Image picture;
    load_bmp("img/g_o.bmp", picture);
    int32_t t0 = whole_seconds();
    bool answered = false;
    while (!answered) {
        clear();
        locate(15, 35);
        print_text(q == 1 ? "Game reset?!" : "Exit?!", END_LINE);
        locate(17, 35);
        print_text("Yes(y)--No(n)", END_LINE);

        if (key_down(KEY_N)) {
            if (q == 1) g.request = 2;
            answered = true;
        } else if (key_down(KEY_Y)) {
            g.request = q == 1 ? 1 : 2;
            answered = true;
        }

        if (g.level == 5) read_options();
        if (q == 1) put(250, 140, picture);
        level_background();
        if (g.level == 1) {
            // The countdown does not lose the time spent answering.
            const int32_t now = whole_seconds();
            if (now > t0) {
                g.level_time += 1.0;
                t0 = now;
            }
        }
        wait_retrace();
        show_frame();
    }
}

}  // namespace valmoren
