// Screenshots: the page written as a PNG that decodes to exactly its pixels,
// names that never meet, and a folder that cannot take the picture.
#include <gtest/gtest.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <filesystem>
#include <fstream>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/screen.h"
#include "platform/screenshot.h"
#include "png_support.h"

namespace valmoren {
namespace {

namespace fs = std::filesystem;
using testing_support::decode_png;

std::tm moment(int hour, int minute, int second) {
    std::tm t{};
    t.tm_year = 2025 - 1900;
    t.tm_mon = 4;
    t.tm_mday = 20;
    t.tm_hour = hour;
    t.tm_min = minute;
    t.tm_sec = second;
    return t;
}

TEST(Screenshot, TheFileDecodesToThePageAndNoPictureOverwritesAnother) {
    headless_reset();
    headless_enter_temp_folder("screenshot");
    // Every pixel its own colour, in all three channels.
    std::vector<uint32_t> page(SCREEN_W * SCREEN_H);
    for (size_t i = 0; i < page.size(); ++i) page[i] = static_cast<uint32_t>((i * 2654435761u) & 0xFFFFFFu);
    const std::time_t when = 1747749787;  // one second, twice

    std::string error;
    const std::string first = save_screenshot(page.data(), SCREEN_W, SCREEN_H, when, &error);
    ASSERT_FALSE(first.empty()) << error;
    EXPECT_EQ(fs::path(first).parent_path(), "screenshots");
    int w = 0, h = 0;
    EXPECT_EQ(decode_png(first, w, h), page);
    EXPECT_EQ(w, SCREEN_W);
    EXPECT_EQ(h, SCREEN_H);

    // The same second again: a second file; the first is left as it was.
    std::vector<uint32_t> other(page.size(), 0x123456);
    const std::string second = save_screenshot(other.data(), SCREEN_W, SCREEN_H, when);
    ASSERT_FALSE(second.empty());
    EXPECT_NE(second, first);
    EXPECT_EQ(decode_png(first, w, h), page);
    EXPECT_EQ(decode_png(second, w, h), other);
    EXPECT_EQ(std::distance(fs::directory_iterator("screenshots"), fs::directory_iterator{}), 2);

    // Names tell the date and time and sort in the order the pictures were taken.
    const std::string a = screenshot_name(moment(9, 5, 7), 1);
    EXPECT_EQ(a, "valmoren_2025-05-20_09-05-07.png");
    const std::string names[] = {a, screenshot_name(moment(9, 5, 7), 2), screenshot_name(moment(9, 5, 7), 10),
                                 screenshot_name(moment(9, 5, 8), 1), screenshot_name(moment(10, 0, 0), 1)};
    for (size_t i = 1; i < std::size(names); ++i) EXPECT_LT(names[i - 1], names[i]);
}

TEST(Screenshot, NothingIsWrittenWhereThePictureCannotGo) {
    headless_reset();
    headless_enter_temp_folder("screenshot-blocked");
    std::vector<uint32_t> page(SCREEN_W * SCREEN_H, 0xFFFFFF);
    std::string error;
    EXPECT_EQ(save_screenshot(nullptr, SCREEN_W, SCREEN_H, 0, &error), "");
    EXPECT_FALSE(error.empty());

    // A file where the folder should be: no picture, no crash, the file kept.
    { std::ofstream("screenshots") << "mine"; }
    error.clear();
    EXPECT_EQ(save_screenshot(page.data(), SCREEN_W, SCREEN_H, 0, &error), "");
    EXPECT_FALSE(error.empty());
    EXPECT_EQ(fs::file_size("screenshots"), 4u);

#ifndef _WIN32
    // A folder nobody may write to (only meaningful for a user other than root).
    fs::remove("screenshots");
    fs::create_directory("screenshots");
    fs::permissions("screenshots", fs::perms::owner_read | fs::perms::owner_exec);
    if (geteuid() != 0) {
        EXPECT_EQ(save_screenshot(page.data(), SCREEN_W, SCREEN_H, 0, &error), "");
        EXPECT_TRUE(fs::is_empty("screenshots"));
    }
    fs::permissions("screenshots", fs::perms::owner_all);
#endif
}

}  // namespace
}  // namespace valmoren
