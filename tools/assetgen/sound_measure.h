// sound_measure.h -- how loud, how high and how wide a sound is, measured the
// way a mastering engineer measures a game's audio: EBU R128 loudness and true
// peak through libebur128, DC, and the share of energy in frequency bands.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "synth.h"

namespace valmoren::assetgen {

// Loudness of a sound as the player hears it: stereo frames at 44100 Hz (a
// mono file is heard on both sides). Levels in LUFS and dB; -inf for silence.
struct Loudness {
    double integrated = 0.0;     // whole sound, gated (EBU R128)
    double momentary_max = 0.0;  // loudest 400 ms
    double short_term_max = 0.0; // loudest 3 s (a shorter sound counts with silence around it)
    double true_peak_db = 0.0;   // highest inter-sample peak, dBTP
    double sample_peak = 0.0;    // highest sample, 0..1
};

// Measures with libebur128. `true_peak` false skips the (slower) oversampled
// peak; true_peak_db is then the sample peak in dB.
Loudness measure_loudness(const Stereo& s, bool true_peak = true);
// Integrated loudness only (the cheapest measurement).
double integrated_loudness(const Stereo& s);

// Mean of each side, the larger in dB below full scale.
double dc_db(const Stereo& s);
// Share (0..1) of the sound's energy between lo_hz and hi_hz (both sides).
// The band is cut out with fourth-order filters at each edge.
double band_share(const Stereo& s, double lo_hz, double hi_hz);
// Correlation of the left and right sides (1: the same on both).
double side_correlation(const Stereo& s);

// A generated sound file read back as the mixer would play it: Ogg Vorbis
// through libvorbisfile, 16-bit PCM WAV through a careful header reader.
// Mono files come back on both sides. `ok` false for anything unreadable.
struct SoundFile {
    bool ok = false;
    int channels = 0;   // as stored
    long rate = 0;
    Stereo sound;
};
SoundFile read_sound_file(const std::string& path);
SoundFile read_sound_bytes(const std::vector<uint8_t>& bytes);

}  // namespace valmoren::assetgen
