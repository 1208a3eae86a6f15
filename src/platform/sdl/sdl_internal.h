// sdl_internal.h -- what the parts of the sdl backend share with each other
// (not part of the core's backend interface).
#pragma once

#include <SDL.h>

#include <string>

namespace valmoren {

// sdl_system.cpp
// The backend's clock in seconds (the high-resolution counter); reading it
// pumps no events.
double sdl_clock();
// Makes the game's sleeps end close to the moment asked (start-up).
void sdl_sleep_precisely();
// A line to show in a message box should the program end with a failure
// (on Windows; the game has already said it on standard error).
void sdl_problem_at_end(const std::string& line);

// sdl_video.cpp
// Puts the page last handed over by show_frame onto the screen, if any.
void sdl_show_page();
// Delivers window events unless that was done less than `age` seconds
// before `now` (the clock as just read).
void sdl_events_if_older(double age, double now);
// Between a window and desktop full screen, for this run.
void sdl_toggle_full_screen();
// The game's key code (PC set 1) of a keyboard key.
int sdl_key_code(const SDL_Keysym& key);

// sdl_window_size.cpp
// Makes the window really as big as its mode gives where nothing else did
// (an X display without a window manager).
void sdl_hold_window_to_mode(SDL_Window* window, bool full_screen, int windowed_w, int windowed_h);

// sdl_services.cpp: every event goes here first; true when it was used up.
bool sdl_service_event(const SDL_Event& e);
// Each time the events are looked at: pointer motion, the test's pad script.
void sdl_services_look();

// sdl_shortcuts.cpp
bool sdl_shortcut_event(const SDL_Event& e);
void sdl_shortcuts_focus_lost();

// sdl_pad.cpp
void sdl_pads_start();
bool sdl_pad_event(const SDL_Event& e);
void sdl_pads_look();
// sdl_pad_script.cpp (a test's scripted pads; nothing unless asked for)
void sdl_pad_script_look();

// sdl_audio_device.cpp
bool sdl_sound_device_event(const SDL_Event& e);
void sdl_close_sound_device();
SDL_AudioDeviceID sdl_sound_device_id();  // 0 while no device plays
int sdl_sound_devices_reopened();         // devices taken after one went away

// sdl_screenshot.cpp
void sdl_take_screenshot();
// Waits until every screenshot asked for has been written (tests).
void sdl_screenshots_wait();

}  // namespace valmoren
