// synth.cpp -- oscillators, envelopes, filter, drums, echo/reverb and the pattern
// sequencer behind every piece of music and sound effect the generator writes.
#include "synth.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <sstream>

namespace valmoren::assetgen {

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr int STEPS_PER_BAR = 16;  // sixteenth notes in 4/4

std::vector<std::string> tokens_of(const std::string& text) {
    std::vector<std::string> out;
    std::istringstream in(text);
    std::string t;
    while (in >> t) {
        if (t != "|") out.push_back(t);
    }
    return out;
}

// Correction that removes most of the aliasing of a hard edge (polyBLEP).
inline float blep(float t, float dt) {
    if (t < dt) {
        t /= dt;
        return t + t - t * t - 1.0f;
    }
    if (t > 1.0f - dt) {
        t = (t - 1.0f) / dt;
        return t * t + t + t + 1.0f;
    }
    return 0.0f;
}

// sin(2 pi p) for p in turns, any value: folded to a quarter wave and a short series.
inline float sin_turns(float p) {
    float x = p - std::floor(p + 0.5f);  // -0.5 .. 0.5
    if (x > 0.25f) x = 0.5f - x;
    else if (x < -0.25f) x = -0.5f - x;
    const float y = x * 6.2831853f;
    const float y2 = y * y;
    return y * (1.0f - y2 / 6.0f * (1.0f - y2 / 20.0f * (1.0f - y2 / 42.0f * (1.0f - y2 / 72.0f))));
}

inline float oscillator(Wave wave, float phase, float dt, float pulse_width, Rng& rng) {
    switch (wave) {
        case Wave::Sine:
            return sin_turns(phase);
        case Wave::Saw:
            return 2.0f * phase - 1.0f - blep(phase, dt);
        case Wave::Square: {
            float v = phase < pulse_width ? 1.0f : -1.0f;
            v += blep(phase, dt);
            float p2 = phase + 1.0f - pulse_width;
            if (p2 >= 1.0f) p2 -= 1.0f;
            // A pulse narrower or wider than half sits off centre by 2w - 1:
            // taken off, so notes neither start nor stop with a thump.
            return v - blep(p2, dt) - (2.0f * pulse_width - 1.0f);
        }
        case Wave::Triangle:
            return 4.0f * std::fabs(phase - 0.5f) - 1.0f;
        case Wave::Noise:
            return rng.bipolar();
        case Wave::Bell:
            return 0.0f;  // built with its own modulator in render_note
    }
    return 0.0f;
}

// Envelope level at time t (seconds from the note's start) for a note released at `off`.
inline float envelope(const Voice& v, double t, double off, float at_off) {
    if (t >= off) {
        const double r = std::max(0.001, static_cast<double>(v.release));
        const double x = (t - off) / r;
        if (x >= 1.0) return 0.0f;
        return static_cast<float>(at_off * std::exp(-4.0 * x) * (1.0 - x));
    }
    if (t < v.attack) return static_cast<float>(t / v.attack);
    const double d = std::max(0.001, static_cast<double>(v.decay));
    return static_cast<float>(v.sustain + (1.0 - v.sustain) * std::exp(-3.0 * (t - v.attack) / d));
}

inline void pan_gains(float pan, float& gl, float& gr) {
    const double a = (std::clamp(pan, -1.0f, 1.0f) + 1.0) * PI / 4.0;
    gl = static_cast<float>(std::cos(a) * std::sqrt(2.0));
    gr = static_cast<float>(std::sin(a) * std::sqrt(2.0));
}

struct Writer {
    Stereo& out;
    Stereo* send;
    float gl, gr, sl, sr;
    Writer(Stereo& o, Stereo* s, const Voice& v, float velocity) : out(o), send(s) {
        pan_gains(v.pan, gl, gr);
        const float g = v.gain * velocity;
        gl *= g;
        gr *= g;
        sl = gl * v.echo;
        sr = gr * v.echo;
    }
    void add(size_t i, float x) {
        out.left[i] += x * gl;
        out.right[i] += x * gr;
        if (send != nullptr) {
            send->left[i] += x * sl;
            send->right[i] += x * sr;
        }
    }
};

}  // namespace

