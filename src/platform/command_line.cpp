// command_line.cpp -- --help, --version and the one-line usage for anything
// else. Writes no GameState fields.
#include "platform/command_line.h"

#include <cstdio>
#include <cstring>

#ifndef VALMOREN_VERSION
#define VALMOREN_VERSION "unknown"
#endif

namespace valmoren {

namespace {

constexpr const char* USAGE = "usage: valmoren [--help | --version]\n";

constexpr const char* HELP =
    "usage: valmoren [--help | --version]\n"
    "\n"
    "Valmoren, a space arcade game in five levels. Without arguments it opens\n"
    "its window and starts at the logo; Exit in the menu ends it.\n"
    "\n"
    "  --help     print this help and exit\n"
    "  --version  print the version and exit\n"
    "\n"
#ifdef _WIN32
    "Unpacked from its zip, the game keeps its settings (options.dat) and its\n"
    "score log (score.dat) in its own folder; installed, in %APPDATA%\\Valmoren.\n"
    "A picture, sound or suget.dat put there is used instead of the installed\n"
    "one of the same name. See README.txt.\n";
#else
    "Installed, the game keeps its settings (options.dat) and its score log\n"
    "(score.dat) in $XDG_DATA_HOME/valmoren, by default ~/.local/share/valmoren.\n"
    "A picture, sound or suget.dat put there is used instead of the installed\n"
    "one of the same name. See valmoren(6).\n";
#endif

}  // namespace

CommandLineAnswer answer_command_line(int argc, const char* const* argv) {
    CommandLineAnswer answer;
    if (argc <= 1) return answer;
    const char* first = argv[1];
    if (argc == 2 && std::strcmp(first, "--help") == 0) {
        answer.status = 0;
        answer.out = HELP;
    } else if (argc == 2 && std::strcmp(first, "--version") == 0) {
        answer.status = 0;
        answer.out = std::string("valmoren ") + VALMOREN_VERSION + "\n";
    } else {
        answer.status = 2;
        answer.err = USAGE;
    }
    return answer;
}

int handle_command_line(int argc, const char* const* argv) {
    const CommandLineAnswer answer = answer_command_line(argc, argv);
    if (!answer.out.empty()) std::fputs(answer.out.c_str(), stdout);
    if (!answer.err.empty()) std::fputs(answer.err.c_str(), stderr);
    if (answer.status >= 0 && (std::fflush(stdout) != 0 || std::ferror(stdout))) return 1;
    return answer.status;
}

}  // namespace valmoren
