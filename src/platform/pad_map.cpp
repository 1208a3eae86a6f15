// pad_map.cpp -- the gamepad's table: which keys and mouse buttons each
// control of a pad holds. The platform does not know which screen is up, so
// no control may mean two contradictory things anywhere:
//  - the D-pad and the left stick are the arrow keys everywhere;
//  - A is Enter and Space at once: it chooses in the menu and the options
//    screen (which read Enter only) and fires, thrusts or runs the engine in
//    the levels and goes on from the pause (which read Space only);
//  - B and Back are Esc; the question Esc opens is answered with Y (yes) and
//    X (no, as a cross), never by Esc's own buttons;
//  - Start is P, the pause (A goes on from it: Start holding Space as well
//    would end the pause it opens);
//  - the triggers and the shoulder buttons are the left and right mouse
//    buttons, and the right stick moves the pointer, for the mouse controls
//    and level 5;
//  - every other button ends a wait for a key, as any key does.
// Writes no GameState fields.
#include "platform/pad_map.h"

#include <algorithm>
#include <cmath>

#include "platform/input.h"

namespace valmoren {

namespace {
constexpr int NO_KEY = PAD_NO_KEY;
}  // namespace

const PadAction PAD_ACTIONS[] = {
    {PAD_DPAD_UP, {KEY_UP, NO_KEY}, 0},
    {PAD_DPAD_DOWN, {KEY_DOWN, NO_KEY}, 0},
    {PAD_DPAD_LEFT, {KEY_LEFT, NO_KEY}, 0},
    {PAD_DPAD_RIGHT, {KEY_RIGHT, NO_KEY}, 0},
    {PAD_STICK_UP, {KEY_UP, NO_KEY}, 0},
    {PAD_STICK_DOWN, {KEY_DOWN, NO_KEY}, 0},
    {PAD_STICK_LEFT, {KEY_LEFT, NO_KEY}, 0},
    {PAD_STICK_RIGHT, {KEY_RIGHT, NO_KEY}, 0},
    {PAD_A, {KEY_ENTER, KEY_SPACE}, 0},
    {PAD_B, {KEY_ESC, NO_KEY}, 0},
    {PAD_BACK, {KEY_ESC, NO_KEY}, 0},
    {PAD_Y, {KEY_Y, NO_KEY}, 0},
    {PAD_X, {KEY_N, NO_KEY}, 0},
    {PAD_START, {KEY_P, NO_KEY}, 0},
    {PAD_PULL_LEFT_TRIGGER, {PAD_ANY_KEY, NO_KEY}, MOUSE_LEFT},
    {PAD_PULL_RIGHT_TRIGGER, {PAD_ANY_KEY, NO_KEY}, MOUSE_RIGHT},
    {PAD_LEFT_SHOULDER, {PAD_ANY_KEY, NO_KEY}, MOUSE_LEFT},
    {PAD_RIGHT_SHOULDER, {PAD_ANY_KEY, NO_KEY}, MOUSE_RIGHT},
    {PAD_LEFT_STICK_CLICK, {PAD_ANY_KEY, NO_KEY}, 0},
    {PAD_RIGHT_STICK_CLICK, {PAD_ANY_KEY, NO_KEY}, 0},
};
const int PAD_ACTION_COUNT = static_cast<int>(sizeof(PAD_ACTIONS) / sizeof(PAD_ACTIONS[0]));

namespace {

constexpr double PRESS_AT = 0.5;
constexpr double LET_GO_BELOW = 0.4;

// A direction of an analogue control, held with hysteresis.
bool held_past(bool was_held, double amount) {
    return was_held ? amount >= LET_GO_BELOW : amount >= PRESS_AT;
}

}  // namespace

void pad_update_held(PadState& pad) {
    for (int b = 0; b < PAD_BUTTON_COUNT; ++b) pad.held[b] = pad.buttons[b];
    bool* held = pad.held;
    held[PAD_STICK_UP] = held_past(held[PAD_STICK_UP], -pad.axes[PAD_LEFT_Y]);
    held[PAD_STICK_DOWN] = held_past(held[PAD_STICK_DOWN], pad.axes[PAD_LEFT_Y]);
    held[PAD_STICK_LEFT] = held_past(held[PAD_STICK_LEFT], -pad.axes[PAD_LEFT_X]);
    held[PAD_STICK_RIGHT] = held_past(held[PAD_STICK_RIGHT], pad.axes[PAD_LEFT_X]);
    held[PAD_PULL_LEFT_TRIGGER] = held_past(held[PAD_PULL_LEFT_TRIGGER], pad.axes[PAD_LEFT_TRIGGER]);
    held[PAD_PULL_RIGHT_TRIGGER] = held_past(held[PAD_PULL_RIGHT_TRIGGER], pad.axes[PAD_RIGHT_TRIGGER]);
}

PadEffect pad_effect(const PadState& pad) {
    PadEffect effect;
    for (int i = 0; i < PAD_ACTION_COUNT; ++i) {
        const PadAction& a = PAD_ACTIONS[i];
        if (a.control < 0 || a.control >= PAD_CONTROL_COUNT || !pad.held[a.control]) continue;
        for (int key : a.keys)
            if (key >= 0 && key < KEY_TABLE_SIZE) effect.keys[key] = true;
        effect.mouse |= a.mouse;
    }
    return effect;
}

double pad_pointer_speed(double value) {
    if (!std::isfinite(value)) return 0.0;
    const double amount = std::fabs(value);
    if (amount <= PAD_DEAD_ZONE) return 0.0;
    const double beyond = std::min(1.0, (amount - PAD_DEAD_ZONE) / (1.0 - PAD_DEAD_ZONE));
    const double speed = PAD_POINTER_FULL_SPEED * beyond * beyond;
    return value < 0 ? -speed : speed;
}

}  // namespace valmoren
