// win32.h -- what the Windows platform files share: the game's paths and
// texts are UTF-8 inside, and UTF-16 where they meet the system, so a folder
// named in any script ("Łukasz", "山田") is opened as it is. Windows only.
// Writes no GameState fields.
#pragma once

#ifdef _WIN32

#include <string>

namespace valmoren {

// UTF-8 to UTF-16 and back; invalid input gives what the system's converter
// makes of it (replacement characters), never a crash.
std::wstring wide_text(const std::string& utf8);
std::string utf8_text(const std::wstring& wide);

// A message box over everything, titled with the game's name, that waits for
// the player's OK: a windowed program has no terminal to print on.
void show_message_box(const std::string& text);

}  // namespace valmoren

#endif
