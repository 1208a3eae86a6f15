// installed_player.cpp -- the game on the headless backend, started as the
// installed game starts: copied next to an installed valmoren, it chooses its
// folders from its own location (the player's folder over the installed data).
//   installed_player --where      prints the working and the data folder chosen
//   installed_player options M.bmp  waits for the menu, saves what it shows as
//                                   M.bmp, goes to Options, turns the music off
//                                   and the keyboard on, saves, and chooses Exit
//   installed_player play         plays the whole game to the victory with the
//                                 level players, recorded as the game records it
// Prints what happened; exit status 0 when the session went as planned and
// the game ended with status 0.
#include <unistd.h>

#include <climits>
#include <cstdio>
#include <string>
#include <vector>

#include "flow/flow.h"
#include "state/game_state.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/headless/headless.h"
#include "platform/input.h"
#include "platform/recording.h"
#include "platform/screen.h"
#include "players.h"

using namespace valmoren;

namespace {

// Where the menu draws its Start button.
constexpr int START_X = 270;
constexpr int START_Y = 250;

std::string menu_picture_path;
Image start_button;

// From the menu: Options, then on the options screen music swapped (off),
// Down, controls swapped (keyboard), Down twice to Save and Exit, Enter; back
// in the menu Down three times to Exit, Enter. One key held for each key wait.
const std::vector<int> KEYS = {KEY_DOWN, KEY_ENTER, KEY_ENTER, KEY_DOWN, KEY_ENTER, KEY_DOWN, KEY_DOWN,
                               KEY_ENTER, KEY_DOWN, KEY_DOWN, KEY_DOWN, KEY_ENTER};
size_t step = 0;
bool menu_seen = false;
int held_key = 0;

// True when the visible page shows the Start button where the menu puts it.
bool menu_on_screen() {
    if (start_button.w == 0) return false;
    for (int y = 0; y < start_button.h; ++y)
        for (int x = 0; x < start_button.w; ++x) {
            const uint32_t p = start_button.pixels[static_cast<size_t>(y) * start_button.w + x];
            if (p != 0xFF00FF && headless_pixel(START_X + x, START_Y + y) != p) return false;
        }
    return true;
}

void options_session() {
    if (!headless_waiting_for_key()) return;
    if (!menu_seen) {
        if (!menu_on_screen()) return;  // the logo's waits run out by themselves
        menu_seen = true;
        if (!headless_save_bmp(menu_picture_path)) std::fprintf(stderr, "cannot save %s\n", menu_picture_path.c_str());
    }
    if (held_key) headless_release(held_key);
    held_key = step < KEYS.size() ? KEYS[step++] : KEY_ESC;
    headless_press(held_key);
}

int options_run() {
    // Read as the menu reads it: the player's folder first, then the data.
    if (load_bmp("img/start.bmp", start_button) != BMP_OK) {
        std::fprintf(stderr, "no start button picture to recognise the menu by\n");
        return 1;
    }
    headless_set_player(options_session);
    const int status = headless_run_program([] { game_main(); });
    std::printf("status %d\nmenu seen %d\nkeys %zu\n", status, menu_seen ? 1 : 0, step);
    return status == 0 && menu_seen && step == KEYS.size() ? 0 : 1;
}

int play_run() {
    players::run = players::GameRun{};
    players::run.level_budget = 30000;
    headless_set_player(players::whole_game);
    record_games("replays/last.vrec", "replays/best.vrec");
    const int status = headless_run_program([] { game_main(); });
    const players::GameRun& run = players::run;
    std::printf("status %d\nhighest level %d\nlost %d\ngave up %d\nscore %d\n", status, run.highest_level,
                run.lost ? 1 : 0, run.gave_up ? 1 : 0, static_cast<int>(g.score));
    return status == 0 && run.highest_level == 5 && !run.lost && !run.gave_up ? 0 : 1;
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc >= 2 ? argv[1] : "";
    if (!((mode == "--where" || mode == "play") && argc == 2) && !(mode == "options" && argc == 3)) {
        std::fprintf(stderr, "usage: installed_player --where | options MENU.bmp | play\n");
        return 2;
    }
    headless_reset();
    if (!choose_game_folders(argv[0])) return 1;
    if (mode == "--where") {
        char here[PATH_MAX];
        if (!::getcwd(here, sizeof here)) return 1;
        std::printf("working %s\ndata %s\n", here, data_folder().c_str());
        return 0;
    }
    if (mode == "options") {
        menu_picture_path = argv[2];
        return options_run();
    }
    return play_run();
}
