// journal.cpp -- the record of what the game reads from outside (journal.h):
// the clock stream, the event stream, the game's view of the keys and the
// pointer while replaying, and a playback's pace. Writes no GameState fields.
#include "platform/journal.h"

#include <cmath>
#include <cstring>
#include <utility>

#include "platform/backend.h"
#include "platform/core_hooks.h"
#include "platform/input.h"
#include "platform/system.h"

namespace valmoren {

namespace {

// Event codes: 0..127 a key going down or up (the opposite of what it was).
constexpr uint8_t EVENT_PRESS_ON = 128;   // the key-press flag set
constexpr uint8_t EVENT_PRESS_OFF = 129;  // ... and cleared
constexpr uint8_t EVENT_POINTER = 130;    // over the picture: x, y, wheel, buttons as deltas
constexpr uint8_t EVENT_POINTER_OUT = 131;
constexpr uint8_t EVENT_SOUND_OPENED = 132;
constexpr uint8_t EVENT_SOUND_FAILED = 133;
constexpr uint8_t EVENT_FILE = 134;          // the settings file: its length, then its bytes
constexpr uint8_t EVENT_FILE_MISSING = 135;
constexpr uint8_t EVENT_FILE_SAME = 136;     // as it was at the last read
constexpr uint8_t EVENT_LAST = EVENT_FILE_SAME;

// Clock items: a varint whose low two bits say what it is, whose third bit
// says that a second varint follows, and whose rest is the zigzagged
// difference, in microseconds, from what the reading is told from: a reading
// from the last one; the reading that ends a loop watching the clock from
// the moment the loop waited for (a few microseconds past it, where the
// last reading is a frame's length back); whole seconds from the last
// reading of whole seconds. The second varint, for a reading that is no
// whole number of microseconds (the tests' clock), is what its bits differ
// by from the nearest one that is.
constexpr uint64_t CLOCK_READING = 0;
constexpr uint64_t CLOCK_WATCHED = 1;
constexpr uint64_t CLOCK_WHOLE = 2;
constexpr uint64_t CLOCK_REST = 4;

constexpr double TICKS_PER_SECOND = 1e6;
constexpr int64_t TICKS_LIMIT = int64_t(1) << 53;  // about 285 years of microseconds
constexpr int32_t POINTER_LIMIT = 1 << 20;
constexpr double LATE_LIMIT = 0.25;      // a playback this far behind goes on from where it is
constexpr double VIEWER_HOLD = 1.0;      // Esc held this long ends a playback
// A recording packs its streams as they grow by this much (a millisecond's
// work), so that a game's end has only the last of them to pack.
constexpr size_t PACK_EVERY = 4096;

struct Event {
    uint64_t read = 0;  // the read it lands at
    uint8_t code = 0;
    PointerState pointer;
    std::string bytes;
};

struct Journal {
    JournalMode mode = JournalMode::OFF;
    JournalStreams streams;
    uint64_t reads = 0;
    // The game's view (replaying), or what was last written down (recording).
    bool keys[KEY_TABLE_SIZE] = {};
    bool pressed = false;
    PointerState pointer;
    bool file_known = false;  // the settings file has been read once
    bool file_found = false;
    std::string file_bytes;
    int64_t ticks = 0;   // the last seconds reading, in microseconds
    int64_t whole = 0;   // the last whole-seconds reading
    size_t pack_at = PACK_EVERY;  // the size at which the streams are packed on
    bool any_reading = false;
    double first_reading = 0, last_reading = 0;  // recording: the span of the clock
    uint64_t last_event_read = 0;
    bool ending = false;  // recording: the program ends at the next read
    // Replaying.
    size_t clock_at = 0;
    size_t events_at = 0;
    bool event_ready = false;  // `next` holds the next event
    Event next;
    uint64_t start = 0, end = 0;
    bool seen = false;    // a playback in the window (not a check)
    bool shown = false;   // ... that has come to the recorded game's start
    bool paced = false;
    double pace_offset = 0;
    double esc_since = -1;
    bool viewer_left = false;
    std::string departure;
};

Journal j;

uint64_t bits_of(double v) {
    uint64_t u;
    std::memcpy(&u, &v, sizeof u);
    return u;
}

double double_of(uint64_t u) {
    double v;
    std::memcpy(&v, &u, sizeof v);
    return v;
}

// One event from [at, end) after the one that landed at `read` with the
// pointer at `pointer`; false when it is cut short or out of bounds.
bool parse_event(const uint8_t*& at, const uint8_t* end, uint64_t read, const PointerState& pointer, Event& e) {
    uint64_t gap = 0;
    if (!get_varint(at, end, gap) || at == end) return false;
    if (gap > JOURNAL_READS_LIMIT) return false;
    e.read = read + gap;
    e.code = *at++;
    if (e.code > EVENT_LAST) return false;
    if (e.code == EVENT_POINTER) {
        uint64_t d[4];
        for (uint64_t& v : d)
            if (!get_varint(at, end, v)) return false;
        const int64_t base[4] = {pointer.x, pointer.y, pointer.wheel, pointer.buttons};
        int64_t now[4];
        for (int i = 0; i < 4; ++i) {
            const int64_t delta = unzigzag(d[i]);
            if (delta < -2 * POINTER_LIMIT || delta > 2 * POINTER_LIMIT) return false;
            now[i] = base[i] + delta;
            if (now[i] < -POINTER_LIMIT || now[i] > POINTER_LIMIT) return false;
        }
        e.pointer = {static_cast<int32_t>(now[0]), static_cast<int32_t>(now[1]), static_cast<int32_t>(now[2]),
                     static_cast<int32_t>(now[3]), true};
    } else if (e.code == EVENT_POINTER_OUT) {
        e.pointer = PointerState{};
    } else if (e.code == EVENT_FILE) {
        uint64_t n = 0;
        if (!get_varint(at, end, n) || n > static_cast<uint64_t>(end - at) || n > JOURNAL_FILE_LIMIT) return false;
        e.bytes.assign(reinterpret_cast<const char*>(at), static_cast<size_t>(n));
        at += n;
    }
    return true;
}

struct ClockItem {
    uint64_t kind = 0;
    int64_t delta = 0;
    bool has_rest = false;
    int64_t rest = 0;
};

// One clock item from [at, end); false when cut short or out of bounds.
bool parse_clock(const uint8_t*& at, const uint8_t* end, ClockItem& c) {
    uint64_t item = 0;
    if (!get_varint(at, end, item)) return false;
    c.kind = item & 3;
    c.has_rest = (item & CLOCK_REST) != 0;
    c.delta = unzigzag(item >> 3);
    if (c.kind == CLOCK_WHOLE) return !c.has_rest && c.delta >= -(int64_t(1) << 32) && c.delta <= (int64_t(1) << 32);
    if (c.kind != CLOCK_READING && c.kind != CLOCK_WATCHED) return false;
    if (c.delta < -2 * TICKS_LIMIT || c.delta > 2 * TICKS_LIMIT) return false;
    uint64_t rest = 0;
    if (c.has_rest && !get_varint(at, end, rest)) return false;
    c.rest = unzigzag(rest);
    return true;
}

// A seconds reading in microseconds, where it is within bounds.
int64_t ticks_of(double seconds) {
    return std::fabs(seconds) < TICKS_LIMIT / TICKS_PER_SECOND ? static_cast<int64_t>(std::llround(seconds * TICKS_PER_SECOND))
                                                               : 0;
}

// What a seconds item gives told from `base`: false when out of bounds.
bool clock_value(const ClockItem& c, int64_t base, int64_t& ticks, double& value) {
    ticks = base + c.delta;
    if (ticks < -TICKS_LIMIT || ticks > TICKS_LIMIT) return false;
    value = static_cast<double>(ticks) / TICKS_PER_SECOND;
    if (c.has_rest) value = double_of(bits_of(value) + static_cast<uint64_t>(c.rest));
    return std::isfinite(value);
}

// Recording.

void put_event(uint8_t code) {
    put_varint(j.streams.events, j.reads - j.last_event_read);
    j.streams.events.push_back(code);
    j.last_event_read = j.reads;
}

void put_clock(uint64_t kind, int64_t delta) { put_varint(j.streams.clock, zigzag(delta) << 3 | kind); }

// A seconds reading written down, told from `base`.
void put_reading(uint64_t kind, double live, int64_t base) {
    const int64_t ticks = ticks_of(live);
    const double on_the_grid = static_cast<double>(ticks) / TICKS_PER_SECOND;
    const bool exact = bits_of(on_the_grid) == bits_of(live);
    put_clock(kind | (exact ? 0 : CLOCK_REST), ticks - base);
    if (!exact) put_varint(j.streams.clock, zigzag(static_cast<int64_t>(bits_of(live) - bits_of(on_the_grid))));
    j.ticks = ticks;
    if (!j.any_reading) j.first_reading = live;
    j.any_reading = true;
    j.last_reading = live;
}

// Replaying.

// The game can no longer follow the journal (it reads something other than
// what was recorded, or more than there is): the playback ends here and the
// check says the game played differently.
[[noreturn]] void depart(const char* what) {
    j.departure = std::string(what) + " at read " + std::to_string(j.reads);
    end_program(0);
}

// Loads the next event into j.next; false when there is none.
bool peek_event() {
    if (j.event_ready) return true;
    const uint8_t* base = j.streams.events.data();
    const uint8_t* at = base + j.events_at;
    const uint8_t* end = base + j.streams.events.size();
    if (at == end) return false;
    if (!parse_event(at, end, j.last_event_read, j.pointer, j.next)) return false;
    j.events_at = static_cast<size_t>(at - base);
    j.event_ready = true;
    return true;
}

void take_event() {
    j.event_ready = false;
    j.last_event_read = j.next.read;
}

// Applies the key and pointer events that land at this read or before it.
void apply_due_events() {
    while (peek_event() && j.next.read <= j.reads) {
        const uint8_t code = j.next.code;
        if (code < KEY_TABLE_SIZE) j.keys[code] = !j.keys[code];
        else if (code == EVENT_PRESS_ON || code == EVENT_PRESS_OFF) j.pressed = code == EVENT_PRESS_ON;
        else if (code == EVENT_POINTER || code == EVENT_POINTER_OUT) j.pointer = j.next.pointer;
        else return;  // a sound or file event waits for its own read
        take_event();
    }
}

// The event a sound-device or settings-file read must find at this read.
const Event& typed_event() {
    apply_due_events();
    if (!peek_event() || j.next.read != j.reads || j.next.code < EVENT_SOUND_OPENED)
        depart("the game asked for the sound device or its settings where the recording has none");
    take_event();
    return j.next;
}

// Esc held for a second ends a playback in the window.
void watch_viewer() {
    if (!j.seen) return;
    if (!key_held_live(KEY_ESC)) {
        j.esc_since = -1;
        return;
    }
    const double now = backend_seconds();
    if (j.esc_since < 0) j.esc_since = now;
    else if (now - j.esc_since >= VIEWER_HOLD) journal_viewer_leaves();
}

void begin_read() {
    if (j.mode == JournalMode::RECORD) {
        if (j.ending) {
            j.ending = false;
            end_program(0);
        }
        ++j.reads;
        if (j.streams.clock.size() + j.streams.events.size() >= j.pack_at) {
            j.pack_at += PACK_EVERY;
            recording_journal_grew();
        }
        return;
    }
    if (j.reads >= j.end) end_program(0);  // the recorded end, or further than it went
    ++j.reads;
    if (j.reads > j.start) j.shown = true;
    watch_viewer();
    apply_due_events();
}

// A playback in the window hands the game each reading at its moment: the
// clock of the recording is followed from the first reading shown on.
void pace(double reading) {
    if (!j.seen || !j.shown) return;
    double now = backend_seconds();
    if (!j.paced || now > reading + j.pace_offset + LATE_LIMIT) {
        j.paced = true;
        j.pace_offset = now - reading;
        return;
    }
    const double due = reading + j.pace_offset;
    if (due <= now) return;
    backend_rest_until(due);
    while (now < due) {
        watch_viewer();
        now = backend_seconds();
    }
}

// The next clock item, which must be of the kind the game reads now.
ClockItem replayed_clock(uint64_t want) {
    ClockItem c;
    const uint8_t* base = j.streams.clock.data();
    const uint8_t* at = base + j.clock_at;
    if (!parse_clock(at, base + j.streams.clock.size(), c)) depart("the game read the clock more often than recorded");
    if (c.kind != want) depart("the game read the clock another way than recorded");
    j.clock_at = static_cast<size_t>(at - base);
    return c;
}

double replayed_reading(uint64_t want, int64_t base) {
    const ClockItem c = replayed_clock(want);
    double value = 0;
    if (!clock_value(c, base, j.ticks, value)) depart("the game's clock went out of bounds");
    pace(value);
    return value;
}

}  // namespace

void put_varint(std::vector<uint8_t>& out, uint64_t v) {
    while (v >= 0x80) {
        out.push_back(static_cast<uint8_t>(v | 0x80));
        v >>= 7;
    }
    out.push_back(static_cast<uint8_t>(v));
}

bool get_varint(const uint8_t*& at, const uint8_t* end, uint64_t& v) {
    uint64_t value = 0;
    const uint8_t* p = at;
    for (int shift = 0; shift < 64; shift += 7) {
        if (p == end) return false;
        const uint8_t b = *p++;
        if (shift == 63 && b > 1) return false;
        value |= static_cast<uint64_t>(b & 0x7F) << shift;
        if (b < 0x80) {
            at = p;
            v = value;
            return true;
        }
    }
    return false;
}

JournalMode journal_mode() { return j.mode; }

bool journal_unseen() {
    return j.mode == JournalMode::CHECK || (j.mode == JournalMode::PLAY && !j.shown);
}

double journal_seconds(double live) {
    if (j.mode == JournalMode::OFF) return live;
    begin_read();
    if (j.mode != JournalMode::RECORD) return replayed_reading(CLOCK_READING, j.ticks);
    put_reading(CLOCK_READING, live, j.ticks);
    return live;
}

double journal_watched_seconds(double live, double moment) {
    if (j.mode == JournalMode::OFF) return live;
    begin_read();
    if (j.mode != JournalMode::RECORD) return replayed_reading(CLOCK_WATCHED, ticks_of(moment));
    put_reading(CLOCK_WATCHED, live, ticks_of(moment));
    return live;
}

int32_t journal_whole_seconds(int32_t live) {
    if (j.mode == JournalMode::OFF) return live;
    begin_read();
    if (j.mode == JournalMode::RECORD) {
        put_clock(CLOCK_WHOLE, static_cast<int64_t>(live) - j.whole);
        j.whole = live;
        return live;
    }
    const int64_t whole = j.whole + replayed_clock(CLOCK_WHOLE).delta;
    if (whole < INT32_MIN || whole > INT32_MAX) depart("the game's clock went out of bounds");
    j.whole = whole;
    return static_cast<int32_t>(whole);
}

double journal_span() { return j.any_reading ? j.last_reading - j.first_reading : 0.0; }

void journal_keys(const uint8_t* held, bool pressed) {
    if (j.mode == JournalMode::OFF) return;
    begin_read();
    if (j.mode != JournalMode::RECORD) return;
    for (int k = 0; k < KEY_TABLE_SIZE; ++k) {
        const bool down = held[k] != 0;
        if (down != j.keys[k]) {
            j.keys[k] = down;
            put_event(static_cast<uint8_t>(k));
        }
    }
    if (pressed != j.pressed) {
        j.pressed = pressed;
        put_event(pressed ? EVENT_PRESS_ON : EVENT_PRESS_OFF);
    }
}

bool journal_key_down(int scancode) { return scancode >= 0 && scancode < KEY_TABLE_SIZE && j.keys[scancode]; }

bool journal_take_key_press(bool live) {
    if (j.mode == JournalMode::OFF) return live;
    const bool pressed = j.mode == JournalMode::RECORD ? live : j.pressed;
    j.pressed = false;
    return pressed;
}

PointerState journal_pointer(const PointerState& live) {
    if (j.mode == JournalMode::OFF) return live;
    begin_read();
    if (j.mode != JournalMode::RECORD) return j.pointer;
    if (!(live == j.pointer)) {
        if (live.inside) {
            put_event(EVENT_POINTER);
            for (int64_t d : {int64_t(live.x) - j.pointer.x, int64_t(live.y) - j.pointer.y,
                              int64_t(live.wheel) - j.pointer.wheel, int64_t(live.buttons) - j.pointer.buttons})
                put_varint(j.streams.events, zigzag(d));
        } else {
            put_event(EVENT_POINTER_OUT);
        }
        j.pointer = live;
        if (!live.inside) j.pointer = PointerState{};
    }
    return live;
}

bool journal_sound_device(bool live) {
    if (j.mode == JournalMode::OFF) return live;
    begin_read();
    if (j.mode == JournalMode::RECORD) {
        put_event(live ? EVENT_SOUND_OPENED : EVENT_SOUND_FAILED);
        return live;
    }
    const Event& e = typed_event();
    if (e.code != EVENT_SOUND_OPENED && e.code != EVENT_SOUND_FAILED)
        depart("the game asked for the sound device where the recording read its settings");
    return e.code == EVENT_SOUND_OPENED;
}

void journal_file(std::string& bytes, bool& found) {
    if (j.mode == JournalMode::OFF) return;
    begin_read();
    if (j.mode == JournalMode::RECORD) {
        if (j.file_known && found == j.file_found && bytes == j.file_bytes) {
            put_event(EVENT_FILE_SAME);
            return;
        }
        put_event(found ? EVENT_FILE : EVENT_FILE_MISSING);
        if (found) {
            put_varint(j.streams.events, bytes.size());
            j.streams.events.insert(j.streams.events.end(), bytes.begin(), bytes.end());
        }
        j.file_known = true;
        j.file_found = found;
        j.file_bytes = bytes;
        return;
    }
    const Event& e = typed_event();
    if (e.code == EVENT_FILE) {
        j.file_known = j.file_found = true;
        j.file_bytes = e.bytes;
    } else if (e.code == EVENT_FILE_MISSING) {
        j.file_known = true;
        j.file_found = false;
        j.file_bytes.clear();
    } else if (e.code != EVENT_FILE_SAME || !j.file_known) {
        depart("the game read its settings where the recording asked for the sound device");
    }
    found = j.file_found;
    bytes = j.file_bytes;
}

uint64_t journal_reads() { return j.reads; }

const JournalStreams& journal_streams() { return j.streams; }

void journal_record() {
    j = Journal{};
    j.mode = JournalMode::RECORD;
    recording_journal_grew();
}

void journal_play(JournalStreams streams, uint64_t start, uint64_t end, bool seen) {
    j = Journal{};
    j.mode = seen ? JournalMode::PLAY : JournalMode::CHECK;
    j.streams = std::move(streams);
    j.start = start;
    j.end = end;
    j.seen = seen;
}

void journal_stop() { j = Journal{}; }

void journal_game_started() {
    if (j.mode == JournalMode::PLAY && j.reads >= j.start) j.shown = true;
}

bool journal_game_ended() { return journal_replaying() && j.reads >= j.end; }

void journal_end_at_next_read() {
    if (j.mode == JournalMode::RECORD) j.ending = true;
}

void journal_viewer_leaves() {
    j.viewer_left = true;
    end_program(0);
}

bool journal_viewer_left() { return j.viewer_left; }

const std::string& journal_departure() { return j.departure; }

JournalSurvey survey_journal(const JournalStreams& streams) {
    JournalSurvey survey;
    {
        const uint8_t* at = streams.clock.data();
        const uint8_t* end = at + streams.clock.size();
        ClockItem c;
        while (at != end) {
            if (!parse_clock(at, end, c)) {
                survey.problem = "a clock reading is damaged";
                return survey;
            }
        }
    }
    const uint8_t* at = streams.events.data();
    const uint8_t* end = at + streams.events.size();
    uint64_t read = 0;
    PointerState pointer;
    Event e;
    while (at != end) {
        if (!parse_event(at, end, read, pointer, e)) {
            survey.problem = "an event is damaged";
            return survey;
        }
        read = e.read;
        if (read > JOURNAL_READS_LIMIT) {
            survey.problem = "the events reach too far";
            return survey;
        }
        if (e.code == EVENT_POINTER || e.code == EVENT_POINTER_OUT) pointer = e.pointer;
    }
    survey.events_reach = read;
    survey.ok = true;
    return survey;
}

}  // namespace valmoren
