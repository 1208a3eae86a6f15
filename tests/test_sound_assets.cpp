// test_sound_assets.cpp -- the generated music, effects and story captions:
// files that play at the right rate and length without clipping, music below
// the effects, level tracks that restart cleanly, captions that read back and
// fit below the story picture, and the same bytes on every run; and the
// mastering measured as a player hears it: one loudness for all the music,
// no DC, a top end in every track, effects that stand out by the same
// amount everywhere, a story track that ends.
#include <ebur128.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <complex>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "assetgen.h"
#include "audio/mixer.h"
#include "platform/textfile.h"
#include "story.h"
#include "synth.h"
#include "synth_songs.h"
#include "wav_write.h"

namespace fs = std::filesystem;
using namespace valmoren;
using namespace valmoren::assetgen;

namespace {

const std::string SOUNDS = std::string(VALMOREN_GAME_DIR) + "/sounds/";

// What a player would hear of a file: its format and every sample, -1..1.
struct Heard {
    bool ok = false;
    long rate = 0;
    int channels = 0;
    std::vector<float> samples;  // interleaved
    size_t frames() const { return channels > 0 ? samples.size() / channels : 0; }
    double seconds() const { return rate > 0 ? static_cast<double>(frames()) / rate : 0.0; }
    float peak() const {
        float p = 0.0f;
        for (float s : samples) p = std::max(p, std::fabs(s));
        return p;
    }
    double rms() const {
        double sum = 0.0;
        for (float s : samples) sum += static_cast<double>(s) * s;
        return samples.empty() ? 0.0 : std::sqrt(sum / samples.size());
    }
};

Heard decode_ogg(const std::string& path) {
    Heard h;
    OggVorbis_File vf;
    if (ov_fopen(path.c_str(), &vf) != 0) return h;
    const vorbis_info* info = ov_info(&vf, -1);
    h.rate = info->rate;
    h.channels = info->channels;
    const ogg_int64_t declared = ov_pcm_total(&vf, -1);
    float** pcm = nullptr;
    int section = 0;
    long n;
    while ((n = ov_read_float(&vf, &pcm, 4096, &section)) > 0) {
        for (long i = 0; i < n; ++i) {
            for (int c = 0; c < h.channels; ++c) h.samples.push_back(pcm[c][i]);
        }
    }
    h.ok = n == 0 && static_cast<ogg_int64_t>(h.frames()) == declared;
    ov_clear(&vf);
    return h;
}

std::vector<uint8_t> file_bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

uint32_t le(const std::vector<uint8_t>& b, size_t at, int size) {
    uint32_t v = 0;
    for (int i = size - 1; i >= 0; --i) v = v << 8 | b[at + i];
    return v;
}

// Reads a canonical 44-byte-header WAV; not ok when any header field is off.
Heard decode_wav(const std::string& path) {
    Heard h;
    const std::vector<uint8_t> b = file_bytes(path);
    if (b.size() < 44) return h;
    const std::string riff(b.begin(), b.begin() + 4), wave(b.begin() + 8, b.begin() + 16),
        data(b.begin() + 36, b.begin() + 40);
    h.channels = static_cast<int>(le(b, 22, 2));
    h.rate = static_cast<long>(le(b, 24, 4));
    const uint32_t block = static_cast<uint32_t>(h.channels) * 2;
    h.ok = riff == "RIFF" && le(b, 4, 4) == b.size() - 8 && wave == "WAVEfmt " &&
           le(b, 16, 4) == 16 && le(b, 20, 2) == 1 && (h.channels == 1 || h.channels == 2) &&
           le(b, 28, 4) == h.rate * block && le(b, 32, 2) == block && le(b, 34, 2) == 16 &&
           data == "data" && le(b, 40, 4) == b.size() - 44;
    for (size_t i = 44; i + 1 < b.size(); i += 2) {
        h.samples.push_back(static_cast<int16_t>(le(b, i, 2)) / 32768.0f);
    }
    return h;
}

struct Expected {
    const char* file;
    double min_s, max_s;
    bool music;
};

const Expected SOUND_FILES[] = {
    {"mus_logo.ogg", 5.0, 7.0, true},  {"mus_menu.ogg", 30.0, 90.0, true},
    {"suget.ogg", 30.0, 90.0, true},   {"m_fon.ogg", 30.0, 60.0, true},
    {"m_fon2.ogg", 30.0, 60.0, true},  {"m_fon3.ogg", 30.0, 60.0, true},
    {"m_fon4.ogg", 30.0, 60.0, true},  {"m_fon5.ogg", 30.0, 60.0, true},
    {"mus.ogg", 0.1, 0.99, false},     {"boom.wav", 0.2, 0.99, false},
    {"boom2.wav", 1.0, 2.0, false},
};

const std::map<std::string, Heard>& heard_files() {
    static const std::map<std::string, Heard> all = [] {
        std::map<std::string, Heard> m;
        for (const Expected& e : SOUND_FILES) {
            const std::string path = SOUNDS + e.file;
            m[e.file] = fs::path(e.file).extension() == ".ogg" ? decode_ogg(path) : decode_wav(path);
        }
        return m;
    }();
    return all;
}

double db(double x) { return 20.0 * std::log10(std::max(x, 1e-9)); }

}  // namespace

