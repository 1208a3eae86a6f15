// sdl_pad.cpp -- gamepads through SDL's game-controller interface: its
// built-in mapping database, plus the mapping file SDL_GAMECONTROLLERCONFIG_FILE
// names (which SDL reads itself when the controller interface starts). Pads
// plugged in before or during the game are opened at once, pads pulled out are
// closed and whatever they held is let go; their buttons and axes reach the
// portable pad table in its own names.
#include <SDL.h>

#include "platform/pads.h"
#include "platform/sdl/sdl_internal.h"

namespace valmoren {

namespace {

constexpr int MOST_OPEN = PAD_SLOTS;

struct OpenPad {
    SDL_GameController* controller = nullptr;
    SDL_JoystickID id = -1;
};

OpenPad open_pads[MOST_OPEN];
bool started = false;

// SDL's buttons in the pad table's names; -1 for those the table has no use for.
int pad_button_of(Uint8 button) {
    switch (button) {
        case SDL_CONTROLLER_BUTTON_A: return PAD_A;
        case SDL_CONTROLLER_BUTTON_B: return PAD_B;
        case SDL_CONTROLLER_BUTTON_X: return PAD_X;
        case SDL_CONTROLLER_BUTTON_Y: return PAD_Y;
        case SDL_CONTROLLER_BUTTON_BACK: return PAD_BACK;
        case SDL_CONTROLLER_BUTTON_GUIDE: return PAD_GUIDE;
        case SDL_CONTROLLER_BUTTON_START: return PAD_START;
        case SDL_CONTROLLER_BUTTON_LEFTSTICK: return PAD_LEFT_STICK_CLICK;
        case SDL_CONTROLLER_BUTTON_RIGHTSTICK: return PAD_RIGHT_STICK_CLICK;
        case SDL_CONTROLLER_BUTTON_LEFTSHOULDER: return PAD_LEFT_SHOULDER;
        case SDL_CONTROLLER_BUTTON_RIGHTSHOULDER: return PAD_RIGHT_SHOULDER;
        case SDL_CONTROLLER_BUTTON_DPAD_UP: return PAD_DPAD_UP;
        case SDL_CONTROLLER_BUTTON_DPAD_DOWN: return PAD_DPAD_DOWN;
        case SDL_CONTROLLER_BUTTON_DPAD_LEFT: return PAD_DPAD_LEFT;
        case SDL_CONTROLLER_BUTTON_DPAD_RIGHT: return PAD_DPAD_RIGHT;
        default: return -1;
    }
}

int pad_axis_of(Uint8 axis) {
    switch (axis) {
        case SDL_CONTROLLER_AXIS_LEFTX: return PAD_LEFT_X;
        case SDL_CONTROLLER_AXIS_LEFTY: return PAD_LEFT_Y;
        case SDL_CONTROLLER_AXIS_RIGHTX: return PAD_RIGHT_X;
        case SDL_CONTROLLER_AXIS_RIGHTY: return PAD_RIGHT_Y;
        case SDL_CONTROLLER_AXIS_TRIGGERLEFT: return PAD_LEFT_TRIGGER;
        case SDL_CONTROLLER_AXIS_TRIGGERRIGHT: return PAD_RIGHT_TRIGGER;
        default: return -1;
    }
}

OpenPad* find_open(SDL_JoystickID id) {
    for (OpenPad& p : open_pads)
        if (p.controller && p.id == id) return &p;
    return nullptr;
}

// A device SDL counts as a game controller appeared (at start-up every pad
// already plugged in is reported this way too).
void open_pad(int device_index) {
    if (!SDL_IsGameController(device_index)) return;
    const SDL_JoystickID id = SDL_JoystickGetDeviceInstanceID(device_index);
    if (id < 0 || find_open(id)) return;
    for (OpenPad& p : open_pads) {
        if (p.controller) continue;
        SDL_GameController* controller = SDL_GameControllerOpen(device_index);
        if (!controller) return;
        if (!pad_attached(id)) {
            SDL_GameControllerClose(controller);
            return;
        }
        p.controller = controller;
        p.id = id;
        // What is held already counts at once.
        for (int b = 0; b < SDL_CONTROLLER_BUTTON_MAX; ++b) {
            const int button = pad_button_of(static_cast<Uint8>(b));
            if (button >= 0 && SDL_GameControllerGetButton(controller, static_cast<SDL_GameControllerButton>(b)))
                pad_button(id, static_cast<PadButton>(button), true);
        }
        for (int a = 0; a < SDL_CONTROLLER_AXIS_MAX; ++a) {
            const int axis = pad_axis_of(static_cast<Uint8>(a));
            if (axis >= 0)
                pad_axis(id, static_cast<PadAxis>(axis),
                         SDL_GameControllerGetAxis(controller, static_cast<SDL_GameControllerAxis>(a)) / 32767.0);
        }
        return;
    }
}

void close_pad(SDL_JoystickID id) {
    OpenPad* p = find_open(id);
    if (!p) return;
    pad_detached(id);
    SDL_GameControllerClose(p->controller);
    *p = OpenPad{};
}

}  // namespace

void sdl_pads_start() {
    if (started) return;
    // Pads answer only while the game's window has the keyboard focus, as
    // keys do (SDL's default for SDL_JOYSTICK_ALLOW_BACKGROUND_EVENTS).
    started = SDL_InitSubSystem(SDL_INIT_GAMECONTROLLER) == 0;
    // The pads already plugged in arrive as "device added" events.
}

bool sdl_pad_event(const SDL_Event& e) {
    switch (e.type) {
        case SDL_CONTROLLERDEVICEADDED:
            open_pad(e.cdevice.which);
            return true;
        case SDL_CONTROLLERDEVICEREMOVED:
            close_pad(e.cdevice.which);
            return true;
        case SDL_CONTROLLERBUTTONDOWN:
        case SDL_CONTROLLERBUTTONUP: {
            const int button = pad_button_of(e.cbutton.button);
            if (button >= 0)
                pad_button(e.cbutton.which, static_cast<PadButton>(button), e.type == SDL_CONTROLLERBUTTONDOWN);
            return true;
        }
        case SDL_CONTROLLERAXISMOTION: {
            const int axis = pad_axis_of(e.caxis.axis);
            if (axis >= 0) pad_axis(e.caxis.which, static_cast<PadAxis>(axis), e.caxis.value / 32767.0);
            return true;
        }
        case SDL_MOUSEMOTION:
            // The real mouse leads the pointer again; a warp or a window
            // change that moves nothing does not take it from a pad.
            if (e.motion.xrel != 0 || e.motion.yrel != 0) pads_mouse_moved();
            return false;
        default:
            return false;
    }
}

void sdl_pads_look() { pads_advance(sdl_clock()); }

}  // namespace valmoren
