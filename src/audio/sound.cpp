// sound.cpp -- the game's sound streams over the mixer, and the music switch.
// Writes g.stream_music, g.stream_fx, g.stream_fx2 and g.music_on.
#include "audio/sound.h"

#include <cstdio>

#include "audio/mixer.h"
#include "platform/input.h"
#include "platform/screen.h"
#include "platform/system.h"

namespace valmoren {

namespace {

// The audio device has been opened and not shut down since.
bool sound_running = false;

}  // namespace

// Called by stream_open before every stream it opens. The first call opens the
// audio device; later calls hand the backend the same mixer again, which an
// open device takes without a pause, leaving the streams and their playback
// as they are (and a device the test harness has reset is opened anew).
void sound_init() {
    if (g.music_on != 1) return;
    if (!open_sound_device(mixer_mix)) {
        // The one failure the game reports. At this point the logo screen is
        // drawing straight onto the visible page, where the text shows at once;
        // a player at a terminal also reads why.
        std::fprintf(stderr, "Can't initialize FMOD: %s\n", sound_device_error().c_str());
        print_text("Can't initialize FMOD", END_LINE);
        wait(-1);
        end_program(1);
    }
    sound_running = true;
}

void stream_open(StreamHandle& slot, const char* path) {
    if (g.music_on != 1) return;
    sound_init();
    // A slot holds one stream: whatever it held is stopped and released, so a
    // restart from inside a level does not leave that level's music playing on.
    if (slot != 0) mixer_close(slot);
    slot = mixer_open(path);
}

void stream_play(StreamHandle& slot) {
    if (g.music_on != 1 || slot == 0) return;
    mixer_play(slot);
}

void stream_stop(StreamHandle& slot) {
    if (g.music_on != 1 || slot == 0) return;
    mixer_close(slot);
    slot = 0;
}

void sound_shutdown() {
    // The device goes first, so no mix is running while the streams are released.
    if (sound_running) close_sound_device();
    sound_running = false;
    mixer_close_all();
    g.stream_music = 0;
    g.stream_fx = 0;
    g.stream_fx2 = 0;
    g.music_on = 0;
}

}  // namespace valmoren
