// Drawing on the work page: put modes and clipping, coordinate rounding,
// lines and boxes, and showing frames.
#include <gtest/gtest.h>

#include <cstdlib>
#include <random>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/screen.h"

using namespace valmoren;

namespace {

uint32_t at(int x, int y) { return page_pixels(work_page())[y * SCREEN_W + x]; }

Image solid(int w, int h, uint32_t colour) {
    Image img;
    img.w = static_cast<uint16_t>(w);
    img.h = static_cast<uint16_t>(h);
    img.pixels.assign(static_cast<size_t>(w) * h, colour);
    return img;
}

// An image whose pixel at column x, row y is (y << 8) | x + 1, so a wrong
// source offset shows up as a wrong value.
Image numbered(int w, int h) {
    Image img = solid(w, h, 0);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) img.pixels[y * w + x] = static_cast<uint32_t>(y << 8 | (x + 1));
    return img;
}

long count_not(uint32_t colour) {
    long n = 0;
    const uint32_t* p = page_pixels(work_page());
    for (int i = 0; i < SCREEN_W * SCREEN_H; ++i) n += p[i] != colour;
    return n;
}

}  // namespace

TEST(Screen, RoundsHalvesAwayFromZero) {
    const struct { double in; int out; } cases[] = {
        {2.5, 3}, {-2.5, -3}, {2.4999, 2}, {-0.5, -1}, {0.5, 1}, {0.49, 0}, {639.5, 640}, {-1e300, -(1 << 30)},
    };
    for (auto c : cases) EXPECT_EQ(round_coord(c.in), c.out) << c.in;
}

TEST(Screen, PutClipsAtEveryEdge) {
    headless_reset();
    const Image img = numbered(20, 10);

    put(-10, 5, img, PUT_OPAQUE);  // only columns 10.. of the picture show
    EXPECT_EQ(at(0, 5), img.pixels[10]);
    EXPECT_EQ(at(9, 14), img.pixels[9 * 20 + 19]);
    EXPECT_EQ(at(10, 5), 0u);
    EXPECT_EQ(count_not(0), 10 * 10);

    clear();
    put(700, 5, img, PUT_OPAQUE);
    put(5, -10, img, PUT_TRANSPARENT);
    put(5, 480, img, PUT_XOR);
    put(-20, 0, img, PUT_ALPHA, 128);
    EXPECT_EQ(count_not(0), 0);

    clear();
    put(630, 475, img, PUT_TRANSPARENT);  // bottom-right corner: 10 x 5 visible
    EXPECT_EQ(count_not(0), 10 * 5);
    EXPECT_EQ(at(639, 479), img.pixels[4 * 20 + 9]);

    clear();
    put(-2.5, -2.5, img, PUT_OPAQUE);  // rounds to (-3, -3)
    EXPECT_EQ(at(0, 0), img.pixels[3 * 20 + 3]);

    Image empty;
    put(0, 0, empty, PUT_OPAQUE);
    Image lying = solid(4, 4, 0x123456);
    lying.pixels.resize(3);  // claims more pixels than it holds: not drawn
    put(0, 0, lying, PUT_OPAQUE);
    EXPECT_EQ(at(0, 0), img.pixels[3 * 20 + 3]);
}

TEST(Screen, TransparentSkipsOnlyExactMagenta) {
    headless_reset();
    clear();
    line(0, 0, 3, 0, 0x112233, SHAPE_LINE);
    Image img = solid(4, 1, 0);
    img.pixels = {0xFF00FF, 0xFE00FF, 0x7FFF00FF, 0xAB000001};
    put(0, 0, img, PUT_TRANSPARENT);
    EXPECT_EQ(at(0, 0), 0x112233u);  // key colour skipped
    EXPECT_EQ(at(1, 0), 0xFE00FFu);  // a near-magenta is drawn
    EXPECT_EQ(at(2, 0), 0x112233u);  // only the low 24 bits are compared
    EXPECT_EQ(at(3, 0), 0x000001u);  // top byte cleared
}

TEST(Screen, ExclusiveOrTwiceRestoresThePage) {
    headless_reset();
    const Image back = numbered(50, 40);
    const Image sprite = solid(30, 30, 0x00F0F0F0);
    put(0, 0, back, PUT_OPAQUE);
    put(10, 10, sprite, PUT_XOR);
    EXPECT_EQ(at(10, 10), back.pixels[10 * 50 + 10] ^ 0xF0F0F0u);
    EXPECT_EQ(at(9, 9), back.pixels[9 * 50 + 9]);
    put(10, 10, sprite, PUT_XOR);
    for (int y = 0; y < 40; ++y)
        for (int x = 0; x < 50; ++x) ASSERT_EQ(at(x, y), back.pixels[y * 50 + x]) << x << "," << y;
}

