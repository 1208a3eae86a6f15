// wav_reader.h -- the byte source every sound decoder reads from (a file read
// in pieces, or a buffer in memory) and the game's own RIFF WAV reader.
// Writes no GameState fields.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>

namespace valmoren {

// A sound file's bytes: an open file read piece by piece, or a memory buffer.
// The decoders never load a file whole.
struct ByteSource {
    std::FILE* file = nullptr;  // owned; closed by source_close
    const uint8_t* memory = nullptr;
    uint64_t size = 0;
    uint64_t pos = 0;
};

bool source_open_file(ByteSource& src, const char* path);
void source_open_memory(ByteSource& src, const uint8_t* data, size_t size);
// Reads up to n bytes at the current position; gives the count read.
size_t source_read(ByteSource& src, void* buf, size_t n);
// Moves to an absolute position inside the source; false beyond its end.
bool source_seek(ByteSource& src, uint64_t pos);
void source_close(ByteSource& src);

// Sample rates a sound file may have; anything outside is refused, so that a
// hostile header cannot ask the converter for absurd amounts of output.
constexpr int SOURCE_RATE_MIN = 1000;
constexpr int SOURCE_RATE_MAX = 384000;

// The playable part of a PCM WAV file: 8-bit unsigned or 16-bit signed
// little-endian samples, 1 or 2 channels interleaved, any rate in range.
struct WavFormat {
    int channels = 0;
    int rate = 0;
    int bits = 0;
    int frame_bytes = 0;      // bytes per sample frame (all channels)
    uint64_t data_start = 0;  // offset of the first sample byte
    uint64_t data_bytes = 0;  // whole frames present in the source
};

// Walks the RIFF chunks (any order, odd sizes padded) for "fmt " and "data".
// False when the source is not a WAV the game can play (wrong magic, no
// format or no data, compressed, 24-bit or more, more than two channels,
// a rate out of range). A data chunk that claims more bytes than the source
// holds is cut to what is there.
bool wav_parse(ByteSource& src, WavFormat& fmt);

// Reads sample bytes from `offset` within the data chunk: at most n bytes,
// whole frames only, never past the data chunk. Gives the count read.
size_t wav_read(ByteSource& src, const WavFormat& fmt, uint64_t offset, uint8_t* buf, size_t n);

}  // namespace valmoren
