// libFuzzer target: the game's WAV reader on arbitrary bytes, read a chunk at a
// time the way the mixer reads it, and converted to the device format.
#include <SDL_audio.h>

#include <cstddef>
#include <cstdint>
#include <vector>

#include "audio/decoder.h"
#include "audio/mixer.h"
#include "audio/wav_reader.h"

using namespace valmoren;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    // The reader alone, with an odd read size so whole-frame rounding is exercised.
    ByteSource src;
    source_open_memory(src, data, size);
    WavFormat fmt;
    if (wav_parse(src, fmt)) {
        if (fmt.data_start + fmt.data_bytes > size) __builtin_trap();
        uint8_t buf[777];
        uint64_t offset = 0;
        for (;;) {
            size_t n = wav_read(src, fmt, offset, buf, sizeof buf);
            if (n == 0) break;
            if (n % static_cast<size_t>(fmt.frame_bytes) != 0 || n > sizeof buf) __builtin_trap();
            offset += n;
        }
        if (offset != fmt.data_bytes) __builtin_trap();
    }

    // Through the decoder and the converter, twice (the second time after a rewind).
    Decoder dec;
    if (!decoder_open_memory(dec, data, size)) return 0;
    SDL_AudioStream* cv = SDL_NewAudioStream(dec.format, static_cast<Uint8>(dec.channels), dec.rate,
                                             AUDIO_S16SYS, 2, MIX_RATE);
    std::vector<uint8_t> chunk(4096);
    std::vector<int16_t> out(8192);
    for (int pass = 0; pass < 2 && cv != nullptr; ++pass) {
        int n;
        while ((n = decoder_read(dec, chunk.data(), static_cast<int>(chunk.size()))) > 0) {
            SDL_AudioStreamPut(cv, chunk.data(), n);
            while (SDL_AudioStreamGet(cv, out.data(), static_cast<int>(out.size() * 2)) > 0) {
            }
        }
        SDL_AudioStreamFlush(cv);
        while (SDL_AudioStreamGet(cv, out.data(), static_cast<int>(out.size() * 2)) > 0) {
        }
        SDL_AudioStreamClear(cv);
        if (!decoder_rewind(dec)) break;
    }
    if (cv != nullptr) SDL_FreeAudioStream(cv);
    decoder_close(dec);
    return 0;
}
