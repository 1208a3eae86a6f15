// command_line.h -- the program's arguments: --help and --version answer and
// end the program before any window or sound device is opened; with no
// arguments the game starts (each game recorded into the player's folder),
// --record FILE names where the recordings go, --play FILE and --check FILE
// replay one. Writes no GameState fields.
#pragma once

#include <string>

namespace valmoren {

// How the game is to run.
enum RunKind : int {
    RUN_GAME = 0,    // played, each game recorded into the player's folder
    RUN_RECORD = 1,  // played, each game recorded into `file`
    RUN_PLAY = 2,    // the recording `file` shown in the window
    RUN_CHECK = 3,   // the recording `file` checked without a window
};

// What the command line asks for: start the game (status -1) the way `run`
// says, or print `out` on standard output and `err` on standard error and
// end with `status`.
struct CommandLineAnswer {
    int status = -1;
    std::string out;
    std::string err;
    RunKind run = RUN_GAME;
    std::string file;
};

CommandLineAnswer answer_command_line(int argc, const char* const* argv);

// Prints the answer; returns its status, -1 when the game is to start (then
// `answer`, when given, says how).
int handle_command_line(int argc, const char* const* argv, CommandLineAnswer* answer = nullptr);

}  // namespace valmoren
