// pictures_scenes.cpp -- the big pictures: background tiles, the planet strip,
// the menu background, the final blast and the six story illustrations (which
// reuse the level sprites, so the story looks like the game).
#include <algorithm>
#include <cmath>

#include "pictures_art.h"

namespace valmoren::assetgen {

namespace {

const Canvas& sprite(const std::vector<Picture>& all, const std::string& name) {
    for (const Picture& p : all)
        if (p.name == name) return p.pic;
    static const Canvas none(1, 1);
    return none;
}

void blit_scaled(Canvas& dst, const Canvas& src, int x, int y, int scale) {
    for (int j = 0; j < src.h * scale; ++j)
        for (int i = 0; i < src.w * scale; ++i) {
            const uint32_t p = src.px[(j / scale) * src.w + i / scale];
            if (p != KEY) dst.set(x + i, y + j, p);
        }
}

// Deep space: a faint nebula in dithered steps. `period` > 0 makes it tile.
void nebula(Canvas& c, uint32_t seed, const Ramp& tint, double scale, double strength, int period = 0) {
    for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x) {
            const double n = period > 0 ? fbm(x * scale, y * scale, seed, 4, static_cast<int>(std::lround(c.w * scale)))
                                        : fbm(x * scale, y * scale, seed, 4);
            const double v = std::clamp((n - 0.45) * strength, 0.0, 0.99) * 3;
            const int t = static_cast<int>(v + dither(x, y) - 0.5);
            uint32_t col = pal::SPACE.deep;
            if (t == 1) col = pal::SPACE.shade;
            else if (t == 2) col = tint.deep;
            else if (t >= 3) col = mix(tint.deep, tint.shade, 128);
            c.set(x, y, col);
        }
}

void star_field(Canvas& c, int count, uint32_t seed, bool wrapped, int bright_every = 9) {
    Rng rng(seed);
    for (int i = 0; i < count; ++i) {
        const int x = rng.below(c.w), y = rng.below(c.h);
        const int r = rng.below(100);
        uint32_t col = pal::STAR_DIM;
        int size = 1;
        if (r % bright_every == 0) {
            col = r < 50 ? pal::STAR_COOL : pal::STAR_WARM;
            size = r < 20 ? 3 : 2;
        } else if (r < 30) {
            col = pal::STAR_MID;
        }
        draw_star(c, x, y, size, col, wrapped);
    }
}

// A lit planet: banded gas giant or a world with continents, with an
// atmosphere rim on its sunny side.
void planet(Canvas& c, double cx, double cy, double r, const Ramp& ramp, uint32_t seed, bool banded,
            const Ramp* land = nullptr) {
    const double lx = -0.55, ly = -0.62, lz = 0.56;
    const int x0 = std::max(0, static_cast<int>(cx - r - 3)), x1 = std::min(c.w - 1, static_cast<int>(cx + r + 3));
    const int y0 = std::max(0, static_cast<int>(cy - r - 3)), y1 = std::min(c.h - 1, static_cast<int>(cy + r + 3));
    for (int y = y0; y <= y1; ++y)
        for (int x = x0; x <= x1; ++x) {
            const double nx = (x + 0.5 - cx) / r, ny = (y + 0.5 - cy) / r;
            const double d2 = nx * nx + ny * ny;
            if (d2 > 1.0) {
                const double rim = std::sqrt(d2);
                if (rim < 1.0 + 1.8 / r && nx * lx + ny * ly > 0.15) c.set(x, y, mix(ramp.light, ramp.shine, 90));
                continue;
            }
            const double nz = std::sqrt(1.0 - d2);
            const double light = nx * lx + ny * ly + nz * lz;
            double tex;
            const Ramp* use = &ramp;
            if (banded) {
                tex = std::sin(ny * 9 + 2.2 * fbm(nx * 3, ny * 7, seed, 3)) * 0.5 + 0.5;
            } else {
                const double n = fbm(nx * 2.6 / (0.4 + nz), ny * 2.6, seed, 4);
                tex = n;
                if (land && n > 0.53) use = land;
            }
            const double v = std::clamp((light + 0.3) / 1.3, 0.0, 0.999) * 4.2 + (tex - 0.5) * 1.1;
            const int t = static_cast<int>(std::floor(v + dither(x, y) - 0.5));
            c.set(x, y, t < 0 ? pal::SPACE.deep : use->tone(t));
        }
}

void ring(Canvas& c, double cx, double cy, double rx, double ry, double tilt_front_y, const Ramp& r,
          double inner = 0.7) {
    // Drawn after the planet: only the half in front (below the centre line) covers it.
    const double planet_r = ry * 0;  // the caller draws the back half first if wanted
    (void)planet_r;
    for (int y = 0; y < c.h; ++y)
        for (int x = 0; x < c.w; ++x) {
            const double dx = (x + 0.5 - cx) / rx, dy = (y + 0.5 - cy) / ry;
            const double d = dx * dx + dy * dy;
            if (d < inner || d > 1.0) continue;
            if (y + 0.5 < tilt_front_y && std::abs(dx) < 0.62) continue;
            const double band = (d - inner) / (1.0 - inner);
            c.set(x, y, band < 0.3 ? r.light : band < 0.75 ? r.mid : r.shade);
        }
}

void frame(Canvas& c) {
    for (int x = 0; x < c.w; ++x) {
        c.set(x, 0, INK);
        c.set(x, c.h - 1, INK);
        c.set(x, 1, pal::STEEL.light);
        c.set(x, c.h - 2, pal::STEEL.shade);
    }
    for (int y = 0; y < c.h; ++y) {
        c.set(0, y, INK);
        c.set(c.w - 1, y, INK);
        if (y > 0 && y < c.h - 1) {
            c.set(1, y, pal::STEEL.light);
            c.set(c.w - 2, y, pal::STEEL.shade);
        }
    }
}

// The base tile: dark, a faint nebula and sparse dim stars; every star drawn
// wrapped so the tile repeats without seams.
Canvas base_tile() {
    Canvas c(200, 200);
    nebula(c, 0x5EED1, pal::PURPLE, 0.02, 1.9, 1);
    Rng rng(0xB4C6);
    for (int i = 0; i < 110; ++i) {
        const int x = rng.below(200), y = rng.below(200);
        const int r = rng.below(12);
        draw_star(c, x, y, r == 0 ? 2 : 1, r < 3 ? pal::STAR_MID : pal::STAR_DIM, true);
    }
    return c;
}

Canvas top_tile() {
    Canvas c(200, 200);
    Rng rng(0x7EB2);
    const uint32_t cols[4] = {pal::WHITE, pal::STAR_COOL, pal::STAR_WARM, pal::STAR_MID};
    for (int i = 0; i < 16; ++i) {
        const int x = rng.below(200), y = rng.below(200);
        const int kind = rng.below(8);
        draw_star(c, x, y, kind == 0 ? 3 : kind < 4 ? 2 : 1, cols[rng.below(4)], true);
    }
    return c;
}

Canvas planet_strip() {
    Canvas c(640, 90);
    planet(c, 110, 150, 118, pal::TEAL, 0xA1, false, &pal::GREEN);
    planet(c, 300, 62, 22, pal::GOLD, 0xA2, true);
    ring(c, 300, 64, 40, 8, 64, pal::STEEL, 0.62);
    planet(c, 410, 40, 9, pal::ASH, 0xA3, false);
    planet(c, 560, 140, 95, pal::RED, 0xA4, true);
    planet(c, 470, 78, 14, pal::PURPLE, 0xA5, false);
    return c;
}

Canvas menu_scene() {
    Canvas c(640, 480);
    nebula(c, 0x3E2A, pal::PURPLE, 0.006, 2.2);
    star_field(c, 520, 0x51A2, false);
    planet(c, 720, 620, 300, pal::TEAL, 0x9A1, false, &pal::GREEN);
    planet(c, 96, 150, 34, pal::PURPLE, 0x9A2, true);
    planet(c, 150, 114, 8, pal::ASH, 0x9A3, false);
    draw_text_centred(c, 320, 60, "VALMOREN", 6, 7, pal::GOLD, 3);
    return c;
}

Canvas crop(const Canvas& c, int x, int y, int w, int h) {
    Canvas out(w, h);
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) out.px[j * w + i] = c.get(x + i, y + j);
    return out;
}

