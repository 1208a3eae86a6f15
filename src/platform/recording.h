// recording.h -- recorded games. Every game played is kept as a recording
// (journal.h: everything the game read from outside, from the logo on, up to
// the game's end) with the score and a digest of the game state at its end;
// a recording plays back in the window or is checked without one. The
// game's rules never know: the flow says only when a game starts and ends.
// Writes no GameState fields.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/journal.h"

namespace valmoren {

// The flow's side.

// What a recording keeps of the game at its end.
struct GameSummary {
    int64_t score = 0;
    uint64_t digest = 0;
};
using GameSummaryFn = GameSummary (*)();
// The flow names how to sum the game up, once at start-up.
void report_games_with(GameSummaryFn summary);
// A game starts (the level-1 set-up after Start, or after a restart).
void recording_game_started();
// A game ends: won (the victory), lost or left. A recorded game is kept now;
// a playback that has come to its recorded game's end stops here.
void recording_game_ended(bool won);

// The program's side (src/main.cpp).

// Every game from now on is recorded: at its end it replaces the file `last`
// names and, when it was won with a higher score than the game in `best`,
// that one too (each written whole or not at all, the folders made when
// missing). Paths relative to the working folder, or absolute.
void record_games(const std::string& last, const std::string& best);
// Reads the recording `path` names and makes the game replay it: in the
// window at its own pace (`seen`; the part before the recorded game's start
// runs unseen, at once) or as a check, with no window, as fast as it goes.
// The program then ends when the recorded game does, with status 0 when the
// score and digest come out as recorded and 1 when they do not, after one
// line that says which. False, with the problem in one line, when the file
// is no recording this game can play (the program should end with status 2).
bool replay_recording(const std::string& path, bool seen, std::string& problem);

// The file.

struct RecordingHeader {
    uint16_t format = 0;
    std::string game_version;  // the game that made it
    std::string platform;      // "linux", "windows", "web", ...
    int64_t date = 0;          // when its game started, seconds since 1970 (UTC)
};

struct RecordingTrailer {
    uint64_t start = 0;  // the read of outside values its game started at
    uint64_t end = 0;    // ... and ended at
    int64_t score = 0;
    uint64_t digest = 0;
    uint64_t span = 0;  // microseconds from the first clock reading to the last
    bool won = false;
};

struct Recording {
    RecordingHeader header;
    JournalStreams streams;
    RecordingTrailer trailer;
};

constexpr uint16_t RECORDING_FORMAT = 1;
// The largest recording read: far beyond a day of play.
constexpr size_t RECORDING_SIZE_LIMIT = size_t(64) << 20;

// The whole file as bytes; the header's format, version and platform are
// this program's.
std::vector<uint8_t> recording_bytes(const RecordingHeader& header, const JournalStreams& streams,
                                     const RecordingTrailer& trailer);
// The recording of the journal being recorded now, with `trailer`: packed
// as the journal grew, so only its last few kilobytes are packed here.
std::vector<uint8_t> recording_so_far(const RecordingHeader& header, const RecordingTrailer& trailer);
// Reads a recording from bytes: false, with the problem in a few words, when
// it is cut short, damaged, of a later format or no recording at all. Every
// length is checked against the bytes really there and fixed limits before
// anything is made of that size.
bool parse_recording(const uint8_t* data, size_t size, Recording& r, std::string& problem);
bool read_recording(const std::string& path, Recording& r, std::string& problem);

}  // namespace valmoren
