// pending.cpp -- until the level runner arrives, a game is a black frame that
// waits for a key (or the window's close) and ends the program.
#include "flow/flow.h"
#include "platform/backend.h"
#include "platform/input.h"
#include "platform/screen.h"

namespace valmoren {

void run_game() {
    clear();
    show_frame();
    wait(-1);
    end_program(0);
}

}  // namespace valmoren