void LowPass::set(float cutoff_hz, float resonance) {
    const float fc = std::clamp(cutoff_hz, 20.0f, 0.45f * RATE);
    const float g = static_cast<float>(std::tan(PI * fc / RATE));
    const float k = 2.0f - 2.0f * std::clamp(resonance, 0.0f, 0.95f);
    a1 = 1.0f / (1.0f + g * (g + k));
    a2 = g * a1;
    a3 = g * a2;
}

double midi_to_hz(double midi) { return 440.0 * std::pow(2.0, (midi - 69.0) / 12.0); }

int parse_note(const std::string& name) {
    static const int pcs[7] = {9, 11, 0, 2, 4, 5, 7};  // A B C D E F G
    if (name.size() < 2 || name[0] < 'A' || name[0] > 'G') return -1;
    int pc = pcs[name[0] - 'A'];
    size_t i = 1;
    if (name[i] == '#') {
        ++pc;
        ++i;
    } else if (name[i] == 'b') {
        --pc;
        ++i;
    }
    if (i + 1 != name.size() || name[i] < '0' || name[i] > '8') return -1;
    return 12 * (name[i] - '0' + 1) + pc;
}

bool parse_chord(const std::string& name, Chord& chord) {
    static const int pcs[7] = {9, 11, 0, 2, 4, 5, 7};
    if (name.empty() || name[0] < 'A' || name[0] > 'G') return false;
    int pc = pcs[name[0] - 'A'];
    size_t i = 1;
    if (i < name.size() && name[i] == '#') {
        ++pc;
        ++i;
    } else if (i < name.size() && name[i] == 'b') {
        --pc;
        ++i;
    }
    const std::string q = name.substr(i);
    chord.root = (pc + 12) % 12;
    chord.seventh = -1;
    if (q.empty()) chord.tones = {0, 4, 7};
    else if (q == "m") chord.tones = {0, 3, 7};
    else if (q == "7") chord.tones = {0, 4, 7, 10};
    else if (q == "m7") chord.tones = {0, 3, 7, 10};
    else if (q == "maj7") chord.tones = {0, 4, 7, 11};
    else if (q == "sus4") chord.tones = {0, 5, 7};
    else if (q == "sus2") chord.tones = {0, 2, 7};
    else if (q == "dim") chord.tones = {0, 3, 6};
    else if (q == "add9") chord.tones = {0, 4, 7, 14};
    else if (q == "madd9") chord.tones = {0, 3, 7, 14};
    else if (q == "6") chord.tones = {0, 4, 7, 9};
    else return false;
    if (q == "7" || q == "m7" || q == "maj7" || q == "6") chord.seventh = chord.tones[3];
    return true;
}

int chord_tone(const Chord& chord, const std::string& token, int base) {
    if (token.empty() || token[0] < '0' || token[0] > '9') return -1;
    size_t i = 0;
    int degree = 0;
    while (i < token.size() && token[i] >= '0' && token[i] <= '9') degree = degree * 10 + (token[i++] - '0');
    int shift = 0;
    for (; i < token.size(); ++i) {
        if (token[i] == '^') shift += 12;
        else if (token[i] == 'v') shift -= 12;
        else if (token[i] != '!' && token[i] != '~') return -1;
    }
    int above;
    switch (degree) {
        case 1: above = 0; break;
        case 3: above = chord.tones[1]; break;
        case 5: above = chord.tones[2]; break;
        case 7: above = chord.seventh >= 0 ? chord.seventh : 12; break;
        case 8: above = 12; break;
        case 9: above = 14; break;
        case 10: above = chord.tones[1] + 12; break;
        case 12: above = chord.tones[2] + 12; break;
        default: return -1;
    }
    const int root = base + ((chord.root - base) % 12 + 12) % 12;
    return root + above + shift;
}

