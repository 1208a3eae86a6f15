// sdl_web_pad.cpp -- the page's on-screen pad (built with emscripten only).
// The buttons a player touches on a phone or a tablet are the buttons of a
// controller on SDL's virtual joystick, which SDL reports like a pad in a USB
// port: the game's one pad table decides what each does on every screen.
// The page queues every press and release (sdl_web.js); each look at the
// events takes them in order, at most one change of a button a look, so that
// a tap shorter than the time between two looks is still a press and a
// release. The pad is plugged in at the first press.
#include <SDL.h>

#include <string>

#include "platform/sdl/sdl_web.h"

// sdl_web.js: the number of changes waiting, and the next one (button * 2 +
// 1 for a press, 0 for a release) unless its button is among `taken` (a bit
// a button), or -1.
extern "C" {
int valmoren_web_pad_waiting();
int valmoren_web_pad_take(unsigned taken);
}

namespace valmoren {

namespace {

// The buttons the page may hold: SDL's controller buttons up to the D-pad.
constexpr int PAD_BUTTONS = SDL_CONTROLLER_BUTTON_DPAD_RIGHT + 1;

SDL_Joystick* pad = nullptr;
bool unplugged = false;  // SDL has no room for it: the page's pad stays silent

void plug_in() {
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    // A whole controller at rest (sticks centred, triggers let go), so SDL
    // counts it as one, though only buttons are used.
    desc.naxes = SDL_CONTROLLER_AXIS_MAX;
    desc.nbuttons = PAD_BUTTONS;
    desc.button_mask = (1u << PAD_BUTTONS) - 1;
    desc.axis_mask = (1u << SDL_CONTROLLER_AXIS_MAX) - 1;
    desc.name = "Valmoren on-screen pad";
    const int index = SDL_JoystickAttachVirtualEx(&desc);
    if (index >= 0) {
        // SDL's browser build gives a controller it has no mapping for the
        // layout of the browser's standard gamepad, which numbers the buttons
        // otherwise; this one's are numbered as SDL numbers a controller's,
        // and it says so, before the backend opens it. SDL looks mappings up
        // by the GUID without the checksum of the name in it.
        SDL_JoystickGUID id = SDL_JoystickGetDeviceGUID(index);
        id.data[2] = id.data[3] = 0;
        char guid[33];
        SDL_JoystickGetGUIDString(id, guid, sizeof guid);
        std::string mapping = std::string(guid) + "," + desc.name + ",";
        for (int b = 0; b < PAD_BUTTONS; ++b)
            mapping += std::string(SDL_GameControllerGetStringForButton(static_cast<SDL_GameControllerButton>(b))) +
                       ":b" + std::to_string(b) + ",";
        for (int a = 0; a < SDL_CONTROLLER_AXIS_MAX; ++a)
            mapping += std::string(SDL_GameControllerGetStringForAxis(static_cast<SDL_GameControllerAxis>(a))) +
                       ":a" + std::to_string(a) + ",";
        SDL_GameControllerAddMapping(mapping.c_str());
        pad = SDL_JoystickOpen(index);
    }
    if (!pad) {
        unplugged = true;
        SDL_Log("Valmoren: the on-screen pad cannot be used: %s", SDL_GetError());
        return;
    }
    SDL_JoystickSetVirtualAxis(pad, SDL_CONTROLLER_AXIS_TRIGGERLEFT, SDL_JOYSTICK_AXIS_MIN);
    SDL_JoystickSetVirtualAxis(pad, SDL_CONTROLLER_AXIS_TRIGGERRIGHT, SDL_JOYSTICK_AXIS_MIN);
}

}  // namespace

void web_pad_look() {
    if (unplugged) return;
    if (!pad) {
        // Plugged in now, its presses taken from the next look on, when the
        // backend has opened it as a controller (in this look's events).
        if (valmoren_web_pad_waiting() > 0) plug_in();
        return;
    }
    unsigned taken = 0;
    for (int change; (change = valmoren_web_pad_take(taken)) >= 0;) {
        const int button = change >> 1;
        if (button >= PAD_BUTTONS) continue;
        SDL_JoystickSetVirtualButton(pad, button, (change & 1) ? SDL_PRESSED : SDL_RELEASED);
        taken |= 1u << button;
    }
}

}  // namespace valmoren
