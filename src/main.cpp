// main.cpp -- the game executable: the entry on the window backend. The command
// line is answered first (--help, --version), then the working and data
// folders are chosen (the run folder as it is, or the player's folder over the
// installed data), then the game starts.
#include "flow/flow.h"
#include "platform/command_line.h"
#include "platform/folders.h"

int main(int argc, char** argv) {
    const int status = valmoren::handle_command_line(argc, argv);
    if (status >= 0) return status;
    if (!valmoren::choose_game_folders(argc > 0 ? argv[0] : nullptr)) return 1;
    valmoren::game_main();
}
