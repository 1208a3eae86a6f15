// mixer.h -- the game's own mixer: a table of open sound streams, 32 playback
// channels, and the "mix N frames" routine the audio device pulls from.
// Writes no GameState fields (the stream layer in sound.cpp owns the slots).
#pragma once

#include <cstdint>

#include "state/game_state.h"

namespace valmoren {

constexpr int MIX_RATE = 44100;     // device rate, Hz; output is 16-bit stereo
constexpr int MIX_CHANNELS = 32;    // streams that can sound at once
constexpr int MIX_STREAMS_MAX = 255; // streams that can be open at once

// Opens a sound file (Ogg Vorbis or WAV, told by content) as a stream, not
// playing. Gives 0 when the file is missing, unreadable or not playable, or
// when the table is full.
StreamHandle mixer_open(const char* path);
// Starts the stream from its beginning on a free channel unless it is playing
// already (then nothing happens, cheaply). A finished stream starts again.
// Stale or empty handles are ignored.
void mixer_play(StreamHandle h);
// Stops the stream at once and releases it; the handle goes stale.
void mixer_close(StreamHandle h);
// Stops and releases every stream.
void mixer_close_all();
// Stops and releases every stream and starts the handles' count afresh: the
// table as the program starts, so that a program run twice in one process
// (a recorded game replayed in a test) is handed the same handles.
void mixer_reset();

// Fills `frames` interleaved stereo frames (44100 Hz, 16-bit): every playing
// channel read on from its file as needed, summed with clipping. Called by
// the audio device; safe against the game thread through a lock.
void mixer_mix(int16_t* out, int frames);

// Looks into the mixer (tests, diagnostics).
bool mixer_is_open(StreamHandle h);
bool mixer_is_playing(StreamHandle h);
int64_t mixer_position(StreamHandle h);  // frames mixed since the stream last started
int mixer_channels_in_use();
int mixer_streams_open();

}  // namespace valmoren
