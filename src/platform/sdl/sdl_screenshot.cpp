// sdl_screenshot.cpp -- F12: the visible page, as the player sees it, copied
// at once and written as a PNG into screenshots/ by a thread of its own at a
// lower priority, so that encoding never holds up a frame. Pictures asked for
// before the program ends are all written before it ends. In the browser the
// canvas is handed to the browser as a download under the same kind of name:
// a file written inside the page's own storage would never reach the player.
#include <cstdio>
#include <ctime>
#include <vector>

#ifdef _WIN32
#include <windows.h>
#elif !defined(__EMSCRIPTEN__)
#include <sys/resource.h>
#include <sys/syscall.h>
#include <unistd.h>
#endif
#ifndef __EMSCRIPTEN__

#include <condition_variable>
#include <cstdlib>
#include <deque>
#include <mutex>
#include <thread>
#endif

#include "platform/screen.h"
#include "platform/screenshot.h"
#include "platform/sdl/sdl_internal.h"
#ifdef __EMSCRIPTEN__
#include "platform/sdl/sdl_web.h"
#endif

namespace valmoren {

#ifndef __EMSCRIPTEN__

namespace {

struct Picture {
    std::vector<uint32_t> pixels;
    std::time_t taken = 0;
};

void write_picture(const Picture& p) {
    std::string why;
    const std::string path = save_screenshot(p.pixels.data(), SCREEN_W, SCREEN_H, p.taken, &why);
    if (!path.empty()) std::printf("Screenshot: %s\n", path.c_str());
    else std::fprintf(stderr, "Valmoren: no screenshot: %s\n", why.c_str());
    std::fflush(nullptr);
}

struct Writer {
    std::mutex lock;
    std::condition_variable wake;
    std::deque<Picture> queue;
    int busy = 0;  // pictures taken from the queue and still being written
    bool stopping = false;
    std::thread thread;
};

Writer* writer = nullptr;

void write_queue() {
    // Below the game's own thread: the encoding takes what the game leaves.
#ifdef _WIN32
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_BELOW_NORMAL);
#else
    setpriority(PRIO_PROCESS, static_cast<id_t>(syscall(SYS_gettid)), 10);
#endif
    std::unique_lock<std::mutex> hold(writer->lock);
    for (;;) {
        writer->wake.wait(hold, [] { return writer->stopping || !writer->queue.empty(); });
        if (writer->queue.empty()) return;  // stopping, and nothing left to write
        Picture p = std::move(writer->queue.front());
        writer->queue.pop_front();
        ++writer->busy;
        hold.unlock();
        write_picture(p);
        hold.lock();
        --writer->busy;
        writer->wake.notify_all();
    }
}

// At the program's end (std::exit runs this): what was asked for is written.
void stop_writer() {
    if (!writer) return;
    {
        std::lock_guard<std::mutex> hold(writer->lock);
        writer->stopping = true;
    }
    writer->wake.notify_all();
    if (writer->thread.joinable()) writer->thread.join();
}

}  // namespace

void sdl_take_screenshot() {
    Picture p;
    const uint32_t* page = page_pixels(visible_page());
    p.pixels.assign(page, page + SCREEN_W * SCREEN_H);
    p.taken = std::time(nullptr);
    if (!writer) {
        writer = new Writer;
        try {
            writer->thread = std::thread(write_queue);
            std::atexit(stop_writer);
        } catch (...) {
            delete writer;
            writer = nullptr;
        }
    }
    if (writer) {
        {
            std::lock_guard<std::mutex> hold(writer->lock);
            writer->queue.push_back(std::move(p));
        }
        writer->wake.notify_all();
        return;
    }
    write_picture(p);  // no thread to hand it to
}

void sdl_screenshots_wait() {
    if (!writer) return;
    std::unique_lock<std::mutex> hold(writer->lock);
    writer->wake.wait(hold, [] { return writer->queue.empty() && writer->busy == 0; });
}

#else

void sdl_take_screenshot() {
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    // The browser numbers a name it has already saved under by itself.
    web_save_canvas(screenshot_name(local, 1).c_str());
}

void sdl_screenshots_wait() {}

#endif

}  // namespace valmoren
