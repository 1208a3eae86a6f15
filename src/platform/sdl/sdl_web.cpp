// sdl_web.cpp -- the sdl backend's turns for the browser (built with
// emscripten only): the game's blocking waits hand the browser its turn
// through ASYNCIFY, files the player keeps live in a folder stored in the
// browser, and the end of the program is reported to the page.
#include "platform/sdl/sdl_web.h"

#include <SDL.h>
#include <emscripten.h>

#include <algorithm>
#include <cmath>

#include "platform/backend.h"
#include "platform/files.h"

// The browser side, in sdl_web.js. The first three and the data wait
// suspend the program until the browser calls back.
extern "C" {
void valmoren_web_nap(double ms);
int valmoren_web_fine_naps();
void valmoren_web_quick_turn();
int valmoren_web_data_wait(const char* path);
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

// A nap on a browser timer ends late by a varying amount (a fraction of a
// millisecond on an idle machine, more when the processor is slow or busy),
// so it is set to end this long before the end of the wait, and the rest is
// spun: the 90th percentile of how late the last naps woke, a little more,
// within these bounds.
constexpr double LEAST_MARGIN = 0.0002;
constexpr double MOST_MARGIN = 0.004;
constexpr double MARGIN_SPARE = 0.0001;
constexpr int NAPS_KEPT = 32;
// The shortest nap worth the suspension; whole milliseconds where the
// browser's timers count only those.
constexpr double SHORTEST_FINE_NAP = 0.0005;
constexpr double SHORTEST_COARSE_NAP = 0.001;
// A loop that only watches the clock hands over a turn at least this often:
// more than once a frame, and well before the end of a frame that began with
// one (a turn may take a few milliseconds when the browser paints in it).
constexpr double TURN_EVERY = 0.012;

struct Naps {
    double lateness[NAPS_KEPT] = {};
    int next = 0;
    int count = 0;
    double margin = 0.0015;
    bool fine = false;  // the browser's timers keep fractions of a millisecond
};
Naps naps;

double last_turn = 0.0;
bool flush_due = false;   // a kept file changed since the last flush

double seconds_now() { return emscripten_get_now() / 1000.0; }

// A nap that should have ended at `asked` ended at `woke`: the margin
// follows how late the recent naps were.
void learn_lateness(double asked, double woke) {
    naps.lateness[naps.next] = woke - asked;
    naps.next = (naps.next + 1) % NAPS_KEPT;
    naps.count = std::min(naps.count + 1, NAPS_KEPT);
    double recent[NAPS_KEPT];
    std::copy(naps.lateness, naps.lateness + naps.count, recent);
    double* at = recent + naps.count * 9 / 10;
    std::nth_element(recent, at, recent + naps.count);
    naps.margin = std::clamp(*at + MARGIN_SPARE, LEAST_MARGIN, MOST_MARGIN);
}

// Everything that happens at the start of a turn.
void before_turn() {
    if (flush_due) {
        flush_due = false;
        valmoren_web_flush_files();
    }
}

// One short turn of the browser's event loop: pages reach the screen, input
// and sound are served.
void quick_turn() {
    before_turn();
    valmoren_web_quick_turn();
    last_turn = seconds_now();
}

}  // namespace

void web_start_up() {
    // SDL would hand the browser a turn of its own after every page it
    // shows; the backend's waits do that, on the game's beat.
    SDL_SetHint(SDL_HINT_EMSCRIPTEN_ASYNCIFY, "0");
    valmoren_web_mount_files(SAVE_FOLDER);
    set_data_folder(DATA_FOLDER);
    naps.fine = valmoren_web_fine_naps() != 0;
    last_turn = seconds_now();
}

double web_clock() { return seconds_now(); }

void web_turn_if_due(double now) {
    if (now - last_turn >= TURN_EVERY || now < last_turn) quick_turn();
}

void web_sleep_until(double until, double (*clock)()) {
    backend_pump_events();
    const double now = clock();
    const double nap = until - naps.margin - now;
    if (nap < (naps.fine ? SHORTEST_FINE_NAP : SHORTEST_COARSE_NAP)) {
        // Too short to nap: the caller spins, and the browser gets its turn
        // only when one is due.
        if (until > now) web_turn_if_due(now);
        return;
    }
    // Whole milliseconds where the timers count no finer.
    const double ms = naps.fine ? nap * 1000.0 : static_cast<double>(static_cast<unsigned>(nap * 1000.0));
    before_turn();
    valmoren_web_nap(ms);
    const double woke = seconds_now();
    last_turn = woke;
    learn_lateness(now + ms / 1000.0, woke);
    backend_pump_events();
}

void web_rest(double secs) {
    backend_pump_events();
    const double ms = std::max(naps.fine ? secs * 1000.0 : std::ceil(secs * 1000.0), SHORTEST_FINE_NAP * 1000.0);
    before_turn();
    valmoren_web_nap(ms);
    last_turn = seconds_now();
    backend_pump_events();
}

void web_clock_read(double now) { web_turn_if_due(now); }

void web_wait_for_data(const std::string& path) {
    before_turn();
    if (valmoren_web_data_wait(path.c_str()) != 0) last_turn = seconds_now();
}

void web_file_written() { flush_due = true; }

void web_save_canvas(const char* name) { valmoren_web_save_canvas(name); }

void web_end_program(int status) {
    before_turn();
    emscripten_force_exit(status);
}

}  // namespace valmoren
