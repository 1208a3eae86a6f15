// Fuzzes the text-file reader: the bytes become a file that is read through
// as lines, then again as comma-separated items.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "platform/headless/headless.h"
#include "platform/textfile.h"

// The headless backend stands in for the window: pages, clock and no player.
extern "C" int LLVMFuzzerInitialize(int*, char***) {
    valmoren::headless_reset();
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace valmoren;
    static const std::string path = "/tmp/valmoren-fuzz-textfile-" + std::to_string(::getpid()) + ".txt";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (!f) return 0;
    std::fwrite(data, 1, size, f);
    std::fclose(f);

    std::string text;
    const int n = free_file_number();
    open_file(path, FILE_INPUT, n);
    size_t total = 0;
    for (size_t i = 0; i <= size; ++i) {  // at most one line per byte, plus the end
        read_line(n, text);
        total += text.size();
    }
    if (total > size) __builtin_trap();
    close_file(n);

    open_file(path, FILE_INPUT, n);
    for (size_t i = 0; i <= size; ++i) {
        read_item(n, text);
        if (text.size() > MAX_ITEM_LENGTH) __builtin_trap();
    }
    read_item(n, text);
    if (!text.empty()) __builtin_trap();  // every item has been read
    close_file(0);
    return 0;
}