TEST(Screen, AlphaLevels) {
    headless_reset();
    Image src = solid(2, 1, 0xFF80FF);
    src.pixels[1] = KEY_COLOUR;
    const Image grey = solid(2, 1, 0x404040);

    const struct { int level; uint32_t expect; } cases[] = {
        {0, 0x404040},    // nothing drawn
        {255, 0xFF80FF},  // plain transparent put
        // 0x40 + ((0xFF - 0x40) * 129) / 256 = 0xA0; green 0x40 + (0x40 * 129) / 256 = 0x60
        {128, 0xA060A0},
        // one step: (0xBF * 2) / 256 = 1; green (0x40 * 2) / 256 = 0
        {1, 0x414041},
    };
    for (auto c : cases) {
        put(0, 0, grey, PUT_OPAQUE);
        put(0, 0, src, PUT_ALPHA, c.level);
        EXPECT_EQ(at(0, 0), c.expect) << "level " << c.level;
        EXPECT_EQ(at(1, 0), 0x404040u) << "magenta skipped at level " << c.level;
    }
    // Moving down towards a darker picture rounds towards the darker side.
    put(0, 0, solid(1, 1, 0xFFFFFF), PUT_OPAQUE);
    put(0, 0, solid(1, 1, 0x000000), PUT_ALPHA, 127);
    EXPECT_EQ(at(0, 0), 0x7F7F7Fu);  // 255 + floor(-255 * 128 / 256) = 127
}

TEST(Screen, LinesIncludeBothEndsAndBoxes) {
    headless_reset();
    line(10, 10, 20, 15, 0xFF0000, SHAPE_LINE);
    EXPECT_EQ(at(10, 10), 0xFF0000u);
    EXPECT_EQ(at(20, 15), 0xFF0000u);
    EXPECT_EQ(count_not(0), 11);  // one pixel per step of the longer axis

    clear();
    line(5, 40, 5, 30, 0x00FF00, SHAPE_LINE);  // drawn upwards
    EXPECT_EQ(count_not(0), 11);
    EXPECT_EQ(at(5, 30), 0x00FF00u);
    EXPECT_EQ(at(5, 40), 0x00FF00u);

    clear();
    line(30, 20, 10, 10, 0x0000FF, SHAPE_BOX);  // corners in any order
    EXPECT_EQ(count_not(0), 2 * 21 + 2 * 9);
    EXPECT_EQ(at(10, 10), 0x0000FFu);
    EXPECT_EQ(at(30, 20), 0x0000FFu);
    EXPECT_EQ(at(20, 15), 0u);

    clear();
    line(10, 10, 30, 20, 0x0000FF, SHAPE_FILLED_BOX);
    EXPECT_EQ(count_not(0), 21 * 11);

    clear();
    line(-100, -100, 1000, 1000, 0xFFFFFF, SHAPE_FILLED_BOX);
    EXPECT_EQ(count_not(0xFFFFFF), 0);

    clear();
    // A diagonal from far off screen crosses it exactly on its pixels.
    line(-1000000, -1000000, 1000000, 1000000, 0xFFFFFF, SHAPE_LINE);
    EXPECT_EQ(count_not(0), 480);
    EXPECT_EQ(at(479, 479), 0xFFFFFFu);
    line(-5, 3, 700, 3, 0x00FF00, SHAPE_BOX);  // a flat box is one row
    EXPECT_EQ(at(0, 3), 0x00FF00u);
    EXPECT_EQ(at(639, 3), 0x00FF00u);
}