namespace {

struct Event {
    double start_s;
    double hold_s;
    double midi;  // -1 for a drum's own pitch
    float velocity;
    int voice;
};

// Reads one pattern into events; gives an error text for bad data.
std::string pattern_events(const Song& song, const Pattern& p, double start_s, double step_s,
                           std::vector<Event>* events) {
    const int steps = p.bars * STEPS_PER_BAR;
    if (p.bars <= 0) return "pattern without bars";
    const std::vector<std::string> chord_tokens = tokens_of(p.chords);
    if (chord_tokens.empty() || steps % static_cast<int>(chord_tokens.size()) != 0)
        return "chords do not divide the pattern: " + p.chords;
    std::vector<Chord> chords;
    for (const std::string& t : chord_tokens) {
        Chord c;
        if (t == "-" && !chords.empty()) c = chords.back();
        else if (!parse_chord(t, c)) return "unknown chord " + t;
        chords.push_back(c);
    }
    const int steps_per_chord = steps / static_cast<int>(chords.size());

    for (const Line& line : p.lines) {
        if (line.voice < 0 || line.voice >= static_cast<int>(song.voices.size()))
            return "line with an unknown voice";
        const Voice& v = song.voices[line.voice];
        const std::vector<std::string> tokens = tokens_of(line.notes);
        if (tokens.empty() || steps % static_cast<int>(tokens.size()) != 0)
            return "line does not divide the pattern: " + line.notes;
        const int per = steps / static_cast<int>(tokens.size());
        for (size_t k = 0; k < tokens.size(); ++k) {
            const std::string& t = tokens[k];
            if (t == "." || t == "-") continue;
            size_t len = 1;
            while (k + len < tokens.size() && tokens[k + len] == "-") ++len;
            const int step = static_cast<int>(k) * per;
            const Chord& chord = chords[static_cast<size_t>(step / steps_per_chord)];
            float velocity = 0.8f;
            std::string body = t;
            if (body.back() == '!') velocity = 1.0f;
            if (body.back() == '~') velocity = 0.5f;
            if (body.back() == '!' || body.back() == '~') body.pop_back();
            std::vector<double> notes;
            if (v.drum != Drum::None && (body == "x" || body == "X" || body == "o")) {
                velocity = body == "X" ? 1.0f : body == "o" ? 0.45f : 0.8f;
                notes.push_back(-1.0);
            } else if (body == "*") {
                for (int tone : chord.tones) {
                    const int pc = (chord.root + tone) % 12;
                    notes.push_back(v.base + ((pc - v.base) % 12 + 12) % 12);
                }
            } else {
                int n = parse_note(body);
                if (n < 0) n = chord_tone(chord, body, v.base);
                if (n < 0) return "unknown note " + t;
                notes.push_back(n);
            }
            if (events == nullptr) continue;
            const double swing = (step % 2 == 1) ? song.swing * step_s : 0.0;
            const double at = start_s + step * step_s + swing;
            const double hold = static_cast<double>(len) * per * step_s * v.legato;
            for (double n : notes) {
                if (n >= 0.0) n += line.transpose;
                events->push_back({at, hold, n, velocity, line.voice});
            }
        }
    }
    return "";
}

double step_seconds(const Song& song) { return 60.0 / song.bpm / 4.0; }

}  // namespace

std::string check_song(const Song& song) {
    if (song.bpm <= 0.0f) return "tempo must be positive";
    if (song.order.empty()) return "empty song order";
    for (int idx : song.order) {
        if (idx < 0 || idx >= static_cast<int>(song.patterns.size())) return "order names a missing pattern";
    }
    for (const Pattern& p : song.patterns) {
        const std::string e = pattern_events(song, p, 0.0, step_seconds(song), nullptr);
        if (!e.empty()) return e;
    }
    return "";
}

double song_seconds(const Song& song) {
    int bars = 0;
    for (int idx : song.order) {
        if (idx >= 0 && idx < static_cast<int>(song.patterns.size())) bars += song.patterns[idx].bars;
    }
    return bars * STEPS_PER_BAR * step_seconds(song);
}

