// Fuzzes the BMP reader with arbitrary bytes, then draws the picture it made
// in every mode so a wrong size or pixel count shows up as a bad access.
#include <cstddef>
#include <cstdint>

#include "platform/screen.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace valmoren;
    Image img;
    load_bmp_from_memory(data, size, img);
    if (img.pixels.size() != static_cast<size_t>(img.w) * img.h) __builtin_trap();
    const double x = size > 0 ? static_cast<int>(data[0]) - 128 : 0;
    put(x, -x, img, PUT_TRANSPARENT);
    put(600 + x, 450, img, PUT_OPAQUE);
    put(-x, 300, img, PUT_XOR);
    put(x * 3, x * 2, img, PUT_ALPHA, size % 256);
    return 0;
}
