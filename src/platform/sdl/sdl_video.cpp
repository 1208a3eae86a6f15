// sdl_video.cpp -- the game's window: the visible page scaled crisply into a
// resizable, HiDPI-aware window or desktop full screen; keyboard and mouse
// events fed to the core's key table; closing the window ends the program.
#include <SDL.h>
#ifdef _WIN32
#include <windows.h>
#include <SDL_syswm.h>
#include <d3d9.h>

#include "platform/win32.h"
#endif

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <string>

#include "platform/backend.h"
#include "platform/files.h"
#include "platform/core_hooks.h"
#include "platform/input.h"
#include "platform/screen.h"
#include "platform/sdl/sdl_internal.h"
#ifdef __EMSCRIPTEN__
#include "platform/sdl/sdl_web.h"
#endif

namespace valmoren {

namespace {

struct Window {
    SDL_Window* window = nullptr;
    SDL_Renderer* renderer = nullptr;
    SDL_Texture* page = nullptr;       // the 640x480 visible page
    SDL_Texture* upscaled = nullptr;   // the page at a whole multiple, for smooth fitting
    int upscaled_factor = 0;
    bool full_screen = false;
    int windowed_w = SCREEN_W, windowed_h = SCREEN_H;  // the window's size out of full screen
    bool mouse_visible = true;
    SDL_Rect dest{0, 0, SCREEN_W, SCREEN_H};  // where the picture sits, in output pixels
    // The visible page has been handed over by backend_present and is not
    // yet on the screen; it is read as it stands when it is shown.
    bool pending = false;
    bool pending_paced = false;  // it ends a level frame
    double pending_since = 0.0;  // when it was handed over
    double events_at = -1.0;     // when window events were last delivered
    bool have_page = false;
    // SDL's software renderer draws into the window's own memory: a page
    // that fills the window exactly is copied there at once, with no stop in
    // the page texture (which is then brought up to date only when drawn).
    bool direct = false;
    bool texture_behind = false;
    std::string caption;  // set before the window opens, applied when it does
    timespec present_called{};  // when the last SDL_RenderPresent was called
};

Window win;

// PC set-1 scancodes of letters, a..z.
constexpr int LETTER_SCANCODES[26] = {30, 48, 46, 32, 18, 33, 34, 35, 23, 36, 37, 38, 50,
                                      49, 24, 25, 16, 19, 31, 20, 22, 47, 17, 45, 21, 44};

// Letters and digits follow the label on the player's keyboard layout (the
// key marked Y answers yes); the other keys follow their position.
int set1_scancode(const SDL_Keysym& key) {
    if (key.sym >= SDLK_a && key.sym <= SDLK_z) return LETTER_SCANCODES[key.sym - SDLK_a];
    if (key.sym >= SDLK_1 && key.sym <= SDLK_9) return 2 + (key.sym - SDLK_1);
    if (key.sym == SDLK_0) return 11;
    switch (key.scancode) {
        case SDL_SCANCODE_ESCAPE: return KEY_ESC;
        case SDL_SCANCODE_RETURN:
        case SDL_SCANCODE_KP_ENTER: return KEY_ENTER;
        case SDL_SCANCODE_SPACE: return KEY_SPACE;
        case SDL_SCANCODE_UP: return KEY_UP;
        case SDL_SCANCODE_DOWN: return KEY_DOWN;
        case SDL_SCANCODE_LEFT: return KEY_LEFT;
        case SDL_SCANCODE_RIGHT: return KEY_RIGHT;
        case SDL_SCANCODE_BACKSPACE: return 14;
        case SDL_SCANCODE_TAB: return 15;
        case SDL_SCANCODE_LCTRL: return 29;
        case SDL_SCANCODE_LSHIFT: return 42;
        case SDL_SCANCODE_RSHIFT: return 54;
        case SDL_SCANCODE_LALT: return 56;
        default: break;
    }
    if (key.scancode >= SDL_SCANCODE_F1 && key.scancode <= SDL_SCANCODE_F10)
        return 59 + (key.scancode - SDL_SCANCODE_F1);
    return 0;  // a key the table does not hold; its press still counts for key waits
}

#ifndef __EMSCRIPTEN__
// Where the 640x480 picture goes in an output of w x h pixels: the largest
// 4:3 rectangle, centred.
SDL_Rect fit_rect(int w, int h) {
    SDL_Rect r;
    if (static_cast<long>(w) * SCREEN_H > static_cast<long>(h) * SCREEN_W) {
        r.h = h;
        r.w = h * SCREEN_W / SCREEN_H;
    } else {
        r.w = w;
        r.h = w * SCREEN_H / SCREEN_W;
    }
    r.x = (w - r.w) / 2;
    r.y = (h - r.h) / 2;
    return r;
}
#endif

void draw_page() {
#ifdef __EMSCRIPTEN__
    // The canvas was cleared or resized: the whole page again, past SDL
    // (which has no renderer in the browser, nor its code).
    clock_gettime(CLOCK_MONOTONIC, &win.present_called);
    web_show_page(page_pixels(visible_page()), true);
#else
    if (!win.renderer) return;
    if (win.texture_behind) {
        SDL_UpdateTexture(win.page, nullptr, page_pixels(visible_page()), SCREEN_W * 4);
        win.texture_behind = false;
    }
    int out_w = SCREEN_W, out_h = SCREEN_H;
    SDL_GetRendererOutputSize(win.renderer, &out_w, &out_h);
    const SDL_Rect fit = fit_rect(out_w, out_h);
    const int whole = fit.w / SCREEN_W;
    SDL_SetRenderTarget(win.renderer, nullptr);
    // The bars beside the page are black; a page that fills the whole window
    // leaves none, and is not cleared under first (a whole window's fill for
    // nothing, every frame, where the drawing is done by the processor).
    const bool fills = whole >= 1 && whole * SCREEN_W == out_w && whole * SCREEN_H == out_h;
    if (!fills) {
        SDL_SetRenderDrawColor(win.renderer, 0, 0, 0, 255);
        SDL_RenderClear(win.renderer);
    }
    // A whole multiple is used, crisp, when it fills nearly all of the window;
    // otherwise the page is blown up crisply to the next whole multiple and
    // smoothed down from there to fill the window at 4:3.
    if (whole >= 1 && whole * SCREEN_W * 10 >= fit.w * 9) {
        win.dest = {(out_w - whole * SCREEN_W) / 2, (out_h - whole * SCREEN_H) / 2,
                    whole * SCREEN_W, whole * SCREEN_H};
        SDL_RenderCopy(win.renderer, win.page, nullptr, &win.dest);
    } else {
        win.dest = fit;
        const int factor = whole + 1;
        if (factor > 1 && win.upscaled_factor != factor) {
            if (win.upscaled) SDL_DestroyTexture(win.upscaled);
            win.upscaled = SDL_CreateTexture(win.renderer, SDL_PIXELFORMAT_RGB888,
                                             SDL_TEXTUREACCESS_TARGET, SCREEN_W * factor,
                                             SCREEN_H * factor);
            if (win.upscaled) SDL_SetTextureScaleMode(win.upscaled, SDL_ScaleModeLinear);
            win.upscaled_factor = win.upscaled ? factor : 0;
        }
        if (factor > 1 && win.upscaled && SDL_SetRenderTarget(win.renderer, win.upscaled) == 0) {
            SDL_RenderCopy(win.renderer, win.page, nullptr, nullptr);
            SDL_SetRenderTarget(win.renderer, nullptr);
            SDL_RenderCopy(win.renderer, win.upscaled, nullptr, &win.dest);
        } else {
            SDL_SetTextureScaleMode(win.page, SDL_ScaleModeLinear);
            SDL_RenderCopy(win.renderer, win.page, nullptr, &win.dest);
            SDL_SetTextureScaleMode(win.page, SDL_ScaleModeNearest);
        }
    }
    clock_gettime(CLOCK_MONOTONIC, &win.present_called);
    SDL_RenderPresent(win.renderer);
#endif
}

// Pacing diagnostics of this backend, not of the game: when VALMOREN_FRAME_LOG
// names a file, every present appends "<monotonic seconds when the present was
// called> <pixel at 0,0> <pixel at 320,200> <L for a page that ends a level
// frame, - otherwise> <monotonic seconds when the present call returned>" so a
// measuring script can time level frames and spot the logo.
void log_present(const uint32_t* pixels, bool level_frame) {
    static std::FILE* log = nullptr;
    static bool looked = false;
    if (!looked) {
        looked = true;
#ifdef _WIN32
        const std::string path = environment_value("VALMOREN_FRAME_LOG");  // a folder named in any script
#else
        const char* variable = std::getenv("VALMOREN_FRAME_LOG");
        const std::string path = variable ? variable : "";
#endif
        if (!path.empty()) log = open_game_file(path, "a");
    }
    if (!log) return;
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    std::fprintf(log, "%lld.%09ld %06x %06x %c %lld.%09ld\n",
                 static_cast<long long>(win.present_called.tv_sec), win.present_called.tv_nsec,
                 pixels[0] & 0xFFFFFFu, pixels[200 * SCREEN_W + 320] & 0xFFFFFFu, level_frame ? 'L' : '-',
                 static_cast<long long>(now.tv_sec), now.tv_nsec);
    std::fflush(log);
}

// The size of what the picture is drawn into, in output pixels: the
// renderer's; in the browser, with no renderer, the canvas's, which is the
// window's.
void output_size(int win_w, int win_h, int& out_w, int& out_h) {
    out_w = win_w;
    out_h = win_h;
    if (win.renderer) SDL_GetRendererOutputSize(win.renderer, &out_w, &out_h);
}

void update_cursor() {
    SDL_ShowCursor(win.mouse_visible ? SDL_ENABLE : SDL_DISABLE);
}

}  // namespace

int sdl_key_code(const SDL_Keysym& key) { return set1_scancode(key); }

// Alt+Enter or F11: desktop full screen or back to the window, for this run
// only. The picture is drawn again at once for the new size.
void sdl_toggle_full_screen() {
    if (!win.window) return;
    const bool to_full = !win.full_screen;
    if (to_full) SDL_GetWindowSize(win.window, &win.windowed_w, &win.windowed_h);
    if (SDL_SetWindowFullscreen(win.window, to_full ? SDL_WINDOW_FULLSCREEN_DESKTOP : 0) != 0) return;
    win.full_screen = to_full;
    sdl_hold_window_to_mode(win.window, win.full_screen, win.windowed_w, win.windowed_h);
    if (win.have_page) draw_page();
}

// The page copied row by row into the window's memory and handed to the
// display, when the software renderer draws there and the window is exactly
// the page's size in its pixel format. False when it is not.
bool show_page_directly(const uint32_t* pixels) {
    if (!win.direct) return false;
    SDL_Surface* surface = SDL_GetWindowSurface(win.window);
    if (!surface || surface->w != SCREEN_W || surface->h != SCREEN_H || !surface->format ||
        surface->format->format != SDL_PIXELFORMAT_RGB888 || SDL_MUSTLOCK(surface))
        return false;
    auto* rows = static_cast<uint8_t*>(surface->pixels);
    for (int y = 0; y < SCREEN_H; ++y)
        std::memcpy(rows + static_cast<size_t>(y) * surface->pitch, pixels + y * SCREEN_W, SCREEN_W * 4);
    win.dest = {0, 0, SCREEN_W, SCREEN_H};
    win.texture_behind = true;
    clock_gettime(CLOCK_MONOTONIC, &win.present_called);
    return SDL_UpdateWindowSurface(win.window) == 0;
}

// Puts the visible page onto the screen when it has been handed over.
void sdl_show_page() {
    if (!win.pending) return;
    win.pending = false;
    const uint32_t* pixels = page_pixels(visible_page());
    win.have_page = true;
#ifdef __EMSCRIPTEN__
    // The browser's canvas takes the page from the backend itself.
    clock_gettime(CLOCK_MONOTONIC, &win.present_called);
    web_show_page(pixels, false);
#else
    if (!show_page_directly(pixels)) {
        SDL_UpdateTexture(win.page, nullptr, pixels, SCREEN_W * 4);
        win.texture_behind = false;
        draw_page();
    }
#endif
    log_present(pixels, win.pending_paced);
}

namespace {

// Without a window the game cannot be seen or played: say why on standard
// error, in one line, and end with status 1 (rather than run on unseen,
// waiting for keys that can never come).
[[noreturn]] void no_window(const char* reason) {
#ifdef _WIN32
    backend_report_problem(std::string("Valmoren: cannot open a window: ") + reason);
#else
    const char* x11 = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    const bool no_display = (!x11 || !*x11) && (!wayland || !*wayland);
    std::fprintf(stderr, "Valmoren: cannot open a window%s: %s\n",
                 no_display ? " (no display: DISPLAY and WAYLAND_DISPLAY are not set)" : "", reason);
#endif
    backend_end_program(1);
}

#ifndef __EMSCRIPTEN__
// Names of graphics done by the processor: Mesa's llvmpipe, softpipe and
// swrast, SwiftShader, and Windows' own "Microsoft Basic Render Driver" of a
// machine without a graphics driver.
bool names_processor_graphics(const std::string& name) {
    for (const char* software : {"llvmpipe", "softpipe", "Software Rasterizer", "swrast", "SwiftShader",
                                 "Basic Render Driver"})
        if (name.find(software) != std::string::npos) return true;
    return false;
}

#ifdef _WIN32
// SDL's index of the render driver of that name; -1 (any) when it has none.
int render_driver_index(const char* name) {
    for (int i = 0; i < SDL_GetNumRenderDrivers(); ++i) {
        SDL_RendererInfo info{};
        if (SDL_GetRenderDriverInfo(i, &info) == 0 && info.name && std::strcmp(info.name, name) == 0) return i;
    }
    return -1;
}

// Under Wine (its own system library says so) with no renderer named: the
// renderer is chosen by the host's OpenGL.
bool wine_asks_opengl() {
    const char* chosen = std::getenv("SDL_RENDER_DRIVER");
    const HMODULE ntdll = GetModuleHandleW(L"ntdll.dll");
    return !(chosen && *chosen) && ntdll && GetProcAddress(ntdll, "wine_get_version");
}
#endif

// True when the renderer draws through an OpenGL (or, on Windows, a
// Direct3D) that is itself done by the processor: a machine or display with
// no graphics acceleration, such as a virtual machine or a virtual display
// (Wine's Direct3D on such a display too). There every frame's upload,
// scaling and hand-over costs more than the game's drawing.
bool draws_by_processor(SDL_Renderer* renderer) {
    SDL_RendererInfo info{};
    if (SDL_GetRendererInfo(renderer, &info) != 0 || !info.name) return false;
#ifdef _WIN32
    if (std::strcmp(info.name, "direct3d") == 0) {
        IDirect3DDevice9* device = SDL_RenderGetD3D9Device(renderer);
        if (!device) return false;
        IDirect3D9* d3d = nullptr;
        D3DADAPTER_IDENTIFIER9 adapter{};
        D3DDEVICE_CREATION_PARAMETERS made{};
        const bool known = device->GetDirect3D(&d3d) == D3D_OK && d3d &&
                           device->GetCreationParameters(&made) == D3D_OK &&
                           d3d->GetAdapterIdentifier(made.AdapterOrdinal, 0, &adapter) == D3D_OK;
        if (d3d) d3d->Release();
        device->Release();
        return known && names_processor_graphics(adapter.Description);
    }
#endif
    if (std::strncmp(info.name, "opengl", 6) != 0) return false;  // "opengl", "opengles2"
    using GetString = const unsigned char* (*)(unsigned int);
    const auto get_string = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
    if (!get_string) return false;
    constexpr unsigned int GL_RENDERER_NAME = 0x1F01;  // GL_RENDERER
    const unsigned char* name = get_string(GL_RENDERER_NAME);
    return name && names_processor_graphics(reinterpret_cast<const char*>(name));
}
#endif

#ifdef _WIN32
// The window's size out of full screen on a scaled display (a laptop at 125
// to 200 %): the program draws its own pixels there (its manifest says so;
// otherwise Windows would stretch the picture with a blur), so the window is
// made the page's whole multiple nearest the display's scale, in real pixels,
// as large as the display's usable area holds with the window's frame.
void size_window_for_display(SDL_Window* window) {
    const int display = SDL_GetWindowDisplayIndex(window);
    float dpi = 0.0f;
    SDL_Rect usable{};
    if (display < 0 || SDL_GetDisplayDPI(display, &dpi, nullptr, nullptr) != 0 || dpi <= 0.0f ||
        SDL_GetDisplayUsableBounds(display, &usable) != 0)
        return;
    int top = 0, left = 0, bottom = 0, right = 0;
    SDL_GetWindowBordersSize(window, &top, &left, &bottom, &right);
    int scale = static_cast<int>(dpi / 96.0f + 0.5f);
    while (scale > 1 && (SCREEN_W * scale + left + right > usable.w || SCREEN_H * scale + top + bottom > usable.h))
        --scale;
    if (scale <= 1) return;
    win.windowed_w = SCREEN_W * scale;
    win.windowed_h = SCREEN_H * scale;
    SDL_SetWindowSize(window, win.windowed_w, win.windowed_h);
    SDL_SetWindowPosition(window, SDL_WINDOWPOS_CENTERED_DISPLAY(display), SDL_WINDOWPOS_CENTERED_DISPLAY(display));
}

// The title bar's and the taskbar's icons: the program's icon images drawn at
// the sizes the window's display asks for (16 and 32 px at 100 %, 24 and 48
// at 150 %), which the system would otherwise shrink from one larger image.
void set_window_icons(SDL_Window* window) {
    SDL_SysWMinfo info;
    SDL_VERSION(&info.version);
    if (!SDL_GetWindowWMInfo(window, &info) || info.subsystem != SDL_SYSWM_WINDOWS) return;
    const HWND hwnd = info.info.win.window;
    // Windows 10's per-monitor sizes where the system has them.
    using DpiForWindow = UINT(WINAPI*)(HWND);
    using MetricForDpi = int(WINAPI*)(int, UINT);
    const HMODULE user32 = GetModuleHandleW(L"user32.dll");
    const auto dpi_for_window =
        reinterpret_cast<DpiForWindow>(reinterpret_cast<void (*)()>(GetProcAddress(user32, "GetDpiForWindow")));
    const auto metric_for_dpi =
        reinterpret_cast<MetricForDpi>(reinterpret_cast<void (*)()>(GetProcAddress(user32, "GetSystemMetricsForDpi")));
    const auto metric = [&](int which) {
        return dpi_for_window && metric_for_dpi ? metric_for_dpi(which, dpi_for_window(hwnd)) : GetSystemMetrics(which);
    };
    const struct {
        WPARAM kind;
        int w, h;
    } icons[] = {{ICON_SMALL, SM_CXSMICON, SM_CYSMICON}, {ICON_BIG, SM_CXICON, SM_CYICON}};
    for (const auto& icon : icons) {
        // Kept for the program's life: the window shows it.
        const HANDLE image = LoadImageW(GetModuleHandleW(nullptr), MAKEINTRESOURCEW(1), IMAGE_ICON, metric(icon.w),
                                        metric(icon.h), LR_DEFAULTCOLOR);
        if (image) SendMessageW(hwnd, WM_SETICON, icon.kind, reinterpret_cast<LPARAM>(image));
    }
}
#endif

#ifndef __EMSCRIPTEN__
// The renderer for the window: the system's accelerated one, unless that is
// an OpenGL (or Direct3D) done by the processor. Then SDL's own software renderer draws
// straight into the window's memory shared with the display server, which
// there takes about a third less processor time per frame. A renderer named
// in SDL_RENDER_DRIVER is used as it is.
SDL_Renderer* make_renderer(SDL_Window* window) {
    int first = -1;  // SDL's own first choice
#ifdef _WIN32
    // Under Wine, Direct3D is Wine's own, drawn through the host's OpenGL,
    // and names a made-up graphics card: the host's OpenGL is asked instead
    // (the window was made for it, backend_open_screen).
    if (wine_asks_opengl()) first = render_driver_index("opengl");
#endif
    SDL_Renderer* renderer = SDL_CreateRenderer(window, first, SDL_RENDERER_ACCELERATED | SDL_RENDERER_TARGETTEXTURE);
    if (!renderer && first >= 0)
        renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_TARGETTEXTURE);
#ifndef __EMSCRIPTEN__
    const char* chosen = std::getenv("SDL_RENDER_DRIVER");
    if (renderer && !(chosen && *chosen) && draws_by_processor(renderer)) {
        SDL_DestroyRenderer(renderer);
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
        renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
        if (renderer) return renderer;
        SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, nullptr);
        renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_TARGETTEXTURE);
    }
