// menu.cpp -- the main menu: four picture buttons, the ball cursor and the menu
// music. Writes g.music_on and g.controls_mouse (through read_options) and g.stream_music.
#include "audio/sound.h"
#include "frontend/frontend.h"
#include "platform/input.h"
#include "platform/screen.h"
#include "platform/system.h"
#include "state/game_state.h"

namespace valmoren {

namespace {

// Cursor values: the y of the selected button. The ball sits at x 250.
constexpr int BUTTON_START = 250;
constexpr int BUTTON_OPTIONS = 300;
constexpr int BUTTON_CREDITS = 350;
constexpr int BUTTON_EXIT = 400;
constexpr int BALL_X = 250;
constexpr int BUTTON_X = 270;

struct MenuPictures {
    Image backg, start, options, credits, exit, ball;
};

void load_menu_pictures(MenuPictures& p) {
    load_bmp("img/l2.bmp", p.backg);
    load_bmp("img/start.bmp", p.start);
    load_bmp("img/options.bmp", p.options);
    load_bmp("img/credits.bmp", p.credits);
    load_bmp("img/exit.bmp", p.exit);
    load_bmp("img/ball.bmp", p.ball);
}

// Draws the menu onto the (already cleared) work page and moves the cursor by
// the arrow keys held right now: Up wins over Down, the ball stays on the buttons.
void draw_menu(const MenuPictures& p, int& cursor) {
    load_bmp_to_page("img/l1.bmp");
    put(320, 0, p.backg, PUT_XOR);
    put(BUTTON_X, BUTTON_START, p.start, PUT_TRANSPARENT);
    put(BUTTON_X, BUTTON_OPTIONS, p.options, PUT_TRANSPARENT);
    put(BUTTON_X, BUTTON_CREDITS, p.credits, PUT_TRANSPARENT);
    put(BUTTON_X, BUTTON_EXIT, p.exit, PUT_TRANSPARENT);

    if (key_down(KEY_UP)) {
        cursor -= 50;
    } else if (key_down(KEY_DOWN)) {
        cursor += 50;
    }
    if (cursor > BUTTON_EXIT) {
        cursor = BUTTON_EXIT;
    } else if (cursor < BUTTON_START) {
        cursor = BUTTON_START;
    }
    put(BALL_X, cursor + 5, p.ball, PUT_TRANSPARENT);
}

// Back from the options or credits screen: fresh pictures, the ball on Start,
// one whole frame shown (Enter is not looked at in it).
void back_from_sub_screen(MenuPictures& p, int& cursor) {
    clear();
    p = MenuPictures{};
    load_menu_pictures(p);
    cursor = BUTTON_START;
    draw_menu(p, cursor);
    show_frame();
}

}  // namespace

// Runs after the logo and after every game left for the menu. Returns when the
// player chooses Start; Exit ends the program with status 0.
void main_menu() {
    read_options();
    if (g.music_on == 1) {
        stream_open(g.stream_music, "sounds/mus_menu.ogg");
        stream_play(g.stream_music);
    }
    MenuPictures pictures;
    load_menu_pictures(pictures);
    int cursor = BUTTON_START;

    // One frame per key press: draw, show, wait for the next key.
    for (;;) {
        clear();
        draw_menu(pictures, cursor);
        if (key_down(KEY_ENTER)) {
            switch (cursor) {
                case BUTTON_START:
                    stream_stop(g.stream_music);
                    return;
                case BUTTON_OPTIONS:
                    options_screen();
                    back_from_sub_screen(pictures, cursor);
                    break;
                case BUTTON_CREDITS:
                    credits_screen();
                    back_from_sub_screen(pictures, cursor);
                    break;
                case BUTTON_EXIT:
                    stream_stop(g.stream_music);
                    end_program(0);
                default: break;
            }
        }
        wait_retrace();
        show_frame();
        wait(-1);
    }
}

}  // namespace valmoren
