// decoder.h -- turns a sound file into raw samples a chunk at a time: Ogg
// Vorbis through libvorbisfile, WAV through the game's own reader.
// Writes no GameState fields.
#pragma once

#include <SDL_audio.h>

#include <cstdint>
#include <vector>

#include "audio/wav_reader.h"

namespace valmoren {

struct VorbisState;  // libvorbisfile's decoder, kept out of this header

enum DecoderKind : int {
    DECODER_NONE = 0,
    DECODER_WAV = 1,
    DECODER_VORBIS = 2,
};

// What decoder_read gives instead of a byte count when the samples that
// follow have another channel count or rate (a chained Ogg file).
constexpr int DECODER_FORMAT_CHANGED = -1;

// One open sound file. Must stay at one address while open (the Vorbis
// library keeps a pointer to its byte source).
struct Decoder {
    DecoderKind kind = DECODER_NONE;
    ByteSource src;
    // Current sample format of the bytes decoder_read gives.
    SDL_AudioFormat format = 0;
    int channels = 0;
    int rate = 0;
    bool ended = false;  // the file has given all its samples
    // WAV
    WavFormat wav;
    uint64_t wav_offset = 0;
    // Ogg Vorbis (owned; released by decoder_close)
    VorbisState* vorbis = nullptr;
    // Samples of a new format held back until the caller has taken the change.
    std::vector<uint8_t> held;
    size_t held_pos = 0;

    Decoder() = default;
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;
};

// Opens a file (or a memory buffer) and reads its header; the kind is told by
// the content, not the name. False when it is neither a playable WAV nor an
// Ogg Vorbis stream; the decoder is then closed.
bool decoder_open_file(Decoder& dec, const char* path);
bool decoder_open_memory(Decoder& dec, const uint8_t* data, size_t size);

// Fills up to `max_bytes` (at least 4096) with samples in the current format,
// whole frames only. Gives the byte count, 0 at the end of the file, or
// DECODER_FORMAT_CHANGED after which format/channels/rate describe the bytes
// that follow.
int decoder_read(Decoder& dec, uint8_t* buf, int max_bytes);

// Back to the first sample. False when the file cannot be rewound.
bool decoder_rewind(Decoder& dec);

void decoder_close(Decoder& dec);

}  // namespace valmoren
