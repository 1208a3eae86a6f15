// pictures_raster.cpp -- canvas, masks, shading, outlines, noise and the blocky
// letter font that every generated picture is drawn with.
#include "pictures_raster.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace valmoren::assetgen {

uint32_t Ramp::tone(int i) const {
    switch (std::clamp(i, 0, 4)) {
        case 0: return deep;
        case 1: return shade;
        case 2: return mid;
        case 3: return light;
        default: return shine;
    }
}

Canvas::Canvas(int width, int height, uint32_t fill)
    : w(width), h(height), px(static_cast<size_t>(width) * height, fill) {}

void Canvas::set_wrapped(int x, int y, uint32_t c) {
    x %= w;
    y %= h;
    if (x < 0) x += w;
    if (y < 0) y += h;
    px[y * w + x] = c;
}

Mask::Mask(int width, int height) : w(width), h(height), m(static_cast<size_t>(width) * height, 0) {}

void mask_ellipse(Mask& mk, double cx, double cy, double rx, double ry, bool on) {
    if (rx <= 0 || ry <= 0) return;
    const int y0 = std::max(0, static_cast<int>(std::floor(cy - ry)));
    const int y1 = std::min(mk.h - 1, static_cast<int>(std::ceil(cy + ry)));
    const int x0 = std::max(0, static_cast<int>(std::floor(cx - rx)));
    const int x1 = std::min(mk.w - 1, static_cast<int>(std::ceil(cx + rx)));
    for (int y = y0; y <= y1; ++y) {
        for (int x = x0; x <= x1; ++x) {
            const double dx = (x + 0.5 - cx) / rx;
            const double dy = (y + 0.5 - cy) / ry;
            if (dx * dx + dy * dy <= 1.0) mk.set(x, y, on);
        }
    }
}

void mask_polygon(Mask& mk, const std::vector<Pt>& pts, bool on) {
    const size_t n = pts.size();
    if (n < 3) return;
    std::vector<double> xs;
    for (int y = 0; y < mk.h; ++y) {
        const double yc = y + 0.5;
        xs.clear();
        for (size_t i = 0; i < n; ++i) {
            const Pt& a = pts[i];
            const Pt& b = pts[(i + 1) % n];
            if ((a.y <= yc && b.y > yc) || (b.y <= yc && a.y > yc)) {
                xs.push_back(a.x + (yc - a.y) * (b.x - a.x) / (b.y - a.y));
            }
        }
        std::sort(xs.begin(), xs.end());
        for (size_t i = 0; i + 1 < xs.size(); i += 2) {
            const int xa = static_cast<int>(std::ceil(xs[i] - 0.5));
            const int xb = static_cast<int>(std::ceil(xs[i + 1] - 0.5));
            for (int x = std::max(0, xa); x < std::min(mk.w, xb); ++x) mk.set(x, y, on);
        }
    }
}

void mask_rect(Mask& mk, int x, int y, int w, int h, bool on) {
    for (int j = y; j < y + h; ++j)
        for (int i = x; i < x + w; ++i) mk.set(i, j, on);
}

void mask_line(Mask& mk, double x0, double y0, double x1, double y1, double width, bool on) {
    const double dx = x1 - x0, dy = y1 - y0;
    const double len = std::sqrt(dx * dx + dy * dy);
    if (len < 1e-9) {
        mask_ellipse(mk, x0, y0, width / 2, width / 2, on);
        return;
    }
    const double nx = -dy / len * width / 2, ny = dx / len * width / 2;
    mask_polygon(mk, {{x0 + nx, y0 + ny}, {x1 + nx, y1 + ny}, {x1 - nx, y1 - ny}, {x0 - nx, y0 - ny}}, on);
}

void paint_flat(Canvas& c, const Mask& mk, uint32_t colour) {
    for (int y = 0; y < mk.h; ++y)
        for (int x = 0; x < mk.w; ++x)
            if (mk.in(x, y)) c.set(x, y, colour);
}

