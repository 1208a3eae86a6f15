// screen.h -- the two 640x480 pages, pictures, drawing modes and 8x16 text.
// Portable: no window system here; a backend shows the visible page.
#pragma once

#include <algorithm>
#include <cstdint>
#include <string>
#include <vector>

namespace valmoren {

constexpr int SCREEN_W = 640;
constexpr int SCREEN_H = 480;
constexpr uint32_t KEY_COLOUR = 0xFF00FF;  // magenta: never drawn by the transparent modes

// A picture in memory: width, height and 0x00RRGGBB pixels, top row first.
// Width or height 0 means empty: putting it draws nothing. `pixels` holds the
// bottom rows of the picture, all of them for a whole picture; a file that
// ended early gave only its bottom rows (pictures are stored bottom-up), and
// the rows above them, never read, are black, as a zero-filled buffer is.
struct Image {
    uint16_t w = 0;
    uint16_t h = 0;
    std::vector<uint32_t> pixels;
};

// How many of the picture's rows `pixels` holds (the bottom ones).
inline int image_rows_held(const Image& img) {
    return img.w == 0 ? 0 : static_cast<int>(std::min<size_t>(img.pixels.size() / img.w, img.h));
}

// The picture's pixel at column x of row y (from the top), black in the rows
// its file never gave; x and y inside the picture.
inline uint32_t image_pixel(const Image& img, int64_t x, int64_t y) {
    const int64_t row = y - (img.h - image_rows_held(img));
    return row < 0 ? 0u : img.pixels[static_cast<size_t>(row * img.w + x)];
}

// Makes the slot hold no picture (the "emptied" slot of a level set-up).
void empty_image(Image& img);

enum PutMode : int {
    PUT_TRANSPARENT = 0,
    PUT_OPAQUE = 1,
    PUT_XOR = 5,
    PUT_ALPHA = 6,
};

enum LineShape : int {
    SHAPE_LINE = 0,
    SHAPE_BOX = 1,
    SHAPE_FILLED_BOX = 2,
};

// Print endings: nothing, a line end, or blanks up to the next 14-column zone.
enum TextEnd : int {
    END_NONE = 0,
    END_LINE = 1,
    END_ZONE = 2,
};

// Screen and pages.
void open_screen(int full_screen);
void set_pages(int work, int visible);  // -1 leaves that page as it is
void set_caption(const std::string& text);
void clear();
void set_colours(uint32_t foreground, uint32_t background);
void show_frame();     // copies the work page to the visible page and presents it
void wait_retrace();   // waits for the next 1/60 s tick

// Pages as memory: 640*480 words each, row by row from the top.
uint32_t* page_pixels(int page);
int work_page();
int visible_page();

// Pictures. What a load gives back.
enum BmpResult : int {
    BMP_OK = 0,           // loaded
    BMP_UNSUPPORTED = 1,  // 15 or 16 bits a pixel
    BMP_NO_FILE = 2,      // cannot be opened
    BMP_BAD = 3,          // not an acceptable BMP, or ends early (rows read stay in the image)
};
int load_bmp(const std::string& path, Image& img);
int load_bmp_from_memory(const uint8_t* data, size_t size, Image& img);
int load_bmp_to_page(const std::string& path);

// Draws the whole image with its top-left at (x, y), rounded halves away from
// zero and clipped to the screen. `level` is used only by PUT_ALPHA (0..255).
void put(double x, double y, const Image& img, int mode = PUT_TRANSPARENT, int level = 255);

void line(double x1, double y1, double x2, double y2, uint32_t colour, int shape = SHAPE_LINE);
void plot(double x, double y, uint32_t colour);

// Text grid: 80 columns x 30 rows of 8x16 cells, counted from 1.
void locate(int row, int column);
int cursor_row();
int cursor_column();
void print_text(const std::string& text, int ending = END_NONE);
void print_number(long long value, int ending = END_NONE);
void print_real(double value, int ending = END_NONE);
// The text print_number / print_real would print ("% d" and the 16-digit real form).
std::string format_number(long long value);
std::string format_real(double value);

// Rounds a screen coordinate to the nearest integer, halves away from zero.
int round_coord(double v);

// The built-in 8x16 font: 16 bytes per character, bit 0 is the leftmost pixel.
const uint8_t* font_glyph(unsigned char c);

}  // namespace valmoren