#endif
    if (!renderer) renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
    return renderer;
}
#endif

// The window systems a player can see. Left to itself, SDL falls back to a
// window nobody sees (its offscreen and dummy drivers) when there is no
// display; those stay available to whoever names them in SDL_VIDEODRIVER.
// Wayland is only tried where its sockets can be, so that libwayland does not
// add its own complaint on a terminal without a session.
#ifndef __EMSCRIPTEN__
std::string visible_video_drivers() {
#ifdef _WIN32
    return "windows";
#else
    const char* runtime = std::getenv("XDG_RUNTIME_DIR");
    return (runtime && *runtime) ? "x11,wayland,KMSDRM" : "x11,KMSDRM";
#endif
}
#endif

}  // namespace

void backend_init() {
#ifdef __EMSCRIPTEN__
    web_start_up();
#endif
    sdl_sleep_precisely();
    SDL_SetHint(SDL_HINT_VIDEO_ALLOW_SCREENSAVER, "0");
    SDL_SetHint(SDL_HINT_RENDER_VSYNC, "0");
#ifndef __EMSCRIPTEN__
    SDL_SetHint(SDL_HINT_VIDEODRIVER, visible_video_drivers().c_str());  // the variable still wins
#endif
    if (SDL_Init(SDL_INIT_VIDEO | SDL_INIT_TIMER | SDL_INIT_EVENTS) != 0) no_window(SDL_GetError());
    sdl_pads_start();
}

