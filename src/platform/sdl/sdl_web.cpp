// sdl_web.cpp -- the sdl backend's turns for the browser (built with
// emscripten only): the game's blocking waits hand the browser its turn
// through ASYNCIFY, files the player keeps live in a folder stored in the
// browser, and the end of the program is reported to the page.
#include "platform/sdl/sdl_web.h"

#include <SDL.h>
#include <emscripten.h>

#include "platform/backend.h"
#include "platform/files.h"

// The browser side, in sdl_web.js. The first two suspend the program until
// the browser calls back.
extern "C" {
void valmoren_web_quick_turn();
void valmoren_web_mount_files(const char* folder);
void valmoren_web_flush_files();
void valmoren_web_save_canvas(const char* name);
}

namespace valmoren {

namespace {

// Where the player's files live (stored in the browser) and where the
// preloaded game data is.
constexpr const char* SAVE_FOLDER = "/save";
constexpr const char* DATA_FOLDER = "/data";

// A browser timer fires a fraction of a millisecond late, now and then more,
// so a timed nap stops this long before the end of the wait and the rest is
// spun. A turn of the event loop would not do for the rest: the browser may
// paint in it, for longer than is left.
constexpr double TIMER_MARGIN = 0.0015;
// Browser timers count whole milliseconds.
constexpr double SHORTEST_TIMER = 0.001;
// A loop that only watches the clock hands over a turn at least this often:
// more than once a frame, and well before the end of a frame that began with
// one (a turn may take a few milliseconds when the browser paints in it).
constexpr double TURN_EVERY = 0.012;

double last_turn = 0.0;
bool turn_due = false;    // a page went up: the browser should composite it
bool flush_due = false;   // a kept file changed since the last flush

double seconds_now() { return emscripten_get_now() / 1000.0; }

// Everything that happens at the start of a turn.
void before_turn() {
    if (flush_due) {
        flush_due = false;
        valmoren_web_flush_files();
    }
    turn_due = false;
}

}  // namespace

void web_start_up() {
    // SDL would hand the browser a turn of its own after every page it
    // shows; the backend's waits do that, on the game's beat.
    SDL_SetHint(SDL_HINT_EMSCRIPTEN_ASYNCIFY, "0");
    SDL_SetHint(SDL_HINT_RENDER_DRIVER, "software");
    valmoren_web_mount_files(SAVE_FOLDER);
    set_data_folder(DATA_FOLDER);
    last_turn = seconds_now();
}

void web_turn() {
    before_turn();
    valmoren_web_quick_turn();
    last_turn = seconds_now();
}

void web_sleep_until(double until, double (*clock)()) {
    bool turned = false;
    for (;;) {
        backend_pump_events();
        const double left = until - clock();
        if (left <= 0) return;
        if (left >= TIMER_MARGIN + SHORTEST_TIMER) {
            before_turn();
            emscripten_sleep(static_cast<unsigned>((left - TIMER_MARGIN) * 1000.0));
            last_turn = seconds_now();
            turned = true;
        } else if (!turned) {
            web_turn();
            turned = true;
        }
    }
}

void web_clock_read() {
    const double now = seconds_now();
    if (turn_due || now - last_turn >= TURN_EVERY || now < last_turn) web_turn();
}

void web_page_shown() { turn_due = true; }

void web_file_written() { flush_due = true; }

void web_save_canvas(const char* name) { valmoren_web_save_canvas(name); }

void web_end_program(int status) {
    before_turn();
    emscripten_force_exit(status);
}

}  // namespace valmoren