void paint_bevel(Canvas& c, const Mask& mk, const Ramp& r, int base) {
    for (int y = 0; y < mk.h; ++y) {
        for (int x = 0; x < mk.w; ++x) {
            if (!mk.in(x, y)) continue;
            int t = base;
            const bool lit = !mk.in(x - 1, y) || !mk.in(x, y - 1);
            const bool dark = !mk.in(x + 1, y) || !mk.in(x, y + 1);
            if (lit && !dark) t = base + 1;
            else if (dark && !lit) t = base - 1;
            else if (!mk.in(x + 1, y + 1) && !lit) t = base - 1;
            c.set(x, y, r.tone(t));
        }
    }
}

void paint_part(Canvas& c, const Mask& mk, const Ramp& r, int base) {
    for (int y = 0; y < mk.h; ++y)
        for (int x = 0; x < mk.w; ++x) {
            if (mk.in(x, y) || c.get(x, y) == KEY) continue;
            if (mk.in(x - 1, y) || mk.in(x + 1, y) || mk.in(x, y - 1) || mk.in(x, y + 1)) c.set(x, y, r.deep);
        }
    paint_bevel(c, mk, r, base);
}

std::vector<Pt> mirrored(const std::vector<Pt>& pts, double cx) {
    std::vector<Pt> out;
    for (auto it = pts.rbegin(); it != pts.rend(); ++it) out.push_back({2 * cx - it->x, it->y});
    return out;
}

double dither(int x, int y) {
    static const int bayer[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};
    return (bayer[y & 3][x & 3] + 0.5) / 16.0;
}

void paint_sphere(Canvas& c, const Mask& mk, double cx, double cy, double radius, const Ramp& r,
                  double bias) {
    // Light from the upper left and a little in front.
    const double lx = -0.55, ly = -0.62, lz = 0.56;
    for (int y = 0; y < mk.h; ++y) {
        for (int x = 0; x < mk.w; ++x) {
            if (!mk.in(x, y)) continue;
            const double nx = (x + 0.5 - cx) / radius;
            const double ny = (y + 0.5 - cy) / radius;
            const double nz = std::sqrt(std::max(0.0, 1.0 - nx * nx - ny * ny));
            const double d = nx * lx + ny * ly + nz * lz + bias;  // -1..1
            const double v = std::clamp((d + 0.35) / 1.35, 0.0, 0.999) * 4.4;
            const int t = static_cast<int>(v + dither(x, y) - 0.5);
            c.set(x, y, r.tone(t));
        }
    }
}

void paint_vgradient(Canvas& c, const Mask& mk, int y0, int y1, const Ramp& r, int from, int to) {
    for (int y = 0; y < mk.h; ++y) {
        const double f = y1 > y0 ? std::clamp((y + 0.5 - y0) / double(y1 - y0), 0.0, 1.0) : 0.0;
        for (int x = 0; x < mk.w; ++x) {
            if (!mk.in(x, y)) continue;
            const double v = from + (to - from) * f;
            const int t = static_cast<int>(std::floor(v + dither(x, y)));
            c.set(x, y, r.tone(t));
        }
    }
}

void fill_rect(Canvas& c, int x, int y, int w, int h, uint32_t colour) {
    for (int j = y; j < y + h; ++j)
        for (int i = x; i < x + w; ++i) c.set(i, j, colour);
}

void draw_line(Canvas& c, int x0, int y0, int x1, int y1, uint32_t colour) {
    const int dx = std::abs(x1 - x0), sx = x0 < x1 ? 1 : -1;
    const int dy = -std::abs(y1 - y0), sy = y0 < y1 ? 1 : -1;
    int err = dx + dy;
    for (;;) {
        c.set(x0, y0, colour);
        if (x0 == x1 && y0 == y1) break;
        const int e2 = 2 * err;
        if (e2 >= dy) {
            err += dy;
            x0 += sx;
        }
        if (e2 <= dx) {
            err += dx;
            y0 += sy;
        }
    }
}

