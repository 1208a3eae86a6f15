// system.cpp -- the system services of system.h, passed to the backend
// linked with the program; while a recording is replayed, whether the sound
// device opened comes from the recording, and a check touches no backend at
// all. Writes no GameState fields.
#include "platform/system.h"

#include "platform/backend.h"
#include "platform/core_hooks.h"
#include "platform/journal.h"

namespace valmoren {

void start_platform() {
    if (!journal_without_backend()) backend_init();
}

void end_program(int status) { backend_end_program(recording_program_ends(status)); }

void window_closed() {
    if (journal_recording()) {
        journal_end_at_next_read();
        return;
    }
    if (journal_replaying()) journal_viewer_leaves();
    end_program(0);
}

bool open_sound_device(AudioPull pull) {
    if (!journal_replaying()) return journal_sound_device(backend_audio_open(pull));
    const bool opened = journal_sound_device(false);
    // A playback in the window is heard where a device opens here too.
    if (opened && !journal_without_backend()) backend_audio_open(pull);
    return opened;
}

void close_sound_device() {
    if (!journal_without_backend()) backend_audio_close();
}

std::string sound_device_error() { return journal_without_backend() ? std::string() : backend_error(); }

}  // namespace valmoren
