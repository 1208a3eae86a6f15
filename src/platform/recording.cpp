// recording.cpp -- recorded games (recording.h): the file, written at each
// game's end and read for a playback, and the verdict a playback ends with.
// Writes no GameState fields.
//
// The file, all numbers little-endian:
//   "VREC" 0D 0A 1A 0A                      the magic (text-mode mangling shows)
//   u16 format, u8 n + n bytes game version, u8 n + n bytes platform, i64 date
//   u32 clock length, u32 packed clock length, u32 event length, u32 packed event length
//   the clock stream, then the event stream, each raw deflate
//   u64 start, u64 end, i64 score, u64 digest, u64 span, u8 flags (1: won)
//   u32 CRC-32 of everything before it
#include "platform/recording.h"

#include <sys/stat.h>
#include <zlib.h>

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <utility>

#include "platform/backend.h"
#include "platform/files.h"

#ifndef VALMOREN_VERSION
#define VALMOREN_VERSION "unknown"
#endif

namespace valmoren {

namespace {

constexpr uint8_t MAGIC[8] = {'V', 'R', 'E', 'C', 0x0D, 0x0A, 0x1A, 0x0A};
constexpr size_t NAME_LIMIT = 32;
// A stream unpacked is at most this long (an hour of play is some megabytes),
// and never more than deflate can make of the packed bytes really there.
constexpr uint64_t STREAM_LIMIT = uint64_t(64) << 20;
constexpr uint64_t DEFLATE_MOST_RATIO = 1032;
constexpr size_t TRAILER_BYTES = 8 + 8 + 8 + 8 + 8 + 1 + 4;

#if defined(__EMSCRIPTEN__)
constexpr const char* PLATFORM = "web";
#elif defined(_WIN32)
constexpr const char* PLATFORM = "windows";
#elif defined(__linux__)
constexpr const char* PLATFORM = "linux";
#else
constexpr const char* PLATFORM = "other";
#endif

struct Recorder {
    GameSummaryFn summary = nullptr;
    // Recording.
    std::string last, best;
    bool in_game = false;
    uint64_t start = 0;
    int64_t date = 0;
    // Replaying: what the recording says its game ended with.
    RecordingTrailer expected;
};

Recorder rec;

void put_u16(std::vector<uint8_t>& out, uint16_t v) {
    for (int i = 0; i < 2; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void put_u32(std::vector<uint8_t>& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void put_u64(std::vector<uint8_t>& out, uint64_t v) {
    for (int i = 0; i < 8; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}
void put_name(std::vector<uint8_t>& out, const std::string& s) {
    const size_t n = std::min(s.size(), NAME_LIMIT);
    out.push_back(static_cast<uint8_t>(n));
    out.insert(out.end(), s.begin(), s.begin() + static_cast<std::ptrdiff_t>(n));
}

// Reads from a byte range, every read checked against its end.
struct Reader {
    const uint8_t* at;
    const uint8_t* end;
    bool short_read = false;
    bool take(void* into, size_t n) {
        if (static_cast<size_t>(end - at) < n) {
            short_read = true;
            return false;
        }
        std::memcpy(into, at, n);
        at += n;
        return true;
    }
    uint64_t number(size_t n) {
        uint8_t b[8] = {};
        if (!take(b, n)) return 0;
        uint64_t v = 0;
        for (size_t i = 0; i < n; ++i) v |= static_cast<uint64_t>(b[i]) << (8 * i);
        return v;
    }
    bool name(std::string& s) {
        const size_t n = static_cast<size_t>(number(1));
        if (short_read || n > NAME_LIMIT || static_cast<size_t>(end - at) < n) {
            short_read = short_read || static_cast<size_t>(end - at) < n;
            return false;
        }
        s.assign(reinterpret_cast<const char*>(at), n);
        at += n;
        return true;
    }
};

// Deflates `n` bytes on (to the stream's end with Z_FINISH), appending
// what comes out.
void deflate_on(z_stream& z, const uint8_t* in, size_t n, int flush, std::vector<uint8_t>& out) {
    z.next_in = const_cast<Bytef*>(in);
    z.avail_in = static_cast<uInt>(n);
    uint8_t part[16384];
    for (;;) {
        z.next_out = part;
        z.avail_out = sizeof part;
        const int result = deflate(&z, flush);
        out.insert(out.end(), part, part + (sizeof part - z.avail_out));
        if (result == Z_STREAM_ERROR || (flush == Z_FINISH ? result == Z_STREAM_END : z.avail_out != 0)) return;
    }
}

// A stream packed as it grows: deflate kept running over what has been fed
// to it, so that the whole stream is packed at a game's end by finishing a
// copy of it over the last few kilobytes.
struct Packer {
    z_stream z{};
    bool open = false;
    size_t fed = 0;
    std::vector<uint8_t> out;

    Packer() { reset(); }
    ~Packer() {
        if (open) deflateEnd(&z);
    }
    Packer(const Packer&) = delete;
    Packer& operator=(const Packer&) = delete;

    void reset() {
        if (open) deflateEnd(&z);
        z = z_stream{};
        open = deflateInit2(&z, 9, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) == Z_OK;
        fed = 0;
        out.clear();
    }
    void feed(const std::vector<uint8_t>& raw) {
        if (!open || raw.size() < fed || raw.empty()) reset();
        if (!open) return;
        deflate_on(z, raw.data() + fed, raw.size() - fed, Z_NO_FLUSH, out);
        fed = raw.size();
    }
    std::vector<uint8_t> finished(const std::vector<uint8_t>& raw) {
        feed(raw);
        std::vector<uint8_t> whole = out;
        z_stream copy{};
        if (!open || deflateCopy(&copy, &z) != Z_OK) return {};
        deflate_on(copy, nullptr, 0, Z_FINISH, whole);
        deflateEnd(&copy);
        return whole;
    }
};

Packer clock_packer, event_packer;

std::vector<uint8_t> pack(const std::vector<uint8_t>& raw) {
    Packer p;
    return p.finished(raw);
}

std::vector<uint8_t> assemble(const RecordingHeader& header, const JournalStreams& streams,
                              const std::vector<uint8_t>& clock, const std::vector<uint8_t>& events,
                              const RecordingTrailer& trailer);

// Unpacks exactly `raw_size` bytes from `packed`, the output grown only as
// the packed bytes really give it. False when they give more, less, or
// something that is not deflate.
bool unpack(const uint8_t* packed, size_t packed_size, uint64_t raw_size, std::vector<uint8_t>& raw) {
    raw.clear();
    z_stream z{};
    if (inflateInit2(&z, -15) != Z_OK) return false;
    z.next_in = const_cast<Bytef*>(packed);
    z.avail_in = static_cast<uInt>(packed_size);
    int result = Z_OK;
    while (result == Z_OK) {
        const size_t have = raw.size();
        const size_t room = static_cast<size_t>(std::min<uint64_t>(raw_size - have, 1 << 16));
        if (room == 0) {
            // All of it is there: the packed stream must end now.
            uint8_t spare = 0;
            z.next_out = &spare;
            z.avail_out = 1;
            result = inflate(&z, Z_FINISH);
            if (z.avail_out == 0) result = Z_DATA_ERROR;
            break;
        }
        raw.resize(have + room);
        z.next_out = raw.data() + have;
        z.avail_out = static_cast<uInt>(room);
        result = inflate(&z, Z_NO_FLUSH);
        raw.resize(have + room - z.avail_out);
        if (result == Z_BUF_ERROR && z.avail_in == 0) break;  // the packed bytes ran out
    }
    const bool whole = result == Z_STREAM_END && raw.size() == raw_size && z.avail_in == 0;
    inflateEnd(&z);
    return whole;
}

uint32_t crc_of(const uint8_t* data, size_t n) {
    uLong crc = crc32(0L, Z_NULL, 0);
    while (n > 0) {
        const uInt part = static_cast<uInt>(std::min<size_t>(n, 1 << 30));
        crc = crc32(crc, data, part);
        data += part;
        n -= part;
    }
    return static_cast<uint32_t>(crc);
}

// The folder a relative path names a file in, made when missing (one level:
// "replays/last.vrec").
void make_folder_of(const std::string& path) {
    const size_t slash = path.find_last_of("/\\");
    if (slash == std::string::npos || slash == 0 || path[0] == '/') return;
    const std::string folder = path.substr(0, slash);
#ifdef _WIN32
    mkdir(folder.c_str());
#else
    mkdir(folder.c_str(), 0777);
#endif
}

// Writes the file whole or not at all, as the settings are saved.
bool replace_file(const std::string& path, const std::vector<uint8_t>& bytes) {
    make_folder_of(path);
    Replacement r;
    std::FILE* f = begin_replacement(path, r);
    if (!f) return false;
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    const bool kept = finish_replacement(f, r, written);
    backend_file_written();
    return kept;
}

GameSummary summary_now() { return rec.summary ? rec.summary() : GameSummary{}; }

// The recorded game has ended: its recording is written.
void keep_game(bool won) {
    rec.in_game = false;
    if (journal_reads() > JOURNAL_READS_LIMIT) return;  // days of play: no recording can hold it
    const GameSummary s = summary_now();
    RecordingHeader header;
    header.date = rec.date;
    const uint64_t span = static_cast<uint64_t>(std::llround(std::max(journal_span(), 0.0) * 1e6));
    RecordingTrailer trailer{rec.start, journal_reads(), s.score, s.digest, span, won};
    const std::vector<uint8_t> bytes = recording_so_far(header, trailer);
    if (!rec.last.empty() && !replace_file(rec.last, bytes))
        std::fprintf(stderr, "valmoren: the game's recording could not be written to %s\n", rec.last.c_str());
    if (!won || rec.best.empty()) return;
    Recording best;
    std::string problem;
    if (read_recording(rec.best, best, problem) && best.trailer.won && best.trailer.score >= s.score) return;
    replace_file(rec.best, bytes);
}

}  // namespace

void report_games_with(GameSummaryFn summary) { rec.summary = summary; }

void recording_game_started() {
    journal_game_started();
    if (!journal_recording()) return;
    rec.in_game = true;
    rec.start = journal_reads();
    rec.date = static_cast<int64_t>(std::time(nullptr));
}

void recording_game_ended(bool won) {
    if (journal_replaying()) {
        if (journal_game_ended()) end_program(0);
        return;
    }
    if (journal_recording() && rec.in_game) keep_game(won);
}

int recording_program_ends(int status) {
    if (journal_recording()) {
        if (rec.in_game) keep_game(false);
        return status;
    }
    if (!journal_replaying()) return status;
    if (journal_viewer_left()) return 0;
    const GameSummary s = summary_now();
    const RecordingTrailer& e = rec.expected;
    const bool same = s.score == e.score && s.digest == e.digest && journal_departure().empty();
    if (same) {
        std::printf("score %" PRId64 ", state %016" PRIx64 ": as recorded\n", s.score, s.digest);
    } else {
        const std::string& why = journal_departure();
        std::printf("score %" PRId64 ", state %016" PRIx64 ": the game played differently (recorded: score %" PRId64
                    ", state %016" PRIx64 ")%s%s\n",
                    s.score, s.digest, e.score, e.digest, why.empty() ? "" : "; ", why.c_str());
    }
    std::fflush(stdout);
    return same ? 0 : 1;
}

void record_games(const std::string& last, const std::string& best) {
    rec.last = last;
    rec.best = best;
    rec.in_game = false;
    journal_record();
}

bool replay_recording(const std::string& path, bool seen, std::string& problem) {
    Recording r;
    if (!read_recording(path, r, problem)) return false;
    rec.expected = r.trailer;
    journal_play(std::move(r.streams), r.trailer.start, r.trailer.end, seen);
    return true;
}

void recording_journal_grew() {
    const JournalStreams& streams = journal_streams();
    clock_packer.feed(streams.clock);
    event_packer.feed(streams.events);
}

std::vector<uint8_t> recording_so_far(const RecordingHeader& header, const RecordingTrailer& trailer) {
    const JournalStreams& streams = journal_streams();
    return assemble(header, streams, clock_packer.finished(streams.clock), event_packer.finished(streams.events),
                    trailer);
}

std::vector<uint8_t> recording_bytes(const RecordingHeader& header, const JournalStreams& streams,
                                     const RecordingTrailer& trailer) {
    return assemble(header, streams, pack(streams.clock), pack(streams.events), trailer);
}

namespace {

std::vector<uint8_t> assemble(const RecordingHeader& header, const JournalStreams& streams,
                              const std::vector<uint8_t>& clock, const std::vector<uint8_t>& events,
                              const RecordingTrailer& trailer) {
    std::vector<uint8_t> out(std::begin(MAGIC), std::end(MAGIC));
    put_u16(out, RECORDING_FORMAT);
    put_name(out, VALMOREN_VERSION);
    put_name(out, PLATFORM);
    put_u64(out, static_cast<uint64_t>(header.date));
    put_u32(out, static_cast<uint32_t>(streams.clock.size()));
    put_u32(out, static_cast<uint32_t>(clock.size()));
    put_u32(out, static_cast<uint32_t>(streams.events.size()));
    put_u32(out, static_cast<uint32_t>(events.size()));
    out.insert(out.end(), clock.begin(), clock.end());
    out.insert(out.end(), events.begin(), events.end());
    put_u64(out, trailer.start);
    put_u64(out, trailer.end);
    put_u64(out, static_cast<uint64_t>(trailer.score));
    put_u64(out, trailer.digest);
    put_u64(out, trailer.span);
    out.push_back(trailer.won ? 1 : 0);
    put_u32(out, crc_of(out.data(), out.size()));
    return out;
}

}  // namespace

bool parse_recording(const uint8_t* data, size_t size, Recording& r, std::string& problem) {
    r = Recording{};
    Reader in{data, data + size};
    uint8_t magic[sizeof MAGIC];
    if (!in.take(magic, sizeof magic) || std::memcmp(magic, MAGIC, sizeof MAGIC) != 0) {
        const bool begun = size < sizeof MAGIC && (size == 0 || std::memcmp(data, MAGIC, size) == 0);
        problem = begun ? "the recording is cut short" : "not a Valmoren recording";
        return false;
    }
    r.header.format = static_cast<uint16_t>(in.number(2));
    if (!in.short_read && r.header.format > RECORDING_FORMAT) {
        problem = "made by a later Valmoren (recording format " + std::to_string(r.header.format) + ")";
        return false;
    }
    uint64_t lengths[4] = {};
    const bool names = in.name(r.header.game_version) && in.name(r.header.platform);
    r.header.date = static_cast<int64_t>(in.number(8));
    for (uint64_t& n : lengths) n = in.number(4);
    if (in.short_read || static_cast<size_t>(in.end - in.at) < TRAILER_BYTES ||
        lengths[1] + lengths[3] > static_cast<uint64_t>(in.end - in.at) - TRAILER_BYTES) {
        problem = "the recording is cut short";
        return false;
    }
    if (size != static_cast<size_t>(in.at - data) + lengths[1] + lengths[3] + TRAILER_BYTES) {
        problem = "the recording is damaged (its parts do not add up to its size)";
        return false;
    }
    if (crc_of(data, size - 4) != static_cast<uint32_t>(data[size - 4] | data[size - 3] << 8 | data[size - 2] << 16 |
                                                        static_cast<uint32_t>(data[size - 1]) << 24)) {
        problem = "the recording is damaged (its check sum does not match)";
        return false;
    }
    if (!names || r.header.format == 0) {
        problem = "the recording is damaged (its header)";
        return false;
    }
    for (int s = 0; s < 2; ++s) {
        const uint64_t raw = lengths[2 * s], packed = lengths[2 * s + 1];
        std::vector<uint8_t>& into = s == 0 ? r.streams.clock : r.streams.events;
        if (raw > STREAM_LIMIT || raw > packed * DEFLATE_MOST_RATIO + 16 ||
            !unpack(in.at, static_cast<size_t>(packed), raw, into)) {
            problem = "the recording is damaged (its packed journal)";
            return false;
        }
        in.at += packed;
    }
    r.trailer.start = in.number(8);
    r.trailer.end = in.number(8);
    r.trailer.score = static_cast<int64_t>(in.number(8));
    r.trailer.digest = in.number(8);
    r.trailer.span = in.number(8);
    const uint64_t flags = in.number(1);
    r.trailer.won = (flags & 1) != 0;
    const JournalSurvey survey = survey_journal(r.streams);
    if (!survey.ok) {
        problem = "the recording is damaged (" + survey.problem + ")";
        return false;
    }
    if (flags > 1 || r.trailer.start > r.trailer.end || r.trailer.end > JOURNAL_READS_LIMIT ||
        survey.events_reach > r.trailer.end) {
        problem = "the recording is damaged (its game's start and end)";
        return false;
    }
    return true;
}

bool read_recording(const std::string& path, Recording& r, std::string& problem) {
    std::FILE* f = open_game_file(path, "rb");
    if (!f) {
        problem = "cannot be read";
        return false;
    }
    std::vector<uint8_t> bytes;
    uint8_t chunk[65536];
    size_t got = 0;
    while (bytes.size() <= RECORDING_SIZE_LIMIT && (got = std::fread(chunk, 1, sizeof chunk, f)) > 0)
        bytes.insert(bytes.end(), chunk, chunk + got);
    const bool failed = std::ferror(f) != 0;
    std::fclose(f);
    if (failed) {
        problem = "cannot be read";
        return false;
    }
    if (bytes.size() > RECORDING_SIZE_LIMIT) {
        problem = "too large to be a recording";
        return false;
    }
    return parse_recording(bytes.data(), bytes.size(), r, problem);
}

}  // namespace valmoren
