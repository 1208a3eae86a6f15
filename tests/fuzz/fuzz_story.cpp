// libFuzzer over the story caption reader: any captions file, any set.
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <string>

#include "frontend/frontend.h"
#include "platform/headless/headless.h"
#include "platform/textfile.h"

using namespace valmoren;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string folder = headless_enter_temp_folder("fuzz-story");
    if (size == 0) return 0;
    const int set = data[0] % 8 - 1;  // -1..6: the sets and one on each side
    {
        std::ofstream out("suget.dat", std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data + 1), static_cast<std::streamsize>(size - 1));
    }
    size_t total = 0;
    for (const CaptionPiece& p : read_story_captions("suget.dat", set)) {
        if (p.text.size() > MAX_ITEM_LENGTH || (p.line_end && !p.text.empty())) std::abort();
        total += p.text.size();
    }
    if (total > 2 * size) std::abort();  // at most three blanks for the two bytes "3,"
    return 0;
}
