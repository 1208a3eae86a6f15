// flow.h -- the program's entry, the main loop and the level runner.
#pragma once

namespace valmoren {

// The program's entry on any backend; never returns (ends via end_program).
[[noreturn]] void game_main();

// Start-up steps before the logo: platform, full-screen setting, caption,
// screen, pages, random seed, hidden pointer, one second's wait.
void start_up();
// Reads the third line of "options.dat": 1 when it is exactly "1".
int read_full_screen_setting();

// Runs a game from the level-1 set-up; returns only on a request to leave
// to the menu (request 2). Ends the program after the victory.
void run_game();

}  // namespace valmoren
