// pad_map.h -- what each control of a gamepad does in the game: the one table
// that turns buttons, sticks and triggers into the keys and the mouse the game
// already reads, and the pointer the right stick moves. Portable: the window
// backend translates its own controller codes into the names below. Writes no
// GameState fields.
#pragma once

#include <cstdint>

namespace valmoren {

// The buttons of a pad in the usual controller layout (A at the bottom of the
// four face buttons, B on the right, X on the left, Y at the top).
enum PadButton : int {
    PAD_A,
    PAD_B,
    PAD_X,
    PAD_Y,
    PAD_BACK,
    PAD_GUIDE,
    PAD_START,
    PAD_LEFT_STICK_CLICK,
    PAD_RIGHT_STICK_CLICK,
    PAD_LEFT_SHOULDER,
    PAD_RIGHT_SHOULDER,
    PAD_DPAD_UP,
    PAD_DPAD_DOWN,
    PAD_DPAD_LEFT,
    PAD_DPAD_RIGHT,
    PAD_BUTTON_COUNT
};

// The analogue controls: sticks from -1 (left, up) to 1 (right, down),
// triggers from 0 (let go) to 1 (pulled fully).
enum PadAxis : int {
    PAD_LEFT_X,
    PAD_LEFT_Y,
    PAD_RIGHT_X,
    PAD_RIGHT_Y,
    PAD_LEFT_TRIGGER,
    PAD_RIGHT_TRIGGER,
    PAD_AXIS_COUNT
};

// Everything on a pad that is either held or not: the buttons, then the
// left stick pushed one way, then the triggers pulled.
enum PadControl : int {
    // 0 .. PAD_BUTTON_COUNT-1 are the buttons themselves
    PAD_STICK_UP = PAD_BUTTON_COUNT,
    PAD_STICK_DOWN,
    PAD_STICK_LEFT,
    PAD_STICK_RIGHT,
    PAD_PULL_LEFT_TRIGGER,
    PAD_PULL_RIGHT_TRIGGER,
    PAD_CONTROL_COUNT
};

// A key the game never reads (like a keyboard key outside its table): its
// press only ends a wait for any key (the story slides, the credits).
constexpr int PAD_ANY_KEY = 0;
constexpr int PAD_NO_KEY = -1;  // an unused place in a row

// One row of the table: while `control` is held, the game sees `keys` held
// and the mouse buttons `mouse` held.
struct PadAction {
    int control;
    int keys[2];
    int32_t mouse;
};

// The table itself, and its length.
extern const PadAction PAD_ACTIONS[];
extern const int PAD_ACTION_COUNT;

// The stick that moves the pointer over the 640x480 picture.
constexpr PadAxis PAD_POINTER_X = PAD_RIGHT_X;
constexpr PadAxis PAD_POINTER_Y = PAD_RIGHT_Y;

// The raw state of one pad and the held controls derived from it.
struct PadState {
    bool buttons[PAD_BUTTON_COUNT] = {};
    double axes[PAD_AXIS_COUNT] = {};
    bool held[PAD_CONTROL_COUNT] = {};  // kept by pad_update_held
};

// Brings `held` up to date with the buttons and axes. A stick direction or a
// trigger counts as held past half way and as let go below 0.4 of the way,
// so a thumb resting near the threshold does not make the key chatter.
void pad_update_held(PadState& pad);

// What a pad's held controls hold in the game.
struct PadEffect {
    bool keys[128] = {};  // the game's key table, by PC set-1 code (KEY_TABLE_SIZE)
    int32_t mouse = 0;    // mouse buttons
};
PadEffect pad_effect(const PadState& pad);

// Pointer speed in 640x480 picture pixels a second for a stick deflected by
// `value` (-1 .. 1): nothing inside the dead zone, then growing with the
// square of the deflection beyond it up to a screen's width a second.
double pad_pointer_speed(double value);
constexpr double PAD_DEAD_ZONE = 0.15;
constexpr double PAD_POINTER_FULL_SPEED = 640.0;

}  // namespace valmoren
