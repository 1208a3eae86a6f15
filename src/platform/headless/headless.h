// headless.h -- the test and benchmark backend: no window, a virtual clock,
// scripted input, the visible page for pixel checks and picture dumps, a
// pull-driven sound device, and the program's end caught as ProgramEnd.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "platform/backend.h"

namespace valmoren {

// Puts the whole platform back to its program-start state: clock at 0, no keys,
// mouse at (0, 0) inside the window, pages black, default colours, cursor at
// (1, 1), pacing record fresh, no player, sound device closed and allowed to open.
void headless_reset();

// The scripted player: called before every shown frame (show_frame) and before
// every look at the key-press flag in a key wait. It may press keys, move the
// mouse and read `g`. An empty function removes it.
using Player = std::function<void()>;
void headless_set_player(Player player);

// Keyboard and mouse, as a player would use them.
void headless_press(int scancode);    // key goes down (sets the key-press flag)
void headless_release(int scancode);  // key goes up
void headless_tap(int scancode);      // down and up again: only the key-press flag stays
void headless_set_mouse(int32_t x, int32_t y, int32_t buttons);
void headless_mouse_outside();        // pointer leaves the window's picture
// Whether the player holds the key (not a read of the game's: a recording
// of the game does not count it).
bool headless_key_held(int scancode);

// Virtual clock. Each seconds() call advances it by a small step so busy waits
// end; sleeps jump it; wait_retrace jumps to the next 1/60 s.
double headless_time();
// The moment up to which the game last asked to rest before polling the clock
// (a window would sleep until shortly before it); -1 when it has not asked.
double headless_last_rest();
void headless_advance(double secs);
constexpr double HEADLESS_CLOCK_STEP = 20e-6;

// What the program asked of the window: full screen, caption, pointer shown.
int headless_full_screen();
const std::string& headless_caption();
int headless_mouse_visible();

// Frames shown so far (show_frame calls) and the visible page.
long headless_frames_shown();
// Pages handed to the window as the end of a level frame held by frame_limit
// (a window may show those on its next retrace rather than at once).
long headless_paced_presents();
const uint32_t* headless_visible_page();
uint32_t headless_pixel(int x, int y);  // of the visible page
bool headless_save_bmp(const std::string& path);
bool headless_save_png(const std::string& path);

// Sound device: when `fail` is set the next open reports failure. Mixed
// output of the device is available as it is pulled while virtual time passes.
void headless_audio_set_fail(bool fail);
bool headless_audio_is_open();
// Pulls `frames` stereo frames from the device now and returns them.
std::vector<int16_t> headless_audio_pull(int frames);
// Everything the device pulled as virtual time passed (interleaved stereo), and
// whether to keep it (off by default to save memory).
void headless_audio_record(bool on);
const std::vector<int16_t>& headless_audio_recorded();

// How often the platform reported a written file the player keeps
// (backend_file_written) since the last reset.
long headless_files_written();

// Runs `body` (for example game_main) and gives the exit status it ended with,
// or -1 when it returned without ending the program.
int headless_run_program(const std::function<void()>& body);

// True while the program waits for a key press (wait(-1) or a wait over
// 99 ms): a scripted player can tell a key wait from a shown frame.
bool headless_waiting_for_key();

// Working folder helpers for tests: a fresh empty folder under the system's
// temporary folder, made the working folder; returns its path.
std::string headless_enter_temp_folder(const std::string& name);

}  // namespace valmoren
