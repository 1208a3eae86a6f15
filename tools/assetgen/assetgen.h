// assetgen.h -- the build-time generator of the game's data: pictures, sound
// effects, music and story captions, written into the run folder.
#pragma once

#include <string>

namespace valmoren::assetgen {

// Each writes its files under `dir` (the run folder): img/..., sounds/..., suget.dat.
// Output is the same bytes on every run.
void write_pictures(const std::string& dir);
void write_sounds(const std::string& dir);
void write_story(const std::string& dir);

// The sizes of the game's icon installed in the desktop's icon theme.
constexpr int ICON_SIZES[] = {32, 48, 64, 128, 256};

// Writes dir/NxN/apps/<name>.png for each of ICON_SIZES (transparent outside
// the rounded square); false when one cannot be written.
bool write_icons(const std::string& dir, const std::string& name);
// Writes dir/icon-N.png for each of WEB_ICON_SIZES, the browser page's icons
// (its web app manifest and the home screen), and dir/icon-maskable-N.png at
// WEB_MASKABLE_ICON_SIZE, the one a home screen may cut to its own shape.
constexpr int WEB_ICON_SIZES[] = {192, 512};
constexpr int WEB_MASKABLE_ICON_SIZE = 512;
bool write_web_icons(const std::string& dir);
// Writes dir/icon-N.png for each of WINDOWS_ICON_SIZES, the images of the
// Windows program's icon: the title bar, the taskbar and Explorer's views
// each take the size they need at 100 to 250 % display scaling, drawn rather
// than shrunk from a larger one.
constexpr int WINDOWS_ICON_SIZES[] = {16, 20, 24, 32, 40, 48, 64, 256};
bool write_windows_icons(const std::string& dir);

// Renders every picture under dir/img side by side at 2x into one PNG for review.
bool write_sheet(const std::string& dir, const std::string& png_path);

// Prints a table of every sound under dir/sounds: loudness, peaks, tone, size.
// False when a sound is missing or unreadable.
bool write_sound_report(const std::string& dir);

}  // namespace valmoren::assetgen
