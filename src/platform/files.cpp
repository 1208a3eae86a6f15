// files.cpp -- opening the game's files: the working folder first, then the
// data folder, for reading. Writes no GameState fields.
#include "platform/files.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "platform/backend.h"

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

constexpr int LINK_HOPS_MAX = 40;  // as the system's own limit on links in a path

// The folder part of a path, with its slash ("" for a bare name).
std::string folder_of(const std::string& path) {
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

// The file a save of `path` must replace: the final target of a chain of
// symbolic links, or the name itself. Empty when that file exists but could
// not have been opened for writing in place (opened without truncating, so
// the look changes nothing), is no plain file, or the links go round.
std::string writable_target(const std::string& path, struct stat& info, bool& exists) {
    std::string target = path;
    for (int hop = 0; hop < LINK_HOPS_MAX; ++hop) {
        if (lstat(target.c_str(), &info) != 0) {
            exists = false;
            return errno == ENOENT ? target : std::string();
        }
        if (S_ISLNK(info.st_mode)) {
            char link[PATH_MAX];
            const ssize_t n = readlink(target.c_str(), link, sizeof link);
            if (n <= 0 || n >= static_cast<ssize_t>(sizeof link)) return {};
            const std::string to(link, static_cast<size_t>(n));
            target = to[0] == '/' ? to : folder_of(target) + to;
            continue;
        }
        exists = true;
        if (!S_ISREG(info.st_mode)) return {};
        const int fd = open(target.c_str(), O_WRONLY | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) return {};
        close(fd);
        return target;
    }
    return {};
}

// The new contents in a temporary file beside the target, made afresh (never
// through a link), with the target's permissions. nullptr when it cannot be made.
std::FILE* open_temporary(Replacement& r, bool exists, const struct stat& info) {
    r.temp = r.target + ".new";
    // A stale temporary file (or a link of that name) from an earlier save
    // that never finished goes first. A folder of that name stays.
    struct stat old {};
    if (lstat(r.temp.c_str(), &old) == 0 && !S_ISDIR(old.st_mode)) unlink(r.temp.c_str());
    const int fd = open(r.temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0) {
        r.temp.clear();
        return nullptr;
    }
    if (exists) fchmod(fd, info.st_mode & 07777);
    std::FILE* f = fdopen(fd, "wb");
    if (!f) {
        close(fd);
        unlink(r.temp.c_str());
        r.temp.clear();
    }
    return f;
}

// The target itself, created or emptied, as a plain save writes it. nullptr
// when it cannot be opened for writing or is no plain file.
std::FILE* open_in_place(const Replacement& r) {
    const int fd = open(r.target.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0666);
    if (fd < 0) return nullptr;
    struct stat info {};
    std::FILE* f = fstat(fd, &info) == 0 && S_ISREG(info.st_mode) ? fdopen(fd, "wb") : nullptr;
    if (!f) close(fd);
    return f;
}

}  // namespace

std::FILE* begin_replacement(const std::string& path, Replacement& r) {
    struct stat info {};
    bool exists = false;
    r.temp.clear();
    r.target = writable_target(path, info, exists);
    if (r.target.empty()) return nullptr;
    // A file that has other names (hard links) or another owner is written in
    // place: a new file moved over it would split the links and belong to
    // whoever saved.
    const bool keep_the_file = exists && (info.st_nlink > 1 || info.st_uid != geteuid());
    if (!keep_the_file) {
        if (std::FILE* f = open_temporary(r, exists, info)) return f;
    }
    // No temporary file beside it (a folder the player may not write to, a
    // folder in the way): the file is written in place, as long as it can be.
    return open_in_place(r);
}

bool finish_replacement(std::FILE* f, const Replacement& r, bool complete) {
    if (!f) return false;
    complete = complete && std::fflush(f) == 0 && !std::ferror(f) && fsync(fileno(f)) == 0;
    complete = std::fclose(f) == 0 && complete;
    if (r.temp.empty()) return complete;  // written in place
    if (complete && std::rename(r.temp.c_str(), r.target.c_str()) == 0) return true;
    unlink(r.temp.c_str());
    return false;
}

void set_data_folder(const std::string& folder) { data_dir = folder; }

const std::string& data_folder() { return data_dir; }

std::FILE* open_game_file(const std::string& path, const char* mode) {
    if (std::strcmp(mode, "rb") != 0) return std::fopen(path.c_str(), mode);
    std::FILE* f = open_plain_file(path);
    if (f || data_dir.empty() || path.empty() || path[0] == '/') return f;
    backend_data_file_wanted(path);
    return open_plain_file(data_dir + "/" + path);
}

}  // namespace valmoren
