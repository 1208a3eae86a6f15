// icons.cpp -- writes the game's icon at each size of the desktop's icon
// theme, and at the sizes the browser page's web app manifest names, as a
// PNG, transparent outside its rounded square.
#include <filesystem>

#include "assetgen.h"
#include "pictures_art.h"
#include "png_write.h"

namespace valmoren::assetgen {

namespace {

bool write_icon(const std::filesystem::path& file, int size) {
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    Canvas c = icon(size);
    // The key colour is the transparent outside of the rounded square.
    std::vector<uint32_t> argb(c.px.size());
    for (size_t i = 0; i < c.px.size(); ++i) argb[i] = c.px[i] == KEY ? 0 : 0xFF000000u | c.px[i];
    return write_png(file.string(), c.w, c.h, argb, true);
}

}  // namespace

bool write_icons(const std::string& dir, const std::string& name) {
    bool ok = true;
    for (int size : ICON_SIZES) {
        const std::string edge = std::to_string(size);
        ok = write_icon(std::filesystem::path(dir) / (edge + "x" + edge) / "apps" / (name + ".png"), size) && ok;
    }
    return ok;
}

bool write_web_icons(const std::string& dir) {
    bool ok = true;
    for (int size : WEB_ICON_SIZES)
        ok = write_icon(std::filesystem::path(dir) / ("icon-" + std::to_string(size) + ".png"), size) && ok;
    return ok;
}

}  // namespace valmoren::assetgen
