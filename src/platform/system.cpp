// system.cpp -- the system services of system.h, passed to the backend
// linked with the program. Writes no GameState fields.
#include "platform/system.h"

#include "platform/backend.h"

namespace valmoren {

void start_platform() { backend_init(); }

void end_program(int status) { backend_end_program(status); }

bool open_sound_device(AudioPull pull) { return backend_audio_open(pull); }

void close_sound_device() { backend_audio_close(); }

std::string sound_device_error() { return backend_error(); }

}  // namespace valmoren
