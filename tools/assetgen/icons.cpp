// icons.cpp -- writes the game's icon at each size of the desktop's icon
// theme, at the sizes the browser page's web app manifest names and at those
// of the Windows program's icon, as a PNG, transparent outside its rounded
// square; and the page's maskable icon, which a home screen cuts to a shape
// of its own.
#include <cstdint>
#include <filesystem>

#include "assetgen.h"
#include "pictures_art.h"
#include "png_write.h"

namespace valmoren::assetgen {

namespace {

// The key colour is the transparent outside of the rounded square, or the
// colour `backdrop` (0xRRGGBB) when one is given.
bool write_canvas(const std::filesystem::path& file, const Canvas& c, int64_t backdrop = -1) {
    std::error_code ec;
    std::filesystem::create_directories(file.parent_path(), ec);
    std::vector<uint32_t> argb(c.px.size());
    for (size_t i = 0; i < c.px.size(); ++i) {
        if (c.px[i] != KEY) argb[i] = 0xFF000000u | c.px[i];
        else argb[i] = backdrop < 0 ? 0 : 0xFF000000u | static_cast<uint32_t>(backdrop);
    }
    return write_png(file.string(), c.w, c.h, argb, true);
}

bool write_icon(const std::filesystem::path& file, int size) { return write_canvas(file, icon(size), -1); }

// A maskable icon fills its whole square (a mask shows no transparency) and
// keeps what matters inside the middle circle of four fifths of its edge,
// which every mask leaves: the rounded square at five eighths of the edge,
// centred on black (the manifest's background colour).
bool write_maskable_icon(const std::filesystem::path& file, int size) {
    const Canvas art = icon(size * 5 / 8);
    Canvas c(size, size);
    const int at = (size - art.w) / 2;
    for (int y = 0; y < art.h; ++y)
        for (int x = 0; x < art.w; ++x) c.set(at + x, at + y, art.px[y * art.w + x]);
    return write_canvas(file, c, 0x000000);
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

template <size_t N>
bool write_numbered_icons(const std::string& dir, const int (&sizes)[N]) {
    bool ok = true;
    for (int size : sizes)
        ok = write_icon(std::filesystem::path(dir) / ("icon-" + std::to_string(size) + ".png"), size) && ok;
    return ok;
}

bool write_web_icons(const std::string& dir) {
    const std::string maskable = "icon-maskable-" + std::to_string(WEB_MASKABLE_ICON_SIZE) + ".png";
    return write_maskable_icon(std::filesystem::path(dir) / maskable, WEB_MASKABLE_ICON_SIZE) &&
           write_numbered_icons(dir, WEB_ICON_SIZES);
}

bool write_windows_icons(const std::string& dir) { return write_numbered_icons(dir, WINDOWS_ICON_SIZES); }

}  // namespace valmoren::assetgen
