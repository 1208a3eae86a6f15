// The star field's scrolling and wrap, and the status display checked on the
// page: energy bar segments, HUD text cells, fuel gauge and charge bar.
#include <gtest/gtest.h>

#include <string>

#include "play/play.h"
#include "play_support.h"
#include "state/game_state.h"

using namespace valmoren;
using namespace valmoren::testing_support;

namespace {

constexpr uint32_t MARK = 0x00FF00;

// Base tile: dark blue with a green top-left pixel; top layer: all magenta so
// only the base shows.
void marked_tiles() {
    g.img_backg = solid_image(200, 200, 0x000010);
    g.img_backg.pixels[0] = MARK;
    g.img_backg2 = solid_image(200, 200, KEY_COLOUR);
}

}  // namespace

TEST(Background, ScrollWrapsWithoutAJump) {
    fresh_game("bg_wrap");
    marked_tiles();

    // Style 2 at 798: becomes 800, base rows at y = 0, 200, 400.
    g.bg_scroll = 798;
    clear();
    draw_background(2);
    EXPECT_EQ(g.bg_scroll, 800);
    EXPECT_EQ(work_pixel(0, 0), MARK);
    EXPECT_EQ(work_pixel(200, 400), MARK);
    EXPECT_EQ(work_pixel(0, 1), 0x000010u);
    // Next call: 802 > 800 wraps to 0, rows at -800 .. 600: the same tiling.
    clear();
    draw_background(2);
    EXPECT_EQ(g.bg_scroll, 0);
    EXPECT_EQ(work_pixel(0, 0), MARK);
    EXPECT_EQ(work_pixel(400, 200), MARK);

    // Style 3 at bg_scroll2 = 1000 wraps to 0; the base moves to the right.
    g.bg_scroll = 10;
    g.bg_scroll2 = 1000;
    clear();
    draw_background(3);
    EXPECT_EQ(g.bg_scroll2, 0);
    EXPECT_EQ(g.bg_scroll, 12);
    EXPECT_EQ(work_pixel(12, 0), MARK);
    EXPECT_EQ(work_pixel(212, 200), MARK);
    EXPECT_NE(work_pixel(0, 0), MARK);

    // Style 0: a still grid from the corner; the scroll is left alone.
    g.bg_scroll = 300;
    g.bg_scroll2 = 500;
    clear();
    draw_background(0);
    EXPECT_EQ(g.bg_scroll, 300);
    EXPECT_EQ(g.bg_scroll2, 500);
    EXPECT_EQ(work_pixel(0, 0), MARK);
    EXPECT_EQ(work_pixel(600, 400), MARK);
}

TEST(Background, BaseLayerMixesWithWhatWasDrawnBefore) {
    fresh_game("bg_xor");
    marked_tiles();
    clear();
    line(5, 5, 5, 5, 0xFFFFFF);  // a white pixel, as a HUD glyph would be
    g.bg_scroll = 798;
    draw_background(2);
    EXPECT_EQ(work_pixel(5, 5), 0xFFFFFFu ^ 0x000010u);  // the tile's inverted colour
    EXPECT_EQ(work_pixel(6, 5), 0x000010u);              // black shows the tile
}

TEST(Hud, EnergyBarCapsAndCountsSegments) {
    fresh_game("hud_bar");
    g.img_load = solid_image(160, 30, KEY_COLOUR);  // the frame: all transparent here
    g.img_load2 = solid_image(5, 8, 0xFF0000);
    struct Case {
        int16_t energy, after;
        int segments;
    };
    const Case cases[] = {{260, 240, 24}, {240, 240, 24}, {239, 239, 23},
                          {10, 10, 1},    {9, 9, 0},       {-40, -40, 0}};
    for (const Case& c : cases) {
        g.energy = c.energy;
        clear();
        draw_energy_bar();
        EXPECT_EQ(g.energy, c.after);
        int drawn = 0;
        for (int i = 1; i <= 30; ++i)
            if (work_pixel(13 + 6 * (i - 1), 12) == 0xFF0000) ++drawn;
        EXPECT_EQ(drawn, c.segments) << "energy " << c.energy;
    }
}

namespace {

// The cells of row 1 from `column` for `text`, as print_text paints them,
// compared with what the HUD painted there.
bool row1_shows(int column, const std::string& text) {
    std::vector<uint32_t> hud(page_pixels(work_page()), page_pixels(work_page()) + SCREEN_W * 16);
    clear();
    locate(1, column);
    print_text(text);
    const int x0 = 8 * (column - 1);
    bool same = true;
    for (int y = 0; y < 16; ++y)
        for (int x = x0; x < x0 + 8 * static_cast<int>(text.size()); ++x)
            if (work_pixel(x, y) != hud[y * SCREEN_W + x]) same = false;
    std::copy(hud.begin(), hud.end(), page_pixels(work_page()));
    return same;
}

}  // namespace

TEST(Hud, TextCellsPerLevel) {
    fresh_game("hud_text");
    g.level = 1;
    g.level_time = 87.0;
    g.score = -20;
    clear();
    draw_hud();
    EXPECT_TRUE(row1_shows(40, "Time: 87"));
    EXPECT_TRUE(row1_shows(55, "Score:-20"));
    EXPECT_TRUE(row1_shows(70, "FPS: 0"));
    EXPECT_FALSE(row1_shows(40, "Time: 88"));

    g.level = 4;
    g.score = 1234;
    g.rockets = 7;
    g.heading = 100.0;
    clear();
    draw_hud();
    EXPECT_TRUE(row1_shows(58, "Score: 1234"));
    EXPECT_TRUE(row1_shows(30, "Rocket: 7"));
    // A full fuel gauge: red 155, green 200, inside the dark blue outline.
    EXPECT_EQ(work_pixel(390, 7), 0x9BC800u);
    EXPECT_EQ(work_pixel(440, 7), 134u);

    g.level = 5;
    g.thrust = 3.0;
    clear();
    draw_hud();
    EXPECT_TRUE(row1_shows(55, "Score: 1234"));
    EXPECT_EQ(work_pixel(250, 7), 0x820000u);  // red 10 * 3 + 100
    EXPECT_EQ(work_pixel(260, 7), 0u);
    EXPECT_EQ(work_pixel(270, 7), 134u);
}
