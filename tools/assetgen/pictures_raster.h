// pictures_raster.h -- the small raster toolkit the picture generator draws with:
// the game's palette, a canvas, shape masks, shading, outlines, noise and the
// big blocky letter font used for every word drawn into a picture.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace valmoren::assetgen {

constexpr uint32_t KEY = 0xFF00FF;  // transparent wherever a picture is put with the key
constexpr uint32_t INK = 0x0C0B1A;  // the outline around every sprite

// One material: five tones from deepest shadow to the brightest highlight.
struct Ramp {
    uint32_t deep, shade, mid, light, shine;
    uint32_t tone(int i) const;  // 0..4, clamped
};

// The whole game's palette, defined once.
namespace pal {
constexpr Ramp STEEL{0x1E2334, 0x3C465E, 0x6A7892, 0xA9B6CC, 0xEEF2FA};
constexpr Ramp BLUE{0x121D4A, 0x1F3F8F, 0x3570D8, 0x6FA8F6, 0xCFE6FF};
constexpr Ramp RED{0x3A0818, 0x7A1226, 0xC02A34, 0xF0624A, 0xFFC0A0};
constexpr Ramp GOLD{0x40260A, 0x8A5410, 0xD09420, 0xF6CE48, 0xFFF6B8};
constexpr Ramp GREEN{0x0A2A1A, 0x165A30, 0x2C9A48, 0x62D86A, 0xD2FFC0};
constexpr Ramp ROCK{0x1C1614, 0x3E3028, 0x6A5240, 0x9C8062, 0xD0BA98};
constexpr Ramp FIRE{0x6A1006, 0xC83A0A, 0xF4861A, 0xFFD040, 0xFFFBE0};
constexpr Ramp PURPLE{0x1A0E2E, 0x3A2260, 0x66449A, 0xA07ACC, 0xE2CCFA};
constexpr Ramp TEAL{0x08262C, 0x125058, 0x238A8A, 0x52C8BC, 0xC6FFF0};
constexpr Ramp SPACE{0x03040A, 0x080B1C, 0x10163A, 0x1C2658, 0x34407A};
constexpr Ramp CYAN{0x0A3048, 0x1470A0, 0x30B8E8, 0x88E8FF, 0xF0FFFF};
constexpr Ramp ASH{0x17151D, 0x322E3C, 0x575264, 0x878196, 0xC2BCCE};
constexpr uint32_t WHITE = 0xFFFFFF;
constexpr uint32_t STAR_DIM = 0x5A6288;
constexpr uint32_t STAR_MID = 0x9AA2C8;
constexpr uint32_t STAR_WARM = 0xFFE6B0;
constexpr uint32_t STAR_COOL = 0xB8D4FF;
}  // namespace pal

struct Pt {
    double x, y;
};

struct Canvas {
    int w = 0, h = 0;
    std::vector<uint32_t> px;
    Canvas(int width, int height, uint32_t fill = KEY);
    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < w && y < h; }
    uint32_t get(int x, int y) const { return inside(x, y) ? px[y * w + x] : KEY; }
    void set(int x, int y, uint32_t c) {
        if (inside(x, y)) px[y * w + x] = c;
    }
    // Sets a pixel with its coordinates wrapped around the edges (seamless tiles).
    void set_wrapped(int x, int y, uint32_t c);
};

// Which pixels a shape covers; shapes are added into it, then it is painted.
struct Mask {
    int w = 0, h = 0;
    std::vector<uint8_t> m;
    Mask(int width, int height);
    bool in(int x, int y) const { return x >= 0 && y >= 0 && x < w && y < h && m[y * w + x]; }
    void set(int x, int y, bool on = true) {
        if (x >= 0 && y >= 0 && x < w && y < h) m[y * w + x] = on ? 1 : 0;
    }
};

// Shapes, sampled at pixel centres.
void mask_ellipse(Mask& mk, double cx, double cy, double rx, double ry, bool on = true);
void mask_polygon(Mask& mk, const std::vector<Pt>& pts, bool on = true);
void mask_rect(Mask& mk, int x, int y, int w, int h, bool on = true);
void mask_line(Mask& mk, double x0, double y0, double x1, double y1, double width, bool on = true);

// Painting a mask: flat; bevelled (lit rim top-left, shadowed rim bottom-right);
// a dithered sphere lit from the top-left; a dithered vertical gradient.
void paint_flat(Canvas& c, const Mask& mk, uint32_t colour);
void paint_bevel(Canvas& c, const Mask& mk, const Ramp& r, int base = 2);
void paint_sphere(Canvas& c, const Mask& mk, double cx, double cy, double radius, const Ramp& r,
                  double bias = 0.0);
// A part laid over parts already drawn: a thin dark seam where it covers them,
// then bevel shading.
void paint_part(Canvas& c, const Mask& mk, const Ramp& r, int base = 2);
// Mirrors a list of points about the vertical line x = cx (for symmetric hulls).
std::vector<Pt> mirrored(const std::vector<Pt>& pts, double cx);
void paint_vgradient(Canvas& c, const Mask& mk, int y0, int y1, const Ramp& r, int from, int to);

// Primitive drawing straight onto the canvas.
void fill_rect(Canvas& c, int x, int y, int w, int h, uint32_t colour);
void draw_line(Canvas& c, int x0, int y0, int x1, int y1, uint32_t colour);
void fill_circle(Canvas& c, double cx, double cy, double r, uint32_t colour);
// A 1-pixel outline in `ink` around everything that is not the key colour.
void outline(Canvas& c, uint32_t ink = INK);
// Copies `src` onto `dst` at (x, y), skipping the key colour.
void blit(Canvas& dst, const Canvas& src, int x, int y);
Canvas mirror_x(const Canvas& c);
// Mixes a toward b by t/256.
uint32_t mix(uint32_t a, uint32_t b, int t);
// Ordered-dither threshold for pixel (x, y): 0..1.
double dither(int x, int y);
// Adds a star: 1 = dot, 2 = dot with dim cross, 3 = bright cross with rays.
void draw_star(Canvas& c, int x, int y, int size, uint32_t colour, bool wrapped);

// A fixed-seed generator of our own: the same numbers on every run.
struct Rng {
    uint32_t s;
    explicit Rng(uint32_t seed) : s(seed ? seed : 0x9E3779B9u) {}
    uint32_t next();
    int below(int n);      // 0..n-1
    double unit();         // 0..1
};

// Smooth value noise 0..1; with period > 0 it repeats every `period` units.
double value_noise(double x, double y, uint32_t seed, int period = 0);
double fbm(double x, double y, uint32_t seed, int octaves, int period = 0);

// The blocky letter font (5x7 cells, scaled). Width in pixels of a text.
int text_width(const std::string& text, int sx);
void text_mask(Mask& mk, int x, int y, const std::string& text, int sx, int sy);
// Letters with a vertical gradient of the ramp, a 1-pixel ink outline and a
// drop shadow of `shadow` pixels down-right.
void draw_text(Canvas& c, int x, int y, const std::string& text, int sx, int sy, const Ramp& r,
               int shadow = 1);
// The same, centred on x.
void draw_text_centred(Canvas& c, int cx, int y, const std::string& text, int sx, int sy,
                       const Ramp& r, int shadow = 1);

// Shapes rotated about a centre (for the ship's sixteen headings).
std::vector<Pt> ellipse_points(double cx, double cy, double rx, double ry, int n = 28);
std::vector<Pt> transform(const std::vector<Pt>& pts, double angle_deg, double ox, double oy);

}  // namespace valmoren::assetgen