// Measuring as a mastering engineer does.
namespace {

constexpr double PI = 3.14159265358979323846;

const char* const MUSIC_FILES[] = {"mus_logo.ogg", "mus_menu.ogg", "suget.ogg", "m_fon.ogg",
                                   "m_fon2.ogg",   "m_fon3.ogg",   "m_fon4.ogg", "m_fon5.ogg"};

// What each level opens into its three slots: its music, and the effects that
// can sound over it.
struct LevelSounds {
    int level;
    const char* music;
    std::vector<const char*> effects;
};
const LevelSounds LEVEL_SOUNDS[] = {{1, "m_fon.ogg", {"mus.ogg"}},
                                    {2, "m_fon2.ogg", {"boom.wav"}},
                                    {3, "m_fon3.ogg", {"boom.wav", "mus.ogg"}},
                                    {4, "m_fon4.ogg", {"boom.wav", "mus.ogg"}},
                                    {5, "m_fon5.ogg", {"boom.wav", "boom2.wav"}}};

// A frame of a file on each side (a mono file is heard on both).
float side(const Heard& h, size_t frame, int c) {
    return h.samples[frame * static_cast<size_t>(h.channels) + static_cast<size_t>(std::min(c, h.channels - 1))];
}

struct Meter {
    double integrated = 0.0;
    double momentary_max = -HUGE_VAL;  // loudest 400 ms, read every 20 ms
    double true_peak_db = 0.0;
};

// EBU R128 figures through libebur128, the reference meter. A short sound is
// followed by silence, as it is in the game.
Meter meter(const Heard& h) {
    Meter m;
    ebur128_state* st = ebur128_init(2, static_cast<unsigned long>(h.rate),
                                     EBUR128_MODE_I | EBUR128_MODE_M | EBUR128_MODE_TRUE_PEAK);
    if (st == nullptr) return m;
    const size_t step = static_cast<size_t>(h.rate) / 50;
    std::vector<float> block(step * 2);
    for (size_t at = 0; at < h.frames() + static_cast<size_t>(h.rate); at += step) {
        for (size_t i = 0; i < step; ++i) {
            const bool inside = at + i < h.frames();
            block[2 * i] = inside ? side(h, at + i, 0) : 0.0f;
            block[2 * i + 1] = inside ? side(h, at + i, 1) : 0.0f;
        }
        ebur128_add_frames_float(st, block.data(), step);
        double now = -HUGE_VAL;
        ebur128_loudness_momentary(st, &now);
        m.momentary_max = std::max(m.momentary_max, now);
    }
    ebur128_loudness_global(st, &m.integrated);
    double peak = 0.0;
    for (unsigned c = 0; c < 2; ++c) {
        double p = 0.0;
        ebur128_true_peak(st, c, &p);
        peak = std::max(peak, p);
    }
    m.true_peak_db = db(peak);
    ebur128_destroy(&st);
    return m;
}

const Meter& meter_of(const std::string& file) {
    static std::map<std::string, Meter> cache;
    auto it = cache.find(file);
    if (it == cache.end()) it = cache.emplace(file, meter(heard_files().at(file))).first;
    return it->second;
}

void fft(std::vector<std::complex<double>>& a) {
    const size_t n = a.size();
    for (size_t i = 1, j = 0; i < n; ++i) {
        size_t bit = n >> 1;
        for (; j & bit; bit >>= 1) j ^= bit;
        j ^= bit;
        if (i < j) std::swap(a[i], a[j]);
    }
    for (size_t len = 2; len <= n; len <<= 1) {
        const std::complex<double> w = std::polar(1.0, -2.0 * PI / static_cast<double>(len));
        for (size_t i = 0; i < n; i += len) {
            std::complex<double> wk = 1.0;
            for (size_t k = 0; k < len / 2; ++k, wk *= w) {
                const std::complex<double> u = a[i + k], v = a[i + k + len / 2] * wk;
                a[i + k] = u + v;
                a[i + k + len / 2] = u - v;
            }
        }
    }
}

// Share of a sound's energy between lo and hi Hz, from windowed spectra of both sides.
double spectrum_share(const Heard& h, double lo, double hi) {
    constexpr size_t N = 4096;
    std::vector<std::complex<double>> buf(N);
    double band = 0.0, all = 0.0;
    for (int c = 0; c < h.channels; ++c) {
        for (size_t at = 0; at + N <= h.frames(); at += N) {
            for (size_t i = 0; i < N; ++i) {
                const double hann = 0.5 - 0.5 * std::cos(2.0 * PI * static_cast<double>(i) / N);
                buf[i] = side(h, at + i, c) * hann;
            }
            fft(buf);
            for (size_t k = 1; k < N / 2; ++k) {
                const double f = static_cast<double>(k) * h.rate / N, p = std::norm(buf[k]);
                all += p;
                if (f >= lo && f < hi) band += p;
            }
        }
    }
    return all > 0.0 ? band / all : 0.0;
}

}  // namespace

