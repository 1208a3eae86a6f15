// core_hooks.h -- links between the parts of the portable platform core that
// the rest of the game never calls directly.
#pragma once

#include <cstdint>

namespace valmoren {

// Drawing went onto the page the player sees (work page == visible page):
// shows it at most once per 1/60 s of the clock.
void visible_page_changed();
// Shows the visible page now if drawing on it has not been shown yet (before
// a wait, so a message printed straight onto the screen is seen).
void present_pending_drawing();

// The drawing colours of set_colours: text glyphs, text cells and clear().
uint32_t current_foreground();
uint32_t current_background();

}  // namespace valmoren
