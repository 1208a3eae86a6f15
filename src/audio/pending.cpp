// pending.cpp -- sound operations that do nothing yet; removed when the
// stream layer and mixer arrive.
#include "audio/sound.h"

namespace valmoren {

void sound_init() {}
void stream_open(StreamHandle&, const char*) {}
void stream_play(StreamHandle&) {}
void stream_stop(StreamHandle&) {}
void sound_shutdown() {
    g.stream_music = g.stream_fx = g.stream_fx2 = 0;
    g.music_on = 0;
}

}  // namespace valmoren