void render_note(Stereo& out, Stereo* send, const Voice& v, double start_s, double midi,
                 double hold_s, float velocity, Rng& rng) {
    const long first = std::lround(start_s * RATE);
    const double total_s = hold_s + v.release;
    const long count = static_cast<long>(total_s * RATE) + 1;
    const long size = static_cast<long>(out.frames());
    if (first >= size || first + count <= 0) return;

    Writer w(out, send, v, velocity);
    const double freq = midi_to_hz(midi);
    const float detune_ratio = static_cast<float>(std::pow(2.0, v.detune / 1200.0));
    const bool filtered = v.wave != Wave::Sine && v.wave != Wave::Bell && v.cutoff < 40.0f;
    LowPass lp;
    float phase = 0.0f, phase2 = 0.25f, mod_phase = 0.0f;
    const float at_off = envelope(v, hold_s, 1e9, 0.0f);
    // Envelope, vibrato, filter and bell brightness change slowly: they are
    // worked out once per short block, the envelope ramped across it.
    constexpr long BLOCK = 32;
    float env_from = envelope(v, 0.0, hold_s, at_off);
    for (long j0 = 0; j0 < count; j0 += BLOCK) {
        const long jn = std::min(count, j0 + BLOCK);
        const double t = static_cast<double>(j0) / RATE;
        const float env_to = envelope(v, static_cast<double>(jn) / RATE, hold_s, at_off);
        const float env_step = (env_to - env_from) / static_cast<float>(jn - j0);
        double f = freq;
        if (v.vibrato > 0.0f && t > 0.15) {
            const double depth = v.vibrato * std::min(1.0, (t - 0.15) / 0.3);
            f *= std::pow(2.0, depth * std::sin(2.0 * PI * 5.2 * t) / 12.0);
        }
        const float dt = static_cast<float>(f / RATE);
        const float dt2 = dt * detune_ratio;
        if (filtered) lp.set(static_cast<float>(f * (v.cutoff + v.cutoff_env * env_from)), v.resonance);
        // Two-operator FM bell: an inharmonic modulator whose depth dies away fast.
        const float index = static_cast<float>(2.5 * std::exp(-t * 7.0) + 0.3);
        float env = env_from;
        for (long j = j0; j < jn; ++j, env += env_step) {
            const long i = first + j;
            if (i >= size) return;
            float x;
            if (v.wave == Wave::Bell) {
                x = sin_turns(phase + index * sin_turns(mod_phase) * (1.0f / (2.0f * static_cast<float>(PI))));
                mod_phase += dt * 3.5f;
                if (mod_phase >= 1.0f) mod_phase -= 1.0f;
            } else {
                x = oscillator(v.wave, phase, dt, v.pulse_width, rng);
                if (v.detune != 0.0f) {
                    x = 0.5f * (x + oscillator(v.wave, phase2, dt2, v.pulse_width, rng));
                    phase2 += dt2;
                    if (phase2 >= 1.0f) phase2 -= 1.0f;
                }
            }
            phase += dt;
            if (phase >= 1.0f) phase -= 1.0f;
            if (filtered) x = lp.run(x);
            if (i >= 0) w.add(static_cast<size_t>(i), x * env);
        }
        env_from = env_to;
    }
}

namespace {

// exp(-rate * t) sampled at t = 0, 1/RATE, 2/RATE, ...: one multiply a sample.
struct Decay {
    double value = 1.0;
    double factor;
    explicit Decay(double rate) : factor(std::exp(-rate / RATE)) {}
    double next() {
        const double v = value;
        value *= factor;
        return v;
    }
};

}  // namespace

