// synth_songs.h -- the songs the generator plays into the music files, by file name,
// so that their data can be checked on its own.
#pragma once

#include <vector>

#include "synth.h"

namespace valmoren::assetgen {

struct NamedSong {
    const char* file;  // under sounds/
    Song song;
};

std::vector<NamedSong> all_songs();

}  // namespace valmoren::assetgen
