// Tests of the headless backend itself: the virtual clock, the scripted
// player, the program's end, page dumps and the pull-driven sound device.
#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "platform/headless/headless.h"
#include "platform/input.h"
#include "platform/screen.h"

using namespace valmoren;

namespace {

struct HeadlessTest : ::testing::Test {
    void SetUp() override { headless_reset(); }
    void TearDown() override { headless_reset(); }
};

}  // namespace

TEST_F(HeadlessTest, ClockRunsOnEveryLookAndRetraceLandsOnTheNextTick) {
    const double a = seconds();
    const double b = seconds();
    EXPECT_GT(b, a);
    EXPECT_NEAR(b - a, HEADLESS_CLOCK_STEP, 1e-9);

    headless_advance(0.010);
    wait_retrace();
    EXPECT_NEAR(headless_time(), 1.0 / 60.0, 1e-9);
    wait_retrace();  // exactly on a tick: waits a whole tick more
    EXPECT_NEAR(headless_time(), 2.0 / 60.0, 1e-9);

    wait(50);  // a sleep jumps the clock
    EXPECT_NEAR(headless_time(), 2.0 / 60.0 + 0.050, 1e-6);
}

TEST_F(HeadlessTest, PlayerActsBeforeFramesAndKeyWaitsAndCanTellThemApart) {
    int frames = 0, key_waits = 0;
    headless_set_player([&] {
        if (headless_waiting_for_key()) {
            ++key_waits;
            if (key_waits == 3) headless_tap(KEY_ENTER);
        } else {
            ++frames;
        }
    });
    show_frame();
    show_frame();
    EXPECT_EQ(frames, 2);
    EXPECT_EQ(headless_frames_shown(), 2);
    EXPECT_FALSE(headless_waiting_for_key());

    const double before = headless_time();
    wait(-1);  // ends on the third look, when the player taps Enter
    EXPECT_EQ(key_waits, 3);
    EXPECT_GE(headless_time() - before, 0.099);  // two 50 ms sleeps went by
    EXPECT_FALSE(key_down(KEY_ENTER));          // a tap leaves only the press flag
}

TEST_F(HeadlessTest, ProgramEndIsCaughtWithItsStatus) {
    EXPECT_EQ(headless_run_program([] { end_program(0); }), 0);
    EXPECT_EQ(headless_run_program([] { end_program(1); }), 1);
    EXPECT_EQ(headless_run_program([] {}), -1);
}

TEST_F(HeadlessTest, BmpDumpOfTheVisiblePageLoadsBackPixelForPixel) {
    const std::string dir = headless_enter_temp_folder("dump");
    clear();
    line(10, 10, 200, 120, 0x12AB34, SHAPE_FILLED_BOX);
    plot(639, 479, 0xFFFFFF);
    show_frame();
    ASSERT_TRUE(headless_save_bmp("page.bmp"));
    ASSERT_TRUE(headless_save_png("page.png"));
    EXPECT_GT(std::filesystem::file_size("page.png"), 640u * 480u * 3u);

    Image back;
    ASSERT_EQ(load_bmp("page.bmp", back), 0);
    ASSERT_EQ(back.w, SCREEN_W);
    ASSERT_EQ(back.h, SCREEN_H);
    const uint32_t* page = headless_visible_page();
    int differ = 0;
    for (size_t i = 0; i < back.pixels.size(); ++i) differ += back.pixels[i] != page[i];
    EXPECT_EQ(differ, 0);
    EXPECT_EQ(headless_pixel(50, 50), 0x12AB34u);
    EXPECT_EQ(headless_pixel(639, 479), 0xFFFFFFu);
}

namespace {
long pulled_frames = 0;
void count_pull(int16_t* out, int frames) {
    for (int i = 0; i < frames * 2; ++i) out[i] = 1000;
    pulled_frames += frames;
}
}  // namespace

TEST_F(HeadlessTest, SoundDeviceIsPulledAsVirtualTimePasses) {
    pulled_frames = 0;
    headless_audio_set_fail(true);
    EXPECT_FALSE(open_sound_device(count_pull));
    headless_audio_set_fail(false);
    ASSERT_TRUE(open_sound_device(count_pull));
    headless_audio_record(true);
    wait(1000);
    const auto& heard = headless_audio_recorded();
    EXPECT_NEAR(static_cast<double>(pulled_frames), 44100.0, 600.0);
    EXPECT_EQ(heard.size(), static_cast<size_t>(pulled_frames) * 2);
    EXPECT_EQ(headless_audio_pull(10).size(), 20u);
    close_sound_device();
    EXPECT_FALSE(headless_audio_is_open());
}
