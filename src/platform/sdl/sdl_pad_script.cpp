// sdl_pad_script.cpp -- a diagnostics hook for the window tests, inert unless
// VALMOREN_PAD_SCRIPT names a file: the test appends lines to that file and
// the game, whenever it looks at its events, plays them on SDL virtual
// joysticks, which SDL then reports like pads plugged into the machine (so the
// game's own pad handling is what the test exercises). One command a line:
//   attach N             plugs in pad N (0..7), a full controller at rest
//   detach N             pulls it out
//   button N NAME 0|1    lets go of / holds a button; NAME as SDL names them:
//                        a b x y back guide start leftstick rightstick
//                        leftshoulder rightshoulder dpup dpdown dpleft dpright
//   axis N NAME VALUE    leftx lefty rightx righty: -32768 .. 32767;
//                        lefttrigger righttrigger: 0 (let go) .. 32767
//   sound-removed        SDL's event for the sound device in use going away
//   sound-added          SDL's event for a sound device appearing
// Lines that do not parse are ignored.
#include <SDL.h>

#include <fcntl.h>
#include <unistd.h>

#include <cstdlib>
#include <sstream>
#include <string>

#include "platform/sdl/sdl_internal.h"
#ifdef _WIN32
#include <io.h>

#include "platform/win32.h"
#endif

namespace valmoren {

#ifndef __EMSCRIPTEN__

namespace {

constexpr int SCRIPT_PADS = 8;
constexpr double LOOK_EVERY = 0.004;     // seconds between two reads of the file
constexpr size_t LONGEST_LINE = 4096;

struct Script {
    bool looked = false;
    int fd = -1;
    std::string partial;  // the start of a line still being written
    double last_look = -1.0;
    SDL_Joystick* pads[SCRIPT_PADS] = {};
};

Script script;

int device_index_of(SDL_Joystick* joystick) {
    const SDL_JoystickID id = SDL_JoystickInstanceID(joystick);
    for (int i = 0; i < SDL_NumJoysticks(); ++i)
        if (SDL_JoystickGetDeviceInstanceID(i) == id) return i;
    return -1;
}

void attach(int n) {
    if (script.pads[n]) return;
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_GAMECONTROLLER;
    desc.naxes = SDL_CONTROLLER_AXIS_MAX;
    desc.nbuttons = SDL_CONTROLLER_BUTTON_DPAD_RIGHT + 1;
    desc.button_mask = (1u << desc.nbuttons) - 1;
    desc.axis_mask = (1u << desc.naxes) - 1;
    desc.name = "Valmoren scripted pad";
    const int index = SDL_JoystickAttachVirtualEx(&desc);
    if (index < 0) return;
    script.pads[n] = SDL_JoystickOpen(index);
    if (!script.pads[n]) return;
    // Triggers rest at the low end of their raw range.
    SDL_JoystickSetVirtualAxis(script.pads[n], SDL_CONTROLLER_AXIS_TRIGGERLEFT, SDL_JOYSTICK_AXIS_MIN);
    SDL_JoystickSetVirtualAxis(script.pads[n], SDL_CONTROLLER_AXIS_TRIGGERRIGHT, SDL_JOYSTICK_AXIS_MIN);
}

void detach(int n) {
    SDL_Joystick* pad = script.pads[n];
    if (!pad) return;
    const int index = device_index_of(pad);
    SDL_JoystickClose(pad);
    script.pads[n] = nullptr;
    if (index >= 0) SDL_JoystickDetachVirtual(index);
}

void push_sound_device_event(Uint32 type) {
    SDL_Event e{};
    e.type = type;
    e.adevice.which = type == SDL_AUDIODEVICEREMOVED ? sdl_sound_device_id() : 0;
    e.adevice.iscapture = 0;
    SDL_PushEvent(&e);
}

void play_line(const std::string& line) {
    std::istringstream in(line);
    std::string command, name;
    int n = -1;
    long value = 0;
    in >> command;
    if (command == "sound-removed") return push_sound_device_event(SDL_AUDIODEVICEREMOVED);
    if (command == "sound-added") return push_sound_device_event(SDL_AUDIODEVICEADDED);
    if (!(in >> n) || n < 0 || n >= SCRIPT_PADS) return;
    if (command == "attach") return attach(n);
    if (command == "detach") return detach(n);
    SDL_Joystick* pad = script.pads[n];
    if (!pad || !(in >> name >> value)) return;
    if (command == "button") {
        const SDL_GameControllerButton b = SDL_GameControllerGetButtonFromString(name.c_str());
        if (b >= 0 && b <= SDL_CONTROLLER_BUTTON_DPAD_RIGHT)
            SDL_JoystickSetVirtualButton(pad, b, value ? SDL_PRESSED : SDL_RELEASED);
    } else if (command == "axis") {
        const SDL_GameControllerAxis a = SDL_GameControllerGetAxisFromString(name.c_str());
        if (a < 0 || a >= SDL_CONTROLLER_AXIS_MAX) return;
        const bool trigger = a == SDL_CONTROLLER_AXIS_TRIGGERLEFT || a == SDL_CONTROLLER_AXIS_TRIGGERRIGHT;
        // A trigger's 0 .. 32767 spreads over the whole raw range.
        long raw = trigger ? value * 2 - 32768 : value;
        if (raw < SDL_JOYSTICK_AXIS_MIN) raw = SDL_JOYSTICK_AXIS_MIN;
        if (raw > SDL_JOYSTICK_AXIS_MAX) raw = SDL_JOYSTICK_AXIS_MAX;
        SDL_JoystickSetVirtualAxis(pad, a, static_cast<Sint16>(raw));
    }
}

}  // namespace

void sdl_pad_script_look() {
    if (!script.looked) {
        script.looked = true;
#ifdef _WIN32
        const std::string path = environment_value("VALMOREN_PAD_SCRIPT");  // a folder named in any script
        if (!path.empty()) script.fd = _wopen(wide_text(path).c_str(), _O_RDONLY | _O_BINARY);
#else
        const char* path = std::getenv("VALMOREN_PAD_SCRIPT");
        if (path && *path) script.fd = open(path, O_RDONLY | O_NONBLOCK | O_CLOEXEC);
#endif
    }
    if (script.fd < 0) return;
    const double now = sdl_clock();
    if (script.last_look >= 0 && now - script.last_look < LOOK_EVERY) return;
    script.last_look = now;
    char buffer[1024];
    ssize_t got;
    while ((got = read(script.fd, buffer, sizeof buffer)) > 0) {
        for (ssize_t i = 0; i < got; ++i) {
            if (buffer[i] != '\n') {
                if (script.partial.size() < LONGEST_LINE) script.partial += buffer[i];
                continue;
            }
            play_line(script.partial);
            script.partial.clear();
        }
    }
}

#else

void sdl_pad_script_look() {}

#endif

}  // namespace valmoren
