// folders.h -- where the program runs. Run from its run folder (the build
// tree's build/game, the data beside the program) nothing changes: the game
// works in the folder it was started from. Installed, with its data in
// ../share/valmoren or ../share/games/valmoren from the program's own folder,
// it works in the player's own folder, $XDG_DATA_HOME/valmoren, and reads
// what is not there from the installed data. On Windows (folders_win.cpp)
// the game unpacked from its zip works in its own folder, and installed (the
// installer's INSTALLED_MARK beside the program) or unpacked into a folder
// the player cannot write to in %APPDATA%\Valmoren over the program's folder.
// Writes no GameState fields.
#pragma once

#include <string>

namespace valmoren {

// Windows: the file the installer leaves beside the program. Its folder is
// then not the player's to write in, even for a start that could (one run
// as an administrator), so the player's files go to the player's folder.
constexpr const char* INSTALLED_MARK = "installed.txt";
// Windows: what a program started without its data beside it says before it
// ends with status 1.
extern const char* const MISSING_FILES;

struct GameFolders {
    std::string working;  // the folder to work in; "" stays in the current one
    std::string data;     // read after the working folder; "" for none
};

// The running program's own file: /proc/self/exe, else argv0 when it names a
// path; "" when neither tells.
std::string program_location(const char* argv0);

// The player's folder: $XDG_DATA_HOME/valmoren when that is an absolute path,
// else $HOME/.local/share/valmoren (the home from the password database when
// HOME is unset or relative); "" when no home is known.
std::string player_folder();

// The folders for the program at `program` (an absolute path): beside itself
// (a folder img/ next to it) changes nothing; else the first of
// ../share/valmoren and ../share/games/valmoren that holds img/ is the data
// folder and the player's folder the working folder; else nothing changes.
GameFolders find_game_folders(const std::string& program);

// Makes the working folder (missing parents too, each readable by the player
// alone), enters it and sets the data folder. "" when done, else what failed.
std::string enter_game_folders(const GameFolders& folders);

// Start-up: finds and enters the folders for this program. False, after one
// line on standard error, when the player's folder cannot be made or entered
// (on Windows also when the game's data is not beside the program: the
// unpacked game, or the installed one, always has it there).
bool choose_game_folders(const char* argv0);

}  // namespace valmoren
