// pictures_ship.cpp -- the level-3 ship at its sixteen headings: rotate/abc1 has
// the nose up, each next one is turned 22.5 degrees further clockwise. The ship
// is drawn from shapes turned about the picture's centre, then shaded with the
// light always from the upper left of the screen. The game's icons draw the
// same ship bigger or smaller.
#include <cmath>
#include <string>

#include "pictures_art.h"

namespace valmoren::assetgen {

namespace {

std::vector<Pt> half_to_whole(const std::vector<Pt>& left) {
    std::vector<Pt> all = left;
    const std::vector<Pt> right = mirrored(left, 0);
    all.insert(all.end(), right.begin(), right.end());
    return all;
}

// The ship's shapes are in units of the 50x50 sprite, centred on (25, 25);
// `scale` draws them bigger or smaller about the picture's centre.
std::vector<Pt> scaled(const std::vector<Pt>& model, double scale) {
    std::vector<Pt> out = model;
    for (Pt& p : out) p = {p.x * scale, p.y * scale};
    return out;
}

void part(Canvas& c, const std::vector<Pt>& model, double angle, double scale, const Ramp& r, int base) {
    Mask mk(c.w, c.h);
    mask_polygon(mk, transform(scaled(model, scale), angle, c.w / 2.0, c.h / 2.0));
    paint_part(c, mk, r, base);
}

}  // namespace

Canvas ship_at(double angle, double scale) {
    const int size = static_cast<int>(std::lround(50 * scale));
    Canvas c(size, size);
    const double mid = size / 2.0;
    // Wings with their tip pods.
    part(c, half_to_whole({{-4, -5}, {-18, 9}, {-18, 14}, {-5, 11}}), angle, scale, pal::TEAL, 2);
    part(c, {{-20.5, 2}, {-16.5, 2}, {-16.5, 16}, {-20.5, 16}}, angle, scale, pal::STEEL, 2);
    part(c, {{16.5, 2}, {20.5, 2}, {20.5, 16}, {16.5, 16}}, angle, scale, pal::STEEL, 2);
    // Tail fins.
    part(c, half_to_whole({{-3, 10}, {-9, 19}, {-3, 17}}), angle, scale, pal::TEAL, 1);
    // Hull.
    part(c, half_to_whole({{0, -22.5}, {-3.5, -15}, {-5.5, 0}, {-5, 14}, {-3, 19}}), angle, scale, pal::STEEL, 3);
    // Gold stripe across the hull and the engine glow at the tail.
    part(c, {{-5.5, 3}, {5.5, 3}, {5.4, 6}, {-5.4, 6}}, angle, scale, pal::GOLD, 2);
    part(c, {{-3, 19}, {3, 19}, {2, 22}, {-2, 22}}, angle, scale, pal::FIRE, 3);
    // Canopy.
    Mask glass(size, size);
    mask_polygon(glass, transform(ellipse_points(0, -9 * scale, 2.4 * scale, 4.8 * scale, 20), angle, mid, mid));
    const Pt centre = transform({{0, -9 * scale}}, angle, mid, mid)[0];
    paint_sphere(c, glass, centre.x - 0.5, centre.y - 0.5, 5.2 * scale, pal::CYAN, 0.15);
    outline(c);
    return c;
}

void add_rotating_ship(std::vector<Picture>& out) {
    for (int k = 1; k <= 16; ++k) {
        out.push_back({"rotate/abc" + std::to_string(k) + ".bmp", ship_at(22.5 * (k - 1))});
    }
}

}  // namespace valmoren::assetgen
