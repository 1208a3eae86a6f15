// command_line.cpp -- --help, --version, the recordings' options and the
// one-line usage for anything else. Writes no GameState fields.
#include "platform/command_line.h"
#ifdef _WIN32
#include "platform/win32.h"
#endif

#include <cstdio>
#include <cstring>

#ifndef VALMOREN_VERSION
#define VALMOREN_VERSION "unknown"
#endif

namespace valmoren {

namespace {

constexpr const char* USAGE = "usage: valmoren [--help | --version | --record FILE | --play FILE | --check FILE]\n";

constexpr const char* HELP =
    "usage: valmoren [--help | --version | --record FILE | --play FILE | --check FILE]\n"
    "\n"
    "Valmoren, a space arcade game in five levels. Without arguments it opens\n"
    "its window and starts at the logo; Exit in the menu ends it.\n"
    "\n"
    "  --help          print this help and exit\n"
    "  --version       print the version and exit\n"
    "  --record FILE   play, and keep the recording of the last game in FILE\n"
    "  --play FILE     show the recorded game in FILE at its own speed; hold\n"
    "                  Esc for a second or close the window to stop\n"
    "  --check FILE    replay the recorded game in FILE without a window, as\n"
    "                  fast as it goes, and print its score and whether it\n"
    "                  ends as recorded (status 0), differently (1), or the\n"
    "                  file is no recording it can play (2)\n"
    "\n"
    "Every game is recorded beside the settings: replays/last.vrec holds the\n"
    "last one, from Start to its end, and replays/best.vrec the won game with\n"
    "the highest score. A playback never writes a file.\n"
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
    } else if (argc == 3 && argv[2][0] != '\0' &&
               (std::strcmp(first, "--record") == 0 || std::strcmp(first, "--play") == 0 ||
                std::strcmp(first, "--check") == 0)) {
        answer.run = first[2] == 'r' ? RUN_RECORD : first[2] == 'p' ? RUN_PLAY : RUN_CHECK;
        answer.file = argv[2];
    } else {
        answer.status = 2;
        answer.err = USAGE;
    }
    return answer;
}

int handle_command_line(int argc, const char* const* argv, CommandLineAnswer* asked) {
    const CommandLineAnswer answer = answer_command_line(argc, argv);
    if (asked) *asked = answer;
#ifdef _WIN32
    // A windowed program: the answer goes where the player can see it (win32.h).
    if (answer.status >= 0) return show_command_line_answer(answer.out, answer.err, answer.status != 0) ? answer.status : 1;
#endif
    if (!answer.out.empty()) std::fputs(answer.out.c_str(), stdout);
    if (!answer.err.empty()) std::fputs(answer.err.c_str(), stderr);
    if (answer.status >= 0 && (std::fflush(stdout) != 0 || std::ferror(stdout))) return 1;
    return answer.status;
}

}  // namespace valmoren
