// main.cpp -- the game executable: the entry on the window backend. The command
// line is answered first (--help, --version; a recording to play or check is
// read from where it was named), then the working and data folders are chosen
// (the run folder as it is, or the player's folder over the installed data),
// then the game starts, each game recorded unless a recording is replayed.
#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "flow/flow.h"
#include "platform/command_line.h"
#include "platform/folders.h"
#include "platform/recording.h"
#ifdef _WIN32
#include "platform/win32.h"
#endif

int main(int argc, char** argv) {
#ifdef _WIN32
    // The arguments in UTF-8, as every path inside the game is.
    const std::vector<std::string> args = valmoren::program_arguments(argc, argv);
    std::vector<char*> arg_pointers;
    for (const std::string& a : args) arg_pointers.push_back(const_cast<char*>(a.c_str()));
    arg_pointers.push_back(nullptr);
    argc = static_cast<int>(args.size());
    argv = arg_pointers.data();
#endif
    valmoren::CommandLineAnswer asked;
    const int status = valmoren::handle_command_line(argc, argv, &asked);
    if (status >= 0) return status;
    if (asked.run == valmoren::RUN_PLAY || asked.run == valmoren::RUN_CHECK) {
        std::string problem;
        if (!valmoren::replay_recording(asked.file, asked.run == valmoren::RUN_PLAY, problem)) {
            const std::string said = "valmoren: " + asked.file + ": " + problem + "\n";
#ifdef _WIN32
            // A windowed program: the refusal goes where the player can see it.
            valmoren::show_command_line_answer("", said, true);
#else
            std::fputs(said.c_str(), stderr);
#endif
            return 2;
        }
    }
    // Named from where the program was started, before the folders change.
#ifdef _WIN32
    const std::string record_to =
        asked.run == valmoren::RUN_RECORD ? valmoren::absolute_path(asked.file) : "replays/last.vrec";
#else
    std::error_code ec;
    const std::string record_to =
        asked.run == valmoren::RUN_RECORD ? std::filesystem::absolute(asked.file, ec).string() : "replays/last.vrec";
#endif
    if (!valmoren::choose_game_folders(argc > 0 ? argv[0] : nullptr)) return 1;
    if (asked.run == valmoren::RUN_GAME || asked.run == valmoren::RUN_RECORD)
        valmoren::record_games(record_to.empty() ? asked.file : record_to, "replays/best.vrec");
    valmoren::game_main();
}