// Every line covers, for each step along its longer axis, the pixel whose
// shorter-axis offset is the exact one rounded half up: lines of every slope
// and direction, ends on and far off the screen, against that rule pixel by
// pixel.
TEST(Screen, LinesCoverTheRoundedPixelAtEveryStep) {
    std::mt19937 rng(20261208);
    std::uniform_int_distribution<int> near(-40, 680), far(-3000, 3600);
    for (int n = 0; n < 400; ++n) {
        headless_reset();
        auto pick = [&](bool wide) { return wide ? far(rng) : near(rng); };
        const bool wide = n % 3 == 0;
        const long long x1 = pick(wide), y1 = pick(wide) * 3 / 4, x2 = pick(wide), y2 = pick(wide) * 3 / 4;
        line(double(x1), double(y1), double(x2), double(y2), 0xFFFFFF, SHAPE_LINE);
        std::vector<uint8_t> expected(SCREEN_W * SCREEN_H, 0);
        const long long dx = x2 - x1, dy = y2 - y1;
        const long long major = std::max(std::llabs(dx), std::llabs(dy));
        for (long long i = 0; i <= major; ++i) {
            // Offset along the shorter axis: i * minor / major, rounded half up.
            auto along = [&](long long d) {
                if (major == 0) return 0LL;
                const long long q = (2 * i * std::llabs(d) + major) / (2 * major);
                return d >= 0 ? q : -q;
            };
            const long long x = std::llabs(dx) == major ? x1 + (dx >= 0 ? i : -i) : x1 + along(dx);
            const long long y = std::llabs(dx) == major ? y1 + along(dy) : y1 + (dy >= 0 ? i : -i);
            if (x >= 0 && x < SCREEN_W && y >= 0 && y < SCREEN_H) expected[y * SCREEN_W + x] = 1;
        }
        const uint32_t* page = page_pixels(work_page());
        int wrong = -1;
        for (int p = 0; p < SCREEN_W * SCREEN_H && wrong < 0; ++p)
            if ((page[p] != 0) != (expected[p] != 0)) wrong = p;
        ASSERT_EQ(wrong, -1) << "line " << x1 << "," << y1 << " to " << x2 << "," << y2 << " at "
                             << wrong % SCREEN_W << "," << wrong / SCREEN_W;
    }
}

TEST(Screen, PlotAndClearStayOnTheScreen) {
    headless_reset();
    plot(-1, 0, 0xFFFFFF);
    plot(640, 0, 0xFFFFFF);
    plot(0, 480, 0xFFFFFF);
    plot(0, -0.6, 0xFFFFFF);
    EXPECT_EQ(count_not(0), 0);
    plot(639.4, 479.4, 0xFF123456);
    EXPECT_EQ(at(639, 479), 0x123456u);

    set_colours(0x000000, 0xFFFFFF);
    clear();
    EXPECT_EQ(count_not(0xFFFFFF), 0);
    set_colours(0xFFFFFF, 0x000000);
}

TEST(Screen, ShowFrameCopiesTheWorkPageAndPagesSwitch) {
    headless_reset();
    EXPECT_EQ(work_page(), 1);
    EXPECT_EQ(visible_page(), 0);
    plot(3, 4, 0xABCDEF);
    EXPECT_EQ(headless_pixel(3, 4), 0u);  // not seen before the frame is shown
    const long before = headless_frames_shown();
    show_frame();
    EXPECT_EQ(headless_frames_shown(), before + 1);
    EXPECT_EQ(headless_pixel(3, 4), 0xABCDEFu);
    EXPECT_EQ(at(3, 4), 0xABCDEFu);  // the work page still holds the shown picture

    // Drawing on without a clear adds to the picture shown.
    plot(6, 6, 0x123456);
    show_frame();
    EXPECT_EQ(headless_pixel(3, 4), 0xABCDEFu);
    EXPECT_EQ(headless_pixel(6, 6), 0x123456u);
    // A clear with nothing drawn after it is shown as the background alone,
    // and the work page reads as cleared.
    set_colours(0x000000, 0xFFFFFF);
    clear();
    show_frame();
    EXPECT_EQ(headless_pixel(3, 4), 0xFFFFFFu);
    EXPECT_EQ(count_not(0xFFFFFF), 0);
    clear();
    plot(1, 1, 0xFF0000);
    EXPECT_EQ(count_not(0xFFFFFF), 1);
    EXPECT_EQ(headless_pixel(6, 6), 0xFFFFFFu);  // the shown page untouched by the work page's drawing
    set_colours(0xFFFFFF, 0x000000);

    set_pages(0, -1);  // drawing straight onto the visible page
    EXPECT_EQ(work_page(), 0);
    EXPECT_EQ(visible_page(), 0);
    plot(5, 5, 0x00FF00);
    EXPECT_EQ(headless_pixel(5, 5), 0x00FF00u);
    set_pages(7, 1);  // a page that does not exist is ignored
    EXPECT_EQ(work_page(), 0);
    EXPECT_EQ(visible_page(), 1);
    set_pages(1, 0);
}