TEST(SoundAssets, EveryFilePlaysWholeAt44100WithoutClipping) {
    double loudest_music = -100.0, quietest_effect = 0.0;
    for (const Expected& e : SOUND_FILES) {
        SCOPED_TRACE(e.file);
        const Heard& h = heard_files().at(e.file);
        ASSERT_TRUE(h.ok) << "does not decode cleanly to its declared length";
        EXPECT_EQ(h.rate, 44100);
        if (fs::path(e.file).extension() == ".ogg") {
            EXPECT_EQ(h.channels, 2);
        }
        EXPECT_GE(h.seconds(), e.min_s);
        EXPECT_LE(h.seconds(), e.max_s);
        // No sample at (or rounding to) full scale; nothing so quiet that it
        // was lost on the way (the levels themselves are checked below).
        EXPECT_LT(h.peak(), 32767.0f / 32768.0f);
        EXPECT_GT(db(h.peak()), -20.0);
        // Loudness as heard (EBU R128): the music over its length, an effect at its loudest.
        if (e.music) {
            loudest_music = std::max(loudest_music, meter_of(e.file).integrated);
        } else {
            quietest_effect = std::min(quietest_effect, meter_of(e.file).momentary_max);
        }
    }
    EXPECT_LT(loudest_music, quietest_effect) << "music must sit below the effects";
}

// The game plays a level track again from the top when it ends: the end must
// not fade to silence nor jump, so the restart sounds like the next bar.
TEST(SoundAssets, LevelTracksRestartWithoutAGapOrAClick) {
    for (const char* file : {"m_fon.ogg", "m_fon2.ogg", "m_fon3.ogg", "m_fon4.ogg", "m_fon5.ogg"}) {
        SCOPED_TRACE(file);
        const Heard& h = heard_files().at(file);
        ASSERT_TRUE(h.ok);
        ASSERT_GT(h.frames(), 44100u);
        const size_t window = 4410 * 2;  // 0.1 s of interleaved samples
        auto rms_of = [](auto first, auto last) {
            double sum = 0.0;
            for (auto it = first; it != last; ++it) sum += static_cast<double>(*it) * *it;
            return std::sqrt(sum / std::distance(first, last));
        };
        EXPECT_GT(rms_of(h.samples.end() - window, h.samples.end()), 0.2 * h.rms())
            << "the track fades out before it restarts";
        EXPECT_GT(rms_of(h.samples.begin(), h.samples.begin() + window), 0.2 * h.rms())
            << "the track starts after a silence";
        // The step from the last frame to the first is no harsher than any step
        // inside the music (a sound cut off at the end would stand out).
        float largest = 0.0f;
        for (size_t i = 2; i < h.samples.size(); ++i) {
            largest = std::max(largest, std::fabs(h.samples[i] - h.samples[i - 2]));
        }
        for (int c = 0; c < 2; ++c) {
            EXPECT_LE(std::fabs(h.samples[h.samples.size() - 2 + c] - h.samples[c]), largest);
        }
    }
}

