// pads.cpp -- the gamepads plugged in: each pad's buttons and axes, what they
// hold together in the key table and among the mouse buttons, and the pointer
// the right stick moves. Writes no GameState fields.
#include "platform/pads.h"

#include <algorithm>
#include <cmath>

#include "platform/input.h"
#include "platform/screen.h"

namespace valmoren {

namespace {

constexpr double LONGEST_STEP = 0.1;  // seconds of stick motion counted at once

struct Slot {
    bool used = false;
    int id = 0;
    PadState state;
};

struct Pads {
    Slot slots[PAD_SLOTS];
    bool keys[KEY_TABLE_SIZE] = {};  // what the pads hold in the key table
    int32_t mouse = 0;               // the mouse buttons they hold
    bool leading = false;            // a pad leads the pointer
    double x = SCREEN_W / 2, y = SCREEN_H / 2;
    double last_advance = -1.0;
};

Pads pads;

Slot* find(int id) {
    for (Slot& s : pads.slots)
        if (s.used && s.id == id) return &s;
    return nullptr;
}

// Passes what the pads hold together on to the key table: a key goes down
// when the first pad takes it and up when the last one lets it go.
void refresh() {
    PadEffect together;
    for (Slot& s : pads.slots) {
        if (!s.used) continue;
        pad_update_held(s.state);
        const PadEffect one = pad_effect(s.state);
        for (int k = 0; k < KEY_TABLE_SIZE; ++k) together.keys[k] = together.keys[k] || one.keys[k];
        together.mouse |= one.mouse;
    }
    for (int k = 0; k < KEY_TABLE_SIZE; ++k) {
        if (together.keys[k] != pads.keys[k]) {
            pads.keys[k] = together.keys[k];
            pad_key_event(k, together.keys[k]);
        }
    }
    // A pointer button pressed on a pad takes the pointer to the pad.
    if ((together.mouse & ~pads.mouse) != 0) pads.leading = true;
    pads.mouse = together.mouse;
}

}  // namespace

bool pad_attached(int pad) {
    if (find(pad)) return true;
    for (Slot& s : pads.slots) {
        if (s.used) continue;
        s = Slot{};
        s.used = true;
        s.id = pad;
        return true;
    }
    return false;
}

bool pad_detached(int pad) {
    Slot* s = find(pad);
    if (!s) return false;
    s->used = false;
    refresh();
    if (pads_attached() == 0) pads.leading = false;
    return true;
}

void pad_button(int pad, PadButton button, bool down) {
    Slot* s = find(pad);
    if (!s || button < 0 || button >= PAD_BUTTON_COUNT) return;
    s->state.buttons[button] = down;
    refresh();
}

void pad_axis(int pad, PadAxis axis, double value) {
    Slot* s = find(pad);
    if (!s || axis < 0 || axis >= PAD_AXIS_COUNT) return;
    s->state.axes[axis] = std::isfinite(value) ? std::clamp(value, -1.0, 1.0) : 0.0;
    refresh();
}

int pads_attached() {
    return static_cast<int>(std::count_if(std::begin(pads.slots), std::end(pads.slots),
                                          [](const Slot& s) { return s.used; }));
}

void pads_advance(double now) {
    const double step = pads.last_advance < 0 ? 0.0 : std::clamp(now - pads.last_advance, 0.0, LONGEST_STEP);
    pads.last_advance = now;
    double vx = 0, vy = 0;
    for (const Slot& s : pads.slots) {
        if (!s.used) continue;
        vx += pad_pointer_speed(s.state.axes[PAD_POINTER_X]);
        vy += pad_pointer_speed(s.state.axes[PAD_POINTER_Y]);
    }
    if (vx == 0 && vy == 0) return;
    pads.leading = true;
    pads.x = std::clamp(pads.x + vx * step, 0.0, SCREEN_W - 1.0);
    pads.y = std::clamp(pads.y + vy * step, 0.0, SCREEN_H - 1.0);
}

void pads_mouse_moved() { pads.leading = false; }

bool pads_over_mouse(int32_t& x, int32_t& y, int32_t& wheel, int32_t& buttons, bool inside) {
    if (!pads.leading) {
        // The pointer a pad takes over starts where the mouse was.
        if (inside) {
            pads.x = x;
            pads.y = y;
        }
        return inside;
    }
    x = static_cast<int32_t>(std::floor(pads.x));
    y = static_cast<int32_t>(std::floor(pads.y));
    if (!inside) buttons = wheel = 0;
    buttons |= pads.mouse;
    return true;
}

void pads_reset() {
    for (int k = 0; k < KEY_TABLE_SIZE; ++k)
        if (pads.keys[k]) pad_key_event(k, false);
    pads = Pads{};
}

}  // namespace valmoren