void fill_circle(Canvas& c, double cx, double cy, double r, uint32_t colour) {
    Mask mk(c.w, c.h);
    mask_ellipse(mk, cx, cy, r, r);
    paint_flat(c, mk, colour);
}

void outline(Canvas& c, uint32_t ink) {
    std::vector<uint8_t> add(c.px.size(), 0);
    for (int y = 0; y < c.h; ++y) {
        for (int x = 0; x < c.w; ++x) {
            if (c.get(x, y) != KEY) continue;
            const bool near = (c.inside(x - 1, y) && c.get(x - 1, y) != KEY) ||
                              (c.inside(x + 1, y) && c.get(x + 1, y) != KEY) ||
                              (c.inside(x, y - 1) && c.get(x, y - 1) != KEY) ||
                              (c.inside(x, y + 1) && c.get(x, y + 1) != KEY);
            if (near) add[y * c.w + x] = 1;
        }
    }
    for (size_t i = 0; i < add.size(); ++i)
        if (add[i]) c.px[i] = ink;
}

void blit(Canvas& dst, const Canvas& src, int x, int y) {
    for (int j = 0; j < src.h; ++j)
        for (int i = 0; i < src.w; ++i) {
            const uint32_t p = src.px[j * src.w + i];
            if (p != KEY) dst.set(x + i, y + j, p);
        }
}

Canvas mirror_x(const Canvas& c) {
    Canvas out(c.w, c.h);
    for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x) out.px[y * c.w + x] = c.px[y * c.w + (c.w - 1 - x)];
    return out;
}

uint32_t mix(uint32_t a, uint32_t b, int t) {
    t = std::clamp(t, 0, 256);
    uint32_t out = 0;
    for (int sh = 0; sh <= 16; sh += 8) {
        const int ca = (a >> sh) & 0xFF, cb = (b >> sh) & 0xFF;
        out |= static_cast<uint32_t>(ca + (cb - ca) * t / 256) << sh;
    }
    return out;
}

void draw_star(Canvas& c, int x, int y, int size, uint32_t colour, bool wrapped) {
    auto put = [&](int px, int py, uint32_t col) {
        if (wrapped) c.set_wrapped(px, py, col);
        else c.set(px, py, col);
    };
    put(x, y, colour);
    if (size >= 2) {
        const uint32_t dim = mix(colour, 0x000000, 140);
        put(x - 1, y, dim);
        put(x + 1, y, dim);
        put(x, y - 1, dim);
        put(x, y + 1, dim);
    }
    if (size >= 3) {
        const uint32_t faint = mix(colour, 0x000000, 200);
        put(x - 2, y, faint);
        put(x + 2, y, faint);
        put(x, y - 2, faint);
        put(x, y + 2, faint);
        put(x - 1, y, colour);
        put(x + 1, y, colour);
        put(x, y - 1, colour);
        put(x, y + 1, colour);
    }
}

uint32_t Rng::next() {
    // xorshift32
    s ^= s << 13;
    s ^= s >> 17;
    s ^= s << 5;
    return s;
}

int Rng::below(int n) { return n <= 0 ? 0 : static_cast<int>(next() % static_cast<uint32_t>(n)); }

double Rng::unit() { return (next() >> 8) / 16777216.0; }

namespace {

uint32_t hash2(int x, int y, uint32_t seed) {
    uint32_t h = seed ^ (static_cast<uint32_t>(x) * 0x8DA6B343u) ^ (static_cast<uint32_t>(y) * 0xD8163841u);
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return h;
}

double lattice(int x, int y, uint32_t seed, int period) {
    if (period > 0) {
        x = ((x % period) + period) % period;
        y = ((y % period) + period) % period;
    }
    return (hash2(x, y, seed) & 0xFFFF) / 65535.0;
}

}  // namespace