// Reads suget.dat with the game's item reader and lays each caption out as the
// slideshow prints it, from row 18, column 3.
TEST(SoundAssets, StoryCaptionsReadBackAndFitBelowThePicture) {
    const int n = free_file_number();
    ASSERT_EQ(open_file(std::string(VALMOREN_GAME_DIR) + "/suget.dat", FILE_INPUT, n), 0);
    const auto& captions = story_captions();
    ASSERT_EQ(captions.size(), 6u);
    std::string item;
    for (int set = 0; set < 6; ++set) {
        SCOPED_TRACE(set);
        const std::string start = std::to_string(set) + "0", end = std::to_string(set) + "1";
        // The blocks follow one another: the next item is this set's start marker.
        read_item(n, item);
        ASSERT_EQ(item, start);
        int row = 18, col = 3, last_row = 18;
        bool wrapped = false;
        std::string text;
        auto print = [&](const std::string& s) {
            for (char ch : s) {
                text += ch;
                last_row = row;
                if (col == 80) wrapped = true, ++row, col = 1;
                else ++col;
            }
        };
        for (int guard = 0; guard < 1000; ++guard) {
            read_item(n, item);
            if (item == end) break;
            ASSERT_FALSE(item.empty()) << "block ends before its end marker";
            // Another block's marker inside this one would be found by the wrong slide.
            for (int other = 0; other < 6; ++other) {
                EXPECT_NE(item, std::to_string(other) + "0");
                EXPECT_NE(item, std::to_string(other) + "1");
            }
            if (item == "1") print(",");
            else if (item == "2") text += '\n', ++row, col = 1;
            else if (item == "3") print("   ");
            else print(item);
        }
        ASSERT_EQ(item, end);
        EXPECT_FALSE(wrapped) << "a line runs into column 80 and breaks mid-word";
        EXPECT_LE(last_row, 30);
        std::string intended;
        for (const std::string& line : captions[static_cast<size_t>(set)]) {
            intended += (intended.empty() ? "" : "\n") + line;
        }
        EXPECT_EQ(text, intended);
        EXPECT_GE(std::count(text.begin(), text.end(), ' '), 20) << "a caption worth reading";
    }
    read_item(n, item);
    EXPECT_EQ(item, "") << "nothing after the last block";
    close_file(n);
}

TEST(SoundAssets, GeneratorWritesTheSameBytesEveryRun) {
    const fs::path base = fs::temp_directory_path() / ("valmoren_sound_assets_" + std::to_string(::getpid()));
    const fs::path a = base / "a", b = base / "b";
    for (const fs::path& d : {a, b}) fs::create_directories(d / "sounds");
    // Two runs at once, as the two build workers would make them: no state is shared.
    std::thread other([&] {
        write_sounds(b.string());
        write_story(b.string());
    });
    write_sounds(a.string());
    write_story(a.string());
    other.join();
    int compared = 0;
    for (const auto& entry : fs::recursive_directory_iterator(a)) {
        if (!entry.is_regular_file()) continue;
        const fs::path rel = fs::relative(entry.path(), a);
        SCOPED_TRACE(rel.string());
        const std::vector<uint8_t> first = file_bytes(entry.path().string());
        EXPECT_FALSE(first.empty());
        EXPECT_TRUE(first == file_bytes((b / rel).string()));
        ++compared;
    }
    EXPECT_EQ(compared, 12);  // eleven sound files and suget.dat
    fs::remove_all(base);
}

// ---- mastering, as a player hears it -------------------------------------------

TEST(SoundMastering, EveryTrackIsAsLoudAsTheOthersWithRoomAboveAndNoDC) {
    double quietest = 0.0, loudest = -100.0;
    for (const char* file : MUSIC_FILES) {
        SCOPED_TRACE(file);
        const Heard& h = heard_files().at(file);
        ASSERT_TRUE(h.ok);
        const Meter& m = meter_of(file);
        EXPECT_NEAR(m.integrated, -23.0, 1.0);
        EXPECT_LT(m.true_peak_db, -1.0);
        quietest = std::min(quietest, m.integrated);
        loudest = std::max(loudest, m.integrated);
        for (int c = 0; c < 2; ++c) {
            double sum = 0.0;
            for (size_t i = 0; i < h.frames(); ++i) sum += side(h, i, c);
            EXPECT_LT(db(std::fabs(sum) / static_cast<double>(h.frames())), -60.0) << "DC on side " << c;
        }
    }
    // Logo to menu to story to a level: no step in loudness from one to the next.
    EXPECT_LT(loudest - quietest, 1.0);
}

