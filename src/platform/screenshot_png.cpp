// screenshot_png.cpp -- a page written as a PNG (through libpng) into the
// screenshots folder under a name no other picture has. Not in the browser
// build, where the browser saves the canvas itself. Writes no GameState
// fields.
#include <png.h>
#include <sys/stat.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "platform/files.h"
#include "platform/screenshot.h"

namespace valmoren {

namespace {

constexpr int MOST_COPIES = 999;  // pictures with the same second in their name

void say(std::string* error, const std::string& why) {
    if (error) *error = why;
}

}  // namespace

bool write_png(std::FILE* f, const uint32_t* pixels, int w, int h, std::string& why) {
    std::vector<uint8_t> rgb(static_cast<size_t>(w) * h * 3);
    for (size_t i = 0, n = static_cast<size_t>(w) * h; i < n; ++i) {
        rgb[i * 3] = static_cast<uint8_t>(pixels[i] >> 16);
        rgb[i * 3 + 1] = static_cast<uint8_t>(pixels[i] >> 8);
        rgb[i * 3 + 2] = static_cast<uint8_t>(pixels[i]);
    }
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    image.width = static_cast<png_uint_32>(w);
    image.height = static_cast<png_uint_32>(h);
    image.format = PNG_FORMAT_RGB;
    const bool written = png_image_write_to_stdio(&image, f, 0, rgb.data(), 0, nullptr) != 0;
    why = written ? "" : image.message;
    png_image_free(&image);
    return written;
}

std::string save_screenshot(const uint32_t* pixels, int w, int h, std::time_t when, std::string* error) {
    if (!pixels || w <= 0 || h <= 0) {
        say(error, "no picture");
        return "";
    }
#ifdef _WIN32
    const int made = mkdir(SCREENSHOT_FOLDER);
#else
    const int made = mkdir(SCREENSHOT_FOLDER, 0777);
#endif
    if (made != 0 && errno != EEXIST) {
        say(error, std::string("cannot make ") + SCREENSHOT_FOLDER + ": " + std::strerror(errno));
        return "";
    }
    std::tm local{};
    localtime_r(&when, &local);
    // A new file under the first free name ("x": never one that exists).
    std::string path;
    std::FILE* f = nullptr;
    for (int copy = 1; copy <= MOST_COPIES && !f; ++copy) {
        path = std::string(SCREENSHOT_FOLDER) + "/" + screenshot_name(local, copy);
        f = open_game_file(path, "wbx");
        if (!f && errno != EEXIST) break;
    }
    if (!f) {
        say(error, "cannot write " + path + ": " + std::strerror(errno));
        return "";
    }
    std::string why;
    const bool written = write_png(f, pixels, w, h, why);
    const bool flushed = std::fflush(f) == 0 && !std::ferror(f);
    if (std::fclose(f) != 0 || !written || !flushed) {
        std::remove(path.c_str());
        say(error, "cannot write " + path + (why.empty() ? "" : ": " + why));
        return "";
    }
    return path;
}

}  // namespace valmoren
