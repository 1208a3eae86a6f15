// sdl_system.cpp -- the game's clock, sleeps, 1/60 s ticks and end of program
// on SDL (the sound device is in sdl_audio_device.cpp).
#include <SDL.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#ifdef __linux__
#include <sys/prctl.h>
#endif
#ifdef _WIN32
#include <windows.h>

#include "platform/win32.h"
#endif

#include "platform/backend.h"
#include "platform/sdl/sdl_internal.h"
#ifdef __EMSCRIPTEN__
#include "platform/sdl/sdl_web.h"
#endif

namespace valmoren {

namespace {

double tick_seconds = 0.0;  // reciprocal of the performance counter's frequency
double last_retrace = -1.0;  // when the last retrace wait returned

double clock_now() {
#ifdef __EMSCRIPTEN__
    return web_clock();  // SDL's counter reads the same clock, through two more calls
#endif
    if (tick_seconds == 0.0) tick_seconds = 1.0 / static_cast<double>(SDL_GetPerformanceFrequency());
    return static_cast<double>(SDL_GetPerformanceCounter()) * tick_seconds;
}

// The last stretch of a wait is spun, not slept: a sleep may overrun by a
// good part of this (with the timer slack set below, typically 40-80 us), a
// spin ends on time. Windows wakes a sleeper on its timer's next tick, a
// millisecond apart at best (sdl_sleep_precisely), so there the spin covers
// that tick.
#ifdef _WIN32
constexpr double SPIN_WINDOW = 0.0015;
constexpr double SPIN_LEFT = 0.0012;
#else
constexpr double SPIN_WINDOW = 0.00015;
constexpr double SPIN_LEFT = 0.0001;  // what the last nap leaves to spin
#endif
constexpr double SLEEP_SLICE = 0.01;  // events keep flowing between slices

#ifdef _WIN32
// A timer that wakes its waiter at the moment set rather than on the next
// 15.6 ms tick where the system has the high-resolution kind (Windows 10
// 1803 on); elsewhere a plain one, which keeps to the tick SDL sets.
HANDLE nap_timer = nullptr;

void nap(double secs) {
    if (!nap_timer) {
        constexpr DWORD HIGH_RESOLUTION = 0x00000002;  // CREATE_WAITABLE_TIMER_HIGH_RESOLUTION
        nap_timer = CreateWaitableTimerExW(nullptr, nullptr, HIGH_RESOLUTION, TIMER_ALL_ACCESS);
        if (!nap_timer) nap_timer = CreateWaitableTimerExW(nullptr, nullptr, 0, TIMER_ALL_ACCESS);
    }
    LARGE_INTEGER due;
    due.QuadPart = -static_cast<LONGLONG>(secs * 1e7);  // relative, in 100 ns
    if (nap_timer && SetWaitableTimer(nap_timer, &due, 0, nullptr, nullptr, FALSE)) {
        WaitForSingleObject(nap_timer, INFINITE);
    } else {
        Sleep(static_cast<DWORD>(secs * 1000.0));
    }
}
#else
void nap(double secs) {
    timespec ts{0, static_cast<long>(secs * 1e9)};
    nanosleep(&ts, nullptr);
}
#endif

// What ends the program with a failure, shown in a message box as it ends
// (Windows: a windowed program has nowhere else to say it).
std::string problem_at_end;

// Sleeps, in slices that keep the window responsive, until the clock is
// within SPIN_WINDOW of `until`. In a browser the browser has the time on a
// timer and gets its turns meanwhile (ASYNCIFY).
void nap_until(double until) {
#ifdef __EMSCRIPTEN__
    web_sleep_until(until, clock_now);
    return;
#endif
    for (;;) {
        sdl_events_if_older(SLEEP_SLICE, clock_now());
        const double left = until - clock_now();
        if (left <= SPIN_WINDOW) return;
        nap(std::min(left - SPIN_LEFT, SLEEP_SLICE));
    }
}

// Sleeps until the clock reaches `until`: naps, then a short spin. Spinning
// longer would cost the game its share of a busy processor, and with it whole
// frames; sleeping to the end would overrun.
void sleep_until(double until) {
    nap_until(until);
    while (clock_now() < until) {
    }
}

}  // namespace

double sdl_clock() { return clock_now(); }

// Asks the system to wake the game's sleeps on time: the default slack of 50
// microseconds would make every nap longer than asked, and the spin after it
// shorter windows could not catch.
// On Windows SDL itself raises the system timer to 1 ms ticks while it runs
// (SDL_HINT_TIMER_RESOLUTION, "1" unless set otherwise), which a plain timer's
// wake-ups follow.
void sdl_sleep_precisely() {
#ifdef __linux__
    prctl(PR_SET_TIMERSLACK, 1000UL);  // nanoseconds
#endif
}

void sdl_problem_at_end(const std::string& line) { problem_at_end = line; }

// The game's clock: whole microseconds, so that a reading is the same
// number (and the same double) on every machine a recording is played on,
// and a recording keeps it in a few bytes. A microsecond is far finer than
// anything the game times.
double backend_seconds() {
    const double now = std::floor(clock_now() * 1e6) / 1e6;
    // Busy waits poll the clock: keep the window answering them too.
    sdl_events_if_older(SLEEP_SLICE, now);
#ifdef __EMSCRIPTEN__
    web_clock_read(now);
#endif
    return now;
}

void backend_sleep_ms(int ms) {
    if (ms <= 0) return;
    sdl_show_page();  // a level frame's page waiting for its flip goes up now
    sleep_until(clock_now() + ms / 1000.0);
}

// The caller polls the clock for the last fraction of a millisecond itself.
void backend_rest_until(double moment) {
    sdl_show_page();
    nap_until(moment);
}

void backend_rest(double secs) {
    sdl_show_page();
#ifdef __EMSCRIPTEN__
    web_rest(secs);
    return;
#endif
    nap_until(clock_now() + secs);
}

// The retrace is a 60 Hz beat of the game's own, whatever the display does:
// it comes 1/60 s after the previous one, or at once when the game is later
// than that, and the beat then counts from there. A beat fixed to the clock
// would drift against the level frames' own 1/60 s limit, which counts from
// the frame's start: every few seconds a frame would miss its tick and last
// half as long again as its neighbours. A level frame's page handed over
// before the wait goes up on the beat.
void backend_wait_retrace() {
    const double now = clock_now();
    if (now - last_retrace > 1.0 / 60.0 || now < last_retrace) {
        last_retrace = now;
#ifdef __EMSCRIPTEN__
        web_turn_if_due(now);
#endif
        backend_pump_events();
    } else {
        last_retrace += 1.0 / 60.0;
        sleep_until(last_retrace);
    }
    sdl_show_page();
}

void backend_file_written() {
#ifdef __EMSCRIPTEN__
    web_file_written();
#endif
}

void backend_data_file_wanted(const std::string& path) {
#ifdef __EMSCRIPTEN__
    web_wait_for_data(path);
#else
    (void)path;
#endif
}

void backend_before_frame() {}
void backend_before_key_wait() {}

std::string backend_error() { return SDL_GetError(); }

void backend_report_problem(const std::string& line) {
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
#ifdef _WIN32
    show_message_box(line);
#endif
}

void backend_end_program(int status) {
    sdl_close_sound_device();
    std::fflush(nullptr);
#ifdef _WIN32
    if (status != 0 && !problem_at_end.empty()) show_message_box(problem_at_end);
#endif
    SDL_Quit();
#ifdef __EMSCRIPTEN__
    web_end_program(status);
#endif
    std::exit(status);
}

}  // namespace valmoren
