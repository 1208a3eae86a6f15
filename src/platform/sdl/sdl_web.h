// sdl_web.h -- what the sdl backend asks of the browser when it is built with
// emscripten (sdl_web.cpp and sdl_web.js). The game's loops stay the blocking
// loops they are on the desktop; these hand the browser its turns.
#pragma once

#include <cstdint>
#include <string>

namespace valmoren {

// Before the game reads any file: the player's folder is restored from the
// browser's lasting storage and made the working folder, and the preloaded
// game data is made the data folder.
void web_start_up();
// Most of a wait until `clock` reads `until`, pumping window events: the
// browser has the time on a timer up to a margin before the end, which
// follows how late the recent naps woke; the caller spins the rest. A wait
// too short for a nap gives the browser a turn only when one is due.
void web_sleep_until(double until, double (*clock)());
// A rest of `secs` on a timer, with nothing spun after it (a loop that waits
// for a key between looks).
void web_rest(double secs);
// A short turn of the browser's event loop (pages reach the screen, input
// and sound are served) when none has been had for most of a frame before
// `now`: a loop that only watches the clock, or frames that leave no time to
// nap, still let the browser show their pages and serve input and sound.
void web_turn_if_due(double now);
// The clock in seconds (the browser's own, read directly).
double web_clock();
// The clock was read (it said `now`): a turn when one is due.
void web_clock_read(double now);
// Puts the page on the canvas (sdl_web_page.cpp): what changed since the
// last, or all of it when `whole` (the canvas was cleared).
void web_show_page(const uint32_t* page, bool whole);
// The game is about to read `path` from the data folder: when the page is
// still fetching the pack that holds it, the program waits until it has
// arrived (or failed, and then the page says so and ends the game).
void web_wait_for_data(const std::string& path);
// A file the player keeps has been written: the working folder goes to
// lasting storage at the next turn.
void web_file_written();
// F12: the canvas, as the player sees it, offered as a PNG download named
// `name`.
void web_save_canvas(const char* name);
// Each look at the events: the presses and releases of the page's on-screen
// pad reach SDL's virtual joystick (sdl_web_pad.cpp).
void web_pad_look();
// Ends the program for the page: files flushed, the page told the status.
[[noreturn]] void web_end_program(int status);

}  // namespace valmoren
