// icons.cpp -- writes the game's icon at each size of the desktop's icon
// theme as a PNG, transparent outside its rounded square.
#include <filesystem>

#include "assetgen.h"
#include "pictures_art.h"
#include "png_write.h"

namespace valmoren::assetgen {

bool write_icons(const std::string& dir, const std::string& name) {
    namespace fs = std::filesystem;
    bool ok = true;
    for (int size : ICON_SIZES) {
        const std::string edge = std::to_string(size);
        const fs::path folder = fs::path(dir) / (edge + "x" + edge) / "apps";
        std::error_code ec;
        fs::create_directories(folder, ec);
        Canvas c = icon(size);
        // The key colour is the transparent outside of the rounded square.
        std::vector<uint32_t> argb(c.px.size());
        for (size_t i = 0; i < c.px.size(); ++i) argb[i] = c.px[i] == KEY ? 0 : 0xFF000000u | c.px[i];
        ok = write_png((folder / (name + ".png")).string(), c.w, c.h, argb, true) && ok;
    }
    return ok;
}

}  // namespace valmoren::assetgen
