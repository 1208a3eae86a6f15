// Tests of the start-up: the full-screen setting from the third line of
// "options.dat", and the steps before the logo.
#include <gtest/gtest.h>

#include <fstream>

#include "flow/flow.h"
#include "platform/headless/headless.h"
#include "platform/input.h"
#include "platform/screen.h"
#include "state/game_state.h"

using namespace valmoren;

namespace {

struct StartUpTest : ::testing::Test {
    void SetUp() override {
        headless_reset();
        g = GameState{};
        headless_enter_temp_folder("startup");
    }
    void TearDown() override { headless_reset(); }
};

void write_options(const std::string& bytes) {
    std::ofstream f("options.dat", std::ios::binary);
    f << bytes;
}

}  // namespace

TEST_F(StartUpTest, OnlyAThirdLineOfExactlyOneOpensFullScreen) {
    struct Case {
        const char* bytes;
        int full;
    } cases[] = {
        {"0\r\n0\r\n1\r\n", 1},
        {"1\n1\n1", 1},            // last line without a line end still counts
        {"0\r0\r1\r", 1},          // CR alone ends a line too
        {"0\r\n0\r\n1 \r\n", 0},   // a trailing blank is not "1"
        {"0\r\n0\r\n0\r\n", 0},
        {"1\r\n1\r\n\r\n", 0},     // empty third line
        {"1\r\n1\r\n", 0},         // fewer than three lines
        {"", 0},
    };
    for (const Case& c : cases) {
        write_options(c.bytes);
        EXPECT_EQ(read_full_screen_setting(), c.full) << "options file: " << ::testing::PrintToString(std::string(c.bytes));
    }
    std::remove("options.dat");
    EXPECT_EQ(read_full_screen_setting(), 0) << "missing file";
}

TEST_F(StartUpTest, StartUpOpensTheScreenAndWaitsASecondThatAKeyCuts) {
    write_options("1\r\n0\r\n1\r\n");
    start_up();
    EXPECT_EQ(headless_full_screen(), 1);
    EXPECT_EQ(headless_caption(), "Valmoren");
    EXPECT_EQ(work_page(), 1);
    EXPECT_EQ(visible_page(), 0);
    EXPECT_EQ(headless_mouse_visible(), 0);
    EXPECT_GE(headless_time(), 1.0);
    EXPECT_LT(headless_time(), 1.1);
    EXPECT_EQ(g.music_on, 1);  // start-up leaves the game state alone
}

TEST_F(StartUpTest, AKeyPressCutsTheFirstSecondShortAndAMissingFileMeansAWindow) {
    headless_set_player([] { headless_tap(KEY_SPACE); });
    start_up();
    EXPECT_EQ(headless_full_screen(), 0);
    EXPECT_LT(headless_time(), 0.1);
}
