// Frame cost of levels 1 and 5 at a busy moment, pacing off, as time per
// frame and as a multiple of one 640x480 page copy measured in the same run.
// Level 1: the ball in mid-field, a full wave of ships, stations, asteroids
// and a bonus falling. Level 5: a full wave of 26 objects, the station
// sliding in, the crosshair charging.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <vector>

#include "flow/runner.h"
#include "platform/headless/headless.h"
#include "platform/input.h"
#include "platform/screen.h"
#include "state/game_state.h"

using namespace valmoren;

namespace {

using Clock = std::chrono::steady_clock;

double one_page_copy_ns() {
    static double ns = 0;
    if (ns > 0) return ns;
    const size_t bytes = static_cast<size_t>(SCREEN_W) * SCREEN_H * sizeof(uint32_t);
    double best = 1e18;
    for (int batch = 0; batch < 7; ++batch) {
        const auto t0 = Clock::now();
        for (int i = 0; i < 500; ++i) {
            std::memcpy(page_pixels(visible_page()), page_pixels(work_page()), bytes);
            benchmark::ClobberMemory();
        }
        best = std::min(best,
                        std::chrono::duration<double, std::nano>(Clock::now() - t0).count() / 500);
    }
    ns = best;
    return ns;
}

// A game state in the run folder's data, set up for `level` with the story
// and overlays passed by a player that answers every key wait and lets the
// clock run through the overlays.
void set_up_level(int level) {
    g = GameState{};
    headless_reset();
    headless_enter_temp_folder("bench_levels");
    std::error_code ec;
    for (const char* sub : {"img", "sounds"})
        std::filesystem::create_directory_symlink(std::filesystem::path(VALMOREN_GAME_DIR) / sub,
                                                  sub, ec);
    g.music_on = 0;
    headless_set_player([] {
        if (headless_waiting_for_key())
            headless_tap(KEY_ENTER);
        else
            headless_advance(3.1);
    });
    level_setup(1);
    if (level == 5) level_setup(5);
    headless_set_player(nullptr);
    set_target_fps(0);
}

// The fields a frame changes, put back before every measured frame.
struct Moment {
    GameState saved;
    void take() { saved = g; }
    void put_back() const {
        std::copy(saved.objects.begin(), saved.objects.end(), g.objects.begin());
        g.last_spawned = saved.last_spawned;
        g.player_x = saved.player_x;
        g.player_y = saved.player_y;
        g.vel_x = saved.vel_x;
        g.vel_y = saved.vel_y;
        g.craft_x = saved.craft_x;
        g.craft_y = saved.craft_y;
        g.craft2_y = saved.craft2_y;
        g.energy = saved.energy;
        g.score = saved.score;
        g.level_time = saved.level_time;
        g.fall_speed = saved.fall_speed;
        g.thrust = saved.thrust;
        g.tick_mark = static_cast<int32_t>(headless_time()) + 1;
        g.event_time = headless_time() + 1.0;
    }
};

void measure(benchmark::State& state, const Moment& moment) {
    double total_ns = 0;
    long frames = 0;
    for (auto _ : state) {
        moment.put_back();
        const auto t0 = Clock::now();
        benchmark::DoNotOptimize(level_frame());
        total_ns += std::chrono::duration<double, std::nano>(Clock::now() - t0).count();
        ++frames;
    }
    state.counters["page_copies"] = total_ns / static_cast<double>(frames) / one_page_copy_ns();
}

void BM_Level1BusyFrame(benchmark::State& state) {
    set_up_level(1);
    const int32_t kinds[6] = {1, 2, 3, 1, 2, 6};
    for (int i = 0; i < 6; ++i)
        g.objects[static_cast<size_t>(i)] = FallingObject{100 + 80 * i, 40 + 60 * i, 2, 1, kinds[i], 1};
    g.last_spawned = 5;
    g.player_x = 300;
    g.player_y = 200;
    g.vel_x = 5;
    g.vel_y = 3;
    g.level_time = 60.0;
    Moment moment;
    moment.take();
    measure(state, moment);
}
BENCHMARK(BM_Level1BusyFrame)->Unit(benchmark::kMicrosecond);

void BM_Level5BusyFrame(benchmark::State& state) {
    set_up_level(5);
    for (int i = 0; i <= 25; ++i)
        g.objects[static_cast<size_t>(i)] =
            FallingObject{20 + 23 * i, 10 + 15 * i, 4, 0, 1 + i % 3, 1};
    g.last_spawned = 25;
    g.craft_x = 200;
    g.craft_y = 150;
    g.thrust = 2.0;
    headless_set_mouse(320, 240, 1);
    g.level_time = 15.0;
    Moment moment;
    moment.take();
    measure(state, moment);
}
BENCHMARK(BM_Level5BusyFrame)->Unit(benchmark::kMicrosecond);

void BM_Levels15PageCopy(benchmark::State& state) {
    const size_t bytes = static_cast<size_t>(SCREEN_W) * SCREEN_H * sizeof(uint32_t);
    for (auto _ : state) {
        std::memcpy(page_pixels(visible_page()), page_pixels(work_page()), bytes);
        benchmark::ClobberMemory();
    }
    state.counters["page_copies"] = 1.0;
}
BENCHMARK(BM_Levels15PageCopy)->Unit(benchmark::kMicrosecond);

}  // namespace
