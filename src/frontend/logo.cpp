// logo.cpp -- the start-up logo: the logo fades in over white to its own music,
// then the screen turns black. Writes g.music_on and g.stream_music.
#include "audio/sound.h"
#include "frontend/frontend.h"
#include "platform/input.h"
#include "platform/screen.h"
#include "state/game_state.h"

namespace valmoren {

namespace {
constexpr uint32_t WHITE = 0xFFFFFF;
constexpr uint32_t BLACK = 0x000000;
constexpr int FADE_STEPS = 101;  // alpha levels 0..100, 50 ms each
}  // namespace

// Runs once after start-up. Draws straight onto the visible page while it
// fades, and leaves the game's usual set-up: work page 1 shown as page 0,
// white on black, screen black, music off and no music stream.
void logo_screen() {
    show_frame();
    set_pages(0, -1);
    set_colours(BLACK, WHITE);
    clear();

    Image logo;
    load_bmp("img/logo3.bmp", logo);

    // The logo music plays whatever the options say; this first open also
    // starts the sound library.
    g.music_on = 1;
    stream_open(g.stream_music, "sounds/mus_logo.ogg");
    stream_play(g.stream_music);

    // Each step blends onto the last one, so the logo comes out of the white
    // long before the final step. Keys do not shorten the fade.
    for (int level = 0; level < FADE_STEPS; ++level) {
        put(180, 140, logo, PUT_ALPHA, level);
        wait(50);
    }

    set_colours(WHITE, BLACK);
    set_pages(1, 0);
    clear();
    show_frame();
    wait(500);  // a key press ends the black pause early

    stream_stop(g.stream_music);
    g.music_on = 0;
}

}  // namespace valmoren