// The closing blast: a great fireball with a shock ring and flying sparks.
Canvas final_blast() {
    Canvas c(128, 128);
    const double cx = 64, cy = 64;
    for (int y = 0; y < 128; ++y)
        for (int x = 0; x < 128; ++x) {
            const double dx = x + 0.5 - cx, dy = y + 0.5 - cy;
            const double d = std::sqrt(dx * dx + dy * dy);
            const double a = std::atan2(dy, dx);
            // Shock ring.
            const double ring_r = 58 + 3 * value_noise(a * 4, 0, 0xF1);
            if (std::abs(d - ring_r) < 1.6) {
                c.set(x, y, d < ring_r ? pal::CYAN.shine : pal::CYAN.light);
                continue;
            }
            const double edge = 30 + 18 * fbm(a * 2.5 + 10, 0.5, 0xF2, 3) + 6 * std::cos(a * 9);
            if (d > edge) continue;
            const double f = d / edge + (fbm(x * 0.08, y * 0.08, 0xF3, 3) - 0.5) * 0.6;
            const int t = f < 0.3 ? 4 : f < 0.5 ? 3 : f < 0.72 ? 2 : f < 0.9 ? 1 : 0;
            c.set(x, y, pal::FIRE.tone(t));
        }
    Rng rng(0xF4);
    for (int i = 0; i < 40; ++i) {
        const double a = rng.unit() * 2 * M_PI, d = 40 + rng.unit() * 20;
        const int x = static_cast<int>(cx + d * std::cos(a)), y = static_cast<int>(cy + d * std::sin(a));
        if (c.get(x, y) == KEY) {
            c.set(x, y, pal::FIRE.light);
            c.set(x + (std::cos(a) > 0 ? -1 : 1), y, pal::FIRE.mid);
        }
    }
    outline(c, pal::RED.deep);
    return c;
}

