// pictures_icon.cpp -- the game's icon for desktop menus: the level-3 ship
// flying up and to the right out of a planet's glow, on a rounded square of
// deep space. Drawn pixel for pixel at every size up to 64 pixels (the
// Windows icon's 16 to 40 too), so each size is crisp; 128 and 256 are the
// 64-pixel icon blown up by whole multiples, like the game's own screen on a
// big window.
#include <algorithm>
#include <cmath>

#include "pictures_art.h"

namespace valmoren::assetgen {

namespace {

// The rounded square the icon is drawn on, `inset` pixels in from each edge.
Mask backdrop(int size, int inset) {
    Mask mk(size, size);
    const double r = size * 0.2;
    const double lo = inset, hi = size - inset;
    mask_rect(mk, inset, static_cast<int>(lo + r), size - 2 * inset, static_cast<int>(hi - lo - 2 * r));
    mask_rect(mk, static_cast<int>(lo + r), inset, static_cast<int>(hi - lo - 2 * r), size - 2 * inset);
    for (double cx : {lo + r, hi - r})
        for (double cy : {lo + r, hi - r}) mask_ellipse(mk, cx, cy, r, r);
    return mk;
}

Canvas icon_drawn(int size) {
    const double u = size / 64.0;  // one pixel of the 64-pixel icon
    const int inset = std::max(1, size / 32);
    Canvas c(size, size);
    const Mask back = backdrop(size, inset);
    paint_vgradient(c, back, 0, size, pal::SPACE, 1, 4);

    // A violet planet rising from the lower left corner, clipped to the square.
    Mask world(size, size);
    const double px = 6 * u, py = 66 * u, pr = 30 * u;
    mask_ellipse(world, px, py, pr, pr);
    for (size_t i = 0; i < world.m.size(); ++i) world.m[i] = world.m[i] && back.m[i];
    paint_sphere(c, world, px + 8 * u, py - 14 * u, pr * 1.15, pal::PURPLE, 0.1);

    // Stars: fewer and smaller on the small icons.
    struct Star {
        double x, y;
        int size;
        uint32_t colour;
    };
    const Star stars[] = {{14, 16, 3, pal::STAR_COOL}, {50, 50, 2, pal::STAR_WARM}, {33, 9, 1, pal::STAR_MID},
                          {56, 24, 1, pal::STAR_DIM},   {22, 36, 1, pal::STAR_DIM},  {44, 57, 1, pal::STAR_MID}};
    for (const Star& s : stars) {
        if (size < 48 && s.size == 1) continue;
        const int star_size = size < 48 ? std::min(s.size, 2) : s.size;
        draw_star(c, static_cast<int>(s.x * u), static_cast<int>(s.y * u), star_size, s.colour, false);
    }

    // The engine's trail, fading from the tail toward the planet.
    const double sx = 37 * u, sy = 27 * u;  // the ship's centre
    for (int i = 0; i < 12; ++i) {
        const double t = i / 11.0;
        const double d = (9 + 14 * t) * u;
        Mask puff(size, size);
        mask_ellipse(puff, sx - d, sy + d, (4.2 - 2.6 * t) * u, (4.2 - 2.6 * t) * u);
        for (size_t k = 0; k < puff.m.size(); ++k) puff.m[k] = puff.m[k] && back.m[k];
        paint_flat(c, puff, pal::FIRE.tone(4 - static_cast<int>(t * 4.5)));
    }

    // The ship, nose up and to the right.
    const Canvas ship = ship_at(45, 1.1 * u);
    blit(c, ship, static_cast<int>(std::lround(sx - ship.w / 2.0)), static_cast<int>(std::lround(sy - ship.h / 2.0)));
    outline(c);
    return c;
}

Canvas blown_up(const Canvas& small, int factor) {
    Canvas big(small.w * factor, small.h * factor);
    for (int y = 0; y < big.h; ++y)
        for (int x = 0; x < big.w; ++x) big.px[y * big.w + x] = small.px[(y / factor) * small.w + x / factor];
    return big;
}

}  // namespace

Canvas icon(int size) {
    if (size > 64 && size % 64 == 0) return blown_up(icon_drawn(64), size / 64);
    return icon_drawn(size);
}

}  // namespace valmoren::assetgen
