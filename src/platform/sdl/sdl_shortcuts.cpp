// sdl_shortcuts.cpp -- the desktop keys that belong to the window, not to the
// game: Alt+Enter and F11 switch between a window and desktop full screen for
// this run (options.dat is left alone), F12 takes a screenshot. None of them
// reaches the game as a key, so Enter never chooses a menu entry on the way,
// and Alt counts as a key press only when it is let go without having made a
// shortcut (a story slide does not move on under Alt+Enter).
#include <SDL.h>

#include "platform/input.h"
#include "platform/sdl/sdl_internal.h"

namespace valmoren {

namespace {

struct AltKey {
    bool held = false;
    bool used = false;  // a shortcut was made while it was held
};

AltKey alt;

bool is_alt(const SDL_Keysym& key) {
    return key.scancode == SDL_SCANCODE_LALT || key.scancode == SDL_SCANCODE_RALT;
}

bool is_enter(const SDL_Keysym& key) {
    return key.scancode == SDL_SCANCODE_RETURN || key.scancode == SDL_SCANCODE_KP_ENTER;
}

}  // namespace

bool sdl_shortcut_event(const SDL_Event& e) {
    if (e.type != SDL_KEYDOWN && e.type != SDL_KEYUP) return false;
    const SDL_Keysym& key = e.key.keysym;
    const bool down = e.type == SDL_KEYDOWN;
    if (is_alt(key)) {
        if (down && !e.key.repeat) {
            alt.held = true;
            alt.used = false;
        } else if (!down) {
            // Alt alone: its press reaches the game now, as one key stroke.
            if (alt.held && !alt.used) {
                key_event(sdl_key_code(key), true);
                key_event(sdl_key_code(key), false);
            }
            alt.held = false;
        }
        return true;
    }
    const bool alt_enter = is_enter(key) && (alt.held || (key.mod & KMOD_ALT) != 0);
    if (alt_enter || key.scancode == SDL_SCANCODE_F11) {
        if (down && !e.key.repeat) {
            alt.used = alt.used || alt_enter;
            sdl_toggle_full_screen();
        }
        // Enter let go after the switch is harmless; its press never came.
        return down || !alt_enter;
    }
    if (key.scancode == SDL_SCANCODE_F12) {
        if (down && !e.key.repeat) sdl_take_screenshot();
        return true;
    }
    return false;
}

void sdl_shortcuts_focus_lost() { alt = AltKey{}; }

}  // namespace valmoren
