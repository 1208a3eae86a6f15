// The window backend's own services, run on SDL's dummy video driver and its
// disk sound driver (no display, no sound card): pads plugged in, pressed and
// pulled out through the events SDL delivers for them (SDL virtual joysticks
// played by the test's pad script), a mapping file named by
// SDL_GAMECONTROLLERCONFIG_FILE, the sound device going away and coming back
// with the music going on where it stood, and the window's own keys (Alt+Enter,
// F11, F12) that never reach the game.
#include <SDL.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "audio/mixer.h"
#include "platform/backend.h"
#include "platform/input.h"
#include "platform/pads.h"
#include "platform/screen.h"
#include "platform/sdl/sdl_internal.h"
#include "png_support.h"

namespace valmoren {
namespace {

namespace fs = std::filesystem;

fs::path work;        // the test's working folder
fs::path pad_script;  // VALMOREN_PAD_SCRIPT
std::string generic_guid;  // the plain joystick the mapping file makes a pad of

// Looks at the events until `done` holds, for at most `patience` seconds of
// the machine's time (the disk driver and the joysticks run on SDL's threads).
bool pump_until(const std::function<bool()>& done, double patience = 10.0) {
    const double give_up = sdl_clock() + patience;
    while (!done()) {
        if (sdl_clock() > give_up) return false;
        backend_pump_events();
        SDL_Delay(2);
    }
    return true;
}

// A joystick SDL knows no mapping for: two axes, four buttons. Its device index.
int attach_plain_stick() {
    SDL_VirtualJoystickDesc desc{};
    desc.version = SDL_VIRTUAL_JOYSTICK_DESC_VERSION;
    desc.type = SDL_JOYSTICK_TYPE_UNKNOWN;
    desc.naxes = 2;
    desc.nbuttons = 4;
    desc.name = "Plain test stick";
    return SDL_JoystickAttachVirtualEx(&desc);
}

void script(const std::string& lines) {
    std::ofstream(pad_script, std::ios::app) << lines;
}

// ---------------------------------------------------------------- pads

TEST(SdlPads, PluggedInPressedAndPulledOutMidGame) {
    ASSERT_TRUE(pump_until([] { return pads_attached() == 0; }));
    script("attach 0\n");
    ASSERT_TRUE(pump_until([] { return pads_attached() == 1; }));
    script("button 0 a 1\n");
    ASSERT_TRUE(pump_until([] { return key_down(KEY_ENTER); }));
    EXPECT_TRUE(key_down(KEY_SPACE));
    EXPECT_TRUE(take_key_press());
    script("button 0 a 0\naxis 0 lefty -32768\n");
    ASSERT_TRUE(pump_until([] { return key_down(KEY_UP) && !key_down(KEY_ENTER); }));

    // A second pad works beside the first.
    script("attach 1\nbutton 1 b 1\n");
    ASSERT_TRUE(pump_until([] { return pads_attached() == 2 && key_down(KEY_ESC); }));

    // Pulled out while held: what it held is let go, the other pad's hold stays.
    script("detach 0\n");
    ASSERT_TRUE(pump_until([] { return pads_attached() == 1; }));
    EXPECT_FALSE(key_down(KEY_UP));
    EXPECT_TRUE(key_down(KEY_ESC));

    // Plugged in again, it is taken at once; the triggers are the mouse's buttons.
    script("attach 0\naxis 0 righttrigger 32767\n");
    ASSERT_TRUE(pump_until([] {
        int32_t x, y, wheel, buttons;
        get_mouse(x, y, wheel, buttons);
        return pads_attached() == 2 && buttons == MOUSE_RIGHT;
    }));
    script("detach 0\ndetach 1\n");
    ASSERT_TRUE(pump_until([] { return pads_attached() == 0; }));
    EXPECT_FALSE(key_down(KEY_ESC));
}

TEST(SdlPads, AMappingFileMakesAPlainJoystickAPad) {
    ASSERT_FALSE(generic_guid.empty());
    // The joystick the mapping file names, with its buttons in another order.
    const int index = attach_plain_stick();
    ASSERT_GE(index, 0);
    SDL_Joystick* stick = SDL_JoystickOpen(index);
    ASSERT_NE(stick, nullptr);
    ASSERT_TRUE(pump_until([] { return pads_attached() == 1; }));
    SDL_JoystickSetVirtualButton(stick, 3, SDL_PRESSED);  // the file's "y"
    ASSERT_TRUE(pump_until([] { return key_down(KEY_Y); }));
    EXPECT_FALSE(key_down(KEY_N));
    const SDL_JoystickID id = SDL_JoystickInstanceID(stick);
    SDL_JoystickClose(stick);
    for (int i = 0; i < SDL_NumJoysticks(); ++i)
        if (SDL_JoystickGetDeviceInstanceID(i) == id) SDL_JoystickDetachVirtual(i);
    ASSERT_TRUE(pump_until([] { return pads_attached() == 0; }));
    EXPECT_FALSE(key_down(KEY_Y));
}

// ---------------------------------------------------------------- sound

// A 44100 Hz stereo WAV whose frame k holds k's place in a long saw in both channels.
void write_saw_wav(const std::string& path, int frames) {
    auto le = [](std::string& s, uint32_t v, int n) {
        for (int i = 0; i < n; ++i) s.push_back(static_cast<char>((v >> (8 * i)) & 0xFF));
    };
    std::string s = "RIFF";
    le(s, 36 + frames * 4, 4);
    s += "WAVEfmt ";
    le(s, 16, 4);
    le(s, 1, 2);
    le(s, 2, 2);
    le(s, 44100, 4);
    le(s, 44100 * 4, 4);
    le(s, 4, 2);
    le(s, 16, 2);
    s += "data";
    le(s, frames * 4, 4);
    for (int k = 0; k < frames; ++k) {
        const uint32_t v = static_cast<uint16_t>((k % 30000) - 15000);
        le(s, v, 2);
        le(s, v, 2);
    }
    std::ofstream(path, std::ios::binary) << s;
}

// The left channel of a disk driver's output file.
std::vector<int16_t> left_channel(const fs::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::vector<int16_t> samples;
    int16_t frame[2];
    while (in.read(reinterpret_cast<char*>(frame), sizeof frame)) samples.push_back(frame[0]);
    return samples;
}

// Where in the saw a run of samples starts: -1 when it is not the saw.
long saw_place(const std::vector<int16_t>& s, size_t from) {
    if (s.size() < from + 64) return -1;
    const long k = s[from] + 15000;
    for (size_t i = 1; i < 64; ++i)
        if ((k + static_cast<long>(i)) % 30000 - 15000 != s[from + i]) return -1;
    return k;
}

std::atomic<long> frames_pulled{0};

void counting_mix(int16_t* out, int frames) {
    mixer_mix(out, frames);
    frames_pulled += frames;
}

TEST(SdlSound, TheDeviceGoesAwayPlayGoesOnSilentlyAndTheMusicResumesOnTheNextDevice) {
    // No device at the first open: the game's fatal case stays as it was.
    setenv("SDL_AUDIODRIVER", "nosuchdriver", 1);
    EXPECT_FALSE(open_sound_device(counting_mix));
    EXPECT_FALSE(sound_device_error().empty());
    setenv("SDL_AUDIODRIVER", "disk", 1);

    const fs::path first = work / "first.raw", second = work / "second.raw";
    setenv("SDL_DISKAUDIOFILE", first.c_str(), 1);
    write_saw_wav("saw.wav", 44100 * 20);
    const StreamHandle music = mixer_open("saw.wav");
    ASSERT_NE(music, 0);
    mixer_play(music);
    ASSERT_TRUE(open_sound_device(counting_mix));
    ASSERT_NE(sdl_sound_device_id(), 0u);
    ASSERT_TRUE(pump_until([] { return frames_pulled > 8192; }));

    // Another device going away, or a microphone, is none of the game's business.
    SDL_Event e{};
    e.type = SDL_AUDIODEVICEREMOVED;
    e.adevice.which = sdl_sound_device_id() + 7;
    SDL_PushEvent(&e);
    e.adevice.which = sdl_sound_device_id();
    e.adevice.iscapture = 1;
    SDL_PushEvent(&e);
    backend_pump_events();
    EXPECT_NE(sdl_sound_device_id(), 0u);

    // Ours goes away while no other device can be opened: silence, and the
    // game goes on (a stream opened now opens without complaint).
    setenv("SDL_DISKAUDIOFILE", (work / "no such folder" / "x.raw").c_str(), 1);
    e.adevice.iscapture = 0;
    SDL_PushEvent(&e);
    backend_pump_events();
    EXPECT_EQ(sdl_sound_device_id(), 0u);
    const long pulled_when_gone = frames_pulled;
    const int64_t position_when_gone = mixer_position(music);
    EXPECT_TRUE(open_sound_device(counting_mix));
    for (int i = 0; i < 50; ++i) {
        backend_pump_events();
        SDL_Delay(2);
    }
    EXPECT_EQ(frames_pulled, pulled_when_gone);
    EXPECT_EQ(mixer_position(music), position_when_gone);
    EXPECT_TRUE(mixer_is_playing(music));

    // A device appears: the mixer goes to it and the music goes on from
    // where it stood, at most one device block (1024 frames) on.
    setenv("SDL_DISKAUDIOFILE", second.c_str(), 1);
    e.type = SDL_AUDIODEVICEADDED;
    e.adevice.which = 0;
    SDL_PushEvent(&e);
    backend_pump_events();
    EXPECT_NE(sdl_sound_device_id(), 0u);
    EXPECT_EQ(sdl_sound_devices_reopened(), 1);
    ASSERT_TRUE(pump_until([&] { return frames_pulled > pulled_when_gone + 8192; }));
    close_sound_device();

    const std::vector<int16_t> before = left_channel(first), after = left_channel(second);
    ASSERT_GT(before.size(), 4096u);
    const long last_heard = saw_place(before, before.size() - 64) + 63;
    const long resumed = saw_place(after, 0);
    ASSERT_GE(last_heard, 0) << "the first device did not play the music";
    ASSERT_GE(resumed, 0) << "the second device does not start inside the music";
    EXPECT_GT(resumed, last_heard);
    EXPECT_LE(resumed, last_heard + 1 + 1024);
    mixer_close_all();
}

// ---------------------------------------------------------------- window keys

SDL_Window* game_window() {
    for (Uint32 id = 1; id < 16; ++id)
        if (SDL_Window* w = SDL_GetWindowFromID(id)) return w;
    return nullptr;
}

void push_key(SDL_Scancode code, bool down, Uint16 mod = KMOD_NONE) {
    SDL_Event e{};
    e.type = down ? SDL_KEYDOWN : SDL_KEYUP;
    e.key.state = down ? SDL_PRESSED : SDL_RELEASED;
    e.key.keysym.scancode = code;
    e.key.keysym.sym = SDL_GetKeyFromScancode(code);
    e.key.keysym.mod = mod;
    SDL_PushEvent(&e);
}

bool full_screen() { return (SDL_GetWindowFlags(game_window()) & SDL_WINDOW_FULLSCREEN_DESKTOP) != 0; }

TEST(SdlWindowKeys, AltEnterAndF11SwitchFullScreenAndNeverReachTheGame) {
    ASSERT_NE(game_window(), nullptr);
    backend_pump_events();
    take_key_press();
    ASSERT_FALSE(full_screen());

    push_key(SDL_SCANCODE_LALT, true, KMOD_LALT);
    push_key(SDL_SCANCODE_RETURN, true, KMOD_LALT);
    backend_pump_events();
    EXPECT_TRUE(full_screen());
    EXPECT_FALSE(key_down(KEY_ENTER));
    push_key(SDL_SCANCODE_RETURN, false, KMOD_LALT);
    push_key(SDL_SCANCODE_LALT, false);
    backend_pump_events();
    EXPECT_FALSE(take_key_press());  // neither Enter nor the Alt of the shortcut

    push_key(SDL_SCANCODE_F11, true);
    push_key(SDL_SCANCODE_F11, false);
    backend_pump_events();
    EXPECT_FALSE(full_screen());
    EXPECT_FALSE(take_key_press());

    // Held down, the shortcut switches once, not at every repeat.
    push_key(SDL_SCANCODE_F11, true);
    SDL_Event repeat{};
    repeat.type = SDL_KEYDOWN;
    repeat.key.repeat = 1;
    repeat.key.keysym.scancode = SDL_SCANCODE_F11;
    SDL_PushEvent(&repeat);
    SDL_PushEvent(&repeat);
    backend_pump_events();
    EXPECT_TRUE(full_screen());
    push_key(SDL_SCANCODE_F11, true);
    backend_pump_events();
    EXPECT_FALSE(full_screen());

    // Alt alone is an ordinary key stroke once it is let go; Enter alone is Enter.
    push_key(SDL_SCANCODE_LALT, true, KMOD_LALT);
    backend_pump_events();
    EXPECT_FALSE(take_key_press());
    push_key(SDL_SCANCODE_LALT, false);
    backend_pump_events();
    EXPECT_TRUE(take_key_press());
    push_key(SDL_SCANCODE_RETURN, true);
    backend_pump_events();
    EXPECT_TRUE(key_down(KEY_ENTER));
    push_key(SDL_SCANCODE_RETURN, false);
    backend_pump_events();
    EXPECT_FALSE(fs::exists("options.dat"));  // the choice lasts for this run only
}

TEST(SdlWindowKeys, F12WritesTheVisiblePageTwiceInOneSecondWithoutAKeyPress) {
    uint32_t* page = page_pixels(visible_page());
    for (int i = 0; i < SCREEN_W * SCREEN_H; ++i) page[i] = static_cast<uint32_t>(i * 40503u) & 0xFFFFFF;
    const std::vector<uint32_t> shown(page, page + SCREEN_W * SCREEN_H);
    backend_pump_events();
    take_key_press();
    push_key(SDL_SCANCODE_F12, true);
    push_key(SDL_SCANCODE_F12, false);
    push_key(SDL_SCANCODE_F12, true);
    push_key(SDL_SCANCODE_F12, false);
    backend_pump_events();
    EXPECT_FALSE(take_key_press());
    page[0] = 0x00FF00;  // drawing after the press does not change the picture
    sdl_screenshots_wait();
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator("screenshots")) files.push_back(entry.path());
    ASSERT_EQ(files.size(), 2u);
    for (const fs::path& f : files) {
        int w = 0, h = 0;
        EXPECT_EQ(testing_support::decode_png(f.string(), w, h), shown) << f;
    }
}

}  // namespace
}  // namespace valmoren

