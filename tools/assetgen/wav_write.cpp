// wav_write.cpp -- canonical RIFF/WAVE writer for the generated sound effects.
#include "wav_write.h"

#include <cmath>
#include <cstdio>

namespace valmoren::assetgen {

namespace {

void put16(std::vector<uint8_t>& b, uint32_t v) {
    b.push_back(static_cast<uint8_t>(v));
    b.push_back(static_cast<uint8_t>(v >> 8));
}
void put32(std::vector<uint8_t>& b, uint32_t v) {
    put16(b, v & 0xFFFF);
    put16(b, v >> 16);
}
void tag(std::vector<uint8_t>& b, const char* t) {
    for (int i = 0; i < 4; ++i) b.push_back(static_cast<uint8_t>(t[i]));
}

}  // namespace

std::vector<uint8_t> wav_bytes(const float* interleaved, size_t frames, int channels) {
    constexpr uint32_t rate = 44100;
    const uint32_t block = static_cast<uint32_t>(channels) * 2;
    const uint32_t data_size = static_cast<uint32_t>(frames) * block;
    std::vector<uint8_t> b;
    b.reserve(44 + data_size);
    tag(b, "RIFF");
    put32(b, 36 + data_size);
    tag(b, "WAVE");
    tag(b, "fmt ");
    put32(b, 16);                   // size of the format chunk
    put16(b, 1);                    // PCM
    put16(b, static_cast<uint32_t>(channels));
    put32(b, rate);
    put32(b, rate * block);         // bytes per second
    put16(b, block);                // bytes per frame
    put16(b, 16);                   // bits per sample
    tag(b, "data");
    put32(b, data_size);
    const size_t n = frames * static_cast<size_t>(channels);
    for (size_t i = 0; i < n; ++i) {
        long s = std::lround(static_cast<double>(interleaved[i]) * 32767.0);
        if (s > 32767) s = 32767;
        if (s < -32767) s = -32767;
        put16(b, static_cast<uint32_t>(static_cast<uint16_t>(static_cast<int16_t>(s))));
    }
    return b;
}

bool write_wav(const std::string& path, const float* interleaved, size_t frames, int channels) {
    const std::vector<uint8_t> bytes = wav_bytes(interleaved, frames, channels);
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace valmoren::assetgen
