// sdl_internal.h -- what the window half and the clock half of the sdl
// backend share with each other (not part of the core's backend interface).
#pragma once

namespace valmoren {

// The backend's clock in seconds (the high-resolution counter); reading it
// pumps no events.
double sdl_clock();
// Makes the game's sleeps end close to the moment asked (start-up).
void sdl_sleep_precisely();
// Puts the page last handed over by show_frame onto the screen, if any.
void sdl_show_page();

}  // namespace valmoren
