// credits.cpp -- the credits screen: the names picture over the menu background
// until any key. Writes no game state.
#include "frontend/frontend.h"
#include "platform/input.h"
#include "platform/screen.h"

namespace valmoren {

// Reached from the main menu; the menu music, if any, plays on throughout.
void credits_screen() {
    clear();
    Image backg, names;
    load_bmp("img/l2.bmp", backg);
    load_bmp("img/name.bmp", names);
    load_bmp_to_page("img/l1.bmp");
    put(320, 0, backg, PUT_XOR);
    put(180, 300, names, PUT_TRANSPARENT);
    wait_retrace();
    show_frame();
    wait(-1);
}

}  // namespace valmoren
