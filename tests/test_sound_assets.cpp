// test_sound_assets.cpp -- the generated music, effects and story captions:
// files that play at the right rate and length without clipping, music below
// the effects, level tracks that restart cleanly, captions that read back and
// fit below the story picture, and the same bytes on every run.
#include <gtest/gtest.h>
#include <unistd.h>
#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <thread>
#include <vector>

#include "assetgen.h"
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

TEST(SoundAssets, EveryFilePlaysWholeAt44100WithoutClipping) {
    double loudest_music_rms = 0.0, quietest_effect_rms = 1.0;
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
        // No sample at (or rounding to) full scale.
        EXPECT_LT(h.peak(), 32767.0f / 32768.0f);
        if (e.music) {
            EXPECT_GT(db(h.peak()), -12.0);
            EXPECT_LT(db(h.peak()), -6.0);
            loudest_music_rms = std::max(loudest_music_rms, h.rms());
        } else {
            EXPECT_GT(db(h.peak()), -4.0);
            quietest_effect_rms = std::min(quietest_effect_rms, h.rms());
        }
    }
    EXPECT_LT(loudest_music_rms, quietest_effect_rms) << "music must sit below the effects";
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
    EXPECT_EQ(looped.frames(), static_cast<size_t>(2 * RATE));
    EXPECT_NEAR(peak_of(looped), std::pow(10.0, -9.0 / 20.0), 1e-4);
    float head = 0.0f;
    for (size_t i = 0; i < RATE / 10; ++i) head = std::max(head, std::fabs(looped.left[i]));
    EXPECT_GT(head, 0.01f) << "the release past the end is heard at the top";

    s.loop = false;
    s.tail = 0.5f;
    const Stereo once = render_song(s);
    EXPECT_EQ(once.frames(), static_cast<size_t>(2.5 * RATE));
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
