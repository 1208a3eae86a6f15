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

// A file written whole or not at all, in place of the file `path` names: the
// new contents go to a temporary file beside the file that will be replaced
// and take its place only once they have all reached the disk. A symbolic
// link is written through (the link stays; its final target is replaced, in
// the target's own folder). Nothing is replaced that could not have been
// opened for writing in place (a folder, a write-protected file, a device):
// then begin_replacement gives nullptr and the file stays as it was.
// Where no temporary file can be made beside it (a folder the player cannot
// write to) and for a file with other names (hard links) or another owner,
// the file itself is emptied and written, as a plain save would: the links
// and the owner stay, at the price of a file half written if the disk fails.
struct Replacement {
    std::string target;  // the file that will be replaced
    std::string temp;    // where the new contents are written first; "" in place
};
std::FILE* begin_replacement(const std::string& path, Replacement& r);
// Closes the written file. Replacing: when `complete` and everything reached
// the disk, moves the temporary file over the target, otherwise removes it.
// True when the target holds the new contents.
bool finish_replacement(std::FILE* f, const Replacement& r, bool complete);

// fopen with the lookup above for reading ("rb"; only plain files count, so a
// folder or a device of that name reads as missing); any other mode opens the
// name as it stands, relative to the working folder. nullptr on failure.
std::FILE* open_game_file(const std::string& path, const char* mode);

}  // namespace valmoren
