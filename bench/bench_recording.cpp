// What recording a game costs: the journal's work for the reads of one
// level frame, as a share of the frame's 1/60 s (the packing as the journal
// grows included); a game's end after an hour; and the size of a minute of play, in the recordings the
// real program made under Xvfb (tests/replays) and in an hour of level
// frames made up here with the real frames' readings and jitter.
#include <benchmark/benchmark.h>

#include <cmath>
#include <cstdint>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/input.h"
#include "platform/journal.h"
#include "platform/recording.h"

using namespace valmoren;

namespace {

constexpr double FRAME = 1.0 / 60.0;
constexpr int HOUR_OF_FRAMES = 60 * 60 * 60;

// The clock the real program reads, in whole microseconds.
double on_grid(double t) { return std::floor(t * 1e6) / 1e6; }

// The reads the journal gets in one level-1 frame of the real program
// (counted in the recordings of tests/replays): the frame's end, the next
// frame's start, the level clock's whole seconds, the reading that ends the
// frame limit; Up, Down, Esc and P looked at, the pointer once.
struct FrameReads {
    std::mt19937 jitter{20261209};
    double t = 1000.0;
    uint8_t keys[KEY_TABLE_SIZE] = {};
    void one_frame() {
        std::uniform_int_distribution<int> us(0, 60);
        const double start = t;
        journal_seconds(on_grid(t += (90 + us(jitter)) * 1e-6));
        journal_seconds(on_grid(t += (30 + us(jitter) / 4) * 1e-6));
        journal_whole_seconds(static_cast<int32_t>(t));
        for (int k : {KEY_UP, KEY_DOWN, KEY_ESC, KEY_P}) {
            journal_keys(keys, false);
            benchmark::DoNotOptimize(journal_key_down(k));
        }
        journal_pointer(PointerState{320, 240, 0, 0, true});
        const double moment = start + FRAME;
        // Half the frames wait for their moment; the others come late, after
        // a retrace wait that took up to most of a frame.
        const double late = us(jitter) < 30 ? us(jitter) * 1e-7 : us(jitter) * 2e-4;
        journal_watched_seconds(on_grid(moment + late), moment);
        t = on_grid(moment + late);
    }
};

void BM_RecordingAFrame(benchmark::State& state) {
    headless_reset();
    journal_record();
    FrameReads frames;
    int64_t count = 0;
    for (auto _ : state) {
        frames.one_frame();
        // An hour at most, as a long game keeps it.
        if (++count % HOUR_OF_FRAMES == 0) journal_record();
    }
    journal_stop();
}
BENCHMARK(BM_RecordingAFrame)->Unit(benchmark::kNanosecond);

// A game's end after an hour of level frames (packed as they were recorded,
// so only the last few kilobytes are packed then); its size a minute.
void BM_GameEndAfterAnHour(benchmark::State& state) {
    headless_reset();
    journal_record();
    FrameReads frames;
    for (int i = 0; i < HOUR_OF_FRAMES; ++i) frames.one_frame();
    size_t bytes = 0;
    for (auto _ : state) bytes = recording_so_far(RecordingHeader{}, RecordingTrailer{}).size();
    journal_stop();
    state.counters["bytes_per_minute"] = static_cast<double>(bytes) / 60.0;
    state.counters["bytes_per_frame"] = static_cast<double>(bytes) / HOUR_OF_FRAMES;
}
BENCHMARK(BM_GameEndAfterAnHour)->Unit(benchmark::kMillisecond)->Iterations(5);

// The recordings the real program made (tests/replays): bytes a minute.
void BM_StoredRecordings(benchmark::State& state) {
    double bytes = 0, seconds = 0;
    for (auto _ : state) {
        bytes = seconds = 0;
        std::error_code ec;
        for (const auto& entry : std::filesystem::directory_iterator(VALMOREN_SOURCE_DIR "/tests/replays", ec)) {
            if (entry.path().extension() != ".vrec") continue;
            Recording r;
            std::string problem;
            if (!read_recording(entry.path().string(), r, problem)) continue;
            bytes += static_cast<double>(std::filesystem::file_size(entry.path()));
            seconds += static_cast<double>(r.trailer.span) / 1e6;
        }
    }
    state.counters["bytes_per_minute"] = seconds > 0 ? bytes / seconds * 60.0 : 0.0;
    state.counters["minutes"] = seconds / 60.0;
}
BENCHMARK(BM_StoredRecordings)->Iterations(1);

}  // namespace
