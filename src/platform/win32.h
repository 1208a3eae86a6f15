// win32.h -- what the Windows platform files share: the game's paths and
// texts are UTF-8 inside, and UTF-16 where they meet the system, so a folder
// named in any script ("Łukasz", "山田") is opened as it is. Windows only.
// Writes no GameState fields.
#pragma once

#ifdef _WIN32

#include <string>
#include <vector>

namespace valmoren {

// UTF-8 to UTF-16 and back; invalid input gives what the system's converter
// makes of it (replacement characters), never a crash.
std::wstring wide_text(const std::string& utf8);
std::string utf8_text(const std::wstring& wide);

// An environment variable's value as UTF-8, read through the wide call (the
// narrow one gives the value in the system's code page, where a folder named
// in another script turns into question marks); "" when it is not set.
std::string environment_value(const char* name);

// The program's arguments as UTF-8, read from the wide command line: the
// C runtime's argv holds them in the system's code page, where a file named
// in another script ("Łukasz", "山田") turns into question marks and cannot
// be opened. `argv` when the wide command line cannot be had.
std::vector<std::string> program_arguments(int argc, char** argv);

// A path made absolute from the folder the program works in, UTF-8 in and
// out ("" when the system cannot say).
std::string absolute_path(const std::string& path);

// A message box over everything, titled with the game's name, that waits for
// the player's OK: a windowed program has no terminal to print on. A problem
// shows the error icon, an answer (the help, the version) the information one.
void show_message_box(const std::string& text, bool problem = true);

// What the command line answers, where a player can see it: on standard
// output and standard error when they lead somewhere (a pipe, a file, a
// console the program was given), else on the console of the program it was
// started from (a command prompt), else in a message box. False when the
// standard output it was given could not be written.
bool show_command_line_answer(const std::string& out, const std::string& err, bool problem);

// The options save's replace step: ReplaceFileW with a backup name, nonzero
// when done, the reason in GetLastError() otherwise. A test puts a call of
// its own in its place to make it fail as the system may (another program
// holding a file); nullptr puts the system's back.
using ReplaceFileCall = int (*)(const wchar_t* target, const wchar_t* replacement, const wchar_t* backup);
void set_replace_file_call(ReplaceFileCall call);

}  // namespace valmoren

#endif
