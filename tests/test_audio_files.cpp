// Sound files made by others and by the game's generator, decoded through the
// mixer; and WAV files built to be hostile, which must never crash the reader.
#include <SDL_audio.h>
#include <gtest/gtest.h>
#include <vorbis/vorbisfile.h>

#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "audio/mixer.h"
#include "audio/wav_reader.h"
#include "platform/headless/headless.h"

using namespace valmoren;
namespace fs = std::filesystem;

namespace {

std::vector<fs::path> files_in(const std::string& dir, const std::vector<std::string>& exts) {
    std::vector<fs::path> out;
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(dir, ec)) {
        for (const std::string& x : exts) {
            if (e.path().extension() == x) out.push_back(e.path());
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

struct Heard {
    int64_t frames = 0;   // frames until the stream finished
    double rms = 0;       // of the left channel
    bool finished = false;
};

// Plays a file through the mixer alone, pulling directly, until it ends.
Heard play_through(const std::string& path, int64_t limit_frames) {
    Heard h;
    StreamHandle s = mixer_open(path.c_str());
    if (s == 0) return h;
    mixer_play(s);
    std::vector<int16_t> buf(4096 * 2);
    double sq = 0;
    int64_t pulled = 0;
    while (pulled < limit_frames && mixer_is_playing(s)) {
        mixer_mix(buf.data(), 4096);
        pulled += 4096;
        for (int i = 0; i < 4096; ++i) sq += static_cast<double>(buf[i * 2]) * buf[i * 2];
    }
    h.finished = !mixer_is_playing(s);
    h.frames = mixer_position(s);
    h.rms = std::sqrt(sq / std::max<int64_t>(h.frames, 1));
    mixer_close(s);
    return h;
}

class SoundFiles : public ::testing::Test {
protected:
    void SetUp() override { mixer_close_all(); }
    void TearDown() override { mixer_close_all(); }
};

TEST_F(SoundFiles, WavFilesFromAlsaDecodeToTheirFullLength) {
    auto files = files_in("/usr/share/sounds/alsa", {".wav"});
    if (files.empty()) GTEST_SKIP() << "alsa-utils sounds not installed";
    for (const fs::path& p : files) {
        SCOPED_TRACE(p.string());
        // SDL's own WAV loader tells what the file holds.
        SDL_AudioSpec wav;
        Uint8* data = nullptr;
        Uint32 len = 0;
        ASSERT_NE(SDL_LoadWAV(p.string().c_str(), &wav, &data, &len), nullptr);
        int frame_bytes = wav.channels * SDL_AUDIO_BITSIZE(wav.format) / 8;
        double expected = static_cast<double>(len / frame_bytes) * MIX_RATE / wav.freq;
        double sq = 0;
        for (Uint32 i = 0; i + 1 < len; i += frame_bytes) {
            double v = static_cast<int16_t>(data[i] | data[i + 1] << 8);
            sq += v * v;
        }
        double source_rms = std::sqrt(sq / (len / frame_bytes));
        SDL_FreeWAV(data);

        Heard h = play_through(p.string(), 60 * MIX_RATE);
        EXPECT_TRUE(h.finished);
        EXPECT_NEAR(static_cast<double>(h.frames), expected, expected * 0.002 + 64);
        EXPECT_NEAR(h.rms, source_rms, source_rms * 0.05);
    }
}

TEST_F(SoundFiles, OggVorbisFilesFromFreedesktopDecodeToTheirFullLength) {
    auto files = files_in("/usr/share/sounds/freedesktop/stereo", {".oga", ".ogg"});
    if (files.empty()) GTEST_SKIP() << "sound-theme-freedesktop not installed";
    for (const fs::path& p : files) {
        SCOPED_TRACE(p.string());
        OggVorbis_File vf;
        ASSERT_EQ(ov_fopen(p.string().c_str(), &vf), 0);
        double expected = static_cast<double>(ov_pcm_total(&vf, -1)) * MIX_RATE / ov_info(&vf, -1)->rate;
        ov_clear(&vf);
        Heard h = play_through(p.string(), 60 * MIX_RATE);
        EXPECT_TRUE(h.finished);
        EXPECT_NEAR(static_cast<double>(h.frames), expected, expected * 0.002 + 64);
        EXPECT_GT(h.rms, 10.0);
    }
}

TEST_F(SoundFiles, ChainedOggChangingFormatPlaysBothParts) {
    const std::string dir = "/usr/share/sounds/freedesktop/stereo/";
    const std::string a = dir + "bell.oga";                    // stereo 44.1 kHz
    const std::string b = dir + "phone-outgoing-calling.oga";  // mono 8 kHz
    const std::string c = dir + "service-login.oga";           // stereo 22.05 kHz
    if (!fs::exists(a) || !fs::exists(b) || !fs::exists(c)) GTEST_SKIP() << "sound-theme-freedesktop not installed";
    std::string chained = headless_enter_temp_folder("audio-chain") + "/chained.ogg";
    {
        std::ofstream out(chained, std::ios::binary);
        for (const std::string& part : {a, b, c}) {
            std::ifstream in(part, std::ios::binary);
            out << in.rdbuf();
        }
    }
    double expected = 0;
    for (const std::string& part : {a, b, c}) {
        OggVorbis_File vf;
        ASSERT_EQ(ov_fopen(part.c_str(), &vf), 0);
        expected += static_cast<double>(ov_pcm_total(&vf, -1)) * MIX_RATE / ov_info(&vf, -1)->rate;
        ov_clear(&vf);
    }
    Heard h = play_through(chained, 60 * MIX_RATE);
    EXPECT_TRUE(h.finished);
    EXPECT_NEAR(static_cast<double>(h.frames), expected, expected * 0.005 + 256);
    // Played a second time it is the same length: rewinding finds the first format again.
    Heard again = play_through(chained, 60 * MIX_RATE);
    EXPECT_EQ(again.frames, h.frames);
}

TEST_F(SoundFiles, GameSoundsAllPlay) {
    const std::string dir = std::string(VALMOREN_GAME_DIR) + "/sounds";
    auto files = files_in(dir, {".ogg", ".wav"});
    if (files.empty()) GTEST_SKIP() << "game sounds not generated";
    for (const fs::path& p : files) {
        SCOPED_TRACE(p.string());
        Heard h = play_through(p.string(), 10 * MIX_RATE);
        EXPECT_GT(h.frames, MIX_RATE / 20);
        EXPECT_GT(h.rms, 10.0);
    }
}

// WAV files built by hand: a valid one, then damaged in every way a file can be.
struct WavBuilder {
    std::vector<uint8_t> bytes{'R', 'I', 'F', 'F', 0, 0, 0, 0, 'W', 'A', 'V', 'E'};
    void u16(uint32_t x) {
        bytes.push_back(static_cast<uint8_t>(x));
        bytes.push_back(static_cast<uint8_t>(x >> 8));
    }
    void u32(uint32_t x) {
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(x >> (8 * i)));
    }
    void chunk(const char* id, uint32_t size) {
        bytes.insert(bytes.end(), id, id + 4);
        u32(size);
    }
    void fmt(int tag, int channels, uint32_t rate, int bits, uint32_t size = 16) {
        chunk("fmt ", size);
        u16(static_cast<uint32_t>(tag));
        u16(static_cast<uint32_t>(channels));
        u32(rate);
        u32(rate * static_cast<uint32_t>(channels * bits / 8));
        u16(static_cast<uint32_t>(channels * bits / 8));
        u16(static_cast<uint32_t>(bits));
        for (uint32_t i = 16; i < size; ++i) bytes.push_back(0);
    }
    void data(size_t n, uint32_t claimed) {
        chunk("data", claimed);
        for (size_t i = 0; i < n; ++i) bytes.push_back(static_cast<uint8_t>(i * 7));
    }
};

// Parses from memory and reads every sample a chunk at a time; gives the
// bytes read, or -1 when refused.
long read_all(const std::vector<uint8_t>& file, WavFormat* out = nullptr) {
    ByteSource src;
    source_open_memory(src, file.data(), file.size());
    WavFormat fmt;
    if (!wav_parse(src, fmt)) return -1;
    EXPECT_LE(fmt.data_start + fmt.data_bytes, file.size());
    uint8_t buf[1000];
    long total = 0;
    for (;;) {
        size_t n = wav_read(src, fmt, static_cast<uint64_t>(total), buf, sizeof buf);
        if (n == 0) break;
        EXPECT_EQ(n % static_cast<size_t>(fmt.frame_bytes), 0u);
        total += static_cast<long>(n);
    }
    if (out) *out = fmt;
    return total;
}

TEST(WavReader, HostileAndOddFilesNeverOverreach) {
    struct Case {
        const char* what;
        WavBuilder w;
        long bytes;  // sample bytes the reader should give, -1 refused
    };
    std::vector<Case> cases;
    auto add = [&](const char* what, long bytes, auto build) {
        Case c{what, WavBuilder{}, bytes};
        build(c.w);
        cases.push_back(std::move(c));
    };
    add("plain 16-bit stereo", 400, [](WavBuilder& w) { w.fmt(1, 2, 44100, 16); w.data(400, 400); });
    add("8-bit mono, odd size padded", 101, [](WavBuilder& w) {
        w.fmt(1, 1, 22050, 8);
        w.data(101, 101);
        w.bytes.push_back(0);
    });
    add("data before fmt", 200, [](WavBuilder& w) { w.data(200, 200); w.fmt(1, 1, 8000, 16); });
    add("odd-sized chunk before fmt", 64, [](WavBuilder& w) {
        w.chunk("LIST", 3);
        w.bytes.insert(w.bytes.end(), {'a', 'b', 'c', 0});
        w.fmt(1, 2, 48000, 16);
        w.data(64, 64);
    });
    add("extended fmt chunk", 64, [](WavBuilder& w) { w.fmt(1, 1, 44100, 16, 18); w.data(64, 64); });
    add("data size larger than the file", 300, [](WavBuilder& w) { w.fmt(1, 1, 44100, 16); w.data(300, 0xFFFFFFF0u); });
    add("data cut mid-frame", 300, [](WavBuilder& w) { w.fmt(1, 2, 44100, 16); w.data(302, 1000); });
    add("huge chunk before fmt", -1, [](WavBuilder& w) { w.chunk("junk", 0xFFFFFFFFu); w.fmt(1, 1, 44100, 16); w.data(8, 8); });
    add("huge data before fmt", -1, [](WavBuilder& w) { w.data(8, 0x7FFFFFFFu); w.fmt(1, 1, 44100, 16); });
    add("zero channels", -1, [](WavBuilder& w) { w.fmt(1, 0, 44100, 16); w.data(64, 64); });
    add("three channels", -1, [](WavBuilder& w) { w.fmt(1, 3, 44100, 16); w.data(66, 66); });
    add("24-bit", -1, [](WavBuilder& w) { w.fmt(1, 2, 44100, 24); w.data(60, 60); });
    add("float", -1, [](WavBuilder& w) { w.fmt(3, 2, 44100, 32); w.data(64, 64); });
    add("rate zero", -1, [](WavBuilder& w) { w.fmt(1, 1, 0, 16); w.data(64, 64); });
    add("rate absurd", -1, [](WavBuilder& w) { w.fmt(1, 1, 0xFFFFFFFFu, 16); w.data(64, 64); });
    add("fmt too short", -1, [](WavBuilder& w) { w.chunk("fmt ", 8); w.u32(0x00010001); w.u32(44100); w.data(64, 64); });
    add("no data chunk", -1, [](WavBuilder& w) { w.fmt(1, 1, 44100, 16); });
    add("no fmt chunk", -1, [](WavBuilder& w) { w.data(64, 64); });
    add("not a WAVE", -1, [](WavBuilder& w) { w.bytes[8] = 'A'; w.fmt(1, 1, 44100, 16); w.data(64, 64); });

    std::string dir = headless_enter_temp_folder("audio-wav");
    for (const Case& c : cases) {
        EXPECT_EQ(read_all(c.w.bytes), c.bytes) << c.what;
        // Through the mixer the file plays what it holds, or is refused.
        std::string path = dir + "/case.wav";
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char*>(c.w.bytes.data()), static_cast<std::streamsize>(c.w.bytes.size()));
        Heard h = play_through(path, 10 * MIX_RATE);
        EXPECT_EQ(h.frames > 0, c.bytes > 0) << c.what;
        EXPECT_TRUE(c.bytes <= 0 || h.finished) << c.what;
    }

    // Every truncation of a valid file: refused or fewer samples, never more.
    WavBuilder whole;
    whole.chunk("LIST", 5);
    whole.bytes.insert(whole.bytes.end(), {1, 2, 3, 4, 5, 0});
    whole.fmt(1, 2, 44100, 16);
    whole.data(256, 256);
    for (size_t len = 0; len <= whole.bytes.size(); ++len) {
        std::vector<uint8_t> cut(whole.bytes.begin(), whole.bytes.begin() + static_cast<long>(len));
        long got = read_all(cut);
        size_t header = whole.bytes.size() - 256;
        long want = len < header ? -1 : static_cast<long>((len - header) / 4 * 4);
        EXPECT_EQ(got, want) << "cut at " << len;
    }
}

}  // namespace
