// Frame cost of levels 2, 3 and 4 at a busy moment, pacing off, each measured
// as time per frame and as a multiple of one 640x480 page copy.
// Level 2: full formation, shots in flight both ways, falling objects.
// Level 3: ten asteroids and ten debris pieces, the ship under thrust.
// Level 4: twenty drifting asteroids, the rocket in mid-air over the pad.
#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cstring>
#include <filesystem>
#include <vector>

#include "flow/runner.h"
#include "levels/levels.h"
#include "platform/headless/headless.h"
#include "platform/input.h"
#include "platform/screen.h"
#include "state/game_state.h"

using namespace valmoren;

namespace {

using Clock = std::chrono::steady_clock;

// Nanoseconds for one copy of the work page to the visible page.
double page_copy_ns() {
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
        const double each = std::chrono::duration<double, std::nano>(Clock::now() - t0).count() / 500;
        best = std::min(best, each);
    }
    ns = best;
    return ns;
}

// What changes in a frame and is put back before the next measured one, so
// every measured frame starts from the same busy moment.
struct Moment {
    std::vector<Shot> shots;
    std::vector<Enemy> enemies;
    std::vector<FallingObject> objects;
    int16_t last_shot, energy, score;
    int8_t last_spawned, wave_step, wave_no, rockets;
    uint8_t rocks_left;
    int32_t player_x, player_y, craft_x, vel_x, vel_y;
    double heading, thrust, level_time;

    void take() {
        shots = g.shots;
        enemies = g.enemies;
        objects = g.objects;
        last_shot = g.last_shot;
        energy = g.energy;
        score = g.score;
        last_spawned = g.last_spawned;
        wave_step = g.wave_step;
        wave_no = g.wave_no;
        rockets = g.rockets;
        rocks_left = g.rocks_left;
        player_x = g.player_x;
        player_y = g.player_y;
        craft_x = g.craft_x;
        vel_x = g.vel_x;
        vel_y = g.vel_y;
        heading = g.heading;
        thrust = g.thrust;
        level_time = g.level_time;
    }
    void put_back() const {
        std::copy(shots.begin(), shots.end(), g.shots.begin());
        std::copy(enemies.begin(), enemies.end(), g.enemies.begin());
        std::copy(objects.begin(), objects.end(), g.objects.begin());
        g.last_shot = last_shot;
        g.energy = energy;
        g.score = score;
        g.last_spawned = last_spawned;
        g.wave_step = wave_step;
        g.wave_no = wave_no;
        g.rockets = rockets;
        g.rocks_left = rocks_left;
        g.player_x = player_x;
        g.player_y = player_y;
        g.craft_x = craft_x;
        g.vel_x = vel_x;
        g.vel_y = vel_y;
        g.heading = heading;
        g.thrust = thrust;
        g.level_time = headless_time();  // level 4: a clock tick falls due every frame
    }
};

void start_level(int n) {
    std::filesystem::current_path(VALMOREN_GAME_DIR);
    g = GameState{};
    headless_reset();
    headless_set_player([] {
        if (headless_waiting_for_key()) headless_tap(KEY_ENTER);
    });
    g.music_on = 0;
    size_array(g.enemies, 40);
    g.wave_step = 1;
    g.wave_no = 0;
    g.rock_count = 1;
    level_setup(n);
    set_target_fps(0);
}

void busy_level2() {
    start_level(2);
    level_frame();  // builds wave 1 (with its get-ready overlay)
    for (int i = 0; i < 60; ++i) fire_shot(40 + 9 * i, 200 + 4 * i, 1);
    for (int i = 0; i < 20; ++i) fire_shot(30 * i, 60 + 8 * i, 2);
    for (auto& e : g.enemies) e.hits = 1000;  // no enemy falls while measuring
    for (int k = 0; k < 6; ++k) {
        g.objects[k] = FallingObject{60 + 100 * k, 40 * k, 3, 0, 1 + k % 3, 1};
    }
    g.last_spawned = 5;
    g.craft_x = 620;  // out of every enemy's line of fire
}

void busy_level3() {
    start_level(3);
    level_frame();  // wave 1: ten asteroids (with its get-ready overlay)
    g.rock_count = 9;
    for (int i = 0; i <= 9; ++i) g.enemies[i] = Enemy{40 + 55 * i, 20 + 37 * i, 0, 0, 1, 1};
    g.rocks_left = 10;
    g.player_x = 300;
    g.player_y = 420;
    g.heading = 100;
    g.vel_x = 40;
    g.thrust = 1.0;
    headless_press(KEY_SPACE);
}

void busy_level4() {
    start_level(4);
    for (int k = 0; k <= 19; ++k) {
        g.objects[k] = FallingObject{-20 + 31 * k, 200 + 9 * k, 0, 1 + k % 8, 2 + k % 2, 1};
    }
    g.last_spawned = 19;
    g.player_x = 400;
    g.player_y = 60;
    g.craft_x = 350;
    g.heading = 80;
}

void run_frames(benchmark::State& state, void (*busy)()) {
    busy();
    Moment moment;
    moment.take();
    double total_ns = 0;
    for (auto _ : state) {
        moment.put_back();
        const auto t0 = Clock::now();
        level_frame();
        const double ns = std::chrono::duration<double, std::nano>(Clock::now() - t0).count();
        state.SetIterationTime(ns * 1e-9);
        total_ns += ns;
    }
    headless_set_player({});
    const double per_frame = total_ns / static_cast<double>(state.iterations());
    state.counters["page_copies"] = per_frame / page_copy_ns();
    state.counters["copy_ns"] = page_copy_ns();
}

void BM_Levels234PageCopy(benchmark::State& state) {
    const size_t bytes = static_cast<size_t>(SCREEN_W) * SCREEN_H * sizeof(uint32_t);
    for (auto _ : state) {
        std::memcpy(page_pixels(visible_page()), page_pixels(work_page()), bytes);
        benchmark::ClobberMemory();
    }
}

void BM_Level2BusyFrame(benchmark::State& state) { run_frames(state, busy_level2); }
void BM_Level3BusyFrame(benchmark::State& state) { run_frames(state, busy_level3); }
void BM_Level4BusyFrame(benchmark::State& state) { run_frames(state, busy_level4); }

}  // namespace

BENCHMARK(BM_Levels234PageCopy);
BENCHMARK(BM_Level2BusyFrame)->UseManualTime();
BENCHMARK(BM_Level3BusyFrame)->UseManualTime();
BENCHMARK(BM_Level4BusyFrame)->UseManualTime();
