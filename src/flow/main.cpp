// main.cpp -- the program's entry on any backend: start-up, the logo, and the
// main loop of menu and game. Writes no GameState fields itself.
#include "flow/flow.h"

#include <string>

#include "audio/sound.h"
#include "frontend/frontend.h"
#include "platform/input.h"
#include "platform/recording.h"
#include "platform/screen.h"
#include "platform/system.h"
#include "platform/textfile.h"
#include "state/digest.h"
#include "state/game_state.h"

namespace valmoren {

int read_full_screen_setting() {
    std::string text;
    const int n = free_file_number();
    open_file("options.dat", FILE_INPUT, n);
    // The third line overwrites the first two: music and controls are read
    // again later by the menu's options reader.
    read_line(n, text);
    read_line(n, text);
    read_line(n, text);
    close_file(n);
    return texts_equal(text, "1") ? 1 : 0;
}

void start_up() {
    start_platform();
    const int full_screen = read_full_screen_setting();
    set_caption("Valmoren");
    open_screen(full_screen);
    set_pages(1, 0);
    randomize(seconds());
    set_mouse(-1, -1, 0);
    wait(1000);
}

GameSummary game_summary() { return {g.score, fold_state(0)}; }

void game_main() {
    report_games_with(game_summary);
    start_up();
    logo_screen();
    // The game never leaves this loop: Exit in the menu and the victory end
    // the program; a request to leave a level comes back here to the menu.
    for (;;) {
        main_menu();
        run_game();
    }
}

}  // namespace valmoren
