// frontend.h -- the screens outside the levels: logo, main menu, options
// screen and options file, credits, story slideshow.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace valmoren {

void logo_screen();
void main_menu();
void read_options();
void options_screen();
void credits_screen();
void story_slideshow(int8_t set);

// One piece of a slide's caption: text printed as it stands, or a line end.
struct CaptionPiece {
    std::string text;
    bool line_end = false;
};

// The caption of slide set `set` (0..5) from the captions file at `path`: the
// items between the set's start and end markers, the codes 1, 2 and 3 turned
// into a comma, a line end and three blanks. A missing file gives nothing; a
// missing marker ends the reading at the end of the file.
std::vector<CaptionPiece> read_story_captions(const std::string& path, int set);

}  // namespace valmoren
