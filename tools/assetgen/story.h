// story.h -- the story captions the generator writes into suget.dat.
#pragma once

#include <string>
#include <vector>

namespace valmoren::assetgen {

// The caption of each slide set 0..5, as the lines the player reads; a line
// that begins with three blanks is an indented paragraph start.
const std::vector<std::vector<std::string>>& story_captions();

// The bytes of suget.dat for those captions.
std::string story_file_text();

}  // namespace valmoren::assetgen