// Every test here runs in a process of its own (ctest), on the same start:
// SDL's dummy video and disk sound, the pad script, and a mapping file for
// the plain joystick of the mapping test.
int main(int argc, char** argv) {
    using namespace valmoren;
    testing::InitGoogleTest(&argc, argv);
    work = fs::temp_directory_path() / ("valmoren-sdl-" + std::to_string(getpid()));
    fs::remove_all(work);
    fs::create_directories(work);
    fs::current_path(work);
    setenv("SDL_VIDEODRIVER", "dummy", 1);
    // The dummy window never has the keyboard focus, which pads otherwise need.
    setenv("SDL_JOYSTICK_ALLOW_BACKGROUND_EVENTS", "1", 1);
    setenv("SDL_AUDIODRIVER", "disk", 1);
    setenv("SDL_DISKAUDIOFILE", (work / "sound.raw").c_str(), 1);
    pad_script = work / "pads.txt";
    std::ofstream(pad_script).flush();
    setenv("VALMOREN_PAD_SCRIPT", pad_script.c_str(), 1);

    // The plain joystick's id, learnt before the joystick interface starts
    // for the game and reads the file.
    SDL_InitSubSystem(SDL_INIT_JOYSTICK);
    const int index = attach_plain_stick();
    if (index >= 0) {
        char guid[64];
        SDL_JoystickGetGUIDString(SDL_JoystickGetDeviceGUID(index), guid, sizeof guid);
        generic_guid = guid;
        // Mapping files name a device without the check sum of its name
        // (the GUID's third and fourth bytes).
        if (generic_guid.size() == 32) generic_guid.replace(4, 4, "0000");
        SDL_JoystickDetachVirtual(index);
    }
    SDL_QuitSubSystem(SDL_INIT_JOYSTICK);  // the mappings are read again when it starts
    const fs::path mapping = work / "pads.cfg";
    std::ofstream(mapping) << generic_guid
                           << ",Plain test stick,a:b1,b:b0,x:b2,y:b3,leftx:a0,lefty:a1,platform:Linux,\n";
    setenv("SDL_GAMECONTROLLERCONFIG_FILE", mapping.c_str(), 1);

    backend_init();
    backend_open_screen(0);
    const int result = RUN_ALL_TESTS();
    sdl_screenshots_wait();
    SDL_Quit();
    fs::current_path(fs::temp_directory_path());
    fs::remove_all(work);
    return result;
}
