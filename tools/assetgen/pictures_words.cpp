// pictures_words.cpp -- pictures that carry words: menu buttons, the logo, the
// credits line, the overlay banners, victory and the end, plus the controls
// help pictures (arrows in three animation frames, the mouse, the key cap).
#include <cmath>

#include "pictures_art.h"

namespace valmoren::assetgen {

namespace {

// A rounded dark plate with a steel rim: the ground every banner stands on.
void plate(Canvas& c, int x, int y, int w, int h, const Ramp& glow) {
    Mask mk(c.w, c.h);
    mask_rect(mk, x + 2, y, w - 4, h);
    mask_rect(mk, x, y + 2, w, h - 4);
    mask_rect(mk, x + 1, y + 1, w - 2, h - 2);
    paint_vgradient(c, mk, y, y + h, pal::SPACE, 4, 1);
    // Steel rim, lit along the top, and a thin coloured inner line.
    for (int j = y; j < y + h; ++j)
        for (int i = x; i < x + w; ++i) {
            if (!mk.in(i, j)) continue;
            const bool edge = !mk.in(i - 1, j) || !mk.in(i + 1, j) || !mk.in(i, j - 1) || !mk.in(i, j + 1);
            const bool inner = !edge && (!mk.in(i - 2, j) || !mk.in(i + 2, j) || !mk.in(i, j - 2) || !mk.in(i, j + 2));
            if (edge) c.set(i, j, j < y + h / 2 ? pal::STEEL.light : pal::STEEL.mid);
            else if (inner) c.set(i, j, glow.shade);
        }
    outline(c);
}

Canvas button(const std::string& word) {
    const int tw = text_width(word, 3);
    Canvas c(tw + 22, 36);
    plate(c, 0, 0, c.w, c.h, pal::BLUE);
    draw_text(c, 10, 7, word, 3, 3, pal::GOLD, 2);
    return c;
}

Canvas banner(const std::string& word, const Ramp& r) {
    Canvas c(139, 36);
    plate(c, 0, 0, 139, 36, r);
    draw_text_centred(c, 69, 7, word, 2, 3, r, 2);
    return c;
}

Canvas logo() {
    Canvas c(282, 127);
    // A night-sky badge with a ringed planet behind the name.
    Mask panel(282, 127);
    mask_rect(panel, 6, 1, 270, 125);
    mask_rect(panel, 1, 6, 280, 115);
    mask_ellipse(panel, 6, 6, 5, 5);
    mask_ellipse(panel, 276, 6, 5, 5);
    mask_ellipse(panel, 6, 121, 5, 5);
    mask_ellipse(panel, 276, 121, 5, 5);
    paint_vgradient(c, panel, 0, 127, pal::SPACE, 1, 4);
    Rng rng(0x10605);
    for (int i = 0; i < 70; ++i) {
        const int x = 4 + rng.below(274), y = 4 + rng.below(119);
        const int kind = rng.below(10);
        draw_star(c, x, y, kind == 0 ? 2 : 1, kind < 3 ? pal::STAR_MID : pal::STAR_DIM, false);
    }
    Mask planet(282, 127);
    mask_ellipse(planet, 226, 34, 26, 26);
    paint_sphere(c, planet, 226, 34, 26, pal::PURPLE);
    // The ring in front of the planet's lower half.
    for (int y = 0; y < 127; ++y)
        for (int x = 0; x < 282; ++x) {
            const double dx = (x + 0.5 - 226) / 44.0, dy = (y + 0.5 - 36) / 9.0;
            const double d = dx * dx + dy * dy;
            if (d > 0.72 && d < 1.0 && (y > 36 || !planet.in(x, y)))
                c.set(x, y, d < 0.84 ? pal::GOLD.light : pal::GOLD.mid);
        }
    // Keep the badge's rounded corners.
    for (int y = 0; y < 127; ++y)
        for (int x = 0; x < 282; ++x)
            if (!panel.in(x, y)) c.set(x, y, KEY);
    draw_text_centred(c, 141, 42, "VALMOREN", 5, 6, pal::GOLD, 3);
    // A streak under the name: a small ship's trail.
    for (int x = 40; x < 230; ++x) {
        const int t = (x - 40) * 256 / 190;
        c.set(x, 96, mix(pal::SPACE.mid, pal::CYAN.light, t));
        if (x > 150) c.set(x, 97, mix(pal::SPACE.mid, pal::CYAN.mid, t));
    }
    fill_rect(c, 230, 95, 4, 3, pal::WHITE);
    c.set(234, 96, pal::CYAN.shine);
    // Rim of the badge.
    for (int y = 0; y < 127; ++y)
        for (int x = 0; x < 282; ++x) {
            if (!panel.in(x, y)) continue;
            if (!panel.in(x - 1, y) || !panel.in(x + 1, y) || !panel.in(x, y - 1) || !panel.in(x, y + 1))
                c.set(x, y, y < 63 ? pal::STEEL.light : pal::STEEL.mid);
        }
    outline(c);
    return c;
}

Canvas credits_line() {
    Canvas c(276, 31);
    draw_text_centred(c, 138, 4, "the Valmoren team", 2, 3, pal::GOLD, 2);
    return c;
}

Canvas victory() {
    Canvas c(345, 128);
    // A ribbon behind the word, three stars above it.
    Mask ribbon(345, 128);
    mask_polygon(ribbon, {{18, 30}, {327, 30}, {337, 62}, {327, 94}, {18, 94}, {8, 62}});
    paint_vgradient(c, ribbon, 30, 94, pal::RED, 3, 0);
    for (int x = 10; x < 336; ++x) {
        c.set(x, 36, pal::GOLD.light);
        c.set(x, 88, pal::GOLD.mid);
    }
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 345; ++x)
            if ((y == 36 || y == 88) && !ribbon.in(x, y)) c.set(x, y, KEY);
    draw_text_centred(c, 172, 38, "VICTORY!", 6, 6, pal::GOLD, 3);
    for (int i = 0; i < 3; ++i) {
        const int sx = 130 + 42 * i, sy = i == 1 ? 6 : 12;
        Mask star(345, 128);
        std::vector<Pt> pts;
        for (int k = 0; k < 10; ++k) {
            const double a = -M_PI / 2 + k * M_PI / 5;
            const double r = k % 2 ? 4.0 : 10.0;
            pts.push_back({sx + r * std::cos(a), sy + 9 + r * std::sin(a)});
        }
        mask_polygon(star, pts);
        paint_bevel(c, star, pal::GOLD, 3);
    }
    draw_text_centred(c, 172, 104, "MISSION COMPLETE", 2, 2, pal::CYAN, 1);
    outline(c);
    return c;
}

Canvas the_end() {
    Canvas c(99, 43);
    plate(c, 0, 0, 99, 43, pal::PURPLE);
    draw_text_centred(c, 49, 11, "THE END", 2, 3, pal::GOLD, 2);
    return c;
}

// One arrow, pointing up (0), right (1), down (2) or left (3), tip at (tx, ty).
void arrow(Canvas& c, double tx, double ty, int dir, const Ramp& r) {
    std::vector<Pt> up = {{0, 0}, {7, 7}, {3, 7}, {3, 13}, {-3, 13}, {-3, 7}, {-7, 7}};
    Mask mk(c.w, c.h);
    mask_polygon(mk, transform(up, 90.0 * dir, tx, ty));
    paint_bevel(c, mk, r, 3);
}

// Help arrows: up and down (vertical) or left and right, in the left part of the
// picture, where the device picture drawn at (+25, +10) does not cover them.
// The frames push the arrows outward and light them in turn.
Canvas help_arrows(bool vertical, int frame) {
    Canvas c(43, 43);
    const int push = frame;
    const Ramp& first = frame == 1 ? pal::GOLD : pal::STEEL;
    const Ramp& second = frame == 2 ? pal::GOLD : pal::STEEL;
    const Ramp& both = frame == 0 ? pal::GOLD : first;
    if (vertical) {
        arrow(c, 12, 2.5 - push * 0.8 + 1, 0, frame == 0 ? both : first);
        arrow(c, 12, 40.5 + push * 0.8 - 1, 2, frame == 0 ? both : second);
    } else {
        arrow(c, 1.5 - push * 0.5 + 1, 12, 3, frame == 0 ? both : first);
        arrow(c, 22.5 + push * 0.5 - 1, 31, 1, frame == 0 ? both : second);
    }
    outline(c);
    return c;
}

Canvas mouse_picture() {
    Canvas c(32, 32);
    // Cable.
    for (int y = 1; y < 6; ++y) c.set(16 + (y % 3 == 0 ? 1 : 0), y, pal::ASH.light);
    Mask body(32, 32);
    mask_ellipse(body, 16, 18.5, 10, 12.5);
    mask_rect(body, 6, 18, 20, 7);
    paint_sphere(c, body, 16, 16, 13, pal::STEEL, 0.3);
    // Two buttons and the wheel.
    draw_line(c, 6, 15, 26, 15, pal::ASH.shade);
    draw_line(c, 16, 6, 16, 15, pal::ASH.shade);
    fill_rect(c, 8, 9, 7, 5, pal::RED.light);
    fill_rect(c, 8, 9, 7, 1, pal::RED.shine);
    fill_rect(c, 15, 9, 2, 4, INK);
    outline(c);
    return c;
}

Canvas key_picture() {
    Canvas c(32, 32);
    // The four arrow keys: one above, three below.
    auto cap = [&](int x, int y, int dir) {
        Mask mk(32, 32);
        mask_rect(mk, x, y, 9, 9);
        paint_bevel(c, mk, pal::STEEL, 3);
        fill_rect(c, x + 1, y + 7, 7, 1, pal::STEEL.mid);
        Mask tri(32, 32);
        std::vector<Pt> up = {{0, -2.5}, {3, 1.5}, {-3, 1.5}};
        mask_polygon(tri, transform(up, 90.0 * dir, x + 4.5, y + 4));
        paint_flat(c, tri, INK);
    };
    cap(11, 8, 0);
    cap(1, 19, 3);
    cap(11, 19, 2);
    cap(21, 19, 1);
    outline(c);
    return c;
}

}  // namespace

void add_word_pictures(std::vector<Picture>& out) {
    out.push_back({"start.bmp", button("START")});
    out.push_back({"options.bmp", button("OPTIONS")});
    out.push_back({"credits.bmp", button("CREDITS")});
    out.push_back({"exit.bmp", button("EXIT")});
    out.push_back({"logo3.bmp", logo()});
    out.push_back({"name.bmp", credits_line()});
    out.push_back({"get_r.bmp", banner("GET READY", pal::GREEN)});
    out.push_back({"ok_d.bmp", banner("LEVEL DONE", pal::GOLD)});
    out.push_back({"g_o.bmp", banner("GAME OVER", pal::RED)});
    out.push_back({"we_victory.bmp", victory()});
    out.push_back({"img_end.bmp", the_end()});
    const char* frames[3] = {"strelki", "strelki_2", "strelki_3"};
    for (int f = 0; f < 3; ++f) {
        out.push_back({std::string(frames[f]) + ".bmp", help_arrows(true, f)});
        out.push_back({std::string(frames[f]) + "(2).bmp", help_arrows(false, f)});
    }
    out.push_back({"mouse.bmp", mouse_picture()});
    out.push_back({"key.bmp", key_picture()});
}

}  // namespace valmoren::assetgen
