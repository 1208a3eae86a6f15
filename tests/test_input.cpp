// Keys, mouse, waits, frame pacing and random numbers on the headless
// backend's virtual clock.
#include <gtest/gtest.h>

#include <algorithm>
#include <limits>

#include "platform/headless/headless.h"
#include "platform/input.h"
#include "platform/screen.h"

using namespace valmoren;

namespace {

constexpr double STEP = HEADLESS_CLOCK_STEP;

// How much virtual time `body` takes.
template <typename F>
double time_of(F body) {
    const double start = headless_time();
    body();
    return headless_time() - start;
}

}  // namespace

TEST(Input, KeyTableAndPressFlag) {
    headless_reset();
    EXPECT_FALSE(key_down(KEY_LEFT));
    headless_press(KEY_LEFT);
    EXPECT_TRUE(key_down(KEY_LEFT));
    EXPECT_FALSE(key_down(KEY_RIGHT));
    headless_release(KEY_LEFT);
    EXPECT_FALSE(key_down(KEY_LEFT));
    EXPECT_TRUE(take_key_press());  // the press is remembered after the key is up
    EXPECT_FALSE(take_key_press());

    key_event(500, true);  // a key outside the table still counts as a press
    key_event(-3, true);
    EXPECT_FALSE(key_down(-3));
    EXPECT_FALSE(key_down(128));
    EXPECT_TRUE(take_key_press());

    // The window losing the focus lets go of every key, but a press no wait
    // has looked at yet still counts.
    headless_press(KEY_SPACE);
    release_all_keys();
    EXPECT_FALSE(key_down(KEY_SPACE));
    EXPECT_TRUE(take_key_press());
    EXPECT_FALSE(take_key_press());
}

TEST(Input, MouseInsideAndOutside) {
    headless_reset();
    int32_t x, y, wheel, buttons;
    headless_set_mouse(10, 20, 1);
    EXPECT_TRUE(get_mouse(x, y, wheel, buttons));
    EXPECT_EQ(x, 10);
    EXPECT_EQ(y, 20);
    EXPECT_EQ(buttons, 1);
    headless_mouse_outside();
    EXPECT_FALSE(get_mouse(x, y, wheel, buttons));
    EXPECT_EQ(x, -1);
    EXPECT_EQ(y, -1);
    EXPECT_EQ(wheel, -1);
    EXPECT_EQ(buttons, -1);
}

TEST(Input, WaitsAndKeys) {
    headless_reset();
    // No key: the long wait runs its full second.
    EXPECT_NEAR(time_of([] { wait(1000); }), 1.0, 1e-9);

    // A key pressed during the wait ends it at the next 50 ms look.
    int looks = 0;
    bool seen_as_key_wait = false;
    headless_set_player([&] {
        seen_as_key_wait = headless_waiting_for_key();
        if (++looks == 4) headless_tap(KEY_ENTER);
    });
    EXPECT_NEAR(time_of([] { wait(1000); }), 0.150, 1e-9);
    EXPECT_TRUE(seen_as_key_wait);

    // wait(-1) waits for a key however long it takes.
    looks = 0;
    EXPECT_NEAR(time_of([] { wait(-1); }), 0.150, 1e-9);
    headless_set_player(nullptr);

    // A key pressed before wait(-1) and not yet looked at ends it at once.
    headless_tap(KEY_Y);
    EXPECT_EQ(time_of([] { wait(-1); }), 0.0);
    headless_tap(KEY_Y);
    EXPECT_EQ(time_of([] { wait(500); }), 0.0);

    // Short waits ignore keys and leave the flag for the next key wait.
    headless_tap(KEY_N);
    EXPECT_NEAR(time_of([] { wait(50); }), 0.050, 1e-9);
    EXPECT_NEAR(time_of([] { wait(99); }), 0.099, 1e-9);
    EXPECT_NEAR(time_of([] { wait(100); }), 0.0, 1e-9);  // the old press ends it
    EXPECT_EQ(time_of([] { wait(0); }), 0.0);
    EXPECT_EQ(time_of([] { wait(-2); }), 0.0);
    EXPECT_NEAR(time_of([] { wait(120); }), 0.120, 1e-9);  // 50 + 50 + 20
}

