// input.cpp -- the key table and key-press flag, the mouse, the seconds clock,
// waits, the 15-bit random generator and frame pacing. Every value the game
// reads here passes the journal (journal.h): written down while a game is
// recorded, taken from the recording while one is replayed. Writes no
// GameState fields.
#include "platform/input.h"

#include <cmath>

#include "platform/backend.h"
#include "platform/core_hooks.h"
#include "platform/journal.h"
#include "platform/pads.h"

namespace valmoren {

namespace {

constexpr int KEY_WAIT_SLICE_MS = 50;
constexpr double POLL_REST = 0.001;  // between two looks at the keys in a waiting loop

// Who holds each key down: the keyboard, a gamepad (through its mapping), or both.
constexpr uint8_t HELD_BY_KEYBOARD = 1;
constexpr uint8_t HELD_BY_PAD = 2;
uint8_t keys[KEY_TABLE_SIZE];
bool key_pressed = false;

void hold_key(int scancode, bool down, uint8_t holder) {
    if (scancode >= 0 && scancode < KEY_TABLE_SIZE) {
        if (down) keys[scancode] |= holder;
        else keys[scancode] &= static_cast<uint8_t>(~holder);
    }
    if (down) key_pressed = true;
}

// The generator: a C-library-style linear congruential one, 15 bits a draw.
uint32_t random_next = 1;
int random_last = 0;

// The frame pacing record.
struct FramePacing {
    int target_fps = 60;
    double frame_start = 0;
    double last_duration = 0;
    int frames_counted = 0;
    double next_publication = 0;
    int published_fps = 0;
    bool limited = false;  // frame_limit ran since the last show_frame
};
FramePacing pacing;

// Waits and sleeps happen only where the game is seen: a check and the part
// of a playback before the recorded game's start run as fast as they go.
void sleep_ms(int ms) {
    if (!journal_unseen()) backend_sleep_ms(ms);
}

// A loop that only watches the clock until `done(reading)`: after a rest
// until `moment` it polls the clock, and only the reading that ends it
// reaches the game, so only that one is written down. Replaying, that
// reading comes at once (a playback in the window waits for its moment).
template <typename Done>
void watch_clock(double moment, Done done) {
    if (journal_replaying()) {
        while (!done(journal_watched_seconds(0, moment))) {
        }
        return;
    }
    backend_rest_until(moment);
    for (;;) {
        const double now = backend_seconds();
        if (done(now)) {
            journal_watched_seconds(now, moment);
            return;
        }
    }
}

}  // namespace

void key_event(int scancode, bool down) { hold_key(scancode, down, HELD_BY_KEYBOARD); }

void pad_key_event(int scancode, bool down) { hold_key(scancode, down, HELD_BY_PAD); }

void release_all_keys() {
    for (uint8_t& k : keys) k = 0;
}

bool key_held_live(int scancode) { return scancode >= 0 && scancode < KEY_TABLE_SIZE && keys[scancode] != 0; }

bool take_key_press() {
    journal_keys(keys, key_pressed);
    const bool pressed = journal_take_key_press(key_pressed);
    key_pressed = false;
    return pressed;
}

bool key_down(int scancode) {
    if (!journal_without_backend()) backend_refresh_input();
    journal_keys(keys, key_pressed);
    return journal_replaying() ? journal_key_down(scancode) : key_held_live(scancode);
}

bool get_mouse(int32_t& x, int32_t& y, int32_t& wheel, int32_t& buttons) {
    PointerState p;
    if (!journal_without_backend()) backend_refresh_input();
    if (!journal_replaying()) {
        p.inside = pads_over_mouse(p.x, p.y, p.wheel, p.buttons, backend_mouse(p.x, p.y, p.wheel, p.buttons));
        if (!p.inside) p = PointerState{};
    }
    p = journal_pointer(p);
    x = p.x;
    y = p.y;
    wheel = p.wheel;
    buttons = p.buttons;
    return p.inside;
}

void set_mouse(int x, int y, int visible) {
    if (!journal_without_backend()) backend_set_mouse(x, y, visible);
}

double seconds() { return journal_replaying() ? journal_seconds(0) : journal_seconds(backend_seconds()); }

int32_t whole_seconds() {
    if (journal_replaying()) return journal_whole_seconds(0);
    return journal_whole_seconds(static_cast<int32_t>(std::nearbyint(backend_seconds())));
}

void wait_until(double moment) {
    watch_clock(moment, [moment](double now) { return now > moment; });
}

void rest_between_polls() {
    if (!journal_unseen()) backend_rest(POLL_REST);
}

// Looks at the key-press flag the way a key wait does: the player may act
// first, then window events arrive, then the flag is taken.
static bool key_wait_look() {
    if (!journal_without_backend()) {
        backend_before_key_wait();
        backend_pump_events();
    }
    return take_key_press();
}

void wait(int ms) {
    present_pending_drawing();
    if (ms == -1) {
        while (!key_wait_look()) sleep_ms(KEY_WAIT_SLICE_MS);
    } else if (ms > 99) {
        int remaining = ms;
        while (remaining > KEY_WAIT_SLICE_MS) {
            if (key_wait_look()) return;
            sleep_ms(KEY_WAIT_SLICE_MS);
            remaining -= KEY_WAIT_SLICE_MS;
        }
        sleep_ms(remaining);
    } else if (ms >= 1) {
        if (!journal_without_backend()) backend_pump_events();
        sleep_ms(ms);
    }
}

int random_raw() {
    random_next = random_next * 1103515245u + 12345u;
    random_last = static_cast<int>((random_next / 65536) % 32768);
    return random_last;
}

double random() { return random_raw() / 32768.0; }

int32_t roll(int32_t n) { return static_cast<int32_t>(std::floor(random() * n)); }

void randomize(double seed) {
    // The whole part of the seed, taken modulo 2^32 so any clock reading works.
    double whole = std::isfinite(seed) ? std::trunc(seed) : 0.0;
    whole = std::fmod(whole, 4294967296.0);
    if (whole < 0) whole += 4294967296.0;
    random_next = static_cast<uint32_t>(whole);
    random_raw();
}

void set_target_fps(int n) { pacing.target_fps = n; }

void frame_begin() { pacing.frame_start = seconds(); }

void frame_limit() {
    pacing.limited = true;
    if (pacing.target_fps < 1) return;
    // Rests, then polls the clock until the frame has lasted 1/target seconds.
    watch_clock(pacing.frame_start + 1.0 / pacing.target_fps, [](double now) {
        const double elapsed = now - pacing.frame_start;
        return elapsed > 0 && 1.0 / elapsed <= pacing.target_fps;
    });
}

void frame_end() {
    ++pacing.frames_counted;
    const double now = seconds();
    pacing.last_duration = now - pacing.frame_start;
    if (now >= pacing.next_publication) {
        pacing.next_publication = now + 1.0;
        pacing.published_fps = pacing.frames_counted;
        pacing.frames_counted = 0;
    }
}

bool take_frame_limited() {
    const bool limited = pacing.limited;
    pacing.limited = false;
    return limited;
}

int current_fps() { return pacing.published_fps; }

double last_frame_duration() { return pacing.last_duration; }

void reset_frame_pacing() { pacing = FramePacing{}; }

}  // namespace valmoren
