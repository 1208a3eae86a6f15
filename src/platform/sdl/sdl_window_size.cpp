// sdl_window_size.cpp -- keeps the window the size its mode gives. On an X
// display without a window manager (a kiosk, a bare X server) nothing carries
// out SDL's request for desktop full screen: SDL then takes the window to be
// as big as the desktop and scales the picture for it, while the window really
// stays 640x480 and shows only a part of it. Here the window's real size is
// read back from the display, and where it is not what the mode gives, the
// window is moved and sized as a window manager would have done (covering the
// screen in full screen, centred at its windowed size otherwise); the
// renderer's output size, which the picture is fitted to, then follows the
// drawable's real size.
#include <SDL.h>
#include <SDL_syswm.h>

#include "platform/sdl/sdl_internal.h"

namespace valmoren {

void sdl_hold_window_to_mode(SDL_Window* window, bool full_screen, int windowed_w, int windowed_h) {
#if defined(VALMOREN_X11) && defined(SDL_VIDEO_DRIVER_X11)
    if (!window) return;
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_X11) return;
    Display* display = info.info.x11.display;
    const ::Window xwindow = info.info.x11.window;
    SDL_Rect screen;
    if (SDL_GetDisplayBounds(SDL_GetWindowDisplayIndex(window), &screen) != 0) return;
    SDL_Rect want = screen;
    if (!full_screen) {
        want.w = windowed_w;
        want.h = windowed_h;
        want.x = screen.x + (screen.w - want.w) / 2;
        want.y = screen.y + (screen.h - want.h) / 2;
    }
    XSync(display, False);
    XWindowAttributes real;
    if (!XGetWindowAttributes(display, xwindow, &real)) return;
    if (real.width == want.w && real.height == want.h) return;
    XMoveResizeWindow(display, xwindow, want.x, want.y, static_cast<unsigned>(want.w),
                      static_cast<unsigned>(want.h));
    if (full_screen) XRaiseWindow(display, xwindow);
    XSync(display, False);
#else
    (void)window;
    (void)full_screen;
    (void)windowed_w;
    (void)windowed_h;
#endif
}

}  // namespace valmoren