TEST(SoundMastering, EveryTrackHasATopEndAndALowEndSmallSpeakersCanCarry) {
    for (const char* file : MUSIC_FILES) {
        SCOPED_TRACE(file);
        const Heard& h = heard_files().at(file);
        ASSERT_TRUE(h.ok);
        EXPECT_GT(spectrum_share(h, 5000.0, 22050.0), 0.001) << "nothing above 5 kHz: muffled";
        EXPECT_LT(spectrum_share(h, 30.0, 100.0), 0.6) << "most of the energy below what a laptop plays";
    }
    // The chime rings over the music without piercing it.
    EXPECT_LT(spectrum_share(heard_files().at("mus.ogg"), 5000.0, 22050.0), 0.45);
}

// The game plays a level's music again when it has ended and the story's once:
// the level tracks are whole bars, so a restart falls on the beat, and the
// story's last bar rings out into silence.
TEST(SoundMastering, TracksAreWholeBarsAndTheStoryEndsInSilence) {
    for (const NamedSong& s : all_songs()) {
        SCOPED_TRACE(s.file);
        const Heard& h = heard_files().at(s.file);
        ASSERT_TRUE(h.ok);
        if (!s.song.loop && s.song.tail > 0.0f) continue;  // the logo's sting ends on its own tail
        const double bar_frames = 4.0 * 60.0 / s.song.bpm * static_cast<double>(h.rate);
        const double bars = static_cast<double>(h.frames()) / bar_frames;
        EXPECT_GE(bars, 8.0);
        EXPECT_LE(std::fabs(bars - std::round(bars)) * bar_frames, 1.0) << bars << " bars";
    }
    const Heard& story = heard_files().at("suget.ogg");
    ASSERT_TRUE(story.ok);
    const size_t last = static_cast<size_t>(story.rate) / 10;
    float tail_peak = 0.0f;
    for (size_t i = story.frames() - last; i < story.frames(); ++i) {
        tail_peak = std::max({tail_peak, std::fabs(side(story, i, 0)), std::fabs(side(story, i, 1))});
    }
    EXPECT_LT(db(tail_peak), -50.0) << "the story music is cut off, not ended";
    // ... and it is heard up to its last bar: the fade is an ending, not a long silence.
    float before = 0.0f;
    for (size_t i = story.frames() - 4 * static_cast<size_t>(story.rate); i < story.frames() - 3 * static_cast<size_t>(story.rate); ++i)
        before = std::max(before, std::fabs(side(story, i, 0)));
    EXPECT_GT(db(before), -30.0);
}

TEST(SoundMastering, EachEffectStandsOutByTheSameAmountOverEveryLevelsMusic) {
    for (const LevelSounds& level : LEVEL_SOUNDS) {
        for (const char* effect : level.effects) {
            SCOPED_TRACE(std::string("level ") + std::to_string(level.level) + ": " + effect);
            ASSERT_TRUE(heard_files().at(effect).ok);
            const double lift = meter_of(effect).momentary_max - meter_of(level.music).integrated;
            EXPECT_GE(lift, 5.0) << "lost under the music";
            EXPECT_LE(lift, 8.0) << "pierces the music";
        }
    }
    // The generator masters the level music for the effects its table names:
    // that table must be the game's.
    ASSERT_EQ(level_mixes().size(), std::size(LEVEL_SOUNDS));
    for (size_t k = 0; k < level_mixes().size(); ++k) {
        const LevelMix& mix = level_mixes()[k];
        const LevelSounds& game = LEVEL_SOUNDS[k];
        EXPECT_EQ(mix.level, game.level);
        EXPECT_STREQ(mix.music, game.music);
        ASSERT_FALSE(game.effects.empty()) << game.music;
        EXPECT_STREQ(mix.fx, game.effects[0]);
        if (game.effects.size() > 1) EXPECT_STREQ(mix.fx2, game.effects[1]);
        else EXPECT_EQ(mix.fx2, nullptr);
    }
}

