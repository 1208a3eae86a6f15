// main.cpp -- the game executable: the entry on the window backend.
// Command-line arguments are not used.
#include "flow/flow.h"

int main(int, char**) {
    valmoren::game_main();
}