void render_drum(Stereo& out, Stereo* send, const Voice& v, double start_s, double midi,
                 float velocity, Rng& rng) {
    double length = 0.3;
    switch (v.drum) {
        case Drum::Kick: length = 0.45; break;
        case Drum::Snare: length = 0.3; break;
        case Drum::Hat: length = 0.07; break;
        case Drum::OpenHat: length = 0.4; break;
        case Drum::Crash: length = 1.8; break;
        case Drum::Tom: length = 0.5; break;
        case Drum::Tick: length = 0.04; break;
        case Drum::None: return;
    }
    const long first = std::lround(start_s * RATE);
    const long count = static_cast<long>(length * RATE);
    const long size = static_cast<long>(out.frames());
    if (first >= size || first + count <= 0) return;
    Writer w(out, send, v, velocity);
    float phase = 0.0f;
    float prev_noise = 0.0f;
    LowPass body;
    LowPass tone;
    if (v.drum == Drum::Snare) body.set(5000.0f, 0.1f);
    if (v.drum == Drum::Tick) tone.set(3500.0f, 0.7f);
    const double tom_hz = midi >= 0 ? midi_to_hz(midi) : 110.0;
    // Each drum is a few decaying parts; the rates are per second.
    Decay sweep(v.drum == Drum::Kick ? 28.0 : v.drum == Drum::Snare ? 40.0 : 20.0);
    Decay amp(v.drum == Drum::Kick ? 7.5 : v.drum == Drum::Snare ? 28.0 : v.drum == Drum::Hat ? 70.0
              : v.drum == Drum::OpenHat ? 9.0 : v.drum == Drum::Crash ? 2.6 : v.drum == Drum::Tom ? 7.0
              : 150.0);
    Decay noise_amp(16.0);
    for (long j = 0; j < count; ++j) {
        const long i = first + j;
        if (i >= size) break;
        const double fade = 1.0 - static_cast<double>(j) / count;  // no click at the cut
        const float n = rng.bipolar();
        const float bright = n - prev_noise;  // differenced noise: hiss without the rumble
        prev_noise = n;
        const double a = amp.next();
        const double sw = sweep.next();
        double x = 0.0;
        switch (v.drum) {
            case Drum::Kick: {
                // A sine whose pitch falls fast from a punch to a low thump.
                phase += static_cast<float>((48.0 + 130.0 * sw) / RATE);
                x = sin_turns(phase) * a;
                if (j < RATE / 250) x += 0.3 * n * (1.0 - j * 250.0 / RATE);
                x = std::clamp(1.4 * x, -1.0, 1.0);
                x = x * (1.5 - 0.5 * x * x);  // soft saturation: a rounder, fuller thump
                break;
            }
            case Drum::Snare:
                phase += static_cast<float>(185.0 * (1.0 + 0.3 * sw) / RATE);
                x = 0.55 * sin_turns(phase) * a + 0.6 * body.run(bright) * noise_amp.next();
                break;
            case Drum::Hat:
                x = 0.55 * bright * a;
                break;
            case Drum::OpenHat:
                x = 0.45 * bright * a;
                break;
            case Drum::Crash:
                x = 0.4 * (bright + 0.35 * n) * a;
                break;
            case Drum::Tom:
                phase += static_cast<float>(tom_hz * (1.0 + 0.5 * sw) / RATE);
                x = sin_turns(phase) * a;
                break;
            case Drum::Tick:
                // The click of a clock: a ringing knock and the bright edge of the strike.
                x = (1.2 * tone.run(bright) + 0.35 * bright) * a;
                break;
            case Drum::None:
                break;
        }
        if (phase >= 1.0f) phase -= 1.0f;
        if (i >= 0) w.add(static_cast<size_t>(i), static_cast<float>(x * fade));
    }
}

void add_echo_and_reverb(Stereo& out, const Stereo& send, double echo_s, float feedback,
                         float reverb) {
    const size_t n = std::min(out.frames(), send.frames());
    // Ping-pong echo: each repeat crosses to the other side and loses some treble.
    const size_t d = static_cast<size_t>(std::max(1.0, echo_s * RATE));
    std::vector<float> dl(n, 0.0f), dr(n, 0.0f);
    float lpl = 0.0f, lpr = 0.0f;
    for (size_t i = 0; i < n; ++i) {
        const float in = 0.5f * (send.left[i] + send.right[i]);
        const float tl = i >= d ? dl[i - d] : 0.0f;
        const float tr = i >= d ? dr[i - d] : 0.0f;
        lpl += 0.45f * (tr - lpl);
        lpr += 0.45f * (tl - lpr);
        dl[i] = in + feedback * lpl;
        dr[i] = feedback * lpr;
        out.left[i] += 0.7f * tl;
        out.right[i] += 0.7f * tr;
    }
    if (reverb <= 0.0f) return;
    // A small room: four damped combs and two all-passes per side.
    static const size_t comb_len[4] = {1116, 1188, 1277, 1356};
    static const size_t ap_len[2] = {556, 441};
    for (int side = 0; side < 2; ++side) {
        const size_t spread = side == 0 ? 0 : 23;
        std::vector<float> combs[4];
        size_t ci[4] = {0, 0, 0, 0};
        float damp[4] = {0, 0, 0, 0};
        for (int c = 0; c < 4; ++c) combs[c].assign(comb_len[c] + spread, 0.0f);
        std::vector<float> aps[2];
        size_t ai[2] = {0, 0};
        for (int a = 0; a < 2; ++a) aps[a].assign(ap_len[a] + spread, 0.0f);
        std::vector<float>& dst = side == 0 ? out.left : out.right;
        const std::vector<float>& src = side == 0 ? send.left : send.right;
        for (size_t i = 0; i < n; ++i) {
            const float in = 0.015f * (src[i] + 0.5f * (side == 0 ? dl[i] : dr[i]));
            float acc = 0.0f;
            for (int c = 0; c < 4; ++c) {
                float& cell = combs[c][ci[c]];
                const float y = cell;
                damp[c] = y * 0.7f + damp[c] * 0.3f;
                cell = in + damp[c] * 0.84f;
                if (++ci[c] == combs[c].size()) ci[c] = 0;
                acc += y;
            }
            for (int a = 0; a < 2; ++a) {
                float& cell = aps[a][ai[a]];
                const float b = cell;
                cell = acc + b * 0.5f;
                acc = b - acc;
                if (++ai[a] == aps[a].size()) ai[a] = 0;
            }
            dst[i] += reverb * acc * 4.0f;
        }
    }
}

