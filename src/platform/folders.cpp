// folders.cpp -- choosing the working folder and the data folder at start-up:
// the run folder as it is, or the player's folder over the installed data.
// Writes no GameState fields.
#include "platform/folders.h"

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>

#include "platform/files.h"

namespace valmoren {

namespace {

namespace fs = std::filesystem;

// Where an install keeps the data, seen from the program's folder: `bin/` and
// `share/valmoren/` under one prefix, or Debian's `games/` and
// `share/games/valmoren/`.
constexpr const char* INSTALLED_DATA[] = {"../share/valmoren", "../share/games/valmoren"};

bool is_folder(const fs::path& path) {
    struct stat info {};
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// Data that the game can run on: a folder with the pictures' folder in it.
bool holds_game_data(const fs::path& folder) { return is_folder(folder / "img"); }

std::string absolute_or_empty(const char* value) {
    return value && value[0] == '/' ? std::string(value) : std::string();
}

std::string home_folder() {
    std::string home = absolute_or_empty(std::getenv("HOME"));
    if (!home.empty()) return home;
    const passwd* entry = ::getpwuid(::getuid());
    return entry ? absolute_or_empty(entry->pw_dir) : std::string();
}

// mkdir -p, each new folder for the player alone.
bool make_folders(const fs::path& folder, std::string& problem) {
    fs::path sofar;
    for (const fs::path& part : folder) {
        sofar /= part;
        if (is_folder(sofar)) continue;
        if (::mkdir(sofar.c_str(), 0700) != 0 && !(errno == EEXIST && is_folder(sofar))) {
            problem = "cannot make the player's folder " + sofar.string() + ": " + std::strerror(errno);
            return false;
        }
    }
    return true;
}

}  // namespace

std::string program_location(const char* argv0) {
    char buffer[PATH_MAX];
    const ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
    if (n > 0) return std::string(buffer, static_cast<size_t>(n));
    if (argv0 && std::strchr(argv0, '/') && ::realpath(argv0, buffer)) return buffer;
    return "";
}

std::string player_folder() {
    const std::string xdg = absolute_or_empty(std::getenv("XDG_DATA_HOME"));
    if (!xdg.empty()) return (fs::path(xdg) / "valmoren").lexically_normal().string();
    const std::string home = home_folder();
    if (home.empty()) return "";
    return (fs::path(home) / ".local/share/valmoren").lexically_normal().string();
}

GameFolders find_game_folders(const std::string& program) {
    if (program.empty() || program[0] != '/') return {};
    const fs::path own = fs::path(program).parent_path();
    if (holds_game_data(own)) return {};
    for (const char* relative : INSTALLED_DATA) {
        const fs::path data = (own / relative).lexically_normal();
        if (holds_game_data(data)) return {player_folder(), data.string()};
    }
    return {};
}

std::string enter_game_folders(const GameFolders& folders) {
    if (!folders.working.empty()) {
        std::string problem;
        if (!make_folders(folders.working, problem)) return problem;
        if (::chdir(folders.working.c_str()) != 0)
            return "cannot enter the player's folder " + folders.working + ": " + std::strerror(errno);
    } else if (!folders.data.empty()) {
        return "no player's folder: neither XDG_DATA_HOME nor HOME names one";
    }
    set_data_folder(folders.data);
    return "";
}

bool choose_game_folders(const char* argv0) {
#ifdef __EMSCRIPTEN__
    // The browser build's data is preloaded here, and the player's folder is
    // mounted from the browser's storage as the window opens (a check opens
    // none, and reads and writes nothing of the player's).
    (void)argv0;
    set_data_folder("/data");
    return true;
#else
    const std::string problem = enter_game_folders(find_game_folders(program_location(argv0)));
    if (problem.empty()) return true;
    std::fprintf(stderr, "valmoren: %s\n", problem.c_str());
    return false;
#endif
}

}  // namespace valmoren
