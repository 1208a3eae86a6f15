// journal.h -- the record of everything the game reads from outside, kept by
// the portable core (input.cpp, system.cpp, textfile.cpp) where each value
// crosses into the game: the clock's readings, the keys held and the
// key-press flag, the pointer and its buttons, whether the sound device
// opened, and the settings file each time it is read. Recording, each value
// is written down as the game gets it; replaying, the game gets the values
// from the journal in the same order instead, so the game's rules never know
// which it is. Game code never calls these (recording.h is its side).
// Writes no GameState fields.
//
// Two byte streams. The clock stream holds every clock reading the game
// sees, in order; a loop that only watches the clock (frame_limit,
// wait_until) hands the game only the reading that ends it, so only that one
// is kept. The event stream holds what changes seldom (a key going down or
// up, the key-press flag, the pointer, the sound device, the settings file),
// each event stamped by how many reads of outside values the game made since
// the one before: a replay makes the same reads in the same order, so each
// event lands at the read it was seen at.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace valmoren {

// The most of the settings file the game reads (and a journal keeps): a
// settings file is nine bytes; anything past this is never looked at.
constexpr size_t JOURNAL_FILE_LIMIT = size_t(1) << 20;
// The most reads of outside values a journal reaches: a game reads some
// thousand a second at most (a paused level looks at the keys every
// millisecond), so this is days of play; a check of the most a file can
// claim is over in a minute or so.
constexpr uint64_t JOURNAL_READS_LIMIT = uint64_t(1) << 30;

enum class JournalMode {
    OFF,     // the backend's values as they are (the tests' usual way)
    RECORD,  // the backend's values, each written down
    PLAY,    // the values from the journal, shown in the window at their own pace
    CHECK,   // the values from the journal, with no backend at all, as fast as it goes
};

JournalMode journal_mode();
inline bool journal_replaying() {
    const JournalMode m = journal_mode();
    return m == JournalMode::PLAY || m == JournalMode::CHECK;
}
inline bool journal_recording() { return journal_mode() == JournalMode::RECORD; }
// No backend at all: no window, no events, no sound device (a check).
inline bool journal_without_backend() { return journal_mode() == JournalMode::CHECK; }
// Nothing is shown and nothing waits: no presents, sleeps, rests or
// retraces (a check, and a playback before the recorded game's start).
bool journal_unseen();

// The game's view of the keys and the pointer: while replaying it is what
// the journal says; while recording, what was last written down.
struct PointerState {
    int32_t x = -1, y = -1, wheel = -1, buttons = -1;
    bool inside = false;
    bool operator==(const PointerState&) const = default;
};

// Each read of an outside value, in the game's order. Recording, the value
// given is written down (events only when they differ from the last one);
// replaying, the value comes back from the journal.
double journal_seconds(double live);
// The reading that ends a loop watching the clock until `moment`.
double journal_watched_seconds(double live, double moment);
int32_t journal_whole_seconds(int32_t live);
// A key or key-press read: `held` is the live table (nonzero: held), `pressed`
// the live flag. Recording writes down what changed since the last look.
void journal_keys(const uint8_t* held, bool pressed);
bool journal_key_down(int scancode);
// Takes the key-press flag (the live one is cleared by the caller).
bool journal_take_key_press(bool live);
PointerState journal_pointer(const PointerState& live);
bool journal_sound_device(bool live);
// The settings file's bytes as the game reads them (`found`: it exists).
void journal_file(std::string& bytes, bool& found);

// Counts of the reads so far (the game's own clock of the journal).
uint64_t journal_reads();
// Recording: seconds from the first clock reading to the last.
double journal_span();

// The streams as they stand (recording) or as given (replaying).
struct JournalStreams {
    std::vector<uint8_t> clock;
    std::vector<uint8_t> events;
};
const JournalStreams& journal_streams();

// Starts recording from nothing.
void journal_record();
// Starts replaying `streams`: the recorded game started at read `start` and
// ended at read `end`. `seen`: in the window at the recording's pace (from
// the recorded game's start on), otherwise as a check.
void journal_play(JournalStreams streams, uint64_t start, uint64_t end, bool seen);
void journal_stop();  // back to OFF, the streams dropped

// The recorded game has started (a playback is shown from here on).
void journal_game_started();
// Replaying: a game has ended; true when it is the recorded game's end, where
// the playback stops. Recording: false.
bool journal_game_ended();
// Recording: the program ends (end_program(0)) at the game's next read of an
// outside value, before it counts; a replay of the recording ends at the
// same point (the window was closed between two reads).
void journal_end_at_next_read();
// The viewer ended the playback (Esc held for a second, the window closed).
void journal_viewer_leaves();
bool journal_viewer_left();
// Where a playback could no longer follow its recording, "" while it can.
const std::string& journal_departure();

// The program is ending with `status` (end_program): a recorded game in
// progress is kept; a playback ends with its verdict. The status to end with
// (recording.cpp).
int recording_program_ends(int status);
// The streams have grown by some kilobytes, or are new (journal_record):
// a recording packs what is new (recording.cpp).
void recording_journal_grew();

// Encoding helpers the file format shares: unsigned LEB128 and zigzag.
void put_varint(std::vector<uint8_t>& out, uint64_t v);
// Reads one from [at, end); false (at unchanged) when it runs past the end
// or is longer than ten bytes.
bool get_varint(const uint8_t*& at, const uint8_t* end, uint64_t& v);
inline uint64_t zigzag(int64_t v) { return (static_cast<uint64_t>(v) << 1) ^ static_cast<uint64_t>(v >> 63); }
inline int64_t unzigzag(uint64_t v) { return static_cast<int64_t>(v >> 1) ^ -static_cast<int64_t>(v & 1); }

// What a check of the streams found: whether every item is well formed and
// within bounds, and the number of reads the events reach. (A clock reading
// is told from values of the game's, so whether it stays within bounds is
// seen only as it is replayed.)
struct JournalSurvey {
    bool ok = false;
    std::string problem;
    uint64_t events_reach = 0;
};
JournalSurvey survey_journal(const JournalStreams& streams);

}  // namespace valmoren
