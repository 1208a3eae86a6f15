// libFuzzer over recordings of games: the bytes as a file; then the bytes as
// the two journal streams of a well-made file (packed, check-summed), which
// the reader must take exactly when every item in them is in bounds, and
// then replayed by a fixed round of the game's reads, which must end (the
// playback departs when the game reads what the journal does not hold).
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/headless/headless.h"
#include "platform/input.h"
#include "platform/recording.h"
#include "platform/system.h"
#include "platform/textfile.h"

using namespace valmoren;

namespace {

void no_pull(int16_t*, int) {}

// The kinds of read the game makes, in a round.
void read_round(int i) {
    int32_t x, y, wheel, buttons;
    switch (i % 7) {
        case 0: seconds(); break;
        case 1: whole_seconds(); break;
        case 2: key_down(i % 128); break;
        case 3: get_mouse(x, y, wheel, buttons); break;
        case 4: take_key_press(); break;
        case 5: open_sound_device(no_pull); break;
        default: {
            const int n = free_file_number();
            if (open_file("options.dat", FILE_INPUT, n) == 0) {
                std::string line;
                read_line(n, line);
                close_file(n);
            }
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static bool quiet = std::freopen("/dev/null", "w", stdout) != nullptr;
    (void)quiet;
    Recording r;
    std::string problem;
    parse_recording(data, size, r, problem);
    if (size < 1) return 0;

    const size_t split = 1 + static_cast<size_t>(data[0]) * (size - 1) / 255;
    JournalStreams streams{{data + 1, data + split}, {data + split, data + size}};
    const JournalSurvey survey = survey_journal(streams);
    if (survey.events_reach > 1 << 16) return 0;  // a replay of that many reads takes too long here
    RecordingTrailer trailer{0, survey.events_reach + 64, 1, 2, 0, false};
    const std::vector<uint8_t> bytes = recording_bytes(RecordingHeader{}, streams, trailer);
    if (parse_recording(bytes.data(), bytes.size(), r, problem) != survey.ok) __builtin_trap();
    if (!survey.ok) return 0;
    if (r.streams.clock != streams.clock || r.streams.events != streams.events) __builtin_trap();

    headless_reset();
    journal_play(r.streams, r.trailer.start, r.trailer.end, false);
    const int status = headless_run_program([] {
        for (int i = 0;; ++i) read_round(i);
    });
    journal_stop();
    close_file(0);
    if (status != 0 && status != 1) __builtin_trap();
    return 0;
}