float peak_of(const Stereo& s) {
    float p = 0.0f;
    for (size_t i = 0; i < s.frames(); ++i) p = std::max({p, std::fabs(s.left[i]), std::fabs(s.right[i])});
    return p;
}

float normalise(Stereo& s, float peak_db) {
    const float p = peak_of(s);
    if (p <= 0.0f) return p;
    const float k = static_cast<float>(std::pow(10.0, peak_db / 20.0)) / p;
    for (size_t i = 0; i < s.frames(); ++i) {
        s.left[i] *= k;
        s.right[i] *= k;
    }
    return p;
}

Stereo render_song(const Song& song) {
    Stereo out;
    if (!check_song(song).empty()) return out;
    const double step_s = step_seconds(song);
    const double length_s = song_seconds(song);
    const size_t length = static_cast<size_t>(std::lround(length_s * RATE));
    const double extra_s = song.loop ? 6.0 : song.tail;
    const size_t total = length + static_cast<size_t>(extra_s * RATE);
    out.resize(total);
    Stereo send;
    send.resize(total);

    std::vector<Event> events;
    double at = 0.0;
    for (int idx : song.order) {
        const Pattern& p = song.patterns[static_cast<size_t>(idx)];
        pattern_events(song, p, at, step_s, &events);
        at += p.bars * STEPS_PER_BAR * step_s;
    }
    Rng rng;
    rng.state ^= song.seed * 2654435761u;
    for (const Event& e : events) {
        const Voice& v = song.voices[static_cast<size_t>(e.voice)];
        const float velocity = e.velocity * (0.96f + 0.08f * rng.uniform());  // a player's touch
        if (v.drum != Drum::None) render_drum(out, &send, v, e.start_s, e.midi, velocity, rng);
        else render_note(out, &send, v, e.start_s, e.midi, e.hold_s, velocity, rng);
    }
    add_echo_and_reverb(out, send, song.echo_beats * 60.0 / song.bpm, song.echo_feedback, song.reverb);

    if (song.loop) {
        // What rings on past the last bar sounds again under the first ones, as
        // it would when the piece is played from the top straight after its end.
        for (size_t i = length; i < total; ++i) {
            out.left[i - length] += out.left[i];
            out.right[i - length] += out.right[i];
        }
        out.left.resize(length);
        out.right.resize(length);
    } else {
        const double fade_s = song.fade > 0.0f ? song.fade : std::min(1.0, extra_s);
        const size_t fade = std::min(total, static_cast<size_t>(fade_s * RATE));
        for (size_t k = 0; k < fade; ++k) {
            // A curved fade: the sound dies away as a ringing chord does, not in a straight line.
            const float x = static_cast<float>(k) / static_cast<float>(fade);
            const float g = x * x;
            out.left[total - 1 - k] *= g;
            out.right[total - 1 - k] *= g;
        }
    }
    normalise(out, song.peak_db);
    return out;
}

}  // namespace valmoren::assetgen
