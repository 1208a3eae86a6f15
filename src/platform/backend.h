// backend.h -- what the portable platform core asks of the backend linked
// with it: the sdl backend for the game, the headless backend for tests.
// Exactly one backend is linked into each program; there is no run-time switch.
#pragma once

#include <cstdint>
#include <string>

#include "platform/system.h"

namespace valmoren {

void backend_init();
void backend_open_screen(int full_screen);
void backend_set_caption(const std::string& text);
// Shows the 640x480 visible page (called by show_frame and by drawing onto the
// visible page, throttled by the core); the backend reads the page itself
// when it puts it on the screen. `paced_frame`: the page ends a frame held to
// 1/60 s by frame_limit; it may then reach the screen at the next wait, so
// that the time showing it takes does not lengthen the frame.
void backend_present(bool paced_frame);
// Delivers window events (keys, mouse, close) to the core.
void backend_pump_events();
// Before a key or mouse read: the same, but a backend may skip it when it
// delivered events less than a millisecond ago (a frame reads several keys;
// a person cannot press and let go within one millisecond).
void backend_refresh_input();
double backend_seconds();
void backend_sleep_ms(int ms);
// A loop that watches the clock is about to poll it until `moment`: the
// window backend sleeps until a fraction of a millisecond before (the loop's
// own polls then end the wait on time); the headless backend does nothing, so
// its virtual clock runs exactly as under the polls alone.
void backend_rest_until(double moment);
// A loop that waits for the player's keys rests about `secs` between looks
// (the window backend sleeps; the headless backend does nothing).
void backend_rest(double secs);
void backend_wait_retrace();
// Pointer in 640x480 page coordinates; false when outside the picture.
bool backend_mouse(int32_t& x, int32_t& y, int32_t& wheel, int32_t& buttons);
void backend_set_mouse(int x, int y, int visible);

// Called by the headless backend before each shown frame and each key wait,
// and by the sdl backend never: lets a test's scripted player act.
void backend_before_frame();
void backend_before_key_wait();

// Sound output (system.h): 44100 Hz, 16-bit stereo.
bool backend_audio_open(AudioPull pull);
void backend_audio_close();
// Why the last thing asked of the backend failed, in the backend's own words.
std::string backend_error();

// A problem that ends the program, in one line for standard error (a folder
// that cannot be made, no window, no sound device). A windowed program on
// Windows has no terminal: the window backend shows the line in a message
// box as well.
void backend_report_problem(const std::string& line);

// A file the player keeps (settings, score log) has been written and closed.
// The browser build copies the working folder to lasting storage soon after;
// on the desktop the file is already where it stays.
void backend_file_written();

// The game is about to read `path` (a name relative to the data folder) from
// the data folder. The browser build, whose data arrives while the game
// runs, waits here until that file has come; elsewhere it is there already.
void backend_data_file_wanted(const std::string& path);

// Ends the program with the status. The sdl backend exits the process; the
// headless backend throws ProgramEnd so a test can run the whole game.
[[noreturn]] void backend_end_program(int status);

struct ProgramEnd {
    int status;
};

}  // namespace valmoren
