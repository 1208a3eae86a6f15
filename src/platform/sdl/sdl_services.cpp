// sdl_services.cpp -- what the window backend does around the game's own keys
// and mouse: pads coming, going and pressed (in the browser the page's
// on-screen pad among them), the sound device coming and going, and the
// window's own keys (full screen, screenshots). The event pump hands every
// event here first.
#include <SDL.h>

#include "platform/sdl/sdl_internal.h"
#ifdef __EMSCRIPTEN__
#include "platform/sdl/sdl_web.h"
#endif

namespace valmoren {

bool sdl_service_event(const SDL_Event& e) {
    if (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) sdl_shortcuts_focus_lost();
    return sdl_pad_event(e) || sdl_sound_device_event(e) || sdl_shortcut_event(e);
}

void sdl_services_look() {
    sdl_pad_script_look();
#ifdef __EMSCRIPTEN__
    web_pad_look();
#endif
    sdl_pads_look();
}

}  // namespace valmoren
