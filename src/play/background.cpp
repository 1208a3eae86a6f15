// background.cpp -- the two-layer star field of 200x200 tiles behind every
// level. Writes bg_scroll, bg_scroll2 and the tile loops' working fields
// bg_tile_x, bg_tile_y, bg_tile_x2, bg_mode.
#include "play/play.h"
#include "state/game_state.h"

namespace valmoren {

namespace {

// The base layer moves 2 pixels a frame and wraps after 800, the top layer
// 4 pixels and wraps after 1000: both multiples of the tile size, so a wrap
// never shows as a jump.
void advance_base() {
    g.bg_scroll += 2;
    if (g.bg_scroll > 800) g.bg_scroll = 0;
}

void advance_top() {
    g.bg_scroll2 += 4;
    if (g.bg_scroll2 > 1000) g.bg_scroll2 = 0;
}

}  // namespace

// The styles are BackgroundStyle. The base layer is put with exclusive-or, so
// whatever the frame drew before it is mixed with the tiles.
void draw_background(int8_t style) {
    if (style == BACKGROUND_STILL) {
        for (g.bg_tile_y = 0; g.bg_tile_y <= 2; ++g.bg_tile_y)
            for (g.bg_tile_x = 0; g.bg_tile_x <= 3; ++g.bg_tile_x)
                put(200 * g.bg_tile_x, 200 * g.bg_tile_y, g.img_backg, PUT_XOR);
        return;
    }
    if (style == BACKGROUND_DOWN) {
        advance_base();
        for (g.bg_tile_y = 0; g.bg_tile_y <= 7; ++g.bg_tile_y)
            for (g.bg_tile_x = 0; g.bg_tile_x <= 3; ++g.bg_tile_x)
                put(200 * g.bg_tile_x, g.bg_scroll - 800 + 200 * g.bg_tile_y, g.img_backg,
                    PUT_XOR);
        advance_top();
        for (g.bg_mode = 0; g.bg_mode <= 8; ++g.bg_mode)
            for (g.bg_tile_x2 = 0; g.bg_tile_x2 <= 3; ++g.bg_tile_x2)
                put(200 * g.bg_tile_x2 + 2, g.bg_scroll2 - 1000 + 200 * g.bg_mode, g.img_backg2,
                    PUT_TRANSPARENT);
        return;
    }
    if (style == BACKGROUND_RIGHT) {
        advance_base();
        for (g.bg_tile_y = 0; g.bg_tile_y <= 3; ++g.bg_tile_y)
            for (g.bg_tile_x = 0; g.bg_tile_x <= 7; ++g.bg_tile_x)
                put(g.bg_scroll - 800 + 200 * g.bg_tile_x, 200 * g.bg_tile_y, g.img_backg,
                    PUT_XOR);
        advance_top();
        for (g.bg_mode = 0; g.bg_mode <= 3; ++g.bg_mode)
            for (g.bg_tile_x2 = 0; g.bg_tile_x2 <= 8; ++g.bg_tile_x2)
                put(g.bg_scroll2 - 1000 + 200 * g.bg_tile_x2, 8 + 200 * g.bg_mode, g.img_backg2,
                    PUT_TRANSPARENT);
    }
}

}  // namespace valmoren