// Every level through the game's own mixer: its music asked for every frame,
// its effects started at random moments, alone and together (at once, a frame
// apart as in the level-5 finale, a device block apart, or anywhere), and not
// one sample of the sum clamped.
TEST(SoundMastering, NoLevelClipsWhereverItsEffectsFall) {
    mixer_close_all();
    uint32_t seed = 0x5EED17u;
    auto random = [&](uint32_t n) {
        seed ^= seed << 13;
        seed ^= seed >> 17;
        seed ^= seed << 5;
        return seed % n;
    };
    std::vector<int16_t> buf(2 * 735);
    for (const LevelSounds& level : LEVEL_SOUNDS) {
        SCOPED_TRACE(level.music);
        const StreamHandle music = mixer_open((SOUNDS + level.music).c_str());
        ASSERT_NE(music, 0);
        std::vector<StreamHandle> fx;
        for (const char* e : level.effects) {
            fx.push_back(mixer_open((SOUNDS + e).c_str()));
            ASSERT_NE(fx.back(), 0) << e;
        }
        ASSERT_FALSE(fx.empty());
        int64_t mixed = 0, clamped = 0;
        int highest = 0;
        // One frame of the game: the music asked for, then a frame's worth mixed
        // (any shorter part of one, so effects start at any sample).
        auto play = [&](int frames) {
            while (frames > 0) {
                const int n = std::min(frames, 735);
                mixer_play(music);
                mixer_mix(buf.data(), n);
                for (int i = 0; i < 2 * n; ++i) {
                    highest = std::max(highest, std::abs(static_cast<int>(buf[static_cast<size_t>(i)])));
                    clamped += buf[static_cast<size_t>(i)] == INT16_MAX || buf[static_cast<size_t>(i)] == INT16_MIN;
                }
                mixed += n;
                frames -= n;
            }
        };
        const int64_t length = static_cast<int64_t>(heard_files().at(level.music).frames());
        int trials = 0;
        while (mixed < 2 * length) {  // the music twice: over its join too
            play(static_cast<int>(random(20000)));
            const uint32_t kind = fx.size() == 1 ? 0 : random(6);
            const int delays[] = {0, 0, 0, 735, 1024, static_cast<int>(random(30000))};
            if (kind == 1) {
                mixer_play(fx[1]);  // the second effect alone
            } else {
                mixer_play(fx[0]);
                if (kind >= 2) {
                    play(delays[kind]);
                    mixer_play(fx[1]);
                }
            }
            while (std::any_of(fx.begin(), fx.end(), [](StreamHandle h) { return mixer_is_playing(h); })) play(735);
            ++trials;
        }
        EXPECT_EQ(clamped, 0) << "in " << trials << " effects";
        EXPECT_GT(trials, 40);
        std::printf("level %d: %d effect starts, loudest sample %.1f dBFS\n", level.level, trials,
                    db(highest / 32768.0));
        mixer_close_all();
    }
}

// ---- the synthesiser's own parts ---------------------------------------------

TEST(Synth, NotesChordsAndChordTonesAreReadAsWritten) {
    const std::pair<const char*, int> notes[] = {{"C4", 60}, {"A4", 69}, {"F#3", 54}, {"Bb5", 82},
                                                 {"C#6", 85}, {"H4", -1}, {"C", -1}, {"C44", -1},
                                                 {"E9", -1}, {"x", -1}};
    for (const auto& [name, midi] : notes) EXPECT_EQ(parse_note(name), midi) << name;

    Chord am, g7, bad;
    ASSERT_TRUE(parse_chord("Am", am));
    ASSERT_TRUE(parse_chord("G7", g7));
    EXPECT_FALSE(parse_chord("Hm", bad));
    EXPECT_FALSE(parse_chord("Cmaj9", bad));
    // Chord tones are placed from the voice's base note upwards.
    const std::tuple<const Chord*, const char*, int, int> tones[] = {
        {&am, "1", 57, 57}, {&am, "3", 57, 60},  {&am, "5", 57, 64},  {&am, "8", 57, 69},
        {&am, "10", 57, 72}, {&am, "5v", 57, 52}, {&am, "1^", 50, 69}, {&am, "1", 58, 69},
        {&g7, "7", 48, 65},  {&am, "7", 57, 69},  {&am, "4", 57, -1},  {&am, "5q", 57, -1},
    };
    for (const auto& [chord, token, base, midi] : tones) {
        EXPECT_EQ(chord_tone(*chord, token, base), midi) << token << " from " << base;
    }
}

