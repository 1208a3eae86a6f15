// pictures_art.h -- the groups of pictures the generator draws; each group adds
// its finished pictures (file name under img/, canvas) to the list.
#pragma once

#include <string>
#include <vector>

#include "pictures_raster.h"

namespace valmoren::assetgen {

struct Picture {
    std::string name;  // path under img/, e.g. "ball.bmp" or "rotate/abc1.bmp"
    Canvas pic;
};

void add_level_sprites(std::vector<Picture>& out);   // ball, planes, ships, rocks, shots, bar...
void add_rotating_ship(std::vector<Picture>& out);   // the sixteen headings of the level-3 ship
// The level-3 ship turned `angle` degrees clockwise from nose up, on a square
// picture of 50 * scale pixels (scale 1: the game's own sprite).
Canvas ship_at(double angle, double scale = 1.0);
// The game's icon at `size` pixels; the key colour is its transparent outside.
Canvas icon(int size);
void add_word_pictures(std::vector<Picture>& out);   // buttons, logo, banners, help pictures
// Backgrounds, planets, menu, blast and story; the story pictures reuse the
// sprites already in `out`, so this group comes last.
void add_scenes(std::vector<Picture>& out);

}  // namespace valmoren::assetgen
