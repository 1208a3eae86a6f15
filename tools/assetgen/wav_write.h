// wav_write.h -- the explosion effects as plain 16-bit PCM WAV files.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace valmoren::assetgen {

// A canonical RIFF/WAVE file (44-byte header) of 16-bit PCM at 44100 Hz holding
// `frames` frames of `channels` interleaved samples in -1..1 (rounded, limited
// to the 16-bit range).
std::vector<uint8_t> wav_bytes(const float* interleaved, size_t frames, int channels);
bool write_wav(const std::string& path, const float* interleaved, size_t frames, int channels);

}  // namespace valmoren::assetgen
