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

// Whether the player holds the key now, whatever the game is shown (a
// playback watches Esc while the game's own view of the keys is replayed).
bool key_held_live(int scancode);

// The player closed the window: the program ends with status 0 (the backend
// calls this; a playback just ends there). While recording, the end comes at
// the game's next read of an outside value, where a replay of the recording
// ends too: the close arrives in the middle of a frame's work (a retrace
// wait, a sleep), and a recording ended there would hold a state no replay
// reaches. So this returns while recording.
void window_closed();

}  // namespace valmoren
