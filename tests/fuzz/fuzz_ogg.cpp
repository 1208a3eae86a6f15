// libFuzzer target: Ogg Vorbis decoding from a memory buffer (libvorbisfile
// through the game's byte-source callbacks), read to the end and rewound.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "audio/decoder.h"

using namespace valmoren;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    Decoder dec;
    if (!decoder_open_memory(dec, data, size)) return 0;
    std::vector<uint8_t> buf(16384);
    // Vorbis packets decode to a bounded number of samples each; the cap only
    // keeps a single input from running long.
    long total = 0;
    for (int pass = 0; pass < 2; ++pass) {
        int n;
        while ((n = decoder_read(dec, buf.data(), static_cast<int>(buf.size()))) != 0 && total < (64L << 20)) {
            if (n > 0) {
                // Whole sample frames only, in the decoder's current format
                // (8-bit WAV frames are one byte a channel).
                const int frame = dec.channels * static_cast<int>(SDL_AUDIO_BITSIZE(dec.format) / 8);
                if (frame <= 0 || n % frame != 0) __builtin_trap();
                total += n;
            }
        }
        if (!decoder_rewind(dec)) break;
    }
    decoder_close(dec);
    return 0;
}