void backend_open_screen(int full_screen) {
    // Hidden until its renderer is made: an OpenGL renderer makes the window
    // anew, and a window shown at once would flash up, vanish and come back.
    Uint32 base = SDL_WINDOW_RESIZABLE | SDL_WINDOW_ALLOW_HIGHDPI | SDL_WINDOW_HIDDEN;
#ifdef __EMSCRIPTEN__
    // In a browser the canvas holds the 640x480 page as it is and the page
    // scales it crisply (whole multiples when they fit), which keeps the
    // drawing cheap; full screen is the page's own button, as it needs a click.
    base = 0;
    full_screen = 0;
#endif
#ifdef _WIN32
    // Made for OpenGL at once, so that the renderer need not make it anew.
    if (wine_asks_opengl()) base |= SDL_WINDOW_OPENGL;
#endif
    const Uint32 kinds[2] = {full_screen ? Uint32(SDL_WINDOW_FULLSCREEN_DESKTOP) : 0u,
                             full_screen ? 0u : Uint32(SDL_WINDOW_FULLSCREEN_DESKTOP)};
    // The kind asked for first, then the other kind before giving up.
    for (Uint32 kind : kinds) {
        win.window = SDL_CreateWindow("", SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED,
                                      SCREEN_W, SCREEN_H, base | kind);
        if (win.window) {
            win.full_screen = kind != 0;
            break;
        }
    }
    if (!win.window) no_window(SDL_GetError());
    SDL_SetWindowTitle(win.window, win.caption.c_str());
#ifndef __EMSCRIPTEN__
    // (The browser's canvas takes the page from the backend itself:
    // sdl_web_page.cpp.)
    SDL_SetWindowMinimumSize(win.window, 320, 240);
#ifdef _WIN32
    size_window_for_display(win.window);
#endif
    win.renderer = make_renderer(win.window);
    SDL_RendererInfo info{};
    win.direct = win.renderer && SDL_GetRendererInfo(win.renderer, &info) == 0 &&
                 (info.flags & SDL_RENDERER_SOFTWARE) != 0;
    if (!win.renderer) no_window(SDL_GetError());
#ifdef _WIN32
    set_window_icons(win.window);  // on the window as it is after its renderer
#endif
    SDL_ShowWindow(win.window);
    // After the renderer, which may have made the window anew for itself.
    sdl_hold_window_to_mode(win.window, win.full_screen, win.windowed_w, win.windowed_h);
    win.page = SDL_CreateTexture(win.renderer, SDL_PIXELFORMAT_RGB888, SDL_TEXTUREACCESS_STREAMING,
                                 SCREEN_W, SCREEN_H);
    if (!win.page) no_window(SDL_GetError());
    if (win.page) SDL_SetTextureScaleMode(win.page, SDL_ScaleModeNearest);
#endif
    update_cursor();
    backend_present(false);
}

