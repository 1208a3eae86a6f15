// mastering.h -- the last stage before a sound is written: tone (DC and rumble
// removed, low end tamed, top end lifted where asked), one loudness for all the
// music, and a look-ahead limiter that keeps every peak under its ceiling.
#pragma once

#include "synth.h"

namespace valmoren::assetgen {

// Filters every side: a 20 Hz high-pass (DC and rumble), a low shelf at
// 110 Hz and a high shelf at 6 kHz (gains in dB, 0 leaves that shelf out).
// A looping sound is filtered as if it had just played through once, so the
// filters carry no start-up step into its first samples and the join stays smooth.
void shape_tone(Stereo& s, float low_shelf_db, float high_shelf_db, bool loop);

// Lowers the gain around every sample louder than `ceiling` (0..1), ramping
// down over 3 ms ahead of it and back up over about 80 ms, so no sample is
// above the ceiling afterwards. Gives the largest gain reduction in dB (0 when
// nothing was touched). A looping sound is limited around its join too.
double limit_peaks(Stereo& s, double ceiling, bool loop);

// Brings the sound to `lufs` integrated loudness (EBU R128), limiting peaks to
// `ceiling`; repeats the measurement so that the limiter's loss is made up.
// Gives the largest gain reduction of the limiter in dB.
double master_to_loudness(Stereo& s, double lufs, double ceiling, bool loop);

// The same for a short effect, judged by its loudest 400 ms.
double master_effect(Stereo& s, double momentary_lufs, double ceiling);

// Scales every sample.
void apply_gain(Stereo& s, double gain);

}  // namespace valmoren::assetgen
