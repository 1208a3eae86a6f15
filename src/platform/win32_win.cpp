// win32_win.cpp -- UTF-8 and UTF-16 at the system's edge, the environment,
// the message box and the command line's answer (win32.h). Windows only.
// Writes no GameState fields.
#include "platform/win32.h"

#include <windows.h>
#include <shellapi.h>

#include <cstdlib>

namespace valmoren {

std::wstring wide_text(const std::string& utf8) {
    if (utf8.empty()) return {};
    const int n = MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), nullptr, 0);
    if (n <= 0) return {};
    std::wstring out(static_cast<size_t>(n), L'\0');
    MultiByteToWideChar(CP_UTF8, 0, utf8.data(), static_cast<int>(utf8.size()), out.data(), n);
    return out;
}

std::string utf8_text(const std::wstring& wide) {
    if (wide.empty()) return {};
    const int n = WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), nullptr, 0,
                                      nullptr, nullptr);
    if (n <= 0) return {};
    std::string out(static_cast<size_t>(n), '\0');
    WideCharToMultiByte(CP_UTF8, 0, wide.data(), static_cast<int>(wide.size()), out.data(), n, nullptr, nullptr);
    return out;
}

std::string environment_value(const char* name) {
    const wchar_t* value = _wgetenv(wide_text(name).c_str());
    return value ? utf8_text(value) : std::string();
}

std::vector<std::string> program_arguments(int argc, char** argv) {
    int n = 0;
    wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &n);
    std::vector<std::string> args;
    if (wide && n == argc) {
        for (int i = 0; i < n; ++i) args.push_back(utf8_text(wide[i]));
    } else {
        for (int i = 0; i < argc; ++i) args.emplace_back(argv[i]);
    }
    if (wide) LocalFree(wide);
    return args;
}

std::string absolute_path(const std::string& path) {
    const std::wstring name = wide_text(path);
    const DWORD n = GetFullPathNameW(name.c_str(), 0, nullptr, nullptr);
    if (n == 0) return "";
    std::wstring full(n, L'\0');
    const DWORD got = GetFullPathNameW(name.c_str(), n, full.data(), nullptr);
    if (got == 0 || got >= n) return "";
    full.resize(got);
    return utf8_text(full);
}

void show_message_box(const std::string& text, bool problem) {
    MessageBoxW(nullptr, wide_text(text).c_str(), L"Valmoren",
                MB_OK | (problem ? MB_ICONERROR : MB_ICONINFORMATION) | MB_TOPMOST | MB_SETFOREGROUND);
}

namespace {

// A standard handle the program was given that leads somewhere.
bool leads_somewhere(HANDLE h) { return h && h != INVALID_HANDLE_VALUE && GetFileType(h) != FILE_TYPE_UNKNOWN; }

// With CR LF line ends, as the C runtime writes text on Windows.
bool write_all(HANDLE h, const std::string& text) {
    std::string lines;
    for (char c : text) {
        if (c == '\n') lines += '\r';
        lines += c;
    }
    DWORD written = 0;
    for (size_t at = 0; at < lines.size(); at += written)
        if (!WriteFile(h, lines.data() + at, static_cast<DWORD>(lines.size() - at), &written, nullptr) || !written)
            return false;
    return true;
}

// Onto the console of the program that started this one (a windowed program
// is given none of its own), with the console's CR LF line ends. False when
// there is no such console.
bool write_to_parent_console(const std::string& text) {
    if (!AttachConsole(ATTACH_PARENT_PROCESS)) return false;
    const HANDLE console = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       nullptr, OPEN_EXISTING, 0, nullptr);
    if (console == INVALID_HANDLE_VALUE) {
        FreeConsole();
        return false;
    }
    std::wstring wide = L"\r\n";  // the prompt came back when the program started: begin on a line of its own
    for (wchar_t c : wide_text(text)) {
        if (c == L'\n') wide += L'\r';
        wide += c;
    }
    DWORD written = 0;
    const bool done = WriteConsoleW(console, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr) != 0;
    CloseHandle(console);
    FreeConsole();
    return done;
}

}  // namespace

bool show_command_line_answer(const std::string& out, const std::string& err, bool problem) {
    const HANDLE out_handle = GetStdHandle(STD_OUTPUT_HANDLE);
    const HANDLE err_handle = GetStdHandle(STD_ERROR_HANDLE);
    bool written = true;
    std::string unseen;
    if (!out.empty()) {
        if (leads_somewhere(out_handle)) written = write_all(out_handle, out);
        else unseen += out;
    }
    if (!err.empty()) {
        if (leads_somewhere(err_handle)) write_all(err_handle, err);
        else unseen += err;
    }
    if (!unseen.empty() && !write_to_parent_console(unseen)) show_message_box(unseen, problem);
    return written;
}

}  // namespace valmoren
