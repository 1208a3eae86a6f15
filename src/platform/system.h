// system.h -- what the game asks of the system besides the screen, the keys,
// the clock and its files: starting the platform, ending the program, and
// the sound device its mixer plays through. Game code reaches the backend
// only through these and the other platform headers.
#pragma once

#include <cstdint>
#include <string>

namespace valmoren {

// Starts the platform services (window system, timer, events) before the
// screen is opened. Where no window can be opened at all, it says so and
// ends the program with status 1.
void start_platform();

// Ends the program with the status (0 after Exit or the victory, 1 when the
// sound device cannot start). Never returns.
[[noreturn]] void end_program(int status);

// The sound device: 44100 Hz, 16-bit stereo. `pull` fills `frames` stereo
// frames whenever the device needs them. Opening an open device hands it the
// new `pull` without a pause. False when no device can be opened.
using AudioPull = void (*)(int16_t* out, int frames);
bool open_sound_device(AudioPull pull);
void close_sound_device();
// Why the sound device could not be opened, in the system's own words.
std::string sound_device_error();

}  // namespace valmoren
