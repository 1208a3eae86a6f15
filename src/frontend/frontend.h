// frontend.h -- the screens outside the levels: logo, main menu, options
// screen and options file, credits, story slideshow.
#pragma once

#include <cstdint>

namespace valmoren {

void logo_screen();
void main_menu();
void read_options();
void options_screen();
void credits_screen();
void story_slideshow(int8_t set);

}  // namespace valmoren