Canvas story_base(uint32_t seed, const Ramp& tint) {
    Canvas c(320, 240);
    nebula(c, seed, tint, 0.012, 2.0);
    star_field(c, 170, seed + 1, false);
    return c;
}

// 0: home, a green world with its base lights, enemy craft closing in.
Canvas story_home(const std::vector<Picture>& all) {
    Canvas c = story_base(0x5701, pal::RED);
    planet(c, 120, 250, 150, pal::BLUE, 0x5711, false, &pal::GREEN);
    // The home base in orbit.
    blit(c, sprite(all, "stations.bmp"), 30, 36);
    const Canvas& enemy = sprite(all, "andr.bmp");
    blit(c, enemy, 200, 30);
    blit(c, enemy, 250, 80);
    blit(c, enemy, 170, 100);
    frame(c);
    return c;
}

// 1: the two planes keep the energy core in play.
Canvas story_paddles(const std::vector<Picture>& all) {
    Canvas c = story_base(0x5702, pal::TEAL);
    planet(c, 160, 300, 110, pal::PURPLE, 0x5721, true);
    blit(c, sprite(all, "samalet.bmp"), 14, 60);
    blit(c, sprite(all, "samalet2.bmp"), 258, 110);
    // The ball's trail.
    for (int i = 0; i < 14; ++i) {
        const int x = 80 + i * 9, y = 100 + i * 3;
        c.set(x, y, mix(pal::SPACE.mid, pal::CYAN.light, i * 18));
        c.set(x + 1, y, mix(pal::SPACE.mid, pal::CYAN.mid, i * 18));
    }
    blit_scaled(c, sprite(all, "ball.bmp"), 204, 132, 1);
    blit(c, sprite(all, "aster.bmp"), 140, 30);
    blit(c, sprite(all, "time.bmp"), 120, 170);
    frame(c);
    return c;
}

// 2: the fighter against the formation.
Canvas story_shooter(const std::vector<Picture>& all) {
    Canvas c = story_base(0x5703, pal::RED);
    const Canvas& enemy = sprite(all, "andr.bmp");
    for (int row = 0; row < 2; ++row)
        for (int i = 0; i < (row == 0 ? 4 : 3); ++i) blit(c, enemy, 16 + i * 74 + row * 37, 14 + row * 46);
    for (int i = 0; i < 4; ++i) blit(c, sprite(all, "pull.bmp"), 150, 130 + i * 18 - 40);
    blit(c, sprite(all, "pull2.bmp"), 92, 128);
    blit(c, sprite(all, "samol.bmp"), 139, 186);
    blit(c, sprite(all, "vzruv.bmp"), 224, 52);
    frame(c);
    return c;
}

