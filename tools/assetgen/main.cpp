// main.cpp -- assetgen: writes the game's data into the run folder given as
// the first argument; `assetgen --sheet DIR OUT.png` renders the review sheet;
// `assetgen --sound-report DIR` prints the table of the sounds;
// `assetgen --icons DIR NAME` writes the desktop icons as DIR/NxN/apps/NAME.png;
// `assetgen --web-icons DIR` writes the browser page's icons as DIR/icon-N.png,
// `assetgen --windows-icons DIR` the Windows program's icon images likewise.
#include <cstdio>
#include <cstring>
#include <filesystem>

#include "assetgen.h"

int main(int argc, char** argv) {
    using namespace valmoren::assetgen;
    if (argc == 4 && std::strcmp(argv[1], "--sheet") == 0) {
        return write_sheet(argv[2], argv[3]) ? 0 : 1;
    }
    if (argc == 3 && std::strcmp(argv[1], "--sound-report") == 0) {
        return write_sound_report(argv[2]) ? 0 : 1;
    }
    if (argc == 4 && std::strcmp(argv[1], "--icons") == 0) {
        return write_icons(argv[2], argv[3]) ? 0 : 1;
    }
    if (argc == 3 && std::strcmp(argv[1], "--web-icons") == 0) {
        return write_web_icons(argv[2]) ? 0 : 1;
    }
    if (argc == 3 && std::strcmp(argv[1], "--windows-icons") == 0) {
        return write_windows_icons(argv[2]) ? 0 : 1;
    }
    if (argc != 2) {
        std::fprintf(stderr,
                     "usage: assetgen RUN_FOLDER | assetgen --sheet RUN_FOLDER OUT.png |"
                     " assetgen --sound-report RUN_FOLDER | assetgen --icons DIR NAME |"
                     " assetgen --web-icons DIR | assetgen --windows-icons DIR\n");
        return 2;
    }
    const std::string dir = argv[1];
    std::filesystem::create_directories(dir + "/img/rotate");
    std::filesystem::create_directories(dir + "/sounds");
    write_pictures(dir);
    write_sounds(dir);
    write_story(dir);
    return 0;
}