void backend_set_caption(const std::string& text) {
    win.caption = text;
    if (win.window) SDL_SetWindowTitle(win.window, win.caption.c_str());
}

void backend_present(bool paced_frame) {
#ifdef __EMSCRIPTEN__
    if (!win.window) return;
#else
    if (!win.window || !win.page) return;
#endif
    if (!win.pending) win.pending_since = sdl_clock();
    win.pending = true;
    win.pending_paced = paced_frame;
    // A level frame's page goes to the screen at the end of the next retrace
    // wait, like a page flip (or at the next sleep): showing a page takes a
    // millisecond or more, and done here it would fall between the end of one
    // paced frame and the start of the next, so every level frame would last
    // 1/60 s plus that time. Menus, overlays and questions show their page
    // straight after their retrace wait, with no pacing of their own to
    // stretch: their page goes up at once, on the beat.
    if (!paced_frame) sdl_show_page();
}

void backend_pump_events() {
    // Key and mouse reads and clock polls fall in the middle of a frame's
    // work: a level frame's page is not shown from here, so that it reaches
    // the screen on the beat. Only a page left waiting for longer than two
    // frames, by a loop that never waits, is shown here.
    const double now = sdl_clock();
    win.events_at = now;
    if (win.pending && now - win.pending_since > 2.0 / 60.0) sdl_show_page();
    sdl_services_look();
    SDL_Event e;
    while (SDL_PollEvent(&e)) {
        if (sdl_service_event(e)) continue;  // pads, sound devices, the window's own keys
        switch (e.type) {
            case SDL_QUIT:
                window_closed();  // returns while recording: the game ends at its next read
                break;
            case SDL_KEYDOWN:
                key_event(set1_scancode(e.key.keysym), true);
                break;
            case SDL_KEYUP:
                key_event(set1_scancode(e.key.keysym), false);
                break;
            case SDL_WINDOWEVENT:
                if (e.window.event == SDL_WINDOWEVENT_FOCUS_LOST) release_all_keys();
                if (e.window.event == SDL_WINDOWEVENT_EXPOSED ||
                    e.window.event == SDL_WINDOWEVENT_SIZE_CHANGED) {
                    if (win.have_page) draw_page();
                }
                break;
            default:
                break;
        }
    }
}

