// level_start.cpp -- the game in its real window (the window backend, the
// game's own code) started at the set-up of one level, for the window tests:
// level 5 cannot be reached in a test's time through the four before it.
// After each level frame it writes one line to the state file the second
// argument names, for the test to aim by: "<score> <energy> <crosshair x>
// <crosshair y>" and then "<kind> <x> <y> <dy>" for every target in play.
// With "keep-energy" after them the energy is topped up before every frame,
// for a test that judges the controls rather than how long a player lasts
// (a run whose aim falls behind would otherwise end in the game-over
// question). With "victory" level 5 starts in its last 20 seconds (the
// fall speed its finale follows), and once won goes on to the victory
// pictures and the score log, as the game does, before the program ends.
// Usage: valmoren_level_start <level 1..5> <state file> [keep-energy] [victory]
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "flow/flow.h"
#include "flow/runner.h"
#include "frontend/frontend.h"
#include "platform/input.h"
#include "platform/system.h"
#include "state/bounds.h"
#include "state/game_state.h"

using namespace valmoren;

int main(int argc, char** argv) {
    const int level = argc > 1 ? std::atoi(argv[1]) : 0;
    if (level < 1 || level > 5 || argc < 3) {
        std::fprintf(stderr, "usage: valmoren_level_start <level 1..5> <state file> [keep-energy] [victory]\n");
        return 2;
    }
    bool keep_energy = false, to_victory = false;
    for (int i = 3; i < argc; ++i) {
        keep_energy = keep_energy || std::strcmp(argv[i], "keep-energy") == 0;
        to_victory = to_victory || std::strcmp(argv[i], "victory") == 0;
    }
    std::FILE* state = std::fopen(argv[2], "w");
    if (!state) return 2;
    start_up();
    read_options();
    level_setup(level);
    if (to_victory && level == 5) g.fall_speed = 12;
    for (;;) {
        if (keep_energy) g.energy = 240;
        const FrameOutcome outcome = level_frame();
        std::fprintf(state, "%d %d %d %d", g.score, g.energy, g.player_x, g.player_y);
        for (int i = 0; i <= last_index(g.objects, g.last_spawned); ++i) {
            const FallingObject& o = g.objects[static_cast<size_t>(i)];
            if (o.alive > 0 && o.kind >= OBJECT_ENEMY && o.kind <= OBJECT_ROCK2)
                std::fprintf(state, " %d %d %d %d", o.kind, o.x, o.y, o.dy);
        }
        std::fprintf(state, "\n");
        std::fflush(state);
        if (outcome == LEVEL_WON && to_victory && level == 5) victory();
        if (outcome != LEVEL_GOES_ON) end_program(0);
    }
}
