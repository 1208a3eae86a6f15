// files_win.cpp -- opening the game's files on Windows: the working folder
// first, then the data folder, for reading; the options' all-or-nothing save
// through the system's own replace, which never loses the player's settings
// when another program holds a file for a moment. Paths are UTF-8 in the game
// and UTF-16 here, where they reach the system. Writes no GameState fields.
#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <windows.h>

#include <cerrno>
#include <cstring>

#include "platform/files.h"
#include "platform/win32.h"

namespace valmoren {

namespace {

std::string data_dir;

bool is_absolute(const std::string& path) {
    return !path.empty() && (path[0] == '/' || path[0] == '\\' || (path.size() > 1 && path[1] == ':'));
}

// A name inside a folder; a drive's root ("E:\") already ends in its separator.
std::string inside(const std::string& folder, const std::string& name) {
    if (folder.empty()) return name;
    const char last = folder.back();
    return last == '\\' || last == '/' ? folder + name : folder + "\\" + name;
}

int system_replace(const wchar_t* target, const wchar_t* replacement, const wchar_t* backup) {
    return ReplaceFileW(target, replacement, backup, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
}

ReplaceFileCall replace_file = system_replace;

// Another program may hold the new file or the old one for a moment (a synced
// folder's client, a virus scanner, the search indexer): the move into place
// is tried this many times, each wait twice the one before (in all about
// 0.8 s), before the save gives up.
constexpr int PLACING_TRIES = 6;
constexpr DWORD FIRST_WAIT_MS = 25;

bool is_there(const std::wstring& name) { return GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES; }

void remove_file(const std::wstring& name) {
    SetFileAttributesW(name.c_str(), FILE_ATTRIBUTE_NORMAL);
    DeleteFileW(name.c_str());
}

// Puts the new contents (`temp`, complete and on the disk) in the target's
// place. An existing file is replaced by the system, given a backup name:
// a replace that fails half way then leaves the old file under its own name
// (the new one could not be renamed, 1176) or under the backup name (1177),
// never gone with the new contents deleted; the next try moves the new file
// into a place left empty. A hidden or system file stays so (the system keeps
// those marks, Wine does not). When every try fails and the target is
// missing, the new contents stay where they are: the next start puts them in
// place (open_game_file).
bool put_in_place(const std::wstring& temp, const std::wstring& target) {
    const std::wstring backup = target + L".old";
    const DWORD before = GetFileAttributesW(target.c_str());
    const DWORD marks = before == INVALID_FILE_ATTRIBUTES ? 0 : before & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM);
    DWORD wait = FIRST_WAIT_MS;
    for (int attempt = 1;; ++attempt) {
        const bool placed = is_there(target) ? replace_file(target.c_str(), temp.c_str(), backup.c_str()) != 0
                                           : MoveFileExW(temp.c_str(), target.c_str(),
                                                         MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH) != 0;
        if (placed) {
            const DWORD now = GetFileAttributesW(target.c_str());
            if (now != INVALID_FILE_ATTRIBUTES && (now & marks) != marks) SetFileAttributesW(target.c_str(), now | marks);
            if (is_there(backup)) remove_file(backup);
            return true;
        }
        if (attempt == PLACING_TRIES) break;
        Sleep(wait);
        wait *= 2;
    }
    if (is_there(target)) {
        // The old settings are still in place: the new ones are given up.
        remove_file(temp);
        if (is_there(backup)) remove_file(backup);
    }
    return false;
}

// Opens one name for reading. Only a plain file is read: a folder or a
// device of that name would read as endless or failing data, so it counts
// as missing.
std::FILE* open_plain_file(const std::string& path) {
    std::FILE* f = _wfopen(wide_text(path).c_str(), L"rb");
    struct _stat64 info {};
    if (f && (_fstat64(_fileno(f), &info) != 0 || (info.st_mode & _S_IFMT) != _S_IFREG)) {
        std::fclose(f);
        return nullptr;
    }
    return f;
}

// A stdio stream over a handle the system opened for writing; the handle is
// closed when the stream is not made.
std::FILE* stream_of(HANDLE h) {
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(h);
        return nullptr;
    }
    std::FILE* f = _fdopen(fd, "wb");
    if (!f) _close(fd);
    return f;
}

HANDLE open_for_writing(const std::wstring& name, DWORD how) {
    return CreateFileW(name.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                       nullptr, how, FILE_ATTRIBUTE_NORMAL, nullptr);
}

// Whether a save may touch the file: missing (it will be made), or a plain
// file that is not read-only and can be opened for writing as it is (opened
// without emptying it, so the look changes nothing). `links` is its number
// of names.
bool may_write(const std::wstring& name, bool& exists, DWORD& links) {
    links = 1;
    const DWORD attributes = GetFileAttributesW(name.c_str());
    if (attributes == INVALID_FILE_ATTRIBUTES) {
        exists = false;
        const DWORD why = GetLastError();
        return why == ERROR_FILE_NOT_FOUND;
    }
    exists = true;
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_DEVICE)) return false;
    const HANDLE h = open_for_writing(name, OPEN_EXISTING);
    if (h == INVALID_HANDLE_VALUE) return false;
    BY_HANDLE_FILE_INFORMATION info{};
    const bool plain = GetFileType(h) == FILE_TYPE_DISK;
    if (GetFileInformationByHandle(h, &info)) links = info.nNumberOfLinks;
    CloseHandle(h);
    return plain;
}

