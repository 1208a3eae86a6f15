// sdl_web_page.cpp -- the visible page onto the browser's canvas (built with
// emscripten only), in place of SDL's renderer: SDL's way converts the page
// twice in the program (texture, window surface) and once more, pixel by
// pixel, in JavaScript. Here the page is turned into the canvas's byte order
// in one pass over it, which also finds the rectangle that changed since the
// last page put there, and only that rectangle is handed to the canvas,
// straight from the program's memory; an unchanged page is not handed over.
#include <emscripten.h>
#include <wasm_simd128.h>

#include <cstdint>

#include "platform/screen.h"
#include "platform/sdl/sdl_web.h"

extern "C" {
// sdl_web.js: the rectangle of the RGBA picture at `rgba` put on the canvas.
void valmoren_web_put_page(const uint8_t* rgba, int x, int y, int w, int h);
}

namespace valmoren {

namespace {

constexpr int PIXELS_PER_VECTOR = 4;
constexpr int VECTORS_PER_ROW = SCREEN_W / PIXELS_PER_VECTOR;
static_assert(SCREEN_W % PIXELS_PER_VECTOR == 0, "a row is whole vectors");

// What the canvas holds: the page's pixels as the canvas wants them, R, G,
// B and an opaque alpha byte in memory order.
alignas(16) uint32_t canvas_copy[SCREEN_W * SCREEN_H];
bool canvas_known = false;  // the copy is what the canvas shows

struct Rectangle {
    int x, y, w, h;
};

// Converts the page into `rgba`, writing only what differs, and gives the
// rectangle that did (empty when nothing did).
Rectangle convert_page(const uint32_t* page, uint32_t* rgba) {
    // 0x00RRGGBB in memory is B, G, R, 0: bytes 0 and 2 change places and
    // the fourth becomes 255.
    const v128_t opaque = wasm_i32x4_splat(static_cast<int32_t>(0xFF000000u));
    int top = SCREEN_H, bottom = -1, left = VECTORS_PER_ROW, right = -1;
    for (int y = 0; y < SCREEN_H; ++y) {
        const v128_t* from = reinterpret_cast<const v128_t*>(page + y * SCREEN_W);
        v128_t* to = reinterpret_cast<v128_t*>(rgba + y * SCREEN_W);
        int first = -1, last = -1;
        for (int i = 0; i < VECTORS_PER_ROW; ++i) {
            const v128_t p = wasm_v128_load(from + i);
            const v128_t c = wasm_v128_or(wasm_i8x16_shuffle(p, p, 2, 1, 0, 3, 6, 5, 4, 7, 10, 9, 8, 11, 14, 13, 12, 15),
                                          opaque);
            if (wasm_v128_any_true(wasm_v128_xor(c, wasm_v128_load(to + i)))) {
                if (first < 0) first = i;
                last = i;
                wasm_v128_store(to + i, c);
            }
        }
        if (first < 0) continue;
        if (top == SCREEN_H) top = y;
        bottom = y;
        if (first < left) left = first;
        if (last > right) right = last;
    }
    if (bottom < 0) return {0, 0, 0, 0};
    return {left * PIXELS_PER_VECTOR, top, (right - left + 1) * PIXELS_PER_VECTOR, bottom - top + 1};
}

}  // namespace

void web_show_page(const uint32_t* page, bool whole) {
    const Rectangle changed = convert_page(page, canvas_copy);
    if (whole || !canvas_known) {
        valmoren_web_put_page(reinterpret_cast<const uint8_t*>(canvas_copy), 0, 0, SCREEN_W, SCREEN_H);
        canvas_known = true;
    } else if (changed.w > 0) {
        valmoren_web_put_page(reinterpret_cast<const uint8_t*>(canvas_copy), changed.x, changed.y, changed.w,
                              changed.h);
    }
    // Otherwise the canvas shows this page already.
}

}  // namespace valmoren

// For the browser test: the visible page, which the canvas should show once
// the game waits for a key.
extern "C" EMSCRIPTEN_KEEPALIVE const uint32_t* valmoren_web_visible_page() {
    return valmoren::page_pixels(valmoren::visible_page());
}

