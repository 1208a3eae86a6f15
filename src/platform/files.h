// files.h -- the one place where the game's files are opened. The game names
// every file by a plain relative name ("img/ball.bmp", "options.dat"). Reading
// looks in the working folder first and then in the game's data folder, when
// one is set (an installed game keeps its pictures, sounds and captions there,
// apart from the player's own files); writing always goes to the working folder.
#pragma once

#include <cstdio>
#include <string>

namespace valmoren {

// The folder read after the working folder; "" (the default) means none.
void set_data_folder(const std::string& folder);
const std::string& data_folder();

// fopen with the lookup above for reading ("rb"; only plain files count, so a
// folder or a device of that name reads as missing); any other mode opens the
// name as it stands, relative to the working folder. nullptr on failure.
std::FILE* open_game_file(const std::string& path, const char* mode);

}  // namespace valmoren
