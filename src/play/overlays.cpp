// overlays.cpp -- the 3-second level overlays (get ready, level done, game
// over), the animated controls help and the yes/no questions. Writes request,
// level_time (time given back in level 1), player_x, player_y (level done),
// craft_y, craft2_y (kept on screen), shots (cleared in level 2).

#include "frontend/frontend.h"
#include "levels/levels.h"
#include "platform/input.h"
#include "play/play.h"
#include "state/game_state.h"

namespace valmoren {

namespace {

struct OverlayPicture {
    const char* path;
    int x, y;
};

constexpr OverlayPicture OVERLAY_PICTURES[3] = {
    {"img/get_r.bmp", 250, 140},  // OVERLAY_GET_READY
    {"img/ok_d.bmp", 300, 140},   // OVERLAY_LEVEL_DONE
    {"img/g_o.bmp", 250, 140},    // OVERLAY_GAME_OVER
};

constexpr double OVERLAY_SECONDS = 3.0;

int32_t clamp_to(int32_t v, int32_t low, int32_t high) { return v < low ? low : v > high ? high : v; }

void level_background() { draw_background(g.level >= 3 ? BACKGROUND_RIGHT : BACKGROUND_DOWN); }

}  // namespace

// Shows overlay k over the running level for 3 seconds of the clock, while the
// player may still move, pause or ask to leave. Game over then asks whether to
// start again.
void show_overlay(int k) {
    const OverlayPicture& kind =
        OVERLAY_PICTURES[(k >= OVERLAY_GET_READY && k <= OVERLAY_GAME_OVER) ? k : OVERLAY_GET_READY];
    Image picture;
    load_bmp(kind.path, picture);
    const int16_t device = g.controls_mouse == 0 ? HELP_KEYBOARD : HELP_MOUSE;
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
        if (k == OVERLAY_LEVEL_DONE) {
            g.player_x = 320;
            g.player_y = 240;
        }
        if (g.level != 2) read_controls();
        draw_hud();
        draw_energy_bar();
        if (g.level != 4 && g.level != 5) draw_player_sprites();
        if (k == OVERLAY_GET_READY) draw_controls_help(320, 180, device, arrow_phase);
        wait_retrace();
        show_frame();
    }

    if (g.level == 2) {
        // No shot survives an overlay.
        clear_shots();
    }
    if (k == OVERLAY_GAME_OVER) ask_question(QUESTION_GAME_RESET);
}

// The help under the get-ready picture: the device (HelpDevice) and
// three arrow frames that follow the phase; exactly at 1.0 and 2.0 no arrows.
void draw_controls_help(int16_t x, int16_t y, int16_t device, double phase) {
    Image device_picture, arrows;
    load_bmp(device == HELP_MOUSE ? "img/mouse.bmp" : "img/key.bmp", device_picture);

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

// Asks question q until Y or N is down. Game reset: Y restarts the game, N
// leaves for the menu. Exit: Y leaves, N goes back to play.
void ask_question(int q) {
    Image picture;
    load_bmp("img/g_o.bmp", picture);
    int32_t t0 = whole_seconds();
    bool answered = false;
    while (!answered) {
        clear();
        locate(15, 35);
        print_text(q == QUESTION_GAME_RESET ? "Game reset?!" : "Exit?!", END_LINE);
        locate(17, 35);
        print_text("Yes(y)--No(n)", END_LINE);

        if (key_down(KEY_N)) {
            if (q == QUESTION_GAME_RESET) g.request = REQUEST_LEAVE;
            answered = true;
        } else if (key_down(KEY_Y)) {
            g.request = q == QUESTION_GAME_RESET ? REQUEST_RESTART : REQUEST_LEAVE;
            answered = true;
        }

        if (g.level == 5) read_options();
        if (q == QUESTION_GAME_RESET) put(250, 140, picture);
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
