// files.cpp -- opening the game's files: the working folder first, then the
// data folder, for reading. Writes no GameState fields.
#include "platform/files.h"

#include <sys/stat.h>

#include <cstring>

namespace valmoren {

namespace {

std::string data_dir;

// Opens one name for reading. Only a plain file is read: a folder, a device or
// a pipe of that name would read as endless or failing data, so it counts as
// missing.
std::FILE* open_plain_file(const std::string& path) {
    std::FILE* f = std::fopen(path.c_str(), "rb");
    struct stat info {};
    if (f && (fstat(fileno(f), &info) != 0 || !S_ISREG(info.st_mode))) {
        std::fclose(f);
        return nullptr;
    }
    return f;
}

}  // namespace

void set_data_folder(const std::string& folder) { data_dir = folder; }

const std::string& data_folder() { return data_dir; }

std::FILE* open_game_file(const std::string& path, const char* mode) {
    if (std::strcmp(mode, "rb") != 0) return std::fopen(path.c_str(), mode);
    std::FILE* f = open_plain_file(path);
    if (f || data_dir.empty() || path.empty() || path[0] == '/') return f;
    return open_plain_file(data_dir + "/" + path);
}

}  // namespace valmoren
