// sound_measure.cpp -- loudness (libebur128), DC, frequency bands and width of
// a sound, and the generated sound files read back for measuring.
#include "sound_measure.h"

#include <ebur128.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>

#include "biquad.h"

namespace valmoren::assetgen {

namespace {

constexpr size_t BLOCK = 4096;

// Feeds a stereo sound into a meter in blocks of interleaved frames; the
// callback runs after every block.
template <typename AfterBlock>
void feed(ebur128_state* st, const Stereo& s, AfterBlock after) {
    std::vector<float> buf(BLOCK * 2);
    for (size_t at = 0; at < s.frames(); at += BLOCK) {
        const size_t n = std::min(BLOCK, s.frames() - at);
        for (size_t i = 0; i < n; ++i) {
            buf[2 * i] = s.left[at + i];
            buf[2 * i + 1] = s.right[at + i];
        }
        ebur128_add_frames_float(st, buf.data(), n);
        after();
    }
}

double db(double x) { return x > 0.0 ? 20.0 * std::log10(x) : -std::numeric_limits<double>::infinity(); }

}  // namespace

Loudness measure_loudness(const Stereo& s, bool true_peak) {
    Loudness out;
    const int mode = EBUR128_MODE_I | EBUR128_MODE_S | EBUR128_MODE_M |
                     (true_peak ? EBUR128_MODE_TRUE_PEAK : EBUR128_MODE_SAMPLE_PEAK);
    ebur128_state* st = ebur128_init(2, RATE, mode);
    if (st == nullptr) return out;
    const double silent = -std::numeric_limits<double>::infinity();
    out.momentary_max = silent;
    out.short_term_max = silent;
    // The meters are read every 100 ms of sound; a sound shorter than a
    // window is followed by silence, as it is in the game.
    Stereo padded = s;
    padded.resize(s.frames() + 3 * RATE);
    std::vector<float> buf(RATE / 10 * 2);
    for (size_t at = 0; at < padded.frames(); at += RATE / 10) {
        const size_t n = std::min<size_t>(RATE / 10, padded.frames() - at);
        for (size_t i = 0; i < n; ++i) {
            buf[2 * i] = padded.left[at + i];
            buf[2 * i + 1] = padded.right[at + i];
        }
        ebur128_add_frames_float(st, buf.data(), n);
        double m = silent, st3 = silent;
        if (ebur128_loudness_momentary(st, &m) == EBUR128_SUCCESS) out.momentary_max = std::max(out.momentary_max, m);
        if (ebur128_loudness_shortterm(st, &st3) == EBUR128_SUCCESS)
            out.short_term_max = std::max(out.short_term_max, st3);
    }
    ebur128_loudness_global(st, &out.integrated);
    double peak = 0.0, sample = 0.0;
    for (unsigned c = 0; c < 2; ++c) {
        double p = 0.0;
        if (true_peak && ebur128_true_peak(st, c, &p) == EBUR128_SUCCESS) peak = std::max(peak, p);
        if (ebur128_sample_peak(st, c, &p) == EBUR128_SUCCESS) sample = std::max(sample, p);
    }
    out.sample_peak = sample;
    out.true_peak_db = db(true_peak ? peak : sample);
    ebur128_destroy(&st);
    return out;
}

double integrated_loudness(const Stereo& s) {
    double out = -std::numeric_limits<double>::infinity();
    ebur128_state* st = ebur128_init(2, RATE, EBUR128_MODE_I);
    if (st == nullptr) return out;
    feed(st, s, [] {});
    ebur128_loudness_global(st, &out);
    ebur128_destroy(&st);
    return out;
}

double dc_db(const Stereo& s) {
    if (s.frames() == 0) return -std::numeric_limits<double>::infinity();
    double l = 0.0, r = 0.0;
    for (size_t i = 0; i < s.frames(); ++i) {
        l += s.left[i];
        r += s.right[i];
    }
    return db(std::max(std::fabs(l), std::fabs(r)) / static_cast<double>(s.frames()));
}

double band_share(const Stereo& s, double lo_hz, double hi_hz) {
    double all = 0.0, band = 0.0;
    for (int side = 0; side < 2; ++side) {
        const std::vector<float>& x = side == 0 ? s.left : s.right;
        Biquad hp1 = Biquad::make(Biquad::HighPass, lo_hz, RATE, 0.5412);
        Biquad hp2 = Biquad::make(Biquad::HighPass, lo_hz, RATE, 1.3066);
        Biquad lp1 = Biquad::make(Biquad::LowPass, hi_hz, RATE, 0.5412);
        Biquad lp2 = Biquad::make(Biquad::LowPass, hi_hz, RATE, 1.3066);
        const bool top = hi_hz >= 0.49 * RATE;  // no upper edge
        for (float v : x) {
            all += static_cast<double>(v) * v;
            double y = hp2.run(hp1.run(v));
            if (!top) y = lp2.run(lp1.run(y));
            band += y * y;
        }
    }
    return all > 0.0 ? band / all : 0.0;
}

double side_correlation(const Stereo& s) {
    double lr = 0.0, ll = 0.0, rr = 0.0;
    for (size_t i = 0; i < s.frames(); ++i) {
        lr += static_cast<double>(s.left[i]) * s.right[i];
        ll += static_cast<double>(s.left[i]) * s.left[i];
        rr += static_cast<double>(s.right[i]) * s.right[i];
    }
    return ll > 0.0 && rr > 0.0 ? lr / std::sqrt(ll * rr) : 1.0;
}

// ---- reading the files back ---------------------------------------------------

namespace {

struct Memory {
    const std::vector<uint8_t>* bytes;
    size_t pos = 0;
};

size_t memory_read(void* ptr, size_t size, size_t count, void* data) {
    auto* m = static_cast<Memory*>(data);
    if (size == 0) return 0;
    const size_t left = m->bytes->size() - m->pos;
    const size_t n = std::min(count, left / size);
    std::memcpy(ptr, m->bytes->data() + m->pos, n * size);
    m->pos += n * size;
    return n;
}

int memory_seek(void* data, ogg_int64_t offset, int whence) {
    auto* m = static_cast<Memory*>(data);
    ogg_int64_t base = whence == SEEK_SET ? 0 : whence == SEEK_CUR ? static_cast<ogg_int64_t>(m->pos)
                                                                  : static_cast<ogg_int64_t>(m->bytes->size());
    const ogg_int64_t to = base + offset;
    if (to < 0 || to > static_cast<ogg_int64_t>(m->bytes->size())) return -1;
    m->pos = static_cast<size_t>(to);
    return 0;
}

long memory_tell(void* data) { return static_cast<long>(static_cast<Memory*>(data)->pos); }

SoundFile read_ogg(const std::vector<uint8_t>& bytes) {
    SoundFile f;
    Memory m{&bytes};
    OggVorbis_File vf;
    const ov_callbacks cb = {memory_read, memory_seek, nullptr, memory_tell};
    if (ov_open_callbacks(&m, &vf, nullptr, 0, cb) != 0) return f;
    const vorbis_info* info = ov_info(&vf, -1);
    if (info == nullptr || info->channels < 1 || info->channels > 2) {
        ov_clear(&vf);
        return f;
    }
    f.channels = info->channels;
    f.rate = info->rate;
    float** pcm = nullptr;
    int section = 0;
    long n;
    while ((n = ov_read_float(&vf, &pcm, 4096, &section)) > 0) {
        const vorbis_info* now = ov_info(&vf, section);
        if (now == nullptr || now->channels != f.channels) break;
        for (long i = 0; i < n; ++i) {
            f.sound.left.push_back(pcm[0][i]);
            f.sound.right.push_back(pcm[f.channels - 1][i]);
        }
    }
    f.ok = n == 0;
    ov_clear(&vf);
    return f;
}

uint32_t le(const std::vector<uint8_t>& b, size_t at, int size) {
    uint32_t v = 0;
    for (int i = size - 1; i >= 0; --i) v = v << 8 | b[at + static_cast<size_t>(i)];
    return v;
}

// The canonical 16-bit PCM files the generator writes; other layouts refused.
SoundFile read_wav(const std::vector<uint8_t>& b) {
    SoundFile f;
    if (b.size() < 44 || std::memcmp(b.data() + 8, "WAVEfmt ", 8) != 0 || le(b, 20, 2) != 1 ||
        le(b, 34, 2) != 16 || std::memcmp(b.data() + 36, "data", 4) != 0)
        return f;
    f.channels = static_cast<int>(le(b, 22, 2));
    f.rate = static_cast<long>(le(b, 24, 4));
    if (f.channels < 1 || f.channels > 2) return f;
    const size_t frame = static_cast<size_t>(f.channels) * 2;
    const size_t frames = std::min<size_t>(le(b, 40, 4), b.size() - 44) / frame;
    f.sound.resize(frames);
    for (size_t i = 0; i < frames; ++i) {
        const size_t at = 44 + i * frame;
        f.sound.left[i] = static_cast<int16_t>(le(b, at, 2)) / 32768.0f;
        f.sound.right[i] = static_cast<int16_t>(le(b, at + frame - 2, 2)) / 32768.0f;
    }
    f.ok = true;
    return f;
}

}  // namespace

SoundFile read_sound_bytes(const std::vector<uint8_t>& bytes) {
    if (bytes.size() >= 4 && std::memcmp(bytes.data(), "OggS", 4) == 0) return read_ogg(bytes);
    if (bytes.size() >= 4 && std::memcmp(bytes.data(), "RIFF", 4) == 0) return read_wav(bytes);
    return {};
}

SoundFile read_sound_file(const std::string& path) {
    std::vector<uint8_t> bytes;
    std::FILE* f = std::fopen(path.c_str(), "rb");
    if (f == nullptr) return {};
    uint8_t buf[65536];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
    std::fclose(f);
    return read_sound_bytes(bytes);
}

}  // namespace valmoren::assetgen
