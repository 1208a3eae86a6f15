// collision.cpp -- the two contact tests every level uses: the corner-inside
// box test and the pixel-exact picture test. Pure: writes no GameState field.
#include <algorithm>

#include "play/play.h"
#include "state/game_state.h"

namespace valmoren {

namespace {

// A point is inside a box only strictly: a point on an edge is outside.
bool point_inside(int64_t px, int64_t py, int64_t x, int64_t y, int64_t w, int64_t h) {
    return x < px && px < x + w && y < py && py < y + h;
}

}  // namespace

// Two boxes meet when a corner of one lies strictly inside the other. Boxes
// that only touch, cross like a plus sign, or coincide do not meet.
bool boxes_overlap(int32_t x1, int32_t y1, int32_t w1, int32_t h1, int32_t x2, int32_t y2,
                   int32_t w2, int32_t h2) {
    const int64_t ax = x1, ay = y1, aw = w1, ah = h1;
    const int64_t bx = x2, by = y2, bw = w2, bh = h2;
    return point_inside(ax, ay, bx, by, bw, bh) ||
           point_inside(ax + aw, ay, bx, by, bw, bh) ||
           point_inside(ax + aw, ay + ah, bx, by, bw, bh) ||
           point_inside(ax, ay + ah, bx, by, bw, bh) ||
           point_inside(bx, by, ax, ay, aw, ah) ||
           point_inside(bx + bw, by, ax, ay, aw, ah) ||
           point_inside(bx + bw, by + bh, ax, ay, aw, ah) ||
           point_inside(bx, by + bh, ax, ay, aw, ah);
}

// Pixel-exact contact of picture A at (xa, ya) covering wa x ha and picture B
// at (xb, yb) covering wb x hb. Level 2 trusts the boxes alone. Elsewhere a
// solid pixel of A must land strictly inside B's box on a solid pixel of B.
// B's pixel is found by the caller's width wb as the row length. A slot whose
// picture is missing or smaller than the caller's size reads as black there,
// as a zero-filled picture slot does, and black is solid: a missing picture
// is not drawn but still collides as its box.
bool sprites_overlap(const Image& a, int32_t xa, int32_t ya, int32_t wa, int32_t ha,
                     const Image& b, int32_t xb, int32_t yb, int32_t wb, int32_t hb) {
    const bool boxes = boxes_overlap(xa, ya, wa, ha, xb, yb, wb, hb);
    if (g.level == 2) return boxes;
    if (!boxes) return false;

    // Rows i of A whose screen row lies strictly inside B, and likewise columns:
    // the scan order (row by row, column by column) is kept, only rows and
    // columns that the strict test would skip are not visited.
    const int64_t i_first = std::max<int64_t>(0, int64_t(yb) + 1 - ya);
    const int64_t i_last = std::min<int64_t>(int64_t(ha) - 1, int64_t(yb) + hb - 1 - ya);
    const int64_t j_first = std::max<int64_t>(0, int64_t(xb) + 1 - xa);
    const int64_t j_last = std::min<int64_t>(int64_t(wa) - 1, int64_t(xb) + wb - 1 - xa);
    // B as a zero-filled buffer of its whole picture: the rows its file never
    // gave come first and read as black.
    const int64_t b_words = int64_t(b.w) * b.h;
    const int64_t b_unread = int64_t(b.h - image_rows_held(b)) * b.w;

    for (int64_t i = i_first; i <= i_last; ++i) {
        const int64_t sy = int64_t(ya) + i;
        for (int64_t j = j_first; j <= j_last; ++j) {
            const bool in_a = i < a.h && j < a.w;
            if (in_a && image_pixel(a, j, i) == KEY_COLOUR) continue;
            const int64_t sx = int64_t(xa) + j;
            const int64_t b_index = (sy - yb) * wb + (sx - xb);
            if (b_index >= b_words || b_index < b_unread || b.pixels[b_index - b_unread] != KEY_COLOUR) return true;
        }
    }
    return false;
}

}  // namespace valmoren
