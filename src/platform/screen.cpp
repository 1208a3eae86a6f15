// screen.cpp -- the two 640x480 pages, putting pictures in their drawing modes,
// lines, boxes and points, and showing frames. Writes no GameState fields.
#include "platform/screen.h"

#include <algorithm>
#include <cmath>
#include <cstring>

#include "platform/backend.h"
#include "platform/core_hooks.h"
#include "platform/input.h"
#include "platform/journal.h"

namespace valmoren {

namespace {

constexpr int PAGE_WORDS = SCREEN_W * SCREEN_H;

alignas(64) uint32_t storage[2][PAGE_WORDS];
// Which memory holds page 0 and page 1: showing a frame exchanges the two
// instead of copying the work page over the visible one.
uint32_t* pages[2] = {storage[0], storage[1]};
int work = 1;
int visible = 0;

// What the work page still owes after a shown frame or a clear, brought in by
// its first drawing or read: a level frame clears its work page and starts its
// clock at once, so a copy or a fill done there would fall between the end of
// one frame's 1/60 s and the start of the next, and lengthen every frame (four
// times as much on a slow phone). Owed only while the two pages differ.
enum class Owed { NOTHING, VISIBLE_COPY, FILL };
Owed owed = Owed::NOTHING;
uint32_t owed_colour = 0;

void settle_work_page() {
    if (owed == Owed::VISIBLE_COPY) {
        std::memcpy(pages[work], pages[visible], sizeof storage[0]);
    } else if (owed == Owed::FILL) {
        std::fill(pages[work], pages[work] + PAGE_WORDS, owed_colour);
    }
    owed = Owed::NOTHING;
}

// Presenting drawing that lands on the visible page, throttled to the display rate.
constexpr double PRESENT_INTERVAL = 1.0 / 60.0;
double last_present = -1e9;
bool unshown_drawing = false;

uint32_t* work_pixels() {
    if (owed != Owed::NOTHING) settle_work_page();
    return pages[work];
}

// Eight pixels at a time for the per-pixel modes, in the compiler's vector
// extension; `put` is built twice (AVX2 and plain) and the processor picks.
// The vectors never cross a call, so the calling-convention warning does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"
using Pixels8 = uint32_t __attribute__((vector_size(32)));

// Clamps to the screen in one axis: [lo, hi) intersected with [0, limit).
inline void clip_span(long long& lo, long long& hi, int limit) {
    lo = std::max<long long>(lo, 0);
    hi = std::min<long long>(hi, limit);
}

void fill_rect(int x0, int y0, int x1, int y1, uint32_t colour) {
    // Inclusive corners already ordered and clipped.
    uint32_t* page = work_pixels();
    for (int y = y0; y <= y1; ++y) {
        std::fill(page + y * SCREEN_W + x0, page + y * SCREEN_W + x1 + 1, colour);
    }
}

// The minor axis's offset at step i of the major axis is i * minor / major
// rounded half up, (2 * i * minor + major) / (2 * major); it is kept as a
// running quotient and remainder, so a line costs no division per pixel.
struct MinorStep {
    long long offset, remainder, rise, run;
    MinorStep(long long first, long long minor, long long major)
        : offset((2 * first * minor + major) / (2 * major)),
          remainder((2 * first * minor + major) % (2 * major)),
          rise(2 * minor),
          run(2 * major) {}
    void next() {
        remainder += rise;  // rise <= run: the offset grows by one at most
        if (remainder >= run) {
            remainder -= run;
            ++offset;
        }
    }
};

void draw_segment(long long x1, long long y1, long long x2, long long y2, uint32_t colour) {
    // Bresenham's line with both end points, visiting only the steps of the
    // major axis that lie on the screen, so far-away end points cost nothing.
    uint32_t* page = work_pixels();
    const long long adx = x2 > x1 ? x2 - x1 : x1 - x2;
    const long long ady = y2 > y1 ? y2 - y1 : y1 - y2;
    const long long sx = x2 >= x1 ? 1 : -1;
    const long long sy = y2 >= y1 ? 1 : -1;
    if (adx >= ady) {
        if (adx == 0) {
            if (x1 >= 0 && x1 < SCREEN_W && y1 >= 0 && y1 < SCREEN_H) page[y1 * SCREEN_W + x1] = colour;
            return;
        }
        // Steps i in 0..adx with x = x1 + sx*i on screen.
        long long lo = sx > 0 ? -x1 : x1 - (SCREEN_W - 1);
        long long hi = sx > 0 ? (SCREEN_W - 1) - x1 : x1;
        lo = std::max<long long>(lo, 0);
        hi = std::min(hi, adx);
        if (lo > hi) return;
        MinorStep step(lo, ady, adx);
        for (long long i = lo; i <= hi; ++i, step.next()) {
            const long long y = y1 + sy * step.offset;
            if (y >= 0 && y < SCREEN_H) page[y * SCREEN_W + (x1 + sx * i)] = colour;
        }
    } else {
        long long lo = sy > 0 ? -y1 : y1 - (SCREEN_H - 1);
        long long hi = sy > 0 ? (SCREEN_H - 1) - y1 : y1;
        lo = std::max<long long>(lo, 0);
        hi = std::min(hi, ady);
        if (lo > hi) return;
        MinorStep step(lo, adx, ady);
        for (long long i = lo; i <= hi; ++i, step.next()) {
            const long long x = x1 + sx * step.offset;
            if (x >= 0 && x < SCREEN_W) page[(y1 + sy * i) * SCREEN_W + x] = colour;
        }
    }
}

}  // namespace

void visible_page_changed() {
    if (work != visible || journal_unseen()) return;
    const double now = backend_seconds();
    if (now - last_present >= PRESENT_INTERVAL || now < last_present) {
        last_present = now;
        unshown_drawing = false;
        backend_present(false);
    } else {
        unshown_drawing = true;
    }
}

void present_pending_drawing() {
    if (!unshown_drawing || journal_unseen()) return;
    unshown_drawing = false;
    last_present = backend_seconds();
    backend_present(false);
}

int round_coord(double v) {
    // Halves away from zero; far-away or undefined coordinates stay far away
    // so that clipping removes them without overflowing.
    constexpr double LIMIT = 1 << 30;
    if (std::isnan(v)) return -(1 << 30);
    if (v >= LIMIT) return 1 << 30;
    if (v <= -LIMIT) return -(1 << 30);
    return static_cast<int>(std::round(v));
}

void empty_image(Image& img) {
    img.w = 0;
    img.h = 0;
    img.pixels.clear();
}

uint32_t* page_pixels(int page) {
    const int p = page == 0 ? 0 : 1;
    if (p == work) return work_pixels();
    return pages[p];
}
int work_page() { return work; }
int visible_page() { return visible; }

void open_screen(int full_screen) {
    if (!journal_without_backend()) backend_open_screen(full_screen);
}

void set_pages(int w, int v) {
    settle_work_page();
    if (w == 0 || w == 1) work = w;
    if (v == 0 || v == 1) visible = v;
}

void set_caption(const std::string& text) {
    if (!journal_without_backend()) backend_set_caption(text.size() > 127 ? text.substr(0, 127) : text);
}

void clear() {
    if (work == visible) {
        std::fill(pages[work], pages[work] + PAGE_WORDS, current_background());
        visible_page_changed();
        return;
    }
    owed = Owed::FILL;  // a copy still owed is wiped out by the fill
    owed_colour = current_background();
}

void show_frame() {
    if (!journal_without_backend()) backend_before_frame();
    if (work != visible) {
        // The drawn page becomes the visible one; the work page is to hold
        // the same picture, which a level frame's clear then never needs.
        settle_work_page();
        std::swap(pages[work], pages[visible]);
        owed = Owed::VISIBLE_COPY;
    }
    if (journal_unseen()) {
        take_frame_limited();
        return;
    }
    last_present = backend_seconds();
    unshown_drawing = false;
    backend_present(take_frame_limited());
}

void wait_retrace() {
    if (!journal_unseen()) backend_wait_retrace();
}

// An AVX2 copy of put is made where the processor family has it (the browser
// build's WebAssembly has no such choice; Windows programs have no run-time
// choice of function copies).
#if defined(__x86_64__) && !defined(_WIN32)
#define PUT_CLONES [[gnu::target_clones("avx2", "default")]]
#else
#define PUT_CLONES
#endif
namespace {

// The rows of a picture above those its file held read as black.
constexpr uint32_t BLACK_ROW[SCREEN_W] = {};

// Draws `rows` rows of `span` pixels in one mode, the source rows `src_step`
// words apart (0 repeats one row). `level` is the alpha mode's, 1..254.
PUT_CLONES void put_rows(int mode, const uint32_t* src_row, size_t src_step, uint32_t* dst_row, int rows,
                         int span, int level) {
    switch (mode) {
    case PUT_OPAQUE:
        for (int r = 0; r < rows; ++r, src_row += src_step, dst_row += SCREEN_W) {
            std::memcpy(dst_row, src_row, span * sizeof(uint32_t));
        }
        break;
    case PUT_TRANSPARENT:
        for (int r = 0; r < rows; ++r, src_row += src_step, dst_row += SCREEN_W) {
            const uint32_t* s = src_row;
            uint32_t* d = dst_row;
            const uint32_t* end = s + span;
            for (; end - s >= 8; s += 8, d += 8) {
                Pixels8 p, under;
                std::memcpy(&p, s, sizeof p);
                std::memcpy(&under, d, sizeof under);
                p &= 0xFFFFFF;
                const Pixels8 key = reinterpret_cast<Pixels8>(p == KEY_COLOUR);
                under = (under & key) | (p & ~key);
                std::memcpy(d, &under, sizeof under);
            }
            for (; s != end; ++s, ++d) {
                const uint32_t p = *s & 0xFFFFFF;
                if (p != KEY_COLOUR) *d = p;
            }
        }
        break;
    case PUT_XOR:
        for (int r = 0; r < rows; ++r, src_row += src_step, dst_row += SCREEN_W) {
            const uint32_t* s = src_row;
            uint32_t* d = dst_row;
            const uint32_t* end = s + span;
            for (; end - s >= 8; s += 8, d += 8) {
                Pixels8 p, under;
                std::memcpy(&p, s, sizeof p);
                std::memcpy(&under, d, sizeof under);
                under ^= p;
                std::memcpy(d, &under, sizeof under);
            }
            for (; s != end; ++s, ++d) *d ^= *s;
        }
        break;
    case PUT_ALPHA: {
        // Red and blue move together in one packed word, green on its own.
        const uint32_t a = static_cast<uint32_t>(level) + 1;
        for (int r = 0; r < rows; ++r, src_row += src_step, dst_row += SCREEN_W) {
            const uint32_t* s = src_row;
            uint32_t* d = dst_row;
            for (const uint32_t* end = s + span; s != end; ++s, ++d) {
                const uint32_t sp = *s;
                if ((sp & 0xFFFFFF) == KEY_COLOUR) continue;
                const uint32_t dp = *d;
                const uint32_t drb = dp & 0xFF00FF;
                const uint32_t dg = dp & 0xFF00;
                const uint32_t rb = ((((sp & 0xFF00FF) - drb) * a >> 8) + drb) & 0xFF00FF;
                const uint32_t g = ((((sp & 0xFF00) - dg) * a >> 8) + dg) & 0xFF00;
                *d = rb | g;
            }
        }
        break;
    }
    default:
        break;
    }
}

}  // namespace

void put(double x, double y, const Image& img, int mode, int level) {
    if (img.w == 0 || img.h == 0) return;
    const int held = image_rows_held(img);
    if (img.pixels.size() != static_cast<size_t>(img.w) * held) return;  // not a picture
    if (mode != PUT_OPAQUE && mode != PUT_TRANSPARENT && mode != PUT_XOR && mode != PUT_ALPHA) return;
    if (mode == PUT_ALPHA) {
        if (level <= 0) return;
        if (level >= 255) mode = PUT_TRANSPARENT;
    }
    const long long left = round_coord(x);
    const long long top = round_coord(y);
    long long x0 = left, x1 = left + img.w;
    long long y0 = top, y1 = top + img.h;
    clip_span(x0, x1, SCREEN_W);
    clip_span(y0, y1, SCREEN_H);
    if (x0 >= x1 || y0 >= y1) return;

    const int span = static_cast<int>(x1 - x0);
    const int rows = static_cast<int>(y1 - y0);
    uint32_t* dst_row = work_pixels() + y0 * SCREEN_W + x0;
    // Rows of the picture its file never gave come first, as black.
    const long long first = y0 - top;  // the picture's row drawn at y0
    const long long missing = img.h - held;
    const int black_rows = static_cast<int>(std::clamp<long long>(missing - first, 0, rows));
    put_rows(mode, BLACK_ROW, 0, dst_row, black_rows, span, level);
    if (black_rows < rows) {
        const uint32_t* src_row =
            img.pixels.data() + static_cast<size_t>(first + black_rows - missing) * img.w + (x0 - left);
        put_rows(mode, src_row, img.w, dst_row + black_rows * SCREEN_W, rows - black_rows, span, level);
    }
    visible_page_changed();
}

void line(double x1, double y1, double x2, double y2, uint32_t colour, int shape) {
    colour &= 0xFFFFFF;
    long long ax = round_coord(x1), ay = round_coord(y1);
    long long bx = round_coord(x2), by = round_coord(y2);
    if (shape == SHAPE_LINE) {
        draw_segment(ax, ay, bx, by, colour);
    } else {
        if (ax > bx) std::swap(ax, bx);
        if (ay > by) std::swap(ay, by);
        if (shape == SHAPE_FILLED_BOX) {
            long long cx0 = ax, cx1 = bx + 1, cy0 = ay, cy1 = by + 1;
            clip_span(cx0, cx1, SCREEN_W);
            clip_span(cy0, cy1, SCREEN_H);
            if (cx0 < cx1 && cy0 < cy1) {
                fill_rect(static_cast<int>(cx0), static_cast<int>(cy0), static_cast<int>(cx1 - 1),
                          static_cast<int>(cy1 - 1), colour);
            }
        } else {
            draw_segment(ax, ay, bx, ay, colour);
            draw_segment(ax, by, bx, by, colour);
            draw_segment(ax, ay, ax, by, colour);
            draw_segment(bx, ay, bx, by, colour);
        }
    }
    visible_page_changed();
}

void plot(double x, double y, uint32_t colour) {
    const int px = round_coord(x);
    const int py = round_coord(y);
    if (px < 0 || px >= SCREEN_W || py < 0 || py >= SCREEN_H) return;
    work_pixels()[py * SCREEN_W + px] = colour & 0xFFFFFF;
    visible_page_changed();
}

}  // namespace valmoren
