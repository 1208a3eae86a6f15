// Fuzzes the BMP reader with arbitrary bytes, then draws the picture it made
// in every mode so a wrong size or pixel count shows up as a bad access.
#include <cstddef>
#include <cstdint>

#include "platform/headless/headless.h"
#include "platform/screen.h"

// The headless backend stands in for the window: pages, clock and no player.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    valmoren::headless_reset();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace valmoren;
    Image img;
    load_bmp_from_memory(data, size, img);
    // The image holds whole rows, never more than the picture has.
    if (img.pixels.size() != static_cast<size_t>(img.w) * image_rows_held(img) ||
        (img.w > 0 && img.pixels.size() > static_cast<size_t>(img.w) * img.h))
        __builtin_trap();
    // Each put shows only a corner of the picture, so every run stays quick
    // while the clipping arithmetic meets every size the reader makes, and
    // the top corners meet the rows a short file never gave.
    const int shift = size > 0 ? data[0] % 16 : 0;
    put(SCREEN_W - 8 + shift, SCREEN_H - 8 - shift, img, PUT_TRANSPARENT);
    put(8 - img.w - shift, 8 - img.h, img, PUT_OPAQUE);
    put(SCREEN_W - 8, 8 - img.h + shift, img, PUT_XOR);
    put(8 - img.w - 0.5, SCREEN_H - 8.5, img, PUT_ALPHA, static_cast<int>(size % 256));
    return 0;
}
