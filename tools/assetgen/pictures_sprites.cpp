// pictures_sprites.cpp -- the level sprites: ball, paddles, ships, station,
// asteroids, explosion, bonuses, energy bar, fighter, shots, enemy craft, wreck,
// rockets, landing pad, crosshair and the gallery targets.
#include <cmath>

#include "pictures_art.h"

namespace valmoren::assetgen {

namespace {

std::vector<Pt> join(std::vector<Pt> a, const std::vector<Pt>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

// A symmetric outline from its left half (listed top to bottom).
std::vector<Pt> sym(const std::vector<Pt>& left, double cx) { return join(left, mirrored(left, cx)); }

void poly_part(Canvas& c, const std::vector<Pt>& pts, const Ramp& r, int base = 2) {
    Mask mk(c.w, c.h);
    mask_polygon(mk, pts);
    paint_part(c, mk, r, base);
}

void ellipse_part(Canvas& c, double cx, double cy, double rx, double ry, const Ramp& r, int base = 2) {
    Mask mk(c.w, c.h);
    mask_ellipse(mk, cx, cy, rx, ry);
    paint_part(c, mk, r, base);
}

// A glass canopy: dark rim, bright glint at the upper left.
void canopy(Canvas& c, double cx, double cy, double rx, double ry) {
    Mask mk(c.w, c.h);
    mask_ellipse(mk, cx, cy, rx, ry);
    paint_sphere(c, mk, cx, cy, std::max(rx, ry) + 0.5, pal::CYAN, 0.1);
}

// Shading across a vertical cylinder: light on the left, shadow on the right.
void paint_cylinder(Canvas& c, const Mask& mk, double x0, double x1, const Ramp& r) {
    for (int y = 0; y < mk.h; ++y)
        for (int x = 0; x < mk.w; ++x) {
            if (!mk.in(x, y)) continue;
            const double f = (x + 0.5 - x0) / (x1 - x0);
            const int t = f < 0.2 ? 3 : f < 0.38 ? 4 : f < 0.62 ? 2 : f < 0.85 ? 1 : 0;
            c.set(x, y, r.tone(t));
        }
}

Canvas ball() {
    Canvas c(16, 16);
    Mask mk(16, 16);
    mask_ellipse(mk, 8, 8, 6.6, 6.6);
    paint_sphere(c, mk, 8, 8, 6.6, pal::CYAN, 0.15);
    c.set(5, 5, pal::WHITE);
    c.set(6, 5, pal::CYAN.shine);
    c.set(5, 6, pal::CYAN.shine);
    outline(c);
    return c;
}

// The level-1 paddle plane, seen from above, nose to the right.
Canvas paddle_plane() {
    Canvas c(48, 75);
    const double cy = 37.5;
    // Wings, swept back, spanning almost the whole height.
    poly_part(c, {{17, cy - 5}, {11, 2}, {19, 2}, {33, cy - 5}, {33, cy + 5}, {19, 73}, {11, 73}, {17, cy + 5}},
              pal::BLUE);
    // Gold wing-tip bands.
    poly_part(c, {{11.5, 2}, {19, 2}, {21.5, 7}, {13.3, 7}}, pal::GOLD);
    poly_part(c, {{13.3, 68}, {21.5, 68}, {19, 73}, {11.5, 73}}, pal::GOLD);
    // Tail planes.
    poly_part(c, {{4, cy - 3}, {2, 22}, {7, 22}, {11, cy - 3}, {11, cy + 3}, {7, 53}, {2, 53}, {4, cy + 3}},
              pal::BLUE, 1);
    // Fuselage.
    poly_part(c, {{2, cy - 4}, {30, cy - 6}, {40, cy - 4.5}, {46.5, cy}, {40, cy + 4.5}, {30, cy + 6}, {2, cy + 4}},
              pal::STEEL, 3);
    // Engine glow at the tail.
    fill_rect(c, 1, 35, 1, 5, pal::FIRE.light);
    canopy(c, 35, cy, 5, 2.6);
    // A red stripe across the fuselage, and wing lights.
    fill_rect(c, 24, 33, 2, 9, pal::RED.mid);
    c.set(15, 4, pal::GREEN.light);
    c.set(15, 70, pal::RED.light);
    outline(c);
    return c;
}

// The level-1 freighter drifting down the field, engines at the top.
Canvas freighter() {
    Canvas c(75, 84);
    const double cx = 37.5;
    // Rear wings with the cargo pods.
    poly_part(c, sym({{23, 12}, {4, 28}, {4, 40}, {23, 36}}, cx), pal::ASH);
    for (int side = 0; side < 2; ++side) {
        const double px = side == 0 ? 7 : 55;
        poly_part(c, {{px, 24}, {px + 13, 24}, {px + 13, 62}, {px + 6.5, 67}, {px, 62}}, pal::STEEL);
        for (int y = 30; y < 60; y += 8) fill_rect(c, static_cast<int>(px) + 2, y, 9, 1, pal::STEEL.shade);
        fill_rect(c, static_cast<int>(px) + 5, 26, 3, 2, pal::GOLD.light);
    }
    // Main hull, nose pointing down.
    poly_part(c, sym({{29, 4}, {22, 18}, {23, 64}, {32, 78}, {cx, 82}}, cx), pal::STEEL, 3);
    // Hull plating and a gold band.
    for (int y = 24; y < 64; y += 10) draw_line(c, 25, y, 50, y, pal::STEEL.mid);
    fill_rect(c, 24, 40, 28, 3, pal::GOLD.mid);
    fill_rect(c, 24, 40, 28, 1, pal::GOLD.light);
    // Bridge windows near the nose.
    for (int i = 0; i < 4; ++i) fill_rect(c, 30 + 4 * i, 68, 2, 2, pal::CYAN.light);
    canopy(c, cx, 74, 4, 3);
    // Three engines at the rear.
    for (int i = 0; i < 3; ++i) {
        const int ex = 27 + 8 * i;
        fill_rect(c, ex, 1, 6, 4, pal::ASH.mid);
        fill_rect(c, ex + 1, 1, 4, 1, pal::CYAN.light);
        fill_rect(c, ex + 2, 0, 2, 1, pal::CYAN.shine);
    }
    outline(c);
    return c;
}

// A space station: a ring hub on a spine, four solar panels.
Canvas station() {
    Canvas c(48, 62);
    for (int i = 0; i < 4; ++i) {
        const int px = i % 2 == 0 ? 1 : 34;
        const int py = i < 2 ? 5 : 42;
        fill_rect(c, px, py, 13, 14, pal::BLUE.shade);
        for (int y = py; y < py + 14; ++y)
            for (int x = px; x < px + 13; ++x)
                if ((x - px) % 4 == 3 || (y - py) % 5 == 4) c.set(x, y, pal::CYAN.mid);
        fill_rect(c, px, py, 13, 1, pal::BLUE.light);
        draw_line(c, i % 2 == 0 ? 14 : 33, py + 7, i % 2 == 0 ? 21 : 26, py + 7, pal::STEEL.mid);
    }
    poly_part(c, {{21, 2}, {27, 2}, {27, 60}, {21, 60}}, pal::STEEL, 2);
    Mask ring(48, 62);
    mask_ellipse(ring, 24, 31, 13, 13);
    mask_ellipse(ring, 24, 31, 7.5, 7.5, false);
    paint_part(c, ring, pal::STEEL, 3);
    for (int k = 0; k < 8; ++k) {
        const double a = k * M_PI / 4;
        c.set(static_cast<int>(24 + 10.3 * std::cos(a)), static_cast<int>(31 + 10.3 * std::sin(a)), pal::GOLD.light);
    }
    ellipse_part(c, 24, 31, 4, 4, pal::GOLD, 3);
    draw_line(c, 24, 0, 24, 2, pal::STEEL.light);
    c.set(24, 0, pal::RED.light);
    c.set(24, 61, pal::GREEN.light);
    outline(c);
    return c;
}

// A lumpy rock with craters; `seed` makes each one different.
Canvas asteroid(int w, int h, uint32_t seed, const Ramp& r) {
    Canvas c(w, h);
    const double cx = w / 2.0, cy = h / 2.0, rx = w / 2.0 - 1.5, ry = h / 2.0 - 1.5;
    std::vector<Pt> pts;
    for (int i = 0; i < 20; ++i) {
        const double a = 2 * M_PI * i / 20;
        const double k = 0.8 + 0.2 * value_noise(i * 0.9, 0.5, seed, 18);
        pts.push_back({cx + rx * k * std::cos(a), cy + ry * k * std::sin(a)});
    }
    Mask mk(w, h);
    mask_polygon(mk, pts);
    paint_sphere(c, mk, cx - 1, cy - 1, std::max(rx, ry) + 1, r);
    // Surface grain.
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (mk.in(x, y) && fbm(x * 0.35, y * 0.35, seed + 7, 2) > 0.68) c.set(x, y, r.shade);
    Rng rng(seed);
    for (int i = 0; i < 4; ++i) {
        const double kx = cx + (rng.unit() - 0.5) * rx * 1.1, ky = cy + (rng.unit() - 0.5) * ry * 1.1;
        const double kr = 1.6 + rng.unit() * 2.2;
        Mask crater(w, h);
        mask_ellipse(crater, kx, ky, kr, kr * 0.8);
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                if (!crater.in(x, y) || !mk.in(x, y)) continue;
                const bool rim = !crater.in(x + 1, y + 1);
                c.set(x, y, rim ? r.light : r.shade);
            }
    }
    outline(c);
    return c;
}

// A burst of fire with spikes: white core, yellow, orange, red rim.
Canvas explosion(int size, uint32_t seed, int spikes) {
    Canvas c(size, size);
    const double cx = size / 2.0, cy = size / 2.0, rmax = size / 2.0 - 1;
    for (int y = 0; y < size; ++y)
        for (int x = 0; x < size; ++x) {
            const double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
            const double d = std::sqrt(dx * dx + dy * dy);
            const double a = std::atan2(dy, dx);
            const double spike = 0.5 + 0.5 * std::cos(a * spikes + 1.3 * value_noise(a * 2, 0, seed));
            const double edge = rmax * (0.55 + 0.35 * spike + 0.12 * value_noise(a * 3 + 9, d * 0.1, seed + 3));
            if (d > edge) continue;
            const double f = d / edge + (fbm(x * 0.3, y * 0.3, seed + 11, 2) - 0.5) * 0.5;
            const int t = f < 0.25 ? 4 : f < 0.45 ? 3 : f < 0.7 ? 2 : f < 0.9 ? 1 : 0;
            c.set(x, y, pal::FIRE.tone(t));
        }
    outline(c, pal::RED.deep);
    return c;
}

Canvas energy_bonus() {
    Canvas c(20, 20);
    Mask mk(20, 20);
    mask_rect(mk, 3, 2, 14, 16);
    mask_rect(mk, 2, 3, 16, 14);
    paint_bevel(c, mk, pal::GREEN, 2);
    fill_rect(c, 7, 0, 6, 2, pal::STEEL.light);  // battery terminal
    fill_rect(c, 8, 5, 4, 10, pal::GREEN.shine);
    fill_rect(c, 5, 8, 10, 4, pal::GREEN.shine);
    fill_rect(c, 9, 6, 2, 8, pal::WHITE);
    fill_rect(c, 6, 9, 8, 2, pal::WHITE);
    outline(c);
    return c;
}

Canvas time_bonus() {
    Canvas c(20, 20);
    Mask mk(20, 20);
    mask_ellipse(mk, 10, 10.5, 8.5, 8.5);
    paint_sphere(c, mk, 10, 10.5, 8.5, pal::GOLD, 0.2);
    Mask face(20, 20);
    mask_ellipse(face, 10, 10.5, 6, 6);
    paint_flat(c, face, pal::GOLD.shine);
    for (int k = 0; k < 4; ++k) {
        const int tx = 10 + (k == 1 ? 5 : k == 3 ? -5 : 0), ty = 10 + (k == 0 ? -5 : k == 2 ? 5 : 0);
        c.set(tx, ty, pal::GOLD.shade);
    }
    draw_line(c, 10, 10, 10, 6, INK);
    draw_line(c, 10, 10, 13, 10, INK);
    c.set(10, 10, pal::RED.mid);
    fill_rect(c, 8, 0, 4, 2, pal::GOLD.mid);
    outline(c);
    return c;
}

// The frame of the energy bar, with 24 dark slots from x 13 to 156 at y 11..18.
Canvas energy_frame() {
    Canvas c(170, 26);
    Mask mk(170, 26);
    mask_rect(mk, 2, 1, 166, 24);
    mask_rect(mk, 1, 2, 168, 22);
    paint_bevel(c, mk, pal::STEEL, 2);
    // Brushed stripes on the plate.
    for (int x = 4; x < 166; x += 2) c.set(x, 4, pal::STEEL.light);
    for (int x = 4; x < 166; x += 2) c.set(x + 1, 22, pal::STEEL.shade);
    // The inset channel: ink rim, dark slots with faint dividers.
    fill_rect(c, 11, 9, 148, 12, INK);
    fill_rect(c, 12, 10, 146, 10, pal::STEEL.shade);
    fill_rect(c, 13, 11, 144, 8, pal::SPACE.mid);
    for (int i = 1; i < 24; ++i) fill_rect(c, 13 + 6 * i - 1, 11, 1, 8, pal::SPACE.deep);
    fill_rect(c, 13, 11, 144, 1, pal::SPACE.shade);
    // Lightning mark on the left.
    Mask bolt(170, 26);
    mask_polygon(bolt, {{7, 4}, {3.5, 13.5}, {6.2, 13.5}, {4.5, 22}, {9.8, 10.8}, {7, 10.8}, {9.5, 4}});
    paint_flat(c, bolt, pal::GOLD.light);
    // Rivets and the end cap light.
    for (int x : {20, 60, 100, 140}) c.set(x, 6, pal::STEEL.shine);
    fill_rect(c, 161, 10, 4, 6, pal::GREEN.mid);
    fill_rect(c, 161, 10, 2, 2, pal::GREEN.shine);
    outline(c);
    return c;
}

Canvas energy_segment() {
    Canvas c(6, 8, INK);
    const uint32_t col[8] = {pal::GREEN.shine, pal::GREEN.light, pal::GREEN.light, pal::GREEN.mid,
                             pal::GREEN.mid, pal::GREEN.mid, pal::GREEN.shade, pal::GREEN.shade};
    for (int y = 0; y < 8; ++y) fill_rect(c, 0, y, 5, 1, col[y]);
    c.set(0, 0, pal::GREEN.light);
    return c;
}

// The level-2 fighter, nose up.
Canvas fighter() {
    Canvas c(27, 40);
    const double cx = 13.5;
    poly_part(c, sym({{11, 13}, {1, 26}, {1, 31}, {11, 28}}, cx), pal::BLUE);
    poly_part(c, {{1, 26}, {4, 22.5}, {4, 31}, {1, 31}}, pal::GOLD);
    poly_part(c, {{23, 22.5}, {26, 26}, {26, 31}, {23, 31}}, pal::GOLD);
    poly_part(c, sym({{12, 31}, {7, 38}, {12, 36}}, cx), pal::BLUE, 1);
    poly_part(c, sym({{cx, 1}, {11, 8}, {10.5, 33}, {12, 37.5}}, cx), pal::STEEL, 3);
    canopy(c, cx, 13, 2, 3.6);
    fill_rect(c, 12, 38, 3, 2, pal::FIRE.light);
    c.set(13, 39, pal::FIRE.shine);
    outline(c);
    return c;
}

Canvas shot(int w, int h, const Ramp& r) {
    Canvas c(w, h);
    fill_rect(c, 1, 1, w - 2, h - 2, r.light);
    fill_rect(c, w / 2, 1, 1, h - 2, r.shine);
    fill_rect(c, 1, h - 2, w - 2, 1, r.mid);
    outline(c);
    return c;
}

// The level-2 enemy craft: red hull, dark wings with guns, gold eye.
Canvas enemy_craft() {
    Canvas c(62, 39);
    const double cx = 31;
    poly_part(c, sym({{22, 9}, {2, 19}, {2, 27}, {8, 26}, {22, 22}}, cx), pal::PURPLE);
    for (int side = 0; side < 2; ++side) {
        const int gx = side == 0 ? 4 : 54;
        fill_rect(c, gx, 22, 4, 13, pal::ASH.mid);
        fill_rect(c, gx, 22, 1, 13, pal::ASH.light);
        fill_rect(c, gx + 1, 35, 2, 2, pal::RED.light);
    }
    poly_part(c, sym({{27, 1}, {20, 8}, {19, 22}, {24, 33}, {29, 37.5}}, cx), pal::RED, 2);
    ellipse_part(c, cx, 20, 5, 5, pal::GOLD, 3);
    c.set(29, 18, pal::GOLD.shine);
    for (int i = 0; i < 3; ++i) {
        c.set(10 + 4 * i, 21 - i * 2, pal::RED.light);
        c.set(51 - 4 * i, 21 - i * 2, pal::RED.light);
    }
    outline(c);
    return c;
}

// A burnt-out wreck tumbling down: a hull snapped off behind its wing, tilted,
// with fire and smoke pouring from the break.
Canvas wreck() {
    Canvas c(47, 54);
    const double ang = 24, ox = 25, oy = 29;
    auto grow = [](std::vector<Pt> pts) {
        for (Pt& p : pts) p = {p.x * 1.3, p.y * 1.3};
        return pts;
    };
    auto part = [&](const std::vector<Pt>& model, const Ramp& r, int base) {
        Mask mk(47, 54);
        mask_polygon(mk, transform(grow(model), ang, ox, oy));
        paint_part(c, mk, r, base);
    };
    // Smoke puffs trailing up from the break.
    const struct { double x, y, r; } smoke[] = {{11, 7, 5.5}, {5, 13, 4}, {18, 4, 3.5}};
    for (const auto& s : smoke) {
        Mask mk(47, 54);
        mask_ellipse(mk, s.x, s.y, s.r, s.r);
        paint_sphere(c, mk, s.x, s.y, s.r + 0.5, pal::ASH, -0.1);
    }
    // The one wing left, bent, and the broken hull, nose down.
    part({{-4, -2}, {-17, 8}, {-16, 13}, {-4, 8}}, pal::ASH, 2);
    part({{4, -6}, {13, -1}, {11, 3}, {4, 2}}, pal::ASH, 1);
    part({{-6, -12}, {-3, -15}, {0, -11}, {3, -16}, {6, -12}, {6.5, 12}, {3, 21}, {0, 23.5}, {-3, 21}, {-6.5, 12}},
         pal::STEEL, 2);
    // Scorch marks and a dead window.
    Mask scorch(47, 54);
    mask_polygon(scorch, transform(grow({{-6, -12}, {6, -12}, {6, -4}, {1, -7}, {-6, -2}}), ang, ox, oy));
    paint_flat(c, scorch, pal::ASH.shade);
    Mask win(47, 54);
    mask_polygon(win, transform(grow(ellipse_points(0, 12, 2, 3, 12)), ang, ox, oy));
    paint_flat(c, win, pal::CYAN.shade);
    // Fire at the break.
    const Pt br = transform(grow({{0, -13}}), ang, ox, oy)[0];
    for (int y = 0; y < 54; ++y)
        for (int x = 0; x < 47; ++x) {
            const double dx = x + 0.5 - br.x, dy = y + 0.5 - br.y;
            const double d = std::sqrt(dx * dx + dy * dy * 0.7) + 2.2 * value_noise(x * 0.6, y * 0.6, 0x3F1);
            if (d < 7.5) c.set(x, y, pal::FIRE.tone(d < 2.8 ? 4 : d < 4.5 ? 3 : d < 6 ? 2 : 1));
        }
    outline(c);
    return c;
}

// The small rocket (level-4 lander, level-3 debris); with its engine flame when `burning`.
Canvas rocket(bool burning) {
    Canvas c(21, 45);
    const double cx = 10.5;
    // Landing legs.
    Mask legs(21, 45);
    mask_line(legs, 6, 31, 2.5, 43.5, 1.6);
    mask_line(legs, 15, 31, 18.5, 43.5, 1.6);
    mask_rect(legs, 2, 43, 3, 2);
    mask_rect(legs, 16, 43, 3, 2);
    paint_part(c, legs, pal::ASH, 3);
    // Fins.
    poly_part(c, sym({{6, 24}, {1.5, 32}, {1.5, 37}, {6, 33}}, cx), pal::RED);
    // Body.
    Mask body(21, 45);
    mask_rect(body, 6, 11, 9, 24);
    paint_cylinder(c, body, 6, 15, pal::STEEL);
    // Nose cone.
    Mask nose(21, 45);
    mask_polygon(nose, sym({{cx, 0.5}, {8, 4}, {6, 11}}, cx));
    paint_cylinder(c, nose, 6, 15, pal::RED);
    // Window and band.
    Mask win(21, 45);
    mask_ellipse(win, cx, 17, 2.6, 2.6);
    paint_sphere(c, win, cx, 17, 2.8, pal::CYAN, 0.2);
    fill_rect(c, 6, 26, 9, 2, pal::RED.mid);
    fill_rect(c, 6, 26, 2, 2, pal::RED.light);
    // Nozzle.
    poly_part(c, {{8, 35}, {13, 35}, {14, 38}, {7, 38}}, pal::ASH, 2);
    if (burning) {
        Mask flame(21, 45);
        mask_polygon(flame, {{7, 38}, {14, 38}, {12.5, 42}, {10.5, 45}, {8.5, 42}});
        for (int y = 0; y < 45; ++y)
            for (int x = 0; x < 21; ++x)
                if (flame.in(x, y)) {
                    const double d = std::abs(x + 0.5 - cx) / 3.5 + (y - 38) / 9.0;
                    c.set(x, y, pal::FIRE.tone(d < 0.35 ? 4 : d < 0.7 ? 3 : d < 1.0 ? 2 : 1));
                }
    }
    outline(c);
    return c;
}

// The landing pad: a deck with the landing zone marked between two beacons.
Canvas landing_pad() {
    Canvas c(195, 35);
    // Support trusses and base.
    Mask base(195, 35);
    mask_rect(base, 4, 26, 187, 9);
    paint_bevel(c, base, pal::ASH, 2);
    for (int x = 8; x < 188; x += 18) {
        Mask strut(195, 35);
        mask_line(strut, x, 11, x + 9, 26, 2);
        mask_line(strut, x + 18, 11, x + 9, 26, 2);
        paint_part(c, strut, pal::STEEL, 1);
    }
    // Deck.
    Mask deck(195, 35);
    mask_rect(deck, 1, 5, 193, 7);
    paint_bevel(c, deck, pal::STEEL, 3);
    // Hazard stripes outside the zone, a green strip inside it.
    for (int x = 2; x < 193; ++x) {
        if (x >= 40 && x < 152) c.set(x, 9, ((x / 4) % 2) ? pal::GREEN.light : pal::GREEN.mid);
        else c.set(x, 9, ((x / 3) % 2) ? pal::GOLD.light : INK);
        c.set(x, 10, (x >= 40 && x < 152) ? pal::GREEN.shade : pal::STEEL.shade);
    }
    // Beacons at the ends of the zone.
    for (int bx : {39, 151}) {
        fill_rect(c, bx, 1, 2, 4, pal::STEEL.mid);
        fill_rect(c, bx, 0, 2, 2, pal::GREEN.shine);
    }
    // Windows along the base.
    for (int x = 10; x < 185; x += 12) fill_rect(c, x, 29, 4, 2, pal::GOLD.light);
    outline(c);
    return c;
}

// The crosshair; its centre is at (16, 16).
Canvas crosshair() {
    Canvas c(31, 31);
    Mask ring(31, 31);
    mask_ellipse(ring, 16.5, 16.5, 11, 11);
    mask_ellipse(ring, 16.5, 16.5, 8.6, 8.6, false);
    paint_flat(c, ring, pal::RED.light);
    for (int y = 0; y < 31; ++y)
        for (int x = 0; x < 31; ++x)
            if (ring.in(x, y) && x + y < 31 && !ring.in(x - 1, y - 1)) c.set(x, y, pal::RED.shine);
    // Ticks, leaving the middle open; a dot at the centre.
    fill_rect(c, 16, 2, 1, 9, pal::WHITE);
    fill_rect(c, 16, 23, 1, 7, pal::WHITE);
    fill_rect(c, 2, 16, 9, 1, pal::WHITE);
    fill_rect(c, 23, 16, 7, 1, pal::WHITE);
    c.set(16, 16, pal::RED.shine);
    outline(c);
    return c;
}

// Level-5 target: an alien saucer with a glass dome and three legs.
Canvas saucer() {
    Canvas c(60, 61);
    const double cx = 30;
    for (double lx : {14.0, 30.0, 46.0}) {
        Mask leg(60, 61);
        mask_line(leg, lx, 38, lx + (lx - 30) * 0.35, 55, 2.5);
        paint_part(c, leg, pal::ASH, 2);
        fill_rect(c, static_cast<int>(lx + (lx - 30) * 0.35) - 2, 55, 5, 2, pal::PURPLE.light);
    }
    Mask dome(60, 61);
    mask_ellipse(dome, cx, 27, 14, 15);
    mask_rect(dome, 0, 30, 60, 31, false);
    paint_sphere(c, dome, cx, 27, 15, pal::GREEN, 0.1);
    Mask disc(60, 61);
    mask_ellipse(disc, cx, 34, 28.5, 9);
    paint_part(c, disc, pal::PURPLE, 2);
    Mask rim(60, 61);
    mask_ellipse(rim, cx, 34, 28.5, 9);
    mask_ellipse(rim, cx, 31.5, 28.5, 8, false);
    paint_flat(c, rim, pal::PURPLE.shade);
    for (int i = 0; i < 7; ++i) {
        const double a = M_PI * (0.12 + 0.76 * i / 6);
        const int lx = static_cast<int>(cx - 22 * std::cos(a)), ly = static_cast<int>(35 + 4.5 * std::sin(a));
        fill_rect(c, lx, ly, 2, 2, i % 2 ? pal::GOLD.shine : pal::CYAN.light);
    }
    Mask glow(60, 61);
    mask_ellipse(glow, cx, 43, 8, 2.5);
    paint_flat(c, glow, pal::GREEN.light);
    outline(c);
    return c;
}

// Level-5 target: a missile falling nose first, exhaust at the top.
Canvas missile() {
    Canvas c(20, 60);
    const double cx = 10;
    poly_part(c, sym({{5.5, 4}, {1, 13}, {1, 17}, {5.5, 14}}, cx), pal::RED);
    poly_part(c, sym({{5.5, 40}, {2.5, 47}, {5.5, 46}}, cx), pal::RED, 1);
    Mask body(20, 60);
    mask_rect(body, 6, 4, 8, 44);
    paint_cylinder(c, body, 6, 14, pal::STEEL);
    Mask nose(20, 60);
    mask_polygon(nose, sym({{6, 48}, {7, 54}, {cx, 58.5}}, cx));
    paint_cylinder(c, nose, 6, 14, pal::RED);
    for (int y = 20; y < 34; y += 4) fill_rect(c, 6, y, 8, 2, (y / 4) % 2 ? pal::GOLD.light : INK);
    Mask flame(20, 60);
    mask_polygon(flame, {{7, 4}, {13, 4}, {11.5, 1.5}, {cx, 0}, {8.5, 1.5}});
    paint_flat(c, flame, pal::FIRE.light);
    c.set(9, 2, pal::FIRE.shine);
    c.set(10, 2, pal::FIRE.shine);
    outline(c);
    return c;
}

}  // namespace

void add_level_sprites(std::vector<Picture>& out) {
    out.push_back({"ball.bmp", ball()});
    Canvas plane = paddle_plane();
    out.push_back({"samalet2.bmp", mirror_x(plane)});
    out.push_back({"samalet.bmp", std::move(plane)});
    out.push_back({"ship3.bmp", freighter()});
    out.push_back({"stations.bmp", station()});
    out.push_back({"aster.bmp", asteroid(32, 27, 0xA57E01, pal::ROCK)});
    out.push_back({"aster2.bmp", asteroid(32, 25, 0x51C4E7, pal::ASH)});
    out.push_back({"vzruv.bmp", explosion(27, 0xB00B, 7)});
    out.push_back({"lives.bmp", energy_bonus()});
    out.push_back({"time.bmp", time_bonus()});
    out.push_back({"load.bmp", energy_frame()});
    out.push_back({"load2.bmp", energy_segment()});
    out.push_back({"samol.bmp", fighter()});
    out.push_back({"pull.bmp", shot(5, 8, pal::GOLD)});
    out.push_back({"pull2.bmp", shot(5, 7, pal::RED)});
    out.push_back({"andr.bmp", enemy_craft()});
    out.push_back({"ship2.bmp", wreck()});
    out.push_back({"oskolki.bmp", rocket(false)});
    out.push_back({"oskolki2.bmp", rocket(true)});
    out.push_back({"kosm.bmp", landing_pad()});
    out.push_back({"target.bmp", crosshair()});
    out.push_back({"andr2.bmp", saucer()});
    out.push_back({"racet.bmp", missile()});
}

}  // namespace valmoren::assetgen
