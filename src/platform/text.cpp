// text.cpp -- the 80x30 text grid: drawing colours, the text cursor, printing
// texts and numbers in 8x16 cells. Writes no GameState fields.
#include <cmath>
#include <cstdio>

#include "platform/core_hooks.h"
#include "platform/screen.h"

namespace valmoren {

namespace {

constexpr int COLUMNS = 80;
constexpr int ROWS = 30;
constexpr int CELL_W = 8;
constexpr int CELL_H = 16;
constexpr int ZONE_WIDTH = 14;
constexpr int LAST_ZONE_START = 66;  // a zone starting past this column goes to the next row
constexpr int FAR_ROW = 1 << 20;     // the cursor stops counting rows down here

uint32_t foreground = 0xFFFFFF;
uint32_t background = 0x000000;
int row = 1;
int column = 1;

// Paints one cell fully: glyph pixels in the foreground, the rest background.
void draw_cell(int cell_row, int cell_column, unsigned char c) {
    if (cell_row < 1 || cell_row > ROWS || cell_column < 1 || cell_column > COLUMNS) return;
    const uint8_t* glyph = font_glyph(c);
    uint32_t* dst = page_pixels(work_page()) + (cell_row - 1) * CELL_H * SCREEN_W + (cell_column - 1) * CELL_W;
    for (int y = 0; y < CELL_H; ++y, dst += SCREEN_W) {
        const unsigned bits = glyph[y];
        for (int x = 0; x < CELL_W; ++x) dst[x] = (bits >> x) & 1 ? foreground : background;
    }
}

void next_row() {
    column = 1;
    if (row < FAR_ROW) ++row;
}

void put_char(unsigned char c) {
    draw_cell(row, column, c);
    ++column;
    if (column > COLUMNS) next_row();
}

void finish(int ending) {
    if (ending == END_LINE) {
        next_row();
    } else if (ending == END_ZONE) {
        int zone = column < 1 ? 1 : ((column - 1) / ZONE_WIDTH + 1) * ZONE_WIDTH + 1;
        if (zone > LAST_ZONE_START) {
            next_row();
        } else {
            while (column < zone) put_char(' ');
        }
    }
}

}  // namespace

uint32_t current_foreground() { return foreground; }
uint32_t current_background() { return background; }

void set_colours(uint32_t fg, uint32_t bg) {
    foreground = fg & 0xFFFFFF;
    background = bg & 0xFFFFFF;
}

void locate(int r, int c) {
    row = r;
    column = c;
}

int cursor_row() { return row; }
int cursor_column() { return column; }

void print_text(const std::string& text, int ending) {
    for (char c : text) put_char(static_cast<unsigned char>(c));
    finish(ending);
    visible_page_changed();
}

std::string format_number(long long value) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "% lld", value);
    return buf;
}

std::string format_real(double value) {
    // Sixteen significant digits; a whole number shows no decimal point.
    if (value == 0) value = 0;  // a negative zero prints as zero
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.16g", value);
    std::string s = buf;
    if (!s.empty() && s.back() == '.') s.pop_back();
    if (!std::signbit(value) || std::isnan(value)) {
        if (s.empty() || s[0] != '-') s.insert(s.begin(), ' ');
    }
    return s;
}

void print_number(long long value, int ending) { print_text(format_number(value), ending); }

void print_real(double value, int ending) { print_text(format_real(value), ending); }

}  // namespace valmoren
