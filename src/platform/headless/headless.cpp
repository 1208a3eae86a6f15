// headless.cpp -- the test and benchmark backend: virtual clock, scripted
// player, visible page access, pull-driven sound device, ProgramEnd.
#include "platform/headless/headless.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <unistd.h>

#include "platform/core_hooks.h"
#include "platform/files.h"
#include "platform/headless/image_dump.h"
#include "platform/input.h"
#include "platform/pads.h"
#include "platform/screen.h"

namespace valmoren {

namespace {

constexpr int AUDIO_RATE = 44100;
constexpr long AUDIO_BATCH = 512;  // frames pulled at a time as the clock runs

struct Headless {
    double now = 0.0;
    double last_rest = -1.0;  // the moment the last rest was asked to end
    Player player;
    bool in_key_wait = false;
    long frames_shown = 0;
    long paced_presents = 0;  // pages handed over as the end of a paced level frame
    int32_t mouse_x = 0, mouse_y = 0, mouse_buttons = 0;
    bool mouse_inside = true;
    int mouse_visible = 1;
    int full_screen = 0;
    std::string caption;
    AudioPull pull = nullptr;
    bool audio_fail = false;
    long audio_frames_done = 0;
    bool audio_recording = false;
    long files_written = 0;
    std::vector<int16_t> recorded;
    std::vector<int16_t> scratch;
};

Headless hl;

// Mixes whatever the sound device would have played up to the virtual clock.
void catch_up_audio(bool force) {
    if (!hl.pull) return;
    const long due = static_cast<long>(hl.now * AUDIO_RATE);
    long todo = due - hl.audio_frames_done;
    if (todo <= 0 || (!force && todo < AUDIO_BATCH)) return;
    while (todo > 0) {
        const int n = static_cast<int>(std::min<long>(todo, 4096));
        hl.scratch.assign(static_cast<size_t>(n) * 2, 0);
        hl.pull(hl.scratch.data(), n);
        if (hl.audio_recording) hl.recorded.insert(hl.recorded.end(), hl.scratch.begin(), hl.scratch.end());
        hl.audio_frames_done += n;
        todo -= n;
    }
}

void advance(double secs) {
    hl.now += secs;
    catch_up_audio(false);
}

}  // namespace

// Backend side.

void backend_init() {}
void backend_open_screen(int full_screen) { hl.full_screen = full_screen; }
void backend_set_caption(const std::string& text) { hl.caption = text; }
void backend_present(bool paced_frame) {
    if (paced_frame) ++hl.paced_presents;
}
void backend_pump_events() {}
void backend_refresh_input() {}

double backend_seconds() {
    advance(HEADLESS_CLOCK_STEP);
    return hl.now;
}

void backend_sleep_ms(int ms) {
    if (ms > 0) advance(ms / 1000.0);
}

void backend_rest_until(double moment) { hl.last_rest = moment; }
void backend_rest(double) {}

void backend_wait_retrace() {
    const double next = (std::floor(hl.now * 60.0) + 1.0) / 60.0;
    advance(next - hl.now);
}

bool backend_mouse(int32_t& x, int32_t& y, int32_t& wheel, int32_t& buttons) {
    if (!hl.mouse_inside) {
        x = y = wheel = buttons = -1;
        return false;
    }
    x = hl.mouse_x;
    y = hl.mouse_y;
    wheel = 0;
    buttons = hl.mouse_buttons;
    return true;
}

void backend_set_mouse(int x, int y, int visible) {
    if (x != -1) hl.mouse_x = x;
    if (y != -1) hl.mouse_y = y;
    hl.mouse_visible = visible;
}

void backend_before_frame() {
    ++hl.frames_shown;
    if (hl.player) hl.player();
}

void backend_before_key_wait() {
    if (!hl.player) return;
    hl.in_key_wait = true;
    hl.player();
    hl.in_key_wait = false;
}

bool backend_audio_open(AudioPull pull) {
    if (hl.audio_fail) return false;
    hl.pull = pull;
    hl.audio_frames_done = static_cast<long>(hl.now * AUDIO_RATE);
    return true;
}

void backend_audio_close() { hl.pull = nullptr; }

void backend_report_problem(const std::string& line) { std::fprintf(stderr, "%s\n", line.c_str()); }

std::string backend_error() { return hl.audio_fail ? "the test's sound device is set to fail" : ""; }

void backend_file_written() { ++hl.files_written; }

void backend_data_file_wanted(const std::string&) {}

void backend_end_program(int status) { throw ProgramEnd{status}; }

// Test side.

void headless_reset() {
    hl.now = 0.0;
    hl.last_rest = -1.0;
    hl.player = nullptr;
    hl.in_key_wait = false;
    hl.frames_shown = 0;
    hl.paced_presents = 0;
    hl.mouse_x = hl.mouse_y = hl.mouse_buttons = 0;
    hl.mouse_inside = true;
    hl.mouse_visible = 1;
    hl.full_screen = 0;
    hl.caption.clear();
    hl.pull = nullptr;
    hl.audio_fail = false;
    hl.audio_frames_done = 0;
    hl.audio_recording = false;
    hl.recorded.clear();
    hl.recorded.shrink_to_fit();
    hl.files_written = 0;
    pads_reset();
    release_all_keys();
    take_key_press();
    std::memset(page_pixels(0), 0, sizeof(uint32_t) * SCREEN_W * SCREEN_H);
    std::memset(page_pixels(1), 0, sizeof(uint32_t) * SCREEN_W * SCREEN_H);
    set_pages(1, 0);
    set_colours(0xFFFFFF, 0x000000);
    locate(1, 1);
    reset_frame_pacing();
    randomize(0);
    set_data_folder("");
}

long headless_files_written() { return hl.files_written; }

void headless_set_player(Player player) { hl.player = std::move(player); }

void headless_press(int scancode) { key_event(scancode, true); }
void headless_release(int scancode) { key_event(scancode, false); }
void headless_tap(int scancode) {
    key_event(scancode, true);
    key_event(scancode, false);
}

void headless_set_mouse(int32_t x, int32_t y, int32_t buttons) {
    hl.mouse_inside = true;
    hl.mouse_x = x;
    hl.mouse_y = y;
    hl.mouse_buttons = buttons;
}

void headless_mouse_outside() { hl.mouse_inside = false; }

bool headless_key_held(int scancode) { return key_held_live(scancode); }

double headless_time() { return hl.now; }
double headless_last_rest() { return hl.last_rest; }
void headless_advance(double secs) { advance(secs); }

int headless_full_screen() { return hl.full_screen; }
const std::string& headless_caption() { return hl.caption; }
int headless_mouse_visible() { return hl.mouse_visible; }

long headless_frames_shown() { return hl.frames_shown; }
long headless_paced_presents() { return hl.paced_presents; }
const uint32_t* headless_visible_page() { return page_pixels(visible_page()); }

uint32_t headless_pixel(int x, int y) {
    if (x < 0 || y < 0 || x >= SCREEN_W || y >= SCREEN_H) return 0;
    return headless_visible_page()[y * SCREEN_W + x];
}

bool headless_save_bmp(const std::string& path) {
    return save_pixels_bmp(path, headless_visible_page(), SCREEN_W, SCREEN_H);
}

bool headless_save_png(const std::string& path) {
    return save_pixels_png(path, headless_visible_page(), SCREEN_W, SCREEN_H);
}

void headless_audio_set_fail(bool fail) { hl.audio_fail = fail; }
bool headless_audio_is_open() { return hl.pull != nullptr; }

std::vector<int16_t> headless_audio_pull(int frames) {
    std::vector<int16_t> out(static_cast<size_t>(std::max(frames, 0)) * 2, 0);
    if (hl.pull && frames > 0) hl.pull(out.data(), frames);
    return out;
}

void headless_audio_record(bool on) {
    catch_up_audio(true);
    hl.audio_recording = on;
}

const std::vector<int16_t>& headless_audio_recorded() {
    catch_up_audio(true);
    return hl.recorded;
}

bool headless_waiting_for_key() { return hl.in_key_wait; }

int headless_run_program(const std::function<void()>& body) {
    try {
        body();
    } catch (const ProgramEnd& end) {
        return end.status;
    }
    return -1;
}

std::string headless_enter_temp_folder(const std::string& name) {
    namespace fs = std::filesystem;
    fs::path dir = fs::temp_directory_path() /
                   ("valmoren-" + name + "-" + std::to_string(static_cast<long>(::getpid())));
    std::error_code ec;
    fs::remove_all(dir, ec);
    fs::create_directories(dir, ec);
    fs::current_path(dir, ec);
    return dir.string();
}

}  // namespace valmoren