// A save that could not put its new contents in place (put_in_place) leaves
// them in <file>.new with no <file>: they are moved into place (and the old
// contents kept aside in <file>.old go), or read from where they are when
// even that fails. nullptr when there is no such file.
std::FILE* open_unplaced_save(const std::string& path) {
    const std::wstring name = wide_text(path);
    const std::wstring saved = wide_text(path + ".new");
    const DWORD a = GetFileAttributesW(saved.c_str());
    if (a == INVALID_FILE_ATTRIBUTES || (a & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) ||
        GetFileAttributesW(name.c_str()) != INVALID_FILE_ATTRIBUTES || GetLastError() != ERROR_FILE_NOT_FOUND)
        return nullptr;
    if (!MoveFileExW(saved.c_str(), name.c_str(), MOVEFILE_WRITE_THROUGH)) return open_plain_file(path + ".new");
    remove_file(wide_text(path + ".old"));  // the old contents the failed replace kept aside
    return open_plain_file(path);
}

}  // namespace

std::FILE* begin_replacement(const std::string& path, Replacement& r) {
    r.temp.clear();
    r.target.clear();
    bool exists = false;
    DWORD links = 1;
    if (path.empty() || !may_write(wide_text(path), exists, links)) return nullptr;
    r.target = path;
    // A file with other names (hard links) is written in place: a new file
    // moved over it would split the links.
    if (!exists || links <= 1) {
        r.temp = path + ".new";
        const std::wstring temp = wide_text(r.temp);
        // A stale temporary file from an earlier save that never finished
        // goes first; a folder of that name stays.
        const DWORD old = GetFileAttributesW(temp.c_str());
        if (old != INVALID_FILE_ATTRIBUTES && !(old & FILE_ATTRIBUTE_DIRECTORY)) {
            SetFileAttributesW(temp.c_str(), FILE_ATTRIBUTE_NORMAL);
            DeleteFileW(temp.c_str());
        }
        if (std::FILE* f = stream_of(open_for_writing(temp, CREATE_NEW))) return f;
        r.temp.clear();
    }
    // No temporary file beside it (a folder the player may not write to, a
    // folder in the way): the file is written in place, as long as it can be.
    // Opened as it is and emptied, not made anew: the system refuses to make a
    // hidden or system file anew unless asked with the same marks.
    const HANDLE h = open_for_writing(wide_text(r.target), OPEN_ALWAYS);
    if (h != INVALID_HANDLE_VALUE && !SetEndOfFile(h)) {
        CloseHandle(h);
        return nullptr;
    }
    return stream_of(h);
}

bool finish_replacement(std::FILE* f, const Replacement& r, bool complete) {
    if (!f) return false;
    complete = complete && std::fflush(f) == 0 && !std::ferror(f) &&
               FlushFileBuffers(reinterpret_cast<HANDLE>(_get_osfhandle(_fileno(f))));
    complete = std::fclose(f) == 0 && complete;
    if (r.temp.empty()) return complete;  // written in place
    const std::wstring temp = wide_text(r.temp);
    if (complete) return put_in_place(temp, wide_text(r.target));
    remove_file(temp);
    return false;
}

void set_replace_file_call(ReplaceFileCall call) { replace_file = call ? call : system_replace; }

void set_data_folder(const std::string& folder) { data_dir = folder; }

const std::string& data_folder() { return data_dir; }

std::FILE* open_game_file(const std::string& path, const char* mode) {
    if (std::strcmp(mode, "rb") == 0) {
        std::FILE* f = open_plain_file(path);
        if (!f && errno == ENOENT) f = open_unplaced_save(path);
        if (f || data_dir.empty() || is_absolute(path)) return f;
        return open_plain_file(inside(data_dir, path));
    }
    // "x": a new file only, never one that exists (the C runtime's fopen
    // does not know the letter).
    if (std::strchr(mode, 'x')) {
        const int fd = _wopen(wide_text(path).c_str(), _O_WRONLY | _O_CREAT | _O_EXCL | _O_BINARY,
                              _S_IREAD | _S_IWRITE);
        if (fd < 0) return nullptr;
        std::FILE* f = _fdopen(fd, "wb");
        if (!f) _close(fd);
        return f;
    }
    return _wfopen(wide_text(path).c_str(), wide_text(mode).c_str());
}

}  // namespace valmoren
