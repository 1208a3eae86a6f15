// sound.h -- the game's sound streams: open a file into a slot of the game
// state, play it on any free channel, stop and close it, shut everything down.
// Every operation but sound_shutdown does nothing while g.music_on is not 1.
#pragma once

#include "state/game_state.h"

namespace valmoren {

void sound_init();
void stream_open(StreamHandle& slot, const char* path);
void stream_play(StreamHandle& slot);
void stream_stop(StreamHandle& slot);
void sound_shutdown();

}  // namespace valmoren