double value_noise(double x, double y, uint32_t seed, int period) {
    const double fx = std::floor(x), fy = std::floor(y);
    const int ix = static_cast<int>(fx), iy = static_cast<int>(fy);
    double tx = x - fx, ty = y - fy;
    tx = tx * tx * (3 - 2 * tx);
    ty = ty * ty * (3 - 2 * ty);
    const double a = lattice(ix, iy, seed, period), b = lattice(ix + 1, iy, seed, period);
    const double c = lattice(ix, iy + 1, seed, period), d = lattice(ix + 1, iy + 1, seed, period);
    return (a + (b - a) * tx) + ((c + (d - c) * tx) - (a + (b - a) * tx)) * ty;
}

double fbm(double x, double y, uint32_t seed, int octaves, int period) {
    double sum = 0, amp = 0.5, norm = 0;
    for (int o = 0; o < octaves; ++o) {
        sum += amp * value_noise(x, y, seed + o * 101u, period);
        norm += amp;
        x *= 2;
        y *= 2;
        if (period > 0) period *= 2;
        amp *= 0.5;
    }
    return sum / norm;
}

// ---- the letter font: 7 rows per glyph, each row as wide as the glyph ----

namespace {

struct Glyph {
    char ch;
    const char* rows[7];
};

const Glyph FONT[] = {
    {'A', {".###.", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'B', {"####.", "#...#", "#...#", "####.", "#...#", "#...#", "####."}},
    {'C', {".###.", "#...#", "#....", "#....", "#....", "#...#", ".###."}},
    {'D', {"####.", "#...#", "#...#", "#...#", "#...#", "#...#", "####."}},
    {'E', {"#####", "#....", "#....", "####.", "#....", "#....", "#####"}},
    {'F', {"#####", "#....", "#....", "####.", "#....", "#....", "#...."}},
    {'G', {".###.", "#...#", "#....", "#.###", "#...#", "#...#", ".####"}},
    {'H', {"#...#", "#...#", "#...#", "#####", "#...#", "#...#", "#...#"}},
    {'I', {"###", ".#.", ".#.", ".#.", ".#.", ".#.", "###"}},
    {'J', {"..###", "...#.", "...#.", "...#.", "#..#.", "#..#.", ".##.."}},
    {'K', {"#...#", "#..#.", "#.#..", "##...", "#.#..", "#..#.", "#...#"}},
    {'L', {"#....", "#....", "#....", "#....", "#....", "#....", "#####"}},
    {'M', {"#...#", "##.##", "#.#.#", "#.#.#", "#...#", "#...#", "#...#"}},
    {'N', {"#...#", "##..#", "#.#.#", "#..##", "#...#", "#...#", "#...#"}},
    {'O', {".###.", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'P', {"####.", "#...#", "#...#", "####.", "#....", "#....", "#...."}},
    {'Q', {".###.", "#...#", "#...#", "#...#", "#.#.#", "#..#.", ".##.#"}},
    {'R', {"####.", "#...#", "#...#", "####.", "#.#..", "#..#.", "#...#"}},
    {'S', {".####", "#....", "#....", ".###.", "....#", "....#", "####."}},
    {'T', {"#####", "..#..", "..#..", "..#..", "..#..", "..#..", "..#.."}},
    {'U', {"#...#", "#...#", "#...#", "#...#", "#...#", "#...#", ".###."}},
    {'V', {"#...#", "#...#", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {'W', {"#...#", "#...#", "#...#", "#.#.#", "#.#.#", "##.##", "#...#"}},
    {'X', {"#...#", "#...#", ".#.#.", "..#..", ".#.#.", "#...#", "#...#"}},
    {'Y', {"#...#", "#...#", ".#.#.", "..#..", "..#..", "..#..", "..#.."}},
    {'Z', {"#####", "....#", "...#.", "..#..", ".#...", "#....", "#####"}},
    {'a', {".....", ".....", ".###.", "....#", ".####", "#...#", ".####"}},
    {'b', {"#....", "#....", "####.", "#...#", "#...#", "#...#", "####."}},
    {'c', {".....", ".....", ".###.", "#....", "#....", "#....", ".###."}},
    {'d', {"....#", "....#", ".####", "#...#", "#...#", "#...#", ".####"}},
    {'e', {".....", ".....", ".###.", "#...#", "#####", "#....", ".###."}},
    {'f', {"..##", ".#..", "####", ".#..", ".#..", ".#..", ".#.."}},
    {'g', {".....", ".####", "#...#", "#...#", ".####", "....#", ".###."}},
    {'h', {"#....", "#....", "####.", "#...#", "#...#", "#...#", "#...#"}},
    {'i', {".#.", "...", "##.", ".#.", ".#.", ".#.", "###"}},
    {'j', {"...#", "....", "..##", "...#", "...#", "#..#", ".##."}},
    {'k', {"#....", "#....", "#..#.", "#.#..", "##...", "#.#..", "#..#."}},
    {'l', {"##.", ".#.", ".#.", ".#.", ".#.", ".#.", "###"}},
    {'m', {".....", ".....", "##.#.", "#.#.#", "#.#.#", "#.#.#", "#...#"}},
    {'n', {".....", ".....", "####.", "#...#", "#...#", "#...#", "#...#"}},
    {'o', {".....", ".....", ".###.", "#...#", "#...#", "#...#", ".###."}},
    {'p', {".....", "####.", "#...#", "#...#", "####.", "#....", "#...."}},
    {'q', {".....", ".####", "#...#", "#...#", ".####", "....#", "....#"}},
    {'r', {".....", ".....", "#.##.", "##..#", "#....", "#....", "#...."}},
    {'s', {".....", ".....", ".####", "#....", ".###.", "....#", "####."}},
    {'t', {".#..", ".#..", "####", ".#..", ".#..", ".#..", "..##"}},
    {'u', {".....", ".....", "#...#", "#...#", "#...#", "#...#", ".####"}},
    {'v', {".....", ".....", "#...#", "#...#", "#...#", ".#.#.", "..#.."}},
    {'w', {".....", ".....", "#...#", "#...#", "#.#.#", "#.#.#", ".#.#."}},
    {'x', {".....", ".....", "#...#", ".#.#.", "..#..", ".#.#.", "#...#"}},
    {'y', {".....", "#...#", "#...#", "#...#", ".####", "....#", ".###."}},
    {'z', {".....", ".....", "#####", "...#.", "..#..", ".#...", "#####"}},
    {'0', {".###.", "#...#", "#..##", "#.#.#", "##..#", "#...#", ".###."}},
    {'1', {".#.", "##.", ".#.", ".#.", ".#.", ".#.", "###"}},
    {'2', {".###.", "#...#", "....#", "...#.", "..#..", ".#...", "#####"}},
    {'3', {"####.", "....#", "....#", ".###.", "....#", "....#", "####."}},
    {'4', {"#...#", "#...#", "#...#", "#####", "....#", "....#", "....#"}},
    {'5', {"#####", "#....", "####.", "....#", "....#", "#...#", ".###."}},
    {'6', {".###.", "#....", "#....", "####.", "#...#", "#...#", ".###."}},
    {'7', {"#####", "....#", "...#.", "..#..", "..#..", "..#..", "..#.."}},
    {'8', {".###.", "#...#", "#...#", ".###.", "#...#", "#...#", ".###."}},
    {'9', {".###.", "#...#", "#...#", ".####", "....#", "....#", ".###."}},
    {' ', {"...", "...", "...", "...", "...", "...", "..."}},
    {'!', {"#", "#", "#", "#", "#", ".", "#"}},
    {'?', {".###.", "#...#", "....#", "...#.", "..#..", ".....", "..#.."}},
    {'.', {".", ".", ".", ".", ".", ".", "#"}},
    {',', {"..", "..", "..", "..", "..", ".#", "#."}},
    {'-', {"...", "...", "...", "###", "...", "...", "..."}},
    {':', {".", ".", "#", ".", ".", "#", "."}},
    {'\'', {"#", "#", ".", ".", ".", ".", "."}},
    {'/', {"....#", "...#.", "...#.", "..#..", ".#...", ".#...", "#...."}},
    {'_', {"....", "....", "....", "....", "....", "....", "####"}},
    {'(', {".#", "#.", "#.", "#.", "#.", "#.", ".#"}},
    {')', {"#.", ".#", ".#", ".#", ".#", ".#", "#."}},
};

const Glyph* find_glyph(char ch) {
    for (const Glyph& g : FONT)
        if (g.ch == ch) return &g;
    return find_glyph('?');
}

}  // namespace

int text_width(const std::string& text, int sx) {
    int w = 0;
    for (size_t i = 0; i < text.size(); ++i) {
        w += static_cast<int>(std::strlen(find_glyph(text[i])->rows[0])) * sx;
        if (i + 1 < text.size()) w += sx;
    }
    return w;
}

void text_mask(Mask& mk, int x, int y, const std::string& text, int sx, int sy) {
    for (char ch : text) {
        const Glyph* g = find_glyph(ch);
        const int gw = static_cast<int>(std::strlen(g->rows[0]));
        for (int r = 0; r < 7; ++r)
            for (int col = 0; col < gw; ++col)
                if (g->rows[r][col] == '#') mask_rect(mk, x + col * sx, y + r * sy, sx, sy);
        x += (gw + 1) * sx;
    }
}

void draw_text(Canvas& c, int x, int y, const std::string& text, int sx, int sy, const Ramp& r,
               int shadow) {
    Mask mk(c.w, c.h);
    text_mask(mk, x, y, text, sx, sy);
    // Shadow and outline: the letters grown by one pixel, once shifted down-right.
    for (int pass = 0; pass < 2; ++pass) {
        const int off = pass == 0 ? shadow : 0;
        if (pass == 0 && shadow <= 0) continue;
        for (int j = 0; j < c.h; ++j)
            for (int i = 0; i < c.w; ++i) {
                bool near = false;
                for (int dy = -1; dy <= 1 && !near; ++dy)
                    for (int dx = -1; dx <= 1 && !near; ++dx)
                        near = mk.in(i - off + dx, j - off + dy);
                if (near) c.set(i, j, INK);
            }
    }
    const int h = 7 * sy;
    for (int j = 0; j < c.h; ++j)
        for (int i = 0; i < c.w; ++i) {
            if (!mk.in(i, j)) continue;
            const double f = (j - y + 0.5) / h;
            int t = f < 0.3 ? 4 : f < 0.55 ? 3 : f < 0.8 ? 2 : 1;
            if (!mk.in(i, j - 1)) t = 4;
            else if (!mk.in(i, j + 1) && t > 1) t -= 1;
            c.set(i, j, r.tone(t));
        }
}

void draw_text_centred(Canvas& c, int cx, int y, const std::string& text, int sx, int sy,
                       const Ramp& r, int shadow) {
    draw_text(c, cx - text_width(text, sx) / 2, y, text, sx, sy, r, shadow);
}

std::vector<Pt> ellipse_points(double cx, double cy, double rx, double ry, int n) {
    std::vector<Pt> pts;
    for (int i = 0; i < n; ++i) {
        const double a = 2 * M_PI * i / n;
        pts.push_back({cx + rx * std::cos(a), cy + ry * std::sin(a)});
    }
    return pts;
}

std::vector<Pt> transform(const std::vector<Pt>& pts, double angle_deg, double ox, double oy) {
    const double a = angle_deg * M_PI / 180.0;
    const double cs = std::cos(a), sn = std::sin(a);
    std::vector<Pt> out;
    out.reserve(pts.size());
    for (const Pt& p : pts) out.push_back({ox + p.x * cs - p.y * sn, oy + p.x * sn + p.y * cs});
    return out;
}

}  // namespace valmoren::assetgen
