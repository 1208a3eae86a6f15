// pending.cpp -- front-end screens that do nothing yet; removed as the logo,
// menu, options, credits and story screens arrive.
#include "frontend/frontend.h"

namespace valmoren {

void logo_screen() {}
void main_menu() {}
void read_options() {}
void options_screen() {}
void credits_screen() {}
void story_slideshow(int8_t) {}

}  // namespace valmoren
