// folders_win.cpp -- choosing the working folder and the data folder at
// start-up on Windows. Unpacked from the zip, the game works in its own
// folder, where its data lies and the player may write. Installed (the
// installer leaves INSTALLED_MARK beside the program, in a folder the player
// cannot write to), or unpacked where the player cannot write (Program Files,
// a CD, a read-only share), it works in %APPDATA%\Valmoren and reads what is
// not there from its own folder. A program without its data beside it (the
// exe alone, copied or run from inside the zip) says so and ends. Writes no
// GameState fields.
// windows.h first: the others build on it.
#include <windows.h>
#include <knownfolders.h>
#include <shlobj.h>

#include <cstdio>

#include "platform/backend.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/win32.h"

namespace valmoren {

namespace {

bool is_folder(const std::string& path) {
    const DWORD a = GetFileAttributesW(wide_text(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool is_file(const std::string& path) {
    const DWORD a = GetFileAttributesW(wide_text(path).c_str());
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

// The folder part of a path, without its last separator ("" for a bare
// name); a drive's root keeps it ("E:\" for "E:\valmoren.exe"): "E:" alone
// names the folder the process last worked in on that drive.
std::string folder_of(const std::string& path) {
    const size_t cut = path.find_last_of("\\/");
    if (cut == std::string::npos) return std::string();
    if (cut == 2 && path[1] == ':') return path.substr(0, 3);
    return path.substr(0, cut);
}

// A name inside a folder, which may be a drive's root.
std::string inside(const std::string& folder, const std::string& name) {
    const char last = folder.empty() ? '\\' : folder.back();
    return last == '\\' || last == '/' ? folder + name : folder + "\\" + name;
}

// Whether the player may make files in the folder: a file made there and
// gone again when closed. A 64-bit program gets no folder virtualization
// (which would let the write pass into a copy elsewhere), so this is the
// folder's own answer.
bool can_write_in(const std::string& folder) {
    const std::wstring probe = wide_text(inside(folder, ".valmoren-" + std::to_string(GetCurrentProcessId())));
    const HANDLE h = CreateFileW(probe.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_TEMPORARY | FILE_ATTRIBUTE_HIDDEN | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
    if (h == INVALID_HANDLE_VALUE) return GetLastError() == ERROR_FILE_EXISTS;
    CloseHandle(h);
    return true;
}

std::string last_error_text() {
    wchar_t* text = nullptr;
    const DWORD code = GetLastError();
    FormatMessageW(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM | FORMAT_MESSAGE_IGNORE_INSERTS,
                   nullptr, code, 0, reinterpret_cast<wchar_t*>(&text), 0, nullptr);
    std::string out = text ? utf8_text(text) : "error " + std::to_string(code);
    if (text) LocalFree(text);
    while (!out.empty() && (out.back() == '\n' || out.back() == '\r' || out.back() == '.')) out.pop_back();
    return out;
}

// Makes the folder and its missing parents.
bool make_folders(const std::string& folder, std::string& problem) {
    if (is_folder(folder)) return true;
    const std::string parent = folder_of(folder);
    if (!parent.empty() && parent != folder && !(parent.size() == 2 && parent[1] == ':') &&
        !make_folders(parent, problem))
        return false;
    if (CreateDirectoryW(wide_text(folder).c_str(), nullptr) || is_folder(folder)) return true;
    problem = "cannot make the player's folder " + folder + ": " + last_error_text();
    return false;
}

}  // namespace

const char* const MISSING_FILES =
    "Valmoren's files are missing: unpack the whole folder before starting valmoren.exe. "
    "Its pictures, sounds and story (img, sounds and suget.dat) belong beside it.";

std::string program_location(const char*) {
    std::wstring buffer(MAX_PATH, L'\0');
    for (;;) {
        const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
        if (n == 0) return "";
        if (n < buffer.size()) return utf8_text(buffer.substr(0, n));
        if (buffer.size() >= 32768) return "";
        buffer.resize(buffer.size() * 2);
    }
}

std::string player_folder() {
    PWSTR roaming = nullptr;
    std::string folder;
    if (SUCCEEDED(SHGetKnownFolderPath(FOLDERID_RoamingAppData, KF_FLAG_CREATE, nullptr, &roaming)) && roaming)
        folder = utf8_text(roaming);
    CoTaskMemFree(roaming);
    if (folder.empty()) {
        const wchar_t* appdata = _wgetenv(L"APPDATA");
        if (appdata && *appdata) folder = utf8_text(appdata);
    }
    return folder.empty() ? "" : folder + "\\Valmoren";
}

GameFolders find_game_folders(const std::string& program) {
    const std::string own = folder_of(program);
    if (own.empty() || !is_folder(inside(own, "img"))) return {};
    if (is_file(inside(own, INSTALLED_MARK)) || !can_write_in(own)) return {player_folder(), own};
    return {own, ""};
}

std::string enter_game_folders(const GameFolders& folders) {
    if (!folders.working.empty()) {
        std::string problem;
        if (!make_folders(folders.working, problem)) return problem;
        if (!SetCurrentDirectoryW(wide_text(folders.working).c_str()))
            return "cannot enter the folder " + folders.working + ": " + last_error_text();
    } else if (!folders.data.empty()) {
        return "no player's folder: the system names no application data folder";
    }
    set_data_folder(folders.data);
    return "";
}

bool choose_game_folders(const char* argv0) {
    const std::string program = program_location(argv0);
    const GameFolders folders = find_game_folders(program);
    const std::string own = folder_of(program);
    // Explorer's "Run" on a file inside a zip unpacks that file alone; a
    // copied valmoren.exe has nothing beside it either. Started like that the
    // game would run without a picture or a sound, and say nothing.
    if ((folders.working.empty() && folders.data.empty()) || !is_folder(inside(own, "sounds")) ||
        !is_file(inside(own, "suget.dat"))) {
        backend_report_problem(MISSING_FILES);
        return false;
    }
    const std::string problem = enter_game_folders(folders);
    if (problem.empty()) return true;
    backend_report_problem("valmoren: " + problem);
    return false;
}

}  // namespace valmoren
