// synth_songs.h -- the songs the generator plays into the music files, by file name,
// so that their data can be checked on its own; and what each level plays at once.
#pragma once

#include <vector>

#include "synth.h"

namespace valmoren::assetgen {

struct NamedSong {
    const char* file;  // under sounds/
    Song song;
};

std::vector<NamedSong> all_songs();

// What a level plays at once: its music, and the one or two effects that can
// sound over it (files under sounds/; fx2 null when the level has one).
struct LevelMix {
    int level;
    const char* music;
    const char* fx;
    const char* fx2;
};
const std::vector<LevelMix>& level_mixes();

}  // namespace valmoren::assetgen