// A level frame reads several keys and the mouse; asking the window system
// for events at each read costs more than the frame's drawing. Within a
// millisecond of the last look the state in hand is the player's.
void backend_refresh_input() { sdl_events_if_older(0.001, sdl_clock()); }

void sdl_events_if_older(double age, double now) {
    if (now - win.events_at >= age || now < win.events_at) backend_pump_events();
}

bool backend_mouse(int32_t& x, int32_t& y, int32_t& wheel, int32_t& buttons) {
    backend_refresh_input();
    int mx = 0, my = 0;
    const Uint32 state = SDL_GetMouseState(&mx, &my);
    wheel = 0;
    buttons = ((state & SDL_BUTTON_LMASK) ? MOUSE_LEFT : 0) | ((state & SDL_BUTTON_RMASK) ? MOUSE_RIGHT : 0) |
              ((state & SDL_BUTTON_MMASK) ? MOUSE_MIDDLE : 0);
    // Window points to output pixels (HiDPI), then into the picture's rectangle.
    int win_w = 1, win_h = 1, out_w = 1, out_h = 1;
    if (win.window) SDL_GetWindowSize(win.window, &win_w, &win_h);
    output_size(win_w, win_h, out_w, out_h);
    const double px = mx * static_cast<double>(out_w) / std::max(win_w, 1);
    const double py = my * static_cast<double>(out_h) / std::max(win_h, 1);
    const double fx = (px - win.dest.x) * SCREEN_W / std::max(win.dest.w, 1);
    const double fy = (py - win.dest.y) * SCREEN_H / std::max(win.dest.h, 1);
    int ix = static_cast<int>(std::floor(fx));
    int iy = static_cast<int>(std::floor(fy));
    const bool has_mouse = win.window && (SDL_GetMouseFocus() == win.window);
    const bool inside = has_mouse && ix >= 0 && iy >= 0 && ix < SCREEN_W && iy < SCREEN_H;
    if (!inside && !win.full_screen) {
        x = y = wheel = buttons = -1;
        return false;
    }
    x = std::clamp(ix, 0, SCREEN_W - 1);
    y = std::clamp(iy, 0, SCREEN_H - 1);
    return true;
}

void backend_set_mouse(int x, int y, int visible) {
    win.mouse_visible = visible != 0;
    update_cursor();
    if (win.window && (x != -1 || y != -1)) {
        int cx = 0, cy = 0;
        SDL_GetMouseState(&cx, &cy);
        int win_w = 1, win_h = 1, out_w = 1, out_h = 1;
        SDL_GetWindowSize(win.window, &win_w, &win_h);
        output_size(win_w, win_h, out_w, out_h);
        // Page pixel centre to output pixels, then to window points.
        auto to_window = [](int page, int page_size, int origin, int size, int out, int wsize) {
            const double px = origin + (page + 0.5) * size / page_size;
            return static_cast<int>(px * wsize / std::max(out, 1));
        };
        const int wx = x != -1 ? to_window(x, SCREEN_W, win.dest.x, win.dest.w, out_w, win_w) : cx;
        const int wy = y != -1 ? to_window(y, SCREEN_H, win.dest.y, win.dest.h, out_h, win_h) : cy;
        SDL_WarpMouseInWindow(win.window, wx, wy);
    }
}

}  // namespace valmoren
