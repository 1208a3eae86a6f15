// input.h -- keyboard table, mouse, seconds clock, waits, random numbers and
// frame pacing. The key table and key-press flag are fed by the backend.
#pragma once

#include <cstdint>

namespace valmoren {

// PC set-1 scancodes of the keys the game asks for.
enum Scancode : int {
    KEY_ESC = 1,
    KEY_Y = 21,
    KEY_P = 25,
    KEY_ENTER = 28,
    KEY_N = 49,
    KEY_SPACE = 57,
    KEY_UP = 72,
    KEY_LEFT = 75,
    KEY_RIGHT = 77,
    KEY_DOWN = 80,
};

constexpr int KEY_TABLE_SIZE = 128;

bool key_down(int scancode);

// Backend side of the keyboard: a key went down or up. A press also sets the
// key-press flag.
void key_event(int scancode, bool down);
// A gamepad holding a key through its mapping: the key is down while the
// keyboard or a pad holds it, so letting go of one leaves the other's hold.
void pad_key_event(int scancode, bool down);
// Lets go of every held key (the window lost the focus: nothing stays held).
// The key-press flag stays for the next wait that looks at it.
void release_all_keys();
// Looks at the key-press flag and clears it.
bool take_key_press();

// Mouse. get_mouse gives false and -1 everywhere when the pointer is outside
// the window's picture. The buttons are bits:
enum MouseButton : int32_t {
    MOUSE_LEFT = 1,
    MOUSE_RIGHT = 2,
    MOUSE_MIDDLE = 4,
};
bool get_mouse(int32_t& x, int32_t& y, int32_t& wheel, int32_t& buttons);
void set_mouse(int x, int y, int visible);

double seconds();
// The clock rounded to whole seconds, halves to the even second: the level
// countdowns and the time given back by pauses and questions count these.
int32_t whole_seconds();
// Waits until the clock is past `moment` (seconds() > moment), resting for
// the bulk of the time and polling the clock only for the last fraction of a
// millisecond: the short pauses of the levels.
void wait_until(double moment);
// Rests a moment between two looks at the keys in a loop that waits for the
// player (the pause), so that the loop does not keep a processor busy.
void rest_between_polls();
// -1: until a key press; >99: sleeps in 50 ms slices, a key press ends it;
// 1..99: sleeps, keys ignored; otherwise returns at once.
void wait(int ms);

// Random numbers: a 15-bit generator. random() is in [0, 1).
double random();
// A roll: a whole number 0..n-1, the whole part of random() x n. The game
// compares roll(n) + 1 with one face to give an event a chance of 1/n.
int32_t roll(int32_t n);
void randomize(double seed);
int random_raw();  // next 0..32767

// Frame pacing.
void set_target_fps(int n);
void frame_begin();
void frame_limit();
void frame_end();
// Whether frame_limit has run since the last call (show_frame asks, to tell
// the backend that the page it shows ends a paced level frame).
bool take_frame_limited();
int current_fps();
double last_frame_duration();
void reset_frame_pacing();  // back to the program-start record (tests)

}  // namespace valmoren
