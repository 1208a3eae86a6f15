// pads.h -- the gamepads plugged in, as the game's keys and mouse see them.
// The window backend reports pads coming and going and their buttons and
// axes (in the names of pad_map.h); this holds each pad's state, passes what
// the pads hold together to the key table, and keeps the pointer the right
// stick moves, which get_mouse reports while a pad leads it. Game code never
// calls these. Writes no GameState fields.
#pragma once

#include <cstdint>

#include "platform/pad_map.h"

namespace valmoren {

// Pads are named by any number the backend likes (its own device numbers);
// up to PAD_SLOTS are followed at once, later ones are ignored until one goes.
constexpr int PAD_SLOTS = 8;

// A pad was plugged in (taken at once) or pulled out: whatever it held is
// let go. False when there was no room for it, or it was not known.
bool pad_attached(int pad);
bool pad_detached(int pad);
void pad_button(int pad, PadButton button, bool down);
// `value`: -1 .. 1 for sticks, 0 .. 1 for triggers.
void pad_axis(int pad, PadAxis axis, double value);
int pads_attached();

// Moves the pointer by the sticks for the time since the last call (at most a
// tenth of a second is counted, so a stall does not fling it across the
// screen). Called with the backend's clock whenever it looks at its events.
void pads_advance(double now);

// The real mouse moved: it leads the pointer again until a pad moves it.
void pads_mouse_moved();

// get_mouse's view of the pads: given what the mouse itself reports (and
// whether it is over the picture), gives the pointer and the buttons with the
// pads' added, and whether the pointer is over the picture. While a pad leads
// the pointer (its stick or a pointer button was used since the mouse last
// moved), the position is the pad's; it starts from where the mouse was.
bool pads_over_mouse(int32_t& x, int32_t& y, int32_t& wheel, int32_t& buttons, bool inside);

// Everything back to no pads and the mouse leading (start-up, tests).
void pads_reset();

}  // namespace valmoren
