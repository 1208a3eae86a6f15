// pictures.cpp -- write_pictures: draws every picture of the game and writes it
// as a 24-bit BMP under img/ in the run folder.
#include <filesystem>

#include "assetgen.h"
#include "bmpwrite.h"
#include "pictures_art.h"

namespace valmoren::assetgen {

void write_pictures(const std::string& dir) {
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(dir) / "img" / "rotate", ec);
    std::vector<Picture> all;
    add_level_sprites(all);
    add_rotating_ship(all);
    add_word_pictures(all);
    add_scenes(all);
    for (const Picture& p : all) {
        write_bmp24((std::filesystem::path(dir) / "img" / p.name).string(), p.pic.w, p.pic.h, p.pic.px);
    }
}

}  // namespace valmoren::assetgen