// 3: the ship among the debris and the rocks.
Canvas story_debris(const std::vector<Picture>& all) {
    Canvas c = story_base(0x5704, pal::PURPLE);
    planet(c, 280, 40, 26, pal::GOLD, 0x5741, true);
    blit(c, sprite(all, "aster.bmp"), 30, 40);
    blit(c, sprite(all, "aster2.bmp"), 230, 170);
    blit(c, sprite(all, "aster.bmp"), 60, 175);
    blit(c, sprite(all, "oskolki.bmp"), 100, 70);
    blit(c, sprite(all, "oskolki.bmp"), 250, 90);
    blit(c, sprite(all, "oskolki.bmp"), 180, 30);
    blit_scaled(c, sprite(all, "rotate/abc3.bmp"), 130, 110, 1);
    blit(c, sprite(all, "time.bmp"), 200, 140);
    frame(c);
    return c;
}

// 4: a rocket braking over the pad.
Canvas story_landing(const std::vector<Picture>& all) {
    Canvas c = story_base(0x5705, pal::TEAL);
    // The ground: a rocky horizon along the bottom.
    for (int x = 0; x < 320; ++x) {
        const int top = 196 + static_cast<int>(14 * fbm(x * 0.03, 0.5, 0x5751, 3));
        for (int y = top; y < 240; ++y) {
            const double f = (y - top) / 40.0 + (fbm(x * 0.1, y * 0.1, 0x5752, 2) - 0.5) * 0.6;
            c.set(x, y, pal::ROCK.tone(y == top ? 3 : f < 0.2 ? 2 : f < 0.55 ? 1 : 0));
        }
    }
    blit(c, sprite(all, "kosm.bmp"), 70, 206);
    blit(c, sprite(all, "oskolki2.bmp"), 150, 120);
    blit(c, sprite(all, "aster2.bmp"), 20, 60);
    blit(c, sprite(all, "aster.bmp"), 260, 40);
    frame(c);
    return c;
}

// 5: the crosshair over the targets, a station sliding past, planets below.
Canvas story_gallery(const std::vector<Picture>& all) {
    Canvas c = story_base(0x5706, pal::RED);
    const Canvas& strip = sprite(all, "planets.bmp");
    blit(c, crop(strip, 0, 0, 320, 90), 0, 176);
    blit(c, sprite(all, "stations.bmp"), 20, 40);
    blit(c, sprite(all, "andr2.bmp"), 180, 60);
    blit(c, sprite(all, "racet.bmp"), 110, 30);
    blit(c, sprite(all, "racet.bmp"), 270, 110);
    blit(c, sprite(all, "target.bmp"), 194, 74);
    frame(c);
    return c;
}

}  // namespace

void add_scenes(std::vector<Picture>& out) {
    out.push_back({"backg.bmp", base_tile()});
    out.push_back({"backg2.bmp", top_tile()});
    out.push_back({"planets.bmp", planet_strip()});
    const Canvas menu = menu_scene();
    out.push_back({"l1.bmp", crop(menu, 0, 0, 320, 480)});
    out.push_back({"l2.bmp", crop(menu, 320, 0, 320, 480)});
    out.push_back({"fac.bmp", final_blast()});
    // Each story picture is made from the list as it stands, then added.
    Canvas s0 = story_home(out), s1 = story_paddles(out), s2 = story_shooter(out);
    Canvas s3 = story_debris(out), s4 = story_landing(out), s5 = story_gallery(out);
    out.push_back({"suget0.bmp", std::move(s0)});
    out.push_back({"suget1.bmp", std::move(s1)});
    out.push_back({"suget2.bmp", std::move(s2)});
    out.push_back({"suget3.bmp", std::move(s3)});
    out.push_back({"suget4.bmp", std::move(s4)});
    out.push_back({"suget5.bmp", std::move(s5)});
}

}  // namespace valmoren::assetgen
