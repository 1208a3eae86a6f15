// Contact tests: the corner-inside box rule and the pixel-exact picture test.
#include <gtest/gtest.h>

#include "play/play.h"
#include "play_support.h"
#include "state/game_state.h"

using namespace valmoren;
using namespace valmoren::testing_support;

TEST(Collision, BoxesMeetOnlyWhenACornerIsStrictlyInside) {
    struct Case {
        int32_t a[4], b[4];
        bool meet;
        const char* what;
    };
    const Case cases[] = {
        {{0, 0, 10, 10}, {10, 0, 10, 10}, false, "touching edges"},
        {{0, 0, 10, 10}, {5, 5, 10, 10}, true, "bottom-right corner inside"},
        {{0, 4, 20, 2}, {8, 0, 4, 20}, false, "plus sign, no corner inside"},
        {{3, 3, 8, 8}, {3, 3, 8, 8}, false, "identical boxes"},
        {{2, 2, 4, 4}, {0, 0, 10, 10}, true, "wholly inside"},
        {{0, 0, 10, 10}, {2, 2, 4, 4}, true, "wholly containing"},
        {{0, 0, 10, 10}, {10, 10, 5, 5}, false, "corners touching"},
        {{0, 0, 10, 10}, {9, 9, 5, 5}, true, "one pixel deep"},
        {{-20, -20, 10, 10}, {-15, -15, 10, 10}, true, "off the screen"},
        {{0, 0, 0, 0}, {-5, -5, 10, 10}, true, "a point inside"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(boxes_overlap(c.a[0], c.a[1], c.a[2], c.a[3], c.b[0], c.b[1], c.b[2], c.b[3]),
                  c.meet)
            << c.what;
        EXPECT_EQ(boxes_overlap(c.b[0], c.b[1], c.b[2], c.b[3], c.a[0], c.a[1], c.a[2], c.a[3]),
                  c.meet)
            << c.what << " (swapped)";
    }
    // Extreme coordinates must not overflow into a false hit.
    EXPECT_FALSE(boxes_overlap(INT32_MAX - 5, 0, 10, 10, INT32_MIN, 0, 10, 10));
}

TEST(Collision, SpritesNeedSolidPixelsStrictlyInsideB) {
    g = GameState{};
    // A: 8x8 whose left half is magenta, right half solid. B: 8x8 solid.
    Image a = solid_image(8, 8, 0x00FF00);
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 4; ++x) a.pixels[y * 8 + x] = KEY_COLOUR;
    const Image b = solid_image(8, 8, 0x0000FF);

    for (int level : {1, 3, 4, 5}) {
        g.level = static_cast<int8_t>(level);
        // B sits under A's magenta half only (A's columns 0..3 at x 0..3; B from x=-5).
        EXPECT_FALSE(sprites_overlap(a, 0, 0, 8, 8, b, -5, 2, 8, 8)) << level;
        // B under the solid half.
        EXPECT_TRUE(sprites_overlap(a, 0, 0, 8, 8, b, 3, 2, 8, 8)) << level;
    }
    g.level = 2;  // level 2 trusts the boxes
    EXPECT_TRUE(sprites_overlap(a, 0, 0, 8, 8, b, -5, 2, 8, 8));

    // Only pixels strictly inside B count: A's solid column 4 at x=4 lands on
    // B's left edge column when B starts at x=4, and B's top row when B's y
    // equals A's bottom row.
    g.level = 1;
    Image column = solid_image(5, 8, KEY_COLOUR);
    for (int y = 0; y < 8; ++y) column.pixels[y * 5 + 4] = 0x00FF00;
    EXPECT_FALSE(sprites_overlap(column, 0, 0, 5, 8, b, 4, 2, 8, 8));
    EXPECT_TRUE(sprites_overlap(column, 0, 0, 5, 8, b, 3, 2, 8, 8));

    // B's own magenta pixels do not count.
    const Image hollow = solid_image(8, 8, KEY_COLOUR);
    EXPECT_FALSE(sprites_overlap(a, 0, 0, 8, 8, hollow, 3, 2, 8, 8));
}

TEST(Collision, MissingOrMisSizedPicturesCollideAsTheirBoxes) {
    g = GameState{};
    g.level = 1;
    const Image empty;
    const Image small = solid_image(2, 2, 0x123456);
    Image keyed = solid_image(2, 2, KEY_COLOUR);
    // A missing picture is a black, zero-filled slot: solid wherever the boxes
    // meet, so a level played without its pictures still has its contacts.
    EXPECT_TRUE(sprites_overlap(empty, 0, 0, 75, 84, small, 10, 10, 16, 16));
    EXPECT_TRUE(sprites_overlap(small, 0, 0, 75, 84, empty, 1, 1, 16, 16));
    // Caller sizes far larger than the pictures: nothing is read out of bounds
    // (the sanitizer build would catch it); past its four pixels B reads black.
    EXPECT_TRUE(sprites_overlap(keyed, 0, 0, 75, 84, small, 1, 1, 500, 500));
    // Within the pictures, magenta still never touches.
    EXPECT_FALSE(sprites_overlap(keyed, 0, 0, 2, 2, small, -1, -1, 3, 3));
    EXPECT_FALSE(sprites_overlap(small, 0, 0, 2, 2, keyed, -1, -1, 2, 2));
    // Boxes apart: false without looking at pixels, however empty the pictures.
    EXPECT_FALSE(sprites_overlap(empty, 0, 0, 75, 84, empty, 200, 200, 16, 16));
}
