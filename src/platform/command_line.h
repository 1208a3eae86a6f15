// command_line.h -- the program's arguments: --help and --version answer and
// end the program before any window or sound device is opened; with no
// arguments the game starts. Writes no GameState fields.
#pragma once

#include <string>

namespace valmoren {

// What the command line asks for: start the game (status -1), or print `out`
// on standard output and `err` on standard error and end with `status`.
struct CommandLineAnswer {
    int status = -1;
    std::string out;
    std::string err;
};

CommandLineAnswer answer_command_line(int argc, const char* const* argv);

// Prints the answer; returns its status, -1 when the game is to start.
int handle_command_line(int argc, const char* const* argv);

}  // namespace valmoren
