// The text grid: painted cells, the cursor's wrap and print zones, number
// formats and the built-in font.
#include <gtest/gtest.h>

#include "platform/headless/headless.h"
#include "platform/screen.h"

using namespace valmoren;

namespace {

uint32_t at(int x, int y) { return page_pixels(work_page())[y * SCREEN_W + x]; }

// True when the 8x16 cell at (row, column) shows character c in the colours.
bool cell_shows(int row, int column, unsigned char c, uint32_t fg, uint32_t bg) {
    const uint8_t* glyph = font_glyph(c);
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 8; ++x) {
            const uint32_t want = (glyph[y] >> x) & 1 ? fg : bg;
            if (at((column - 1) * 8 + x, (row - 1) * 16 + y) != want) return false;
        }
    return true;
}

}  // namespace

TEST(Text, NumberFormats) {
    const struct { long long in; const char* out; } whole[] = {
        {0, " 0"}, {5, " 5"}, {240, " 240"}, {-5, "-5"}, {-32768, "-32768"}, {2147483647, " 2147483647"},
    };
    for (auto c : whole) EXPECT_EQ(format_number(c.in), c.out);

    const struct { double in; const char* out; } real[] = {
        {12.5, " 12.5"}, {3.0, " 3"}, {0.1, " 0.1"}, {-0.25, "-0.25"}, {0.0, " 0"}, {-0.0, " 0"},
        {101.0, " 101"}, {1.0 / 3.0, " 0.3333333333333333"}, {123456789012.75, " 123456789012.75"},
    };
    for (auto c : real) EXPECT_EQ(format_real(c.in), c.out) << c.in;
}

TEST(Text, CellsArePaintedWithGlyphAndBackground) {
    headless_reset();
    // A picture under the text: the cells must cover it completely.
    line(0, 0, 639, 479, 0x3366AA, SHAPE_FILLED_BOX);
    locate(2, 3);
    print_text("Ag");
    EXPECT_TRUE(cell_shows(2, 3, 'A', 0xFFFFFF, 0x000000));
    EXPECT_TRUE(cell_shows(2, 4, 'g', 0xFFFFFF, 0x000000));
    EXPECT_EQ(at(5 * 8, 16), 0x3366AAu);  // the next cell is untouched
    EXPECT_EQ(cursor_row(), 2);
    EXPECT_EQ(cursor_column(), 5);

    set_colours(0x000000, 0xFFFFFF);  // the logo's black on white
    print_number(0, END_LINE);
    EXPECT_TRUE(cell_shows(2, 5, ' ', 0x000000, 0xFFFFFF));
    EXPECT_TRUE(cell_shows(2, 6, '0', 0x000000, 0xFFFFFF));
    EXPECT_EQ(at(6 * 8, 16), 0x3366AAu);  // " 0" takes exactly two cells
    EXPECT_EQ(cursor_row(), 3);
    EXPECT_EQ(cursor_column(), 1);
    set_colours(0xFFFFFF, 0x000000);

    locate(5, 1);
    print_number(240);  // four cells
    EXPECT_EQ(cursor_column(), 5);
    print_real(12.5, END_NONE);
    EXPECT_TRUE(cell_shows(5, 5, ' ', 0xFFFFFF, 0));
    EXPECT_TRUE(cell_shows(5, 8, '.', 0xFFFFFF, 0));
    EXPECT_EQ(cursor_column(), 10);
}

TEST(Text, WrapsAfterColumnEightyAndClipsBelowTheScreen) {
    headless_reset();
    locate(1, 79);
    print_text("xyz");
    EXPECT_TRUE(cell_shows(1, 79, 'x', 0xFFFFFF, 0));
    EXPECT_TRUE(cell_shows(1, 80, 'y', 0xFFFFFF, 0));
    EXPECT_TRUE(cell_shows(2, 1, 'z', 0xFFFFFF, 0));
    EXPECT_EQ(cursor_row(), 2);
    EXPECT_EQ(cursor_column(), 2);

    locate(1, 80);
    print_text("q", END_LINE);  // the wrap and the line end are one move each
    EXPECT_EQ(cursor_row(), 3);
    EXPECT_EQ(cursor_column(), 1);

    // Text below row 30 or outside the columns is not drawn and harms nothing.
    line(0, 0, 639, 479, 0x123456, SHAPE_FILLED_BOX);
    locate(31, 1);
    print_text(std::string(500, 'W'), END_LINE);
    locate(0, 0);
    print_text("a");
    locate(-4, 200);
    print_text("bc");
    for (int y = 0; y < SCREEN_H; ++y)
        for (int x = 0; x < SCREEN_W; ++x) ASSERT_EQ(at(x, y), 0x123456u) << x << "," << y;
    locate(30, 80);
    print_text("!");
    EXPECT_TRUE(cell_shows(30, 80, '!', 0xFFFFFF, 0));
    EXPECT_EQ(cursor_row(), 31);
}

TEST(Text, PrintZones) {
    headless_reset();
    const struct { int start; const char* text; int row, column; } cases[] = {
        {1, "", 1, 15},      // an empty print still moves to the next zone
        {1, "abc", 1, 15},
        {1, "abcdefghijklm", 1, 15},   // ends in column 14
        {1, "abcdefghijklmn", 1, 29},  // ends exactly at a zone start: on to the next
        {30, "x", 1, 43},
        {43, "x", 1, 57},
        {57, "x", 2, 1},  // the zone at 71 starts past column 66
        {66, "", 2, 1},
        {75, "x", 2, 1},
    };
    for (auto c : cases) {
        locate(1, c.start);
        print_text(c.text, END_ZONE);
        EXPECT_EQ(cursor_row(), c.row) << c.start << " '" << c.text << "'";
        EXPECT_EQ(cursor_column(), c.column) << c.start << " '" << c.text << "'";
    }
    // The blanks up to the zone are painted like any other cell.
    line(0, 0, 639, 479, 0x654321, SHAPE_FILLED_BOX);
    locate(4, 1);
    print_text("ab", END_ZONE);
    EXPECT_TRUE(cell_shows(4, 14, ' ', 0xFFFFFF, 0));
    EXPECT_EQ(at(14 * 8, 3 * 16), 0x654321u);
}

TEST(Text, FontHasAGlyphForEveryPrintableCharacter) {
    for (int c = 0; c < 256; ++c) {
        const uint8_t* g = font_glyph(static_cast<unsigned char>(c));
        int set = 0;
        for (int y = 0; y < 16; ++y) set += __builtin_popcount(g[y]);
        if (c > 32 && c < 127) {
            EXPECT_GT(set, 0) << "character " << c;
        } else {
            EXPECT_EQ(set, 0) << "character " << c;
        }
    }
    // Glyphs differ from one another, so text can be read.
    for (int a = 33; a < 127; ++a)
        for (int b = a + 1; b < 127; ++b)
            EXPECT_NE(0, memcmp(font_glyph(a), font_glyph(b), 16)) << char(a) << " " << char(b);
    // Bit 0 is the leftmost pixel: the stem of 'L' is on the left.
    int left = 0, right = 0;
    for (int y = 0; y < 16; ++y) {
        left += (font_glyph('L')[y] & 0x0F) != 0;
        right += (font_glyph('L')[y] & 0xF0) != 0;
    }
    EXPECT_GT(left, 8);
    EXPECT_LT(right, 4);
}
