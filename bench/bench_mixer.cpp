// The mixer's cost for what a level plays: one Vorbis music and two effects,
// mixed into 44100 Hz stereo in device-sized blocks. Uses the game's own
// sounds when they have been generated, else makes stand-ins of the same kinds.
#include <benchmark/benchmark.h>
#include <vorbis/vorbisenc.h>

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "audio/mixer.h"

using namespace valmoren;
namespace fs = std::filesystem;

namespace {

constexpr double PI = 3.14159265358979323846;
constexpr int DEVICE_BLOCK = 1024;  // frames the sdl device asks for at a time

// A stereo 44.1 kHz Vorbis file of `secs` seconds: two slowly beating chords.
bool write_vorbis(const std::string& path, double secs) {
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) return false;
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, 2, 44100, 0.4f) != 0) {
        std::fclose(out);
        return false;
    }
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_dsp_state vd;
    vorbis_block vb;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);
    ogg_stream_state os;
    ogg_stream_init(&os, 1);
    ogg_packet head, comm, code;
    vorbis_analysis_headerout(&vd, &vc, &head, &comm, &code);
    ogg_stream_packetin(&os, &head);
    ogg_stream_packetin(&os, &comm);
    ogg_stream_packetin(&os, &code);
    ogg_page og;
    while (ogg_stream_flush(&os, &og) != 0) {
        std::fwrite(og.header, 1, static_cast<size_t>(og.header_len), out);
        std::fwrite(og.body, 1, static_cast<size_t>(og.body_len), out);
    }
    const long total = static_cast<long>(secs * 44100);
    long done = 0;
    bool eos = false;
    while (!eos) {
        long n = std::min<long>(1024, total - done);
        if (n > 0) {
            float** buf = vorbis_analysis_buffer(&vd, static_cast<int>(n));
            for (long i = 0; i < n; ++i) {
                double t = static_cast<double>(done + i) / 44100;
                buf[0][i] = static_cast<float>(0.2 * std::sin(2 * PI * 220 * t) + 0.1 * std::sin(2 * PI * 331 * t));
                buf[1][i] = static_cast<float>(0.2 * std::sin(2 * PI * 277 * t) + 0.1 * std::sin(2 * PI * 442 * t));
            }
            done += n;
        }
        vorbis_analysis_wrote(&vd, static_cast<int>(std::max<long>(n, 0)));
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            ogg_packet op;
            while (vorbis_bitrate_flushpacket(&vd, &op) == 1) {
                ogg_stream_packetin(&os, &op);
                while (!eos && ogg_stream_pageout(&os, &og) != 0) {
                    std::fwrite(og.header, 1, static_cast<size_t>(og.header_len), out);
                    std::fwrite(og.body, 1, static_cast<size_t>(og.body_len), out);
                    eos = ogg_page_eos(&og) != 0;
                }
            }
        }
    }
    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    std::fclose(out);
    return true;
}

// A mono 22050 Hz 16-bit WAV: a decaying noise burst, like an explosion.
bool write_burst(const std::string& path, double secs, unsigned seed) {
    const int rate = 22050;
    const uint32_t frames = static_cast<uint32_t>(secs * rate);
    std::FILE* out = std::fopen(path.c_str(), "wb");
    if (out == nullptr) return false;
    auto u32 = [&](uint32_t x) { std::fwrite(&x, 4, 1, out); };
    auto u16 = [&](uint16_t x) { std::fwrite(&x, 2, 1, out); };
    std::fwrite("RIFF", 1, 4, out);
    u32(36 + frames * 2);
    std::fwrite("WAVEfmt ", 1, 8, out);
    u32(16);
    u16(1);
    u16(1);
    u32(rate);
    u32(rate * 2);
    u16(2);
    u16(16);
    std::fwrite("data", 1, 4, out);
    u32(frames * 2);
    for (uint32_t i = 0; i < frames; ++i) {
        seed = seed * 1103515245u + 12345u;
        double noise = static_cast<double>((seed >> 16) & 0x7FFF) / 16384.0 - 1.0;
        auto s = static_cast<int16_t>(20000 * noise * std::exp(-4.0 * i / frames));
        std::fwrite(&s, 2, 1, out);
    }
    std::fclose(out);
    return true;
}

struct LevelSounds {
    std::string music, fx, fx2;
};

const LevelSounds& level_sounds() {
    static LevelSounds files = [] {
        LevelSounds f;
        const std::string game = std::string(VALMOREN_GAME_DIR) + "/sounds/";
        if (fs::exists(game + "m_fon.ogg") && fs::exists(game + "boom.wav")) {
            f.music = game + "m_fon.ogg";
            f.fx = game + "boom.wav";
            f.fx2 = fs::exists(game + "boom2.wav") ? game + "boom2.wav" : game + "boom.wav";
            return f;
        }
        fs::path dir = fs::temp_directory_path() / "valmoren-bench-mixer";
        fs::create_directories(dir);
        f.music = (dir / "music.ogg").string();
        f.fx = (dir / "boom.wav").string();
        f.fx2 = (dir / "boom2.wav").string();
        if (!fs::exists(f.music)) write_vorbis(f.music, 20.0);
        if (!fs::exists(f.fx)) write_burst(f.fx, 0.6, 1);
        if (!fs::exists(f.fx2)) write_burst(f.fx2, 0.3, 2);
        return f;
    }();
    return files;
}

// One second of a level's sound: the music requested every device block (as
// the game requests it every frame) and the two effects set off again as soon
// as they end. Reported as the share of one core it takes.
void BM_mix_level_second(benchmark::State& state) {
    const LevelSounds& f = level_sounds();
    mixer_close_all();
    StreamHandle music = mixer_open(f.music.c_str());
    StreamHandle fx = mixer_open(f.fx.c_str());
    StreamHandle fx2 = mixer_open(f.fx2.c_str());
    if (music == 0 || fx == 0 || fx2 == 0) {
        state.SkipWithError("sound files could not be opened");
        return;
    }
    std::vector<int16_t> out(DEVICE_BLOCK * 2);
    for (auto _ : state) {
        for (int done = 0; done < MIX_RATE; done += DEVICE_BLOCK) {
            mixer_play(music);
            mixer_play(fx);
            mixer_play(fx2);
            mixer_mix(out.data(), DEVICE_BLOCK);
        }
        benchmark::DoNotOptimize(out.data());
    }
    // Processor time per iteration against one second of sound, in per cent
    // (Google Benchmark shows an inverted rate with an "s" after it).
    state.counters["core_percent"] =
        benchmark::Counter(static_cast<double>(state.iterations()) / 100.0,
                           benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    mixer_close_all();
}
BENCHMARK(BM_mix_level_second)->Unit(benchmark::kMillisecond);

// The play request the level loop makes every frame for music already playing.
void BM_play_request_while_playing(benchmark::State& state) {
    mixer_close_all();
    StreamHandle music = mixer_open(level_sounds().music.c_str());
    mixer_play(music);
    for (auto _ : state) mixer_play(music);
    mixer_close_all();
}
BENCHMARK(BM_play_request_while_playing);

}  // namespace