TEST(Synth, SongDataMistakesAreCaughtAndTheGameSongsHaveNone) {
    Song good;
    good.voices = {Voice{}};
    good.patterns = {{1, "C G", {{0, "C4 - E4 . 1 3 5 *"}}}};
    good.order = {0};
    EXPECT_EQ(check_song(good), "");
    auto broken = [&](auto change) {
        Song s = good;
        change(s);
        return check_song(s);
    };
    EXPECT_NE(broken([](Song& s) { s.patterns[0].lines[0].notes = "C4 E4 G4"; }), "");  // 3 into 16
    EXPECT_NE(broken([](Song& s) { s.patterns[0].chords = "C Gx"; }), "");
    EXPECT_NE(broken([](Song& s) { s.patterns[0].lines[0].notes = "C4 Q4"; }), "");
    EXPECT_NE(broken([](Song& s) { s.patterns[0].lines[0].notes = "x x"; }), "");  // drums only
    EXPECT_NE(broken([](Song& s) { s.patterns[0].lines[0].voice = 3; }), "");
    EXPECT_NE(broken([](Song& s) { s.order = {0, 1}; }), "");
    for (const NamedSong& s : all_songs()) EXPECT_EQ(check_song(s.song), "") << s.file;
}

TEST(Synth, ANoteSoundsAtItsPitch) {
    Voice sine;
    sine.wave = Wave::Sine;
    sine.gain = 0.5f;
    for (double midi : {57.0, 69.0, 81.0}) {
        Stereo out;
        out.resize(RATE);
        Rng rng;
        render_note(out, nullptr, sine, 0.0, midi, 0.8, 1.0f, rng);
        int crossings = 0;  // upward zero crossings over 0.1 .. 0.6 s
        for (size_t i = RATE / 10; i < RATE * 6 / 10; ++i) {
            if (out.left[i - 1] < 0.0f && out.left[i] >= 0.0f) ++crossings;
        }
        EXPECT_NEAR(crossings * 2.0, midi_to_hz(midi), midi_to_hz(midi) * 0.01) << midi;
        EXPECT_EQ(out.left[RATE - 1], 0.0f) << "silent once released";
    }
}

TEST(Synth, ALoopingSongCarriesItsLastNoteIntoItsStart) {
    Song s;
    Voice long_ring;
    long_ring.wave = Wave::Triangle;
    long_ring.release = 1.0f;
    s.voices = {long_ring};
    s.bpm = 120.0f;  // one bar: 2 s
    s.patterns = {{1, "C", {{0, ". . . C4"}}}};
    s.order = {0};
    s.reverb = 0.0f;
    s.echo_feedback = 0.0f;
    const Stereo looped = render_song(s);
    ASSERT_EQ(looped.frames(), static_cast<size_t>(2 * RATE));
    EXPECT_NEAR(peak_of(looped), std::pow(10.0, -9.0 / 20.0), 1e-4);
    float head = 0.0f;
    for (size_t i = 0; i < RATE / 10; ++i) head = std::max(head, std::fabs(looped.left[i]));
    EXPECT_GT(head, 0.01f) << "the release past the end is heard at the top";

    s.loop = false;
    s.tail = 0.5f;
    const Stereo once = render_song(s);
    ASSERT_EQ(once.frames(), static_cast<size_t>(2.5 * RATE));
    EXPECT_FLOAT_EQ(once.left[0], 0.0f);
    EXPECT_FLOAT_EQ(once.left.back(), 0.0f) << "faded to silence at the end";
}

TEST(Synth, WavBytesHoldACanonicalHeaderAndLimitedSamples) {
    const float frames[] = {0.0f, 1.5f, -2.0f, 0.5f, -0.5f, 1.0f};
    const std::vector<uint8_t> b = wav_bytes(frames, 3, 2);
    ASSERT_EQ(b.size(), 44u + 12u);
    EXPECT_EQ(le(b, 4, 4), b.size() - 8);
    EXPECT_EQ(le(b, 22, 2), 2u);
    EXPECT_EQ(le(b, 24, 4), 44100u);
    EXPECT_EQ(le(b, 28, 4), 44100u * 4);
    EXPECT_EQ(le(b, 40, 4), 12u);
    const int16_t expected[] = {0, 32767, -32767, 16384, -16384, 32767};
    for (int i = 0; i < 6; ++i) EXPECT_EQ(static_cast<int16_t>(le(b, 44 + 2 * i, 2)), expected[i]) << i;
}
