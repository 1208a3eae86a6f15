// sdl_audio_device.cpp -- the sound device on SDL: 44100 Hz stereo 16-bit,
// pulled by the game's mixer. A device that goes away (a USB headset pulled
// out) is closed and the game plays on silently; the default device is tried
// again at once and whenever SDL reports a device appearing, and the mixer is
// handed to the first that opens, going on where its streams stand. Only the
// very first open decides whether the game can start at all.
#include <SDL.h>

#include "platform/backend.h"
#include "platform/sdl/sdl_internal.h"

namespace valmoren {

namespace {

struct SoundDevice {
    SDL_AudioDeviceID id = 0;
    bool subsystem = false;
    AudioPull pull = nullptr;  // the mixer, also while no device plays it
    bool ever_opened = false;  // a device has played since the program started
    bool wanted = false;       // the game has the device open (no close since)
    int reopened = 0;          // devices taken after one went away
};

SoundDevice sound;

void audio_callback(void*, Uint8* stream, int len) {
    const int frames = len / 4;
    if (sound.pull) sound.pull(reinterpret_cast<int16_t*>(stream), frames);
    else SDL_memset(stream, 0, static_cast<size_t>(len));
}

bool open_default_device() {
    if (!sound.subsystem) {
        if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) return false;
        sound.subsystem = true;
    }
    SDL_AudioSpec want{};
    want.freq = 44100;
    want.format = AUDIO_S16SYS;
    want.channels = 2;
    want.samples = 1024;
    want.callback = audio_callback;
    SDL_AudioSpec have{};
    sound.id = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (sound.id == 0) return false;
    SDL_PauseAudioDevice(sound.id, 0);
    return true;
}

void close_device() {
    if (sound.id != 0) SDL_CloseAudioDevice(sound.id);
    sound.id = 0;
}

}  // namespace

bool backend_audio_open(AudioPull pull) {
    if (sound.id != 0) {
        SDL_LockAudioDevice(sound.id);
        sound.pull = pull;
        SDL_UnlockAudioDevice(sound.id);
        sound.wanted = true;
        return true;
    }
    sound.pull = pull;
    if (open_default_device()) {
        sound.ever_opened = sound.wanted = true;
        return true;
    }
    if (sound.ever_opened) {
        // The device went away earlier in the game: play on silently until
        // one appears.
        sound.wanted = true;
        return true;
    }
    sound.pull = nullptr;
    // The game ends on this with its own words on the screen and on standard
    // error; a message box says them with the system's reason as it ends.
    sdl_problem_at_end(std::string("Can't initialize FMOD: ") + SDL_GetError());
    if (sound.subsystem) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    sound.subsystem = false;
    return false;
}

void backend_audio_close() {
    close_device();
    sound.pull = nullptr;
    sound.wanted = false;
    if (sound.subsystem) SDL_QuitSubSystem(SDL_INIT_AUDIO);
    sound.subsystem = false;
}

void sdl_close_sound_device() { close_device(); }

bool sdl_sound_device_event(const SDL_Event& e) {
    if (e.type != SDL_AUDIODEVICEADDED && e.type != SDL_AUDIODEVICEREMOVED) return false;
    if (e.adevice.iscapture) return true;
    if (e.type == SDL_AUDIODEVICEREMOVED) {
        if (sound.id == 0 || e.adevice.which != sound.id) return true;
        // Ours went away: it plays nothing more and is let go; the mixer
        // stays as it is, its streams where they stand.
        close_device();
    }
    // A device appeared, or ours went and another may already be there.
    if (sound.wanted && sound.id == 0 && open_default_device()) ++sound.reopened;
    return true;
}

SDL_AudioDeviceID sdl_sound_device_id() { return sound.id; }

int sdl_sound_devices_reopened() { return sound.reopened; }

}  // namespace valmoren
