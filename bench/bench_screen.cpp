// Drawing speed on the headless backend, measured against one 640x480 page
// copy: clearing and showing, putting a 200x200 picture in each mode, and a
// busy level frame (two scrolling background layers, sprites, text). Each
// benchmark shows its processor time in page copies in the column "page_copies".
#include <benchmark/benchmark.h>

#include <algorithm>
#include <ctime>
#include <cstring>

#include "platform/headless/headless.h"
#include "platform/screen.h"

using namespace valmoren;

namespace {

// Processor time of this thread: the machine may be shared, so wall time
// would count other programs' work.
double cpu_ns() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    return t.tv_sec * 1e9 + t.tv_nsec;
}

void copy_page() { std::memcpy(page_pixels(0), page_pixels(1), sizeof(uint32_t) * SCREEN_W * SCREEN_H); }

// Nanoseconds of one page copy: the best of several batches, measured once.
double page_copy_ns() {
    static const double ns = [] {
        double best = 1e30;
        for (int batch = 0; batch < 20; ++batch) {
            const double t0 = cpu_ns();
            for (int i = 0; i < 50; ++i) {
                copy_page();
                benchmark::ClobberMemory();
            }
            best = std::min(best, (cpu_ns() - t0) / 50);
        }
        return best;
    }();
    return ns;
}

// Runs the timed loop and reports its time per iteration in page copies.
template <typename F>
void run_in_page_copies(benchmark::State& state, F body) {
    const double unit = page_copy_ns();
    const double t0 = cpu_ns();
    for (auto _ : state) {
        body();
        benchmark::ClobberMemory();
    }
    const double ns = cpu_ns() - t0;
    if (state.iterations() > 0) state.counters["page_copies"] = ns / state.iterations() / unit;
}

// A picture with a pattern and a magenta hole, like the game's sprites.
Image test_picture(int w, int h) {
    Image img;
    img.w = static_cast<uint16_t>(w);
    img.h = static_cast<uint16_t>(h);
    img.pixels.resize(static_cast<size_t>(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const bool hole = (x - w / 2) * (x - w / 2) + (y - h / 2) * (y - h / 2) < w * h / 16;
            img.pixels[y * w + x] = hole ? KEY_COLOUR : static_cast<uint32_t>((x * 7) << 16 | (y * 5) << 8 | (x ^ y));
        }
    return img;
}

void BM_PageCopy(benchmark::State& state) {
    headless_reset();
    run_in_page_copies(state, copy_page);
}
BENCHMARK(BM_PageCopy);

void BM_ClearAndShow(benchmark::State& state) {
    headless_reset();
    run_in_page_copies(state, [] {
        clear();
        show_frame();
    });
}
BENCHMARK(BM_ClearAndShow);

void BM_Put200(benchmark::State& state) {
    headless_reset();
    const Image img = test_picture(200, 200);
    const int mode = static_cast<int>(state.range(0));
    run_in_page_copies(state, [&] { put(100, 100, img, mode, 128); });
}
BENCHMARK(BM_Put200)->Arg(PUT_TRANSPARENT)->Arg(PUT_OPAQUE)->Arg(PUT_XOR)->Arg(PUT_ALPHA);

void BM_BusyFrame(benchmark::State& state) {
    headless_reset();
    const Image tile = test_picture(200, 200);
    const Image sprite = test_picture(32, 32);
    int scroll = 0, scroll2 = 0;
    run_in_page_copies(state, [&] {
        clear();
        // The scrolling two-layer star field: 32 exclusive-or tiles of the far
        // layer and 36 transparent tiles of the near one, most of them wholly
        // or partly off the screen.
        scroll = scroll + 2 > 800 ? 0 : scroll + 2;
        for (int r = 0; r < 8; ++r)
            for (int c = 0; c < 4; ++c) put(200 * c, scroll - 800 + 200 * r, tile, PUT_XOR);
        scroll2 = scroll2 + 4 > 1000 ? 0 : scroll2 + 4;
        for (int r = 0; r < 9; ++r)
            for (int c = 0; c < 4; ++c) put(200 * c + 2, scroll2 - 1000 + 200 * r, tile, PUT_TRANSPARENT);
        for (int i = 0; i < 30; ++i) put((i * 97) % 620, (i * 61) % 460, sprite, PUT_TRANSPARENT);
        locate(1, 1);
        print_text(" Energy: 240  Score: 12345  Time: 101  FPS: 60", END_NONE);
        show_frame();
    });
}
BENCHMARK(BM_BusyFrame);

}  // namespace

