// synth.h -- the game's own small synthesiser: band-limited oscillators, ADSR
// envelopes, a resonant low-pass filter, synthesised drums, echo and reverb,
// and a pattern sequencer that plays songs written as data (sounds.cpp).
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace valmoren::assetgen {

constexpr int RATE = 44100;

// Two channels of samples in -1..1 (before the final level is set).
struct Stereo {
    std::vector<float> left, right;
    size_t frames() const { return left.size(); }
    void resize(size_t n) {
        left.resize(n, 0.0f);
        right.resize(n, 0.0f);
    }
};

// The generator's own noise source (xorshift): seeded, so every run is the same.
struct Rng {
    uint32_t state = 0x2545F491u;
    uint32_t next() {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state;
    }
    float uniform() { return static_cast<float>(next() >> 8) * (1.0f / 16777216.0f); }  // 0..1
    float bipolar() { return uniform() * 2.0f - 1.0f; }                                  // -1..1
};

// Resonant low-pass filter (state-variable form, stable at any cutoff).
struct LowPass {
    float ic1 = 0.0f, ic2 = 0.0f;
    float a1 = 1.0f, a2 = 0.0f, a3 = 0.0f;
    void set(float cutoff_hz, float resonance);  // resonance 0..0.95
    float run(float x) {
        const float v3 = x - ic2;
        const float v1 = a1 * ic1 + a2 * v3;
        const float v2 = ic2 + a2 * ic1 + a3 * v3;
        ic1 = 2.0f * v1 - ic1;
        ic2 = 2.0f * v2 - ic2;
        return v2;
    }
};

enum class Wave : uint8_t { Sine, Square, Saw, Triangle, Noise, Bell };
enum class Drum : uint8_t { None, Kick, Snare, Hat, OpenHat, Crash, Tom, Tick };

// One instrument. Times in seconds; the filter cutoff follows the note's pitch.
struct Voice {
    Wave wave = Wave::Saw;
    Drum drum = Drum::None;   // not None: a drum, and the fields below mostly unused
    float pulse_width = 0.5f; // square only
    float attack = 0.005f, decay = 0.2f, sustain = 0.7f, release = 0.15f;
    float cutoff = 6.0f;      // low-pass cutoff, multiple of the note frequency
    float cutoff_env = 0.0f;  // extra multiple at the envelope's peak
    float resonance = 0.0f;
    float detune = 0.0f;      // cents of a second, detuned oscillator (0: one oscillator)
    float vibrato = 0.0f;     // depth in semitones, fading in after the note starts
    float legato = 0.9f;      // share of the written length that is held
    float gain = 0.3f;
    float pan = 0.0f;         // -1 left .. 1 right
    float echo = 0.0f;        // send to the echo and reverb
    int base = 48;            // chord notes are placed from this MIDI note upwards
};

// One instrument's line in a pattern. Tokens separated by blanks, spread evenly
// over the pattern (their count must divide its sixteenth-notes; "|" is only a
// visual bar line):
//   .        rest            -      hold the previous note
//   C4 F#3 Bb5               a note by name and octave
//   1 3 5 7 8 9 10 12        a tone of the current chord (root, third, fifth,
//                            seventh, octave, ninth, third and fifth an octave up),
//                            placed from the voice's base; suffix ^ or v moves it an octave
//   *                        the whole current chord, close voiced from the base
//   x X o                    a drum hit (normal, accented, soft)
// A note token may end with ! (accent) or ~ (soft).
struct Line {
    int voice;
    std::string notes;
    int transpose = 0;  // semitones added to every note of the line
};

// Bars of music: chords (tokens spread evenly over the pattern like a line's,
// e.g. "Am F C G7"; "-" repeats the chord before) and the instruments' lines.
struct Pattern {
    int bars;
    std::string chords;
    std::vector<Line> lines;
};

struct Song {
    float bpm = 120.0f;
    float swing = 0.0f;         // delay of the off-beat sixteenths, share of a sixteenth
    std::vector<Voice> voices;
    std::vector<Pattern> patterns;
    std::vector<int> order;     // the patterns, in playing order
    float echo_beats = 0.75f;   // ping-pong echo delay
    float echo_feedback = 0.3f;
    float reverb = 0.3f;
    float peak_db = -9.0f;      // loudest sample of the finished piece, dB below full scale
    bool loop = true;           // the tail wraps onto the start: a replay from the top joins seamlessly
    float tail = 2.0f;          // seconds kept (and faded) after the last bar when not looping
    float fade = 0.0f;          // when not looping, seconds faded out at the very end (0: the tail, at most 1 s)
    uint32_t seed = 1;
    // Mastering (mastering.h): shelves below 110 Hz and above 6 kHz in dB, and
    // the highest sample the finished file may hold, dB below full scale.
    float low_shelf_db = -6.0f;
    float high_shelf_db = 0.0f;
    float ceiling_db = -1.5f;
};

// A chord read from its name: root pitch class and the tones above the root.
struct Chord {
    int root = 0;               // 0 = C .. 11 = B
    std::vector<int> tones;     // semitones above the root, the root (0) first
    int seventh = -1;           // semitones of the seventh, -1 when none
};

// Parses "C", "F#m", "Bbmaj7", "G7", "Dm7", "Asus4", "Esus2", "Bdim", "Cadd9", "F6".
bool parse_chord(const std::string& name, Chord& chord);
// MIDI number of a note name like "C4" (60) or "F#3"; -1 when it is not one.
int parse_note(const std::string& name);
// MIDI note of a chord tone token ("1", "5^", "10") for a voice whose chord
// notes start at `base`; -1 when the token is not a chord tone.
int chord_tone(const Chord& chord, const std::string& token, int base);
double midi_to_hz(double midi);

// A description of the first mistake in a song's data, or empty when it has none.
std::string check_song(const Song& song);
// Seconds of music the song's order plays (without any tail).
double song_seconds(const Song& song);
// Plays the song: dry instruments plus echo and reverb, levelled to song.peak_db.
Stereo render_song(const Song& song);

// Building blocks, also used for the sound effects. `send` receives the
// voice's echo share (may be null). Writes are clipped to the buffers' length.
void render_note(Stereo& out, Stereo* send, const Voice& voice, double start_s, double midi,
                 double hold_s, float velocity, Rng& rng);
void render_drum(Stereo& out, Stereo* send, const Voice& voice, double start_s, double midi,
                 float velocity, Rng& rng);
// Adds ping-pong echo and a small room reverb of `send` into `out`.
void add_echo_and_reverb(Stereo& out, const Stereo& send, double echo_s, float feedback,
                         float reverb);
// Scales to the given peak level (dB below full scale); gives the old peak.
float normalise(Stereo& s, float peak_db);
float peak_of(const Stereo& s);

}  // namespace valmoren::assetgen
