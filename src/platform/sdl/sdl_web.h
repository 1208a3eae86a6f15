// sdl_web.h -- what the sdl backend asks of the browser when it is built with
// emscripten (sdl_web.cpp and sdl_web.js). The game's loops stay the blocking
// loops they are on the desktop; these hand the browser its turns.
#pragma once

namespace valmoren {

// Before the game reads any file: the player's folder is restored from the
// browser's lasting storage and made the working folder, and the preloaded
// game data is made the data folder.
void web_start_up();
// Waits until `clock` reads `until`, pumping window events: the browser has
// the time up to the last moment on a timer, or one short turn when the wait
// is too short for a timer; the last fraction is spun, so the wait ends on time.
void web_sleep_until(double until, double (*clock)());
// One short turn of the browser's event loop: pages reach the screen, input
// and sound are served.
void web_turn();
// The clock was read: a loop that only watches the clock hands the browser a
// turn at least once a frame, and right after a page went up.
void web_clock_read();
// A page has gone up: the browser composites it at the next turn.
void web_page_shown();
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
