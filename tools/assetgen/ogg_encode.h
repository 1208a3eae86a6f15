// ogg_encode.h -- packs the synthesiser's stereo output into Ogg Vorbis files
// for the music streams and the pick-up chime.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace valmoren::assetgen {

// Encodes `frames` stereo frames (samples in -1..1) at 44100 Hz with the
// quality-based encoder. The stream serial number is fixed, so the same
// samples always give the same bytes. Empty on an encoder failure.
std::vector<uint8_t> encode_ogg(const float* left, const float* right, size_t frames,
                                float quality);

// Writes bytes to a file; false when there are none or they cannot be written.
bool write_bytes(const std::string& path, const std::vector<uint8_t>& bytes);

}  // namespace valmoren::assetgen
