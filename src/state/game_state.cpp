// game_state.cpp -- the one GameState instance and slot loading.
#include "state/game_state.h"

namespace valmoren {

GameState g;

void load_slot(Image& slot, const char* path) {
    empty_image(slot);
    load_bmp(path, slot);
}

}  // namespace valmoren