TEST(Input, FramePacingHoldsShortFramesOnly) {
    headless_reset();
    EXPECT_EQ(current_fps(), 0);
    set_target_fps(60);

    frame_begin();
    const double start = headless_time();
    headless_advance(0.002);  // a quick frame
    frame_limit();
    const double held = headless_time() - start;
    EXPECT_GE(held, 1.0 / 60);
    EXPECT_LT(held, 1.0 / 60 + 2 * STEP);
    // A window rests until just before the frame's end instead of spinning.
    EXPECT_DOUBLE_EQ(headless_last_rest(), start + 1.0 / 60);
    frame_end();
    EXPECT_EQ(current_fps(), 1);  // published at the end of the very first frame
    EXPECT_NEAR(last_frame_duration(), held, 2 * STEP);

    frame_begin();
    headless_advance(0.030);  // a slow frame is not held
    EXPECT_LE(time_of([] { frame_limit(); }), 2 * STEP);
    frame_end();
    EXPECT_EQ(current_fps(), 1);

    // About a second of paced frames publishes about sixty.
    int frames = 0;
    const double from = headless_time();
    while (headless_time() - from < 1.05) {
        frame_begin();
        frame_limit();
        frame_end();
        ++frames;
    }
    EXPECT_GE(current_fps(), 58);
    EXPECT_LE(current_fps(), 61);
    EXPECT_GE(frames, 60);

    // No target: no holding at all.
    set_target_fps(0);
    frame_begin();
    EXPECT_LE(time_of([] { frame_limit(); }), STEP);
    reset_frame_pacing();
    EXPECT_EQ(current_fps(), 0);
}

// The levels' short pauses rest, then poll the clock: they end on the first
// look past their moment, exactly as a loop of looks alone would.
TEST(Input, ClockWaitsRestThenEndOnTheirMoment) {
    headless_reset();
    headless_advance(2.0);
    wait_until(2.5);
    EXPECT_DOUBLE_EQ(headless_last_rest(), 2.5);
    EXPECT_GT(headless_time(), 2.5);
    EXPECT_LE(headless_time(), 2.5 + STEP);
    // A moment already past: one look.
    const double before = headless_time();
    wait_until(1.0);
    EXPECT_NEAR(headless_time() - before, STEP, 1e-12);
}

// Only a page that ends a frame held by frame_limit is handed over as a paced
// frame; a menu's retrace-and-show loop right after one is not.
TEST(Input, PacedFramesMarkedForTheWindow) {
    headless_reset();
    set_target_fps(60);
    frame_begin();
    frame_limit();
    show_frame();
    frame_end();
    EXPECT_EQ(headless_paced_presents(), 1);
    for (int i = 0; i < 3; ++i) {
        wait_retrace();
        show_frame();
    }
    EXPECT_EQ(headless_paced_presents(), 1);
    set_target_fps(0);  // a frame with no target is still the end of a level frame
    frame_begin();
    frame_limit();
    show_frame();
    EXPECT_EQ(headless_paced_presents(), 2);
    EXPECT_EQ(headless_frames_shown(), 5);
}

TEST(Input, RandomNumbers) {
    headless_reset();
    randomize(12345.75);
    const double first = valmoren::random();
    randomize(12345.0);  // only the whole part of the seed counts
    EXPECT_EQ(valmoren::random(), first);
    randomize(12346.0);
    EXPECT_NE(valmoren::random(), first);
    randomize(-1e300);  // any clock reading is a usable seed
    randomize(std::numeric_limits<double>::quiet_NaN());

    // Whole parts of random() * n spread evenly over 0..n-1 and never reach n.
    randomize(7);
    constexpr int N = 10;
    constexpr int DRAWS = 200000;
    int counts[N] = {};
    double highest = 0;
    for (int i = 0; i < DRAWS; ++i) {
        const double r = valmoren::random();
        ASSERT_GE(r, 0.0);
        ASSERT_LT(r, 1.0);
        highest = std::max(highest, r);
        ++counts[static_cast<int>(r * N)];
    }
    for (int c : counts) EXPECT_NEAR(c, DRAWS / N, DRAWS / N / 20);
    EXPECT_EQ(highest, 32767.0 / 32768.0);  // the top of the 15-bit range is reached
    int low_bit = 0;
    for (int i = 0; i < 1000; ++i) low_bit += random_raw() & 1;
    EXPECT_NEAR(low_bit, 500, 80);  // even the lowest bit is not stuck
}
