// clock.cpp -- the level clock: level 1's 101-second countdown, level 4's
// 0.1-second ticks (pad crawl, drifting asteroids), level 5's 20-second phases
// and its finale. Writes level_time, tick_mark, event_time, fall_speed,
// craft_x, craft_y, dice, level_done (and objects through the spawner).

#include "audio/sound.h"
#include "levels/levels.h"
#include "platform/input.h"
#include "play/play.h"
#include "state/game_state.h"

namespace valmoren {

namespace {

// The countdown falls by the whole seconds the clock has passed since it last
// moved.
void countdown_step() {
    const int32_t now = whole_seconds();
    if (now > g.tick_mark) {
        g.level_time -= now - g.tick_mark;
        g.tick_mark = whole_seconds();
    }
}

// Every 0.1 s: the pad (level 4) or the station picture (level 5) moves one
// pixel left, and a roll of n decides whether a new object enters.
void spawn_tick(double& due, int32_t n) {
    if (seconds() <= due) return;
    due = seconds() + 0.1;
    g.craft_x -= 1;
    g.dice = roll(n) + 1;
    const bool wave_ok = wave_allows_spawn();
    if (g.dice == 4 && g.last_spawned < g.object_count && wave_ok) spawn_object();
}

// The end of level 5: the music stops, the closing picture comes with its two
// sounds, three seconds pass, and the level-done overlay ends the level.
void level5_finale() {
    if (g.music_on == 1) stream_stop(g.stream_music);
    wait(100);
    stream_play(g.stream_fx2);
    put(100, 50, g.img_bonus);
    show_frame();
    stream_play(g.stream_fx);
    const int32_t start = whole_seconds();
    wait_until(start + 3.0);
    show_overlay(OVERLAY_LEVEL_DONE);
    g.level_done = 1;
}

void clock_level1() {
    countdown_step();
    if (g.level_time <= 0.0 && g.energy > 0) {
        g.level_time = 0.0;
        show_overlay(OVERLAY_LEVEL_DONE);
        g.level_done = 1;
    }
}

void clock_level5() {
    countdown_step();
    if (g.level_time <= 0.0) {
        g.level_time += 20.0;
        g.fall_speed += 1;
        g.dice = roll(5) + 1;
        if (g.dice == 4 && g.craft_x > 620) {
            // The station picture comes back from the left at a new height.
            g.craft_y = roll(351) + 50;
            g.craft_x = -20;
        }
        if (g.fall_speed > 12) level5_finale();
    }
    spawn_tick(g.event_time, 5);
}

}  // namespace

// Level 1: once per frame after the HUD; levels 4 and 5: from the player
// sprites. Does nothing in levels 2 and 3.
void run_level_clock() {
    switch (g.level) {
        case 1: clock_level1(); break;
        case 4: spawn_tick(g.level_time, 10); break;
        case 5: clock_level5(); break;
        default: break;
    }
}

}  // namespace valmoren
