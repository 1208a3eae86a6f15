// sounds.cpp -- the game's music and sound effects as data for the synthesiser:
// logo sting, menu and story music, the five level tracks, the pick-up chime
// and the two explosions, written under sounds/ in the run folder.
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <string>
#include <thread>
#include <vector>

#include "assetgen.h"
#include "mastering.h"
#include "ogg_encode.h"
#include "sound_measure.h"
#include "synth_songs.h"
#include "synth.h"
#include "wav_write.h"

namespace valmoren::assetgen {

namespace {

// Vorbis quality of the music. Its two sides are nearly the same, which the
// encoder's channel coupling stores cheaply: stereo at 0.1 comes closer to the
// sound than one channel at 0.3 for about the same bytes, and keeps the echoes' width.
constexpr float MUSIC_QUALITY = 0.1f;
constexpr float CHIME_QUALITY = 0.3f;
// Level the synthesiser renders at, before mastering.
constexpr float MUSIC_PEAK_DB = -9.0f;
// Every piece of music plays at one loudness (EBU R128).
constexpr double MUSIC_LUFS = -23.0;
// Each effect's loudest 400 ms stands this far above the music it plays over.
constexpr double EFFECT_LIFT_LU = 6.5;
// The mixer adds a level's music and effects at full gain. Each effect keeps
// its highest sample under its own ceiling, and each level's music under what
// its effects leave of full scale (less a small margin), so no moment of any
// level can clip, whenever the effects fall.
constexpr double CHIME_CEILING_DB = -10.5;
constexpr double BOOM_CEILING_DB = -8.9;
constexpr double BIG_BOOM_CEILING_DB = -11.0;
constexpr double MIX_MARGIN = 0.98;
constexpr float BOOM_DRIVE = 2.0f;
// Vorbis rebuilds a peak a little higher or lower than it was given: the
// limiter aims this much under a file's ceiling.
constexpr double CODEC_MARGIN = 0.93;
constexpr double FAR_UNDER = 1.25;

double gain_of_db(double db) { return std::pow(10.0, db / 20.0); }

double effect_ceiling_db(const char* file) {
    const std::string f = file;
    return f == "mus.ogg" ? CHIME_CEILING_DB : f == "boom.wav" ? BOOM_CEILING_DB : BIG_BOOM_CEILING_DB;
}

// Rounds a noisy burst's sharpest peaks off softly (drive 1: nearly untouched),
// so that it carries more body for its peak, as a blast heard through air does.
void saturate(Stereo& s, float drive) {
    normalise(s, 0.0f);
    const float k = 1.0f / std::tanh(drive);
    for (size_t i = 0; i < s.frames(); ++i) {
        s.left[i] = k * std::tanh(drive * s.left[i]);
        s.right[i] = k * std::tanh(drive * s.right[i]);
    }
}


std::string rep(const std::string& s, int n) {
    std::string out;
    for (int i = 0; i < n; ++i) out += s + " ";
    return out;
}
std::string rests(int n) { return rep(".", n); }

// ---- instruments ------------------------------------------------------------

Voice bass_pluck(int base) {
    Voice v;
    v.wave = Wave::Saw;
    v.attack = 0.003f; v.decay = 0.25f; v.sustain = 0.35f; v.release = 0.06f;
    v.cutoff = 2.0f; v.cutoff_env = 7.0f; v.resonance = 0.35f;
    v.gain = 0.42f; v.legato = 0.8f; v.base = base;
    return v;
}
Voice sub_bass(int base) {
    Voice v;
    v.wave = Wave::Triangle;
    v.attack = 0.02f; v.decay = 0.6f; v.sustain = 0.8f; v.release = 0.3f;
    v.gain = 0.5f; v.legato = 0.95f; v.base = base;
    return v;
}
Voice square_lead(float pan = 0.0f) {
    Voice v;
    v.wave = Wave::Square; v.pulse_width = 0.35f;
    v.attack = 0.008f; v.decay = 0.35f; v.sustain = 0.55f; v.release = 0.12f;
    v.cutoff = 3.0f; v.cutoff_env = 5.0f; v.resonance = 0.15f;
    v.vibrato = 0.12f; v.gain = 0.2f; v.pan = pan; v.echo = 0.3f; v.legato = 0.85f;
    return v;
}
Voice brass(float pan = 0.0f) {
    Voice v;
    v.wave = Wave::Saw; v.detune = 9.0f;
    v.attack = 0.04f; v.decay = 0.5f; v.sustain = 0.7f; v.release = 0.18f;
    v.cutoff = 2.0f; v.cutoff_env = 6.0f; v.resonance = 0.2f;
    v.vibrato = 0.1f; v.gain = 0.24f; v.pan = pan; v.echo = 0.25f; v.legato = 0.9f;
    return v;
}
Voice stab(int base, float pan = 0.0f) {
    Voice v;
    v.wave = Wave::Square; v.pulse_width = 0.5f;
    v.attack = 0.002f; v.decay = 0.12f; v.sustain = 0.0f; v.release = 0.05f;
    v.cutoff = 2.5f; v.cutoff_env = 6.0f;
    v.gain = 0.07f; v.pan = pan; v.echo = 0.2f; v.base = base;
    return v;
}
Voice arp_pluck(int base, float pan = 0.0f) {
    Voice v;
    v.wave = Wave::Square; v.pulse_width = 0.25f;
    v.attack = 0.002f; v.decay = 0.16f; v.sustain = 0.0f; v.release = 0.06f;
    v.cutoff = 2.0f; v.cutoff_env = 7.0f;
    v.gain = 0.09f; v.pan = pan; v.echo = 0.4f; v.base = base;
    return v;
}
Voice harp(int base, float pan = 0.0f) {
    Voice v;
    v.wave = Wave::Triangle;
    v.attack = 0.002f; v.decay = 0.7f; v.sustain = 0.0f; v.release = 0.3f;
    v.gain = 0.16f; v.pan = pan; v.echo = 0.45f; v.base = base; v.legato = 1.0f;
    return v;
}
Voice pad(int base, float cutoff = 2.5f) {
    Voice v;
    v.wave = Wave::Saw; v.detune = 14.0f;
    v.attack = 0.5f; v.decay = 1.5f; v.sustain = 0.8f; v.release = 0.9f;
    v.cutoff = cutoff; v.cutoff_env = 1.0f;
    v.gain = 0.055f; v.echo = 0.35f; v.legato = 1.0f; v.base = base;
    return v;
}
Voice bell(float pan = 0.0f) {
    Voice v;
    v.wave = Wave::Bell;
    v.attack = 0.002f; v.decay = 1.4f; v.sustain = 0.0f; v.release = 0.6f;
    v.gain = 0.16f; v.pan = pan; v.echo = 0.5f; v.legato = 1.0f;
    return v;
}
Voice drum(Drum kind, float gain, float pan = 0.0f, float echo = 0.0f) {
    Voice v;
    v.drum = kind; v.gain = gain; v.pan = pan; v.echo = echo;
    return v;
}

// ---- logo sting: a rising bell arpeggio over a swelling chord, then the tonic rings out

Song song_logo() {
    enum { PAD, BELL, BRASS, BASS, CRASH, KICK };
    Song s;
    s.bpm = 126.0f;
    s.seed = 11;
    s.loop = false;
    s.tail = 0.6f;
    s.reverb = 0.45f;
    s.echo_beats = 0.5f;
    s.echo_feedback = 0.35f;
    s.peak_db = MUSIC_PEAK_DB;
    Voice p = pad(55, 3.0f);
    p.attack = 1.6f;
    s.voices = {p, bell(0.2f), brass(), sub_bass(36), drum(Drum::Crash, 0.35f, 0.0f, 0.4f),
                drum(Drum::Kick, 0.7f)};
    s.voices[BRASS].release = 0.8f;
    s.voices[BASS].release = 1.2f;
    s.patterns = {
        {3, "Fmaj7 - Gsus4 G Cadd9 -",
         {{PAD, "* - - - - - - - * - - - * - - - . . . . . . . ."},
          {BELL, "F4~ A4~ C5~ E5~ F5 A5 C6 E6 | G5 C6 D6 G6 B5! D6! G6! B6! | C6! G6 E6 . . . . ."},
          {BRASS, rests(16) + "* - - - - . . ."},
          {BASS, ". . . . F2~ - - - G2 - - - - - - - C2! - - - - - - -"},
          {CRASH, ". . x"},
          {KICK, rests(8) + "X . . . . . . ."}}},
    };
    s.order = {0};
    return s;
}

// ---- main menu: a calm, spacious theme over a pulsing arpeggio

Song song_menu() {
    enum { ARP, PAD, BASS, LEAD, KICK, SNARE, HAT };
    Song s;
    s.bpm = 108.0f;
    s.seed = 21;
    s.echo_beats = 0.75f;
    s.echo_feedback = 0.35f;
    s.reverb = 0.35f;
    s.peak_db = MUSIC_PEAK_DB;
    s.voices = {arp_pluck(57, 0.25f), pad(52), bass_pluck(33), square_lead(-0.1f),
                drum(Drum::Kick, 0.6f), drum(Drum::Snare, 0.28f, 0.0f, 0.3f),
                drum(Drum::Hat, 0.14f, 0.3f)};
    const std::string arp = rep("1 5 8 5 10 8 5 8", 8);  // two per bar, four bars
    const std::string pads = rep("* - - - - - - -", 4);
    const std::string bass = rep("1 - . 1 . 1 5 .", 4);
    const std::string kick = rep("X . . . . . . . X . . . . . . .", 4);
    const std::string snare = rep(". . . . x . . . . . . . x . . .", 4);
    const std::string hat = rep("x . o . x . o . x . o . x . o o", 4);
    const std::string m1 =
        "A4 - C5 - E5 - - D5 | C5 - - - A4 - - - | G4 - C5 - E5 - G5 - | D5 - - - B4 - - -";
    const std::string m2 =
        "A4 - C5 - E5 - A5 - | G5 - F5 - - - C5 - | E5 - G5 - C6 - - B5 | B5 - - - G5 - D5 -";
    const std::string m3 =
        "F5 - - - D5 - A5 - | A5 - - - C6 - A5 F5 | E5 - - - A5 - C6 - | B5 - - - G5 - D5 -";
    s.patterns = {
        {4, "Am F C G", {{ARP, arp}, {PAD, pads}, {BASS, rep("1 - - - - - - -", 4)}}},
        {4, "Am F C G", {{ARP, arp}, {PAD, pads}, {BASS, bass}, {LEAD, m1}, {HAT, hat}}},
        {4, "Am F C G", {{ARP, arp}, {PAD, pads}, {BASS, bass}, {LEAD, m2}, {KICK, kick},
                         {SNARE, snare}, {HAT, hat}}},
        {4, "Dm F Am G", {{ARP, arp}, {PAD, pads}, {BASS, bass}, {LEAD, m3}, {KICK, kick},
                          {SNARE, snare}, {HAT, hat}}},
        {4, "Am F C G", {{ARP, arp}, {PAD, pads}, {BASS, bass}, {LEAD, m1, 12}, {KICK, kick},
                         {SNARE, snare}, {HAT, hat}}},
        {4, "F G Em E", {{ARP, arp}, {PAD, pads}, {BASS, rep("1 - - - - - 5 -", 4)}}},
    };
    s.order = {0, 1, 2, 3, 4, 5};
    return s;
}

// ---- the story: a slow tale that starts in shadow and turns hopeful

Song song_story() {
    enum { PAD, HARP, BELL, BASS, TIMP };
    Song s;
    s.bpm = 76.0f;
    s.seed = 31;
    s.echo_beats = 0.75f;
    s.echo_feedback = 0.4f;
    s.reverb = 0.5f;
    s.peak_db = MUSIC_PEAK_DB;
    s.voices = {pad(50, 2.0f), harp(50, -0.3f), bell(0.25f), sub_bass(33),
                drum(Drum::Tom, 0.45f, 0.0f, 0.3f)};
    const std::string harp = rep("1 5 8 10 12 10 8 5", 4);
    const std::string pads = rep("* - - - - - - -", 4);
    const std::string bass = rep("1 - - - - - - -", 4);
    const std::string timp = rep("D2 . . . . . . . . . . . . . A1 .", 4);
    s.patterns = {
        {2, "Dm Bb", {{PAD, rep("* - - - - - - -", 2)}, {HARP, rep("1 5 8 10 12 10 8 5", 2)},
                      {BASS, rep("1 - - - - - - -", 2)}}},
        {4, "Dm Bb F C",
         {{PAD, pads}, {HARP, harp}, {BASS, bass}, {TIMP, timp},
          {BELL, "D5 - - - F5 - A5 - | Bb5 - - - A5 - F5 - | A5 - - - C6 - A5 - | G5 - - - E5 - C5 -"}}},
        {4, "Dm Bb Gm A",
         {{PAD, pads}, {HARP, harp}, {BASS, bass}, {TIMP, timp},
          {BELL, "D5 - - - F5 - A5 - | D6 - - - C6 - Bb5 - | Bb5 - - - G5 - D5 - | E5 - - - C#5 - A4 -"}}},
        {4, "Bb C Am Dm",
         {{PAD, pads}, {HARP, harp}, {BASS, bass}, {TIMP, timp},
          {BELL, "F5 - - - Bb5 - D6 - | E6 - - - C6 - G5 - | A5 - - - C6 - E6 - | D6 - - - - - - -"}}},
        // The ending: the turn to A7 comes to rest on D major, which rings and fades away.
        {2, "Gm A7 D -",
         {{PAD, "* - - - * - - - | * - - - - - - -"}, {HARP, "1 5 8 10 1 5 8 10 | 1 5 8 10 12 - - -"},
          {BASS, "1 - - - 1 - - - | 1 - - - - - - -"}, {BELL, "D6 - Bb5 - C#6 - E6 - | D6 - - - - - - -"},
          {TIMP, "G1 . . . . . . . A1 . . . . . . . | D2 . . . . . . . . . . . . . . ."}}},
    };
    s.order = {0, 1, 2, 3, 4};
    // Played once: it ends on its last bar, faded to silence, instead of running on into its start.
    s.loop = false;
    s.tail = 0.0f;
    s.fade = 2.6f;
    s.low_shelf_db = -10.0f;  // the pad and the sub bass hold low notes throughout
    return s;
}

// ---- level 1, the ball game: playful and bouncy, with a little swing

Song song_level1() {
    enum { BASS, STAB, LEAD, ARP, KICK, SNARE, HAT };
    Song s;
    s.bpm = 132.0f;
    s.swing = 0.18f;
    s.seed = 41;
    s.echo_beats = 0.75f;
    s.echo_feedback = 0.25f;
    s.reverb = 0.2f;
    s.peak_db = MUSIC_PEAK_DB;
    Voice marimba = square_lead(0.1f);
    marimba.sustain = 0.25f;
    marimba.decay = 0.3f;
    marimba.vibrato = 0.0f;
    s.voices = {bass_pluck(36), stab(60, -0.3f), marimba, arp_pluck(72, 0.4f),
                drum(Drum::Kick, 0.6f), drum(Drum::Snare, 0.3f, 0.0f, 0.15f),
                drum(Drum::Hat, 0.15f, 0.25f)};
    const std::string bass = rep("1 . 8 . 5 . 8 5", 4);
    const std::string stabs = rep(". * . * . * . *", 4);
    const std::string kick = rep("X . . . . . . . X . . x . . . .", 4);
    const std::string snare = rep(". . . . X . . . . . . . X . . o", 4);
    const std::string hat = rep("o . x . o . x . o . x . o . x x", 4);
    auto section = [&](const char* chords, const std::string& melody) {
        return Pattern{4, chords, {{BASS, bass}, {STAB, stabs}, {LEAD, melody}, {KICK, kick},
                                   {SNARE, snare}, {HAT, hat}}};
    };
    s.patterns = {
        {2, "C G7", {{BASS, rep("1 . 8 . 5 . 8 5", 2)}, {STAB, rep(". * . * . * . *", 2)},
                     {ARP, rep("1 5 8 5", 8)}, {KICK, rep("X . . . . . . . X . . x . . . .", 2)},
                     {HAT, rep("o . x . o . x . o . x . o . x x", 2)}}},
        section("C Am F G",
                "E5 - G5 . C6 - G5 E5 | A5 - G5 E5 C5 - . . | F5 - A5 . C6 - A5 F5 | G5 - - B5 D6 - B5 G5"),
        section("C Am F G",
                "E5 - G5 . C6 - D6 E6 | C6 - A5 - E5 - . A5 | F5 A5 C6 A5 F5 - E5 F5 | G5 - - . D5 E5 F5 G5"),
        section("F G Em Am",
                "A5 - - C6 A5 - F5 - | B5 - - D6 B5 - G5 - | G5 - E5 - B4 - E5 G5 | A5 - - - . E5 A5 C6"),
        section("Dm G C Am",
                "D6 - C6 A5 F5 - A5 - | B5 - A5 G5 D5 - G5 - | C6 - G5 E5 C5 E5 G5 C6 | A5 - - - E5 - C5 -"),
        section("C Am F G",
                "E5 - G5 . C6 - G5 E5 | A5 - G5 E5 C5 - . . | F5 - A5 . C6 - A5 F5 | G5 - - B5 D6 - B5 G5"),
        {2, "F G7", {{BASS, rep("1 . 8 . 5 . 8 5", 2)}, {STAB, rep(". * . * . * . *", 2)},
                     {LEAD, "A5 - C6 - F5 - A5 - | G5 - B5 - D6 - F5 -"},
                     {KICK, rep("X . . . . . . . X . . x . . . .", 2)},
                     {SNARE, ". . . . X . . . . . . . X . . o . . . . X . . . . . . . X . X X"},
                     {HAT, rep("o . x . o . x . o . x . o . x x", 2)}}},
    };
    s.patterns[4].lines.push_back({ARP, rep("1 5 8 5", 16)});
    s.order = {0, 1, 2, 3, 4, 5, 6};
    return s;
}

// ---- level 2, the shooter: a driving battle theme with a galloping bass

Song song_level2() {
    enum { BASS, STAB, LEAD, KICK, SNARE, HAT, CRASH, TOM };
    Song s;
    s.bpm = 152.0f;
    s.seed = 51;
    s.echo_beats = 0.75f;
    s.echo_feedback = 0.25f;
    s.reverb = 0.2f;
    s.peak_db = MUSIC_PEAK_DB;
    Voice lead = brass(0.05f);
    lead.wave = Wave::Square;
    lead.pulse_width = 0.3f;
    lead.detune = 6.0f;
    Voice chords = brass(-0.25f);
    chords.base = 52;
    chords.gain = 0.09f;
    chords.legato = 0.5f;
    s.voices = {bass_pluck(31), chords, lead, drum(Drum::Kick, 0.65f),
                drum(Drum::Snare, 0.38f, 0.0f, 0.15f), drum(Drum::Hat, 0.13f, 0.3f),
                drum(Drum::Crash, 0.22f, -0.2f, 0.2f), drum(Drum::Tom, 0.4f, 0.1f)};
    const std::string bass = rep("1 . 1 1", 16);
    const std::string stabs = rep("*! . . * . . * . . . *! . * . . .", 4);
    const std::string kick = rep("X . . . X . . . X . . . X . x .", 4);
    const std::string snare = rep(". . . . X . . . . . . . X . . .", 3) + ". . . . X . . . . . . . X . X X";
    const std::string hat = rep("x o x o", 16);
    const std::string crash = "X . . .";
    const std::string fill = rests(24) + ". . . . G3 G3 E3 C3";
    auto section = [&](const char* chords_, const std::string& melody) {
        return Pattern{4, chords_, {{BASS, bass}, {STAB, stabs}, {LEAD, melody}, {KICK, kick},
                                    {SNARE, snare}, {HAT, hat}, {CRASH, crash}, {TOM, fill}}};
    };
    s.patterns = {
        {4, "Em C D Em", {{BASS, bass}, {STAB, stabs}, {KICK, kick}, {SNARE, snare}, {HAT, hat},
                          {TOM, fill}}},
        section("Em C D Em",
                "E5 - - B4 E5 - G5 - | G5 - F#5 E5 - - C5 - | D5 - F#5 - A5 - F#5 D5 | E5 - - - - - . ."),
        section("Em C D Em",
                "E5 - - B4 E5 - G5 A5 | B5 - A5 G5 - - E5 - | F#5 - A5 - D6 - C6 B5 | B5 - - - G5 - E5 -"),
        section("Em C Am B7",
                "G5 - - E5 B5 - - G5 | C6 - - G5 E5 - G5 - | A5 - C6 - E6 - C6 A5 | B5 - - - D#6 - B5 -"),
        section("Em C D Em",
                "E5 - - B4 E5 - G5 - | G5 - F#5 E5 - - C5 - | D5 - F#5 - A5 - F#5 D5 | E5 - - - - - . ."),
        section("C D Em Em",
                "E6 - - D6 C6 - G5 - | D6 - - C6 B5 - A5 - | B5 - - A5 G5 - E5 - | G5 - A5 - B5 - - -"),
        section("Am C B7 B7",
                "C6 - - B5 A5 - E5 - | G5 - - A5 G5 - E5 - | F#5 - - - D#5 - F#5 - | B5 - - - D#6 - F#5 -"),
    };
    s.order = {0, 1, 2, 3, 4, 5, 6};
    return s;
}

// ---- level 3, free flight among the debris: floating and spacious

Song song_level3() {
    enum { PAD, ARP, BELL, BASS, KICK, HAT };
    Song s;
    s.bpm = 80.0f;
    s.seed = 61;
    s.low_shelf_db = -10.0f;  // a long sub bass under every bar
    s.echo_beats = 0.75f;
    s.echo_feedback = 0.45f;
    s.reverb = 0.55f;
    s.peak_db = MUSIC_PEAK_DB;
    Voice shimmer = harp(62, 0.35f);
    shimmer.wave = Wave::Sine;
    shimmer.gain = 0.1f;
    shimmer.decay = 0.5f;
    s.voices = {pad(50, 2.2f), shimmer, bell(-0.2f), sub_bass(33), drum(Drum::Kick, 0.4f),
                drum(Drum::Hat, 0.08f, 0.35f, 0.3f)};
    const std::string pads = rep("* - - - - - - -", 4);
    const std::string arp = rep("1 5 9 10 12 10 9 5", 4);
    const std::string bass = rep("1 - - - - - - -", 4);
    const std::string kick = rep("x . . . . . . . . . . . . . . .", 4);
    const std::string hat = rep(". . o . . . o . . . o . . . o o", 4);
    s.patterns = {
        {4, "Dmaj7 Bm7 Gmaj7 Asus4", {{PAD, pads}, {ARP, arp}, {BASS, bass}}},
        {4, "Dmaj7 Bm7 Gmaj7 Asus4",
         {{PAD, pads}, {ARP, arp}, {BASS, bass}, {KICK, kick}, {HAT, hat},
          {BELL, "A5 - - - F#5 - C#6 - | B5 - - - - - D5 F#5 | G5 - - - B5 - D6 - | E5 - - - - - . ."}}},
        {4, "Dmaj7 Bm7 Gmaj7 A",
         {{PAD, pads}, {ARP, arp}, {BASS, bass}, {KICK, kick}, {HAT, hat},
          {BELL, "A5 - - - F#5 - E6 - | D6 - - - B5 - F#5 - | G5 - B5 - D6 - F#6 - | E6 - - - - - - -"}}},
        {4, "Gmaj7 F#m7 Em7 A",
         {{PAD, pads}, {ARP, arp}, {BASS, bass}, {KICK, kick}, {HAT, hat},
          {BELL, "B5 - - - D6 - F#6 - | E6 - - - C#6 - A5 - | G5 - - - B5 - E6 - | C#6 - - - A5 - E5 -"}}},
    };
    s.order = {0, 1, 2, 3};
    return s;
}

// ---- level 4, the landings: tense and careful, a clock ticking over a heartbeat

Song song_level4() {
    enum { PULSE, PAD, LEAD, KICK, TICK, BASS, HAT };
    Song s;
    s.bpm = 96.0f;
    s.seed = 71;
    s.echo_beats = 0.5f;
    s.echo_feedback = 0.35f;
    s.reverb = 0.35f;
    s.peak_db = MUSIC_PEAK_DB;
    Voice pulse = bass_pluck(45);
    pulse.wave = Wave::Square;
    pulse.gain = 0.16f;
    pulse.cutoff = 1.5f;
    pulse.cutoff_env = 3.0f;
    pulse.decay = 0.1f;
    pulse.sustain = 0.1f;
    Voice lead = square_lead(0.15f);
    lead.wave = Wave::Triangle;
    lead.gain = 0.3f;
    lead.vibrato = 0.2f;
    s.voices = {pulse, pad(48, 2.5f), lead, drum(Drum::Kick, 0.55f), drum(Drum::Tick, 0.45f, 0.3f, 0.2f),
                sub_bass(33), drum(Drum::Hat, 0.06f, -0.3f, 0.25f)};
    // Air above the ticking: a soft hat, and a lift of the top in mastering.
    s.high_shelf_db = 4.0f;
    s.low_shelf_db = -7.0f;
    const std::string pulses = rep("1 1 1 1 1 1 1 1 1 1 1 1 8 1 5 1", 4);
    const std::string pads = rep("* - - - - - - -", 4);
    const std::string heart = rep("X . . x . . . . . . . . . . . .", 4);
    const std::string tick = rep("x . . . o . . . x . . . o . . .", 4);
    const std::string bass = rep("1 - - - - - - -", 4);
    const std::string hat = rep(". . o . . . x . . . o . . . x o", 4);
    s.patterns = {
        {4, "Am F Dm E", {{PULSE, pulses}, {PAD, pads}, {KICK, heart}, {TICK, tick}, {BASS, bass}}},
        {4, "Am F Dm E",
         {{PULSE, pulses}, {PAD, pads}, {KICK, heart}, {TICK, tick}, {BASS, bass}, {HAT, hat},
          {LEAD, "A4 - - - C5 - B4 - | A4 - - - - - . . | D5 - - - F5 - E5 - | E5 - - - G#4 - - -"}}},
        {4, "Am F Dm E",
         {{PULSE, pulses}, {PAD, pads}, {KICK, heart}, {TICK, tick}, {BASS, bass}, {HAT, hat},
          {LEAD, "A4 - - - C5 - E5 - | F5 - E5 - C5 - - - | D5 - F5 - A5 - G#5 - | B4 - - - G#4 - B4 -"}}},
        {4, "Am Bb Am E7",
         {{PULSE, pulses}, {PAD, pads}, {KICK, heart}, {TICK, tick}, {BASS, bass}, {HAT, hat},
          {LEAD, "E5 - - - - - D5 C5 | D5 - - - F5 - - - | E5 - - - C5 - A4 - | G#4 - - - B4 - D5 -"}}},
    };
    s.order = {0, 1, 2, 3};
    return s;
}

// ---- level 5, the shooting gallery: the heroic finale

Song song_level5() {
    enum { BASS, PAD, LEAD, HORN, KICK, SNARE, HAT, CRASH, TOM };
    Song s;
    s.bpm = 128.0f;
    s.seed = 81;
    s.echo_beats = 0.75f;
    s.echo_feedback = 0.25f;
    s.reverb = 0.3f;
    s.peak_db = MUSIC_PEAK_DB;
    Voice horn = brass(-0.3f);
    horn.gain = 0.15f;
    s.voices = {bass_pluck(36), pad(55, 3.0f), brass(0.1f), horn, drum(Drum::Kick, 0.65f),
                drum(Drum::Snare, 0.35f, 0.0f, 0.2f), drum(Drum::Hat, 0.12f, 0.3f),
                drum(Drum::Crash, 0.25f, -0.2f, 0.2f), drum(Drum::Tom, 0.5f, 0.15f, 0.2f)};
    const std::string bass = rep("1 . 1 . 5 . 1 5", 4);
    const std::string pads = rep("* - - - - - - -", 4);
    const std::string kick = rep("X . . . . . . . X . x . . . . .", 4);
    const std::string snare = rep(". . . . X . . . . . . . X . o o", 3) + ". . . . X . . . X . X . X X X X";
    const std::string hat = rep("x . o . x . o .", 8);
    const std::string crash = "X . . .";
    auto section = [&](const char* chords, const std::string& melody, const std::string& harmony) {
        Pattern p{4, chords, {{BASS, bass}, {PAD, pads}, {LEAD, melody}, {KICK, kick},
                              {SNARE, snare}, {HAT, hat}, {CRASH, crash}}};
        if (!harmony.empty()) p.lines.push_back({HORN, harmony});
        return p;
    };
    const std::string a1 = "C5 - - G4 C5 - E5 - | D5 - - - B4 - G4 - | A4 - C5 - E5 - A5 - | G5 - - - F5 - - -";
    const std::string a2 = "C5 - - G4 C5 - E5 G5 | G5 - - - D5 - B4 - | A5 - - - C6 - A5 - | G5 - - - - - . .";
    s.patterns = {
        {4, "C Bb F G",
         {{BASS, bass}, {PAD, pads}, {KICK, kick}, {SNARE, snare}, {CRASH, crash},
          {HORN, "C4 - - G3 C4 - - - | D4 - - - - - - - | C4 - - A3 C4 - - - | D4 - - - B3 - - -"},
          {TOM, rep("C3 . . C3 . . . . . . . . . . . .", 3) + "G2 . G2 . C3 . C3 . E3 . E3 . G3 G3 G3 G3"}}},
        section("C G Am F", a1, ""),
        section("C G F G", a2, ""),
        section("Am F C G",
                "E5 - - - A5 - C6 - | C6 - - - A5 - F5 - | G5 - - - E5 - C5 - | D5 - - - G5 - B5 -",
                "C5 - - - E5 - A5 - | A5 - - - F5 - C5 - | E5 - - - C5 - G4 - | B4 - - - D5 - G5 -"),
        section("F G E7 Am",
                "A5 - - - C6 - A5 - | B5 - - - D6 - B5 - | G#5 - - - B5 - E6 - | C6 - - - A5 - G5 -",
                "F5 - - - A5 - F5 - | G5 - - - B5 - G5 - | E5 - - - G#5 - B5 - | A5 - - - E5 - E5 -"),
        section("C G F G", a2, "E4 - - C4 E4 - G4 - | B4 - - - G4 - D4 - | F4 - - - A4 - F4 - | D4 - - - - - . ."),
        {2, "F G", {{BASS, rep("1 . 1 . 5 . 1 5", 2)}, {PAD, rep("* - - - - - - -", 2)},
                    {LEAD, "A5 - - - C6 - F5 - | G5 - - - D5 - B4 -"},
                    {KICK, rep("X . . . . . . . X . x . . . . .", 2)},
                    {SNARE, ". . . . X . . . . . . . X . o o . . . . X . . . X X X X X X X X"},
                    {HAT, rep("x . o . x . o .", 4)}}},
    };
    s.order = {0, 1, 2, 3, 4, 5, 6};
    return s;
}

// ---- effects ----------------------------------------------------------------

// A short explosion: a falling thump under a burst of noise whose brightness dies away.
Stereo effect_boom() {
    Stereo s;
    s.resize(static_cast<size_t>(0.8 * RATE));
    Rng rng;
    rng.state = 0xB00Au;
    LowPass lp;
    double phase = 0.0;
    const size_t n = s.frames();
    for (size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / RATE;
        if ((i & 15) == 0) lp.set(static_cast<float>(180.0 + 5000.0 * std::exp(-t * 9.0)), 0.2f);
        const double attack = std::min(1.0, t / 0.004);
        const double noise = lp.run(rng.bipolar()) * std::exp(-t * 5.0) * attack;
        phase += (38.0 + 120.0 * std::exp(-t * 18.0)) / RATE;
        const double thump = std::sin(2.0 * 3.14159265358979 * phase) * std::exp(-t * 6.0) * attack;
        const double fade = 1.0 - static_cast<double>(i) / n;
        const float x = static_cast<float>((0.9 * noise + 0.8 * thump) * std::sqrt(fade));
        s.left[i] = x;
        s.right[i] = x;
    }
    normalise(s, -1.0f);
    return s;
}

// The big blast: two bursts a moment apart, wide in stereo, and a long rumble.
Stereo effect_big_boom() {
    Stereo s;
    s.resize(static_cast<size_t>(1.7 * RATE));
    Rng rng;
    rng.state = 0xB16B00u;
    LowPass lpl, lpr, rumble;
    double phase = 0.0;
    const size_t n = s.frames();
    for (size_t i = 0; i < n; ++i) {
        const double t = static_cast<double>(i) / RATE;
        const double t2 = std::max(0.0, t - 0.14);
        if ((i & 15) == 0) {
            const float c = static_cast<float>(120.0 + 4000.0 * std::exp(-t * 6.0) + 2500.0 * std::exp(-t2 * 8.0) * (t > 0.14));
            lpl.set(c, 0.25f);
            lpr.set(c * 0.9f, 0.25f);
            rumble.set(90.0f, 0.5f);
        }
        const double attack = std::min(1.0, t / 0.005);
        const double env = std::exp(-t * 3.0) * attack + (t > 0.14 ? 0.8 * std::exp(-t2 * 3.5) : 0.0);
        const double nl = lpl.run(rng.bipolar()) * env;
        const double nr = lpr.run(rng.bipolar()) * env;
        const double low = rumble.run(rng.bipolar()) * 2.5 * std::exp(-t * 1.6) * attack;
        phase += (32.0 + 100.0 * std::exp(-t * 12.0)) / RATE;
        const double thump = std::sin(2.0 * 3.14159265358979 * phase) * std::exp(-t * 3.5) * attack;
        const double fade = std::sqrt(1.0 - static_cast<double>(i) / n);
        s.left[i] = static_cast<float>((0.9 * nl + 0.7 * thump + 0.6 * low) * fade);
        s.right[i] = static_cast<float>((0.9 * nr + 0.7 * thump + 0.6 * low) * fade);
    }
    normalise(s, -1.0f);
    return s;
}

// The pick-up chime: a quick, bright rising arpeggio of bells.
Stereo effect_chime() {
    Stereo s;
    s.resize(static_cast<size_t>(0.55 * RATE));
    Stereo send;
    send.resize(s.frames());
    Rng rng;
    rng.state = 0xC41Eu;
    Voice v = bell();
    v.decay = 0.35f;
    v.release = 0.1f;
    v.echo = 0.3f;
    const double notes[4] = {83, 88, 92, 95};  // B5 E6 G#6 B6
    for (int k = 0; k < 4; ++k) {
        v.pan = -0.3f + 0.2f * k;
        render_note(s, &send, v, 0.045 * k, notes[k], 0.3 - 0.045 * k, 0.8f + 0.05f * k, rng);
    }
    add_echo_and_reverb(s, send, 0.09, 0.3f, 0.15f);
    const size_t fade = static_cast<size_t>(0.12 * RATE);
    for (size_t k = 0; k < fade; ++k) {
        const float g = static_cast<float>(k) / fade;
        s.left[s.frames() - 1 - k] *= g;
        s.right[s.frames() - 1 - k] *= g;
    }
    // Ogg's reconstruction can overshoot a little: stay clear of full scale.
    normalise(s, -2.0f);
    return s;
}

std::vector<float> interleave(const Stereo& s) {
    std::vector<float> out(s.frames() * 2);
    for (size_t i = 0; i < s.frames(); ++i) {
        out[2 * i] = s.left[i];
        out[2 * i + 1] = s.right[i];
    }
    return out;
}

// Masters (through `master`, given a ceiling), encodes and reads the file back
// as the game will; when the codec's rebuilt peaks overshoot the ceiling the
// sound is mastered again under a ceiling lower by the overshoot. A sound whose
// peaks stay far under the ceiling is not read back.
template <typename Master>
bool write_mastered_ogg(const std::string& path, Master master, float quality, double ceiling) {
    std::vector<uint8_t> bytes;
    double aim = ceiling * CODEC_MARGIN;
    for (int attempt = 0; attempt < 6; ++attempt) {
        const Stereo s = master(aim);
        bytes = encode_ogg(s.left.data(), s.right.data(), s.frames(), quality);
        if (peak_of(s) * FAR_UNDER <= ceiling) break;
        const SoundFile back = read_sound_bytes(bytes);
        if (!back.ok) return false;
        const double peak = peak_of(back.sound);
        if (peak <= ceiling) break;
        aim *= ceiling / peak * 0.98;
    }
    return write_bytes(path, bytes);
}

// Tone, loudness and peaks: a rendered song made ready to store.
bool write_music(const std::string& path, const Song& song) {
    Stereo music = render_song(song);
    shape_tone(music, song.low_shelf_db, song.high_shelf_db, song.loop);
    auto master = [&](double ceiling) {
        Stereo s = music;
        master_to_loudness(s, MUSIC_LUFS, ceiling, song.loop);
        return s;
    };
    return write_mastered_ogg(path, master, MUSIC_QUALITY, gain_of_db(song.ceiling_db));
}

}  // namespace

const std::vector<LevelMix>& level_mixes() {
    static const std::vector<LevelMix> mixes = {{1, "m_fon.ogg", "mus.ogg", nullptr},
                                                {2, "m_fon2.ogg", "boom.wav", nullptr},
                                                {3, "m_fon3.ogg", "boom.wav", "mus.ogg"},
                                                {4, "m_fon4.ogg", "boom.wav", "mus.ogg"},
                                                {5, "m_fon5.ogg", "boom.wav", "boom2.wav"}};
    return mixes;
}

std::vector<NamedSong> all_songs() {
    return {
        {"mus_logo.ogg", song_logo()},   {"mus_menu.ogg", song_menu()},
        {"suget.ogg", song_story()},     {"m_fon.ogg", song_level1()},
        {"m_fon2.ogg", song_level2()},   {"m_fon3.ogg", song_level3()},
        {"m_fon4.ogg", song_level4()},   {"m_fon5.ogg", song_level5()},
    };
}

void write_sounds(const std::string& dir) {
    const std::string folder = dir + "/sounds/";
    bool ok = true;
    std::vector<NamedSong> songs = all_songs();
    for (const LevelMix& mix : level_mixes()) {
        double room = MIX_MARGIN - gain_of_db(effect_ceiling_db(mix.fx));
        if (mix.fx2 != nullptr) room -= gain_of_db(effect_ceiling_db(mix.fx2));
        for (NamedSong& s : songs) {
            if (std::string(s.file) == mix.music) s.song.ceiling_db = static_cast<float>(20.0 * std::log10(room));
        }
    }
    for (const NamedSong& s : songs) {
        const std::string problem = check_song(s.song);
        if (!problem.empty()) {
            std::fprintf(stderr, "assetgen: %s: %s\n", s.file, problem.c_str());
            std::exit(1);
        }
    }
    // Each piece is independent of the others: render, master and encode them
    // on two workers, each writing the files of the pieces it played.
    std::vector<int> results(songs.size(), 1);
    auto work = [&](size_t first) {
        for (size_t k = first; k < songs.size(); k += 2) {
            results[k] = write_music(folder + songs[k].file, songs[k].song) ? 1 : 0;
        }
    };
    std::thread other(work, 1);
    work(0);
    other.join();
    for (int r : results) ok = ok && r == 1;

    // The effects: each as loud as it should stand over the music, its peaks
    // held to its share of the room a level leaves above its music.
    const double effect_lufs = MUSIC_LUFS + EFFECT_LIFT_LU;
    Stereo chime = effect_chime();
    shape_tone(chime, 0.0f, -8.0f, false);
    auto master_chime = [&](double ceiling) {
        Stereo s = chime;
        master_effect(s, effect_lufs, ceiling);
        return s;
    };
    ok = write_mastered_ogg(folder + "mus.ogg", master_chime, CHIME_QUALITY, gain_of_db(CHIME_CEILING_DB)) && ok;
    Stereo boom = effect_boom();
    shape_tone(boom, -8.0f, 0.0f, false);
    saturate(boom, BOOM_DRIVE);
    master_effect(boom, effect_lufs, gain_of_db(BOOM_CEILING_DB));
    ok = write_wav(folder + "boom.wav", boom.left.data(), boom.frames(), 1) && ok;
    Stereo big = effect_big_boom();
    shape_tone(big, -8.0f, 0.0f, false);
    saturate(big, BOOM_DRIVE);
    master_effect(big, effect_lufs, gain_of_db(BIG_BOOM_CEILING_DB));
    const std::vector<float> big_frames = interleave(big);
    ok = write_wav(folder + "boom2.wav", big_frames.data(), big.frames(), 2) && ok;
    if (!ok) {
        std::fprintf(stderr, "assetgen: could not write the sounds under %s\n", folder.c_str());
        std::exit(1);
    }
}

}  // namespace valmoren::assetgen
