// libFuzzer over the options file: the reader, and the options screen reading
// it and saving it back as three clean lines.
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>

#include "frontend/frontend.h"
#include "platform/headless/headless.h"
#include "platform/input.h"
#include "state/game_state.h"

using namespace valmoren;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string folder = headless_enter_temp_folder("fuzz-options");
    g = GameState{};
    headless_reset();
    {
        std::ofstream out("options.dat", std::ios::binary | std::ios::trunc);
        out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
    }
    read_options();
    if ((g.music_on != 0 && g.music_on != 1) || (g.controls_mouse != 0 && g.controls_mouse != 1)) {
        std::abort();
    }

    // Save and Exit at once: three Downs, then Enter.
    int presses = 0;
    headless_set_player([&presses] {
        if (!headless_waiting_for_key()) return;
        release_all_keys();
        if (++presses > 4) std::abort();
        headless_press(presses < 4 ? KEY_DOWN : KEY_ENTER);
    });
    options_screen();
    headless_set_player(nullptr);
    std::ifstream in("options.dat", std::ios::binary);
    std::stringstream saved;
    saved << in.rdbuf();
    const std::string s = saved.str();
    if (s.size() != 9) std::abort();
    for (int line = 0; line < 3; ++line) {
        const char c = s[line * 3];
        if ((c != '0' && c != '1') || s[line * 3 + 1] != '\r' || s[line * 3 + 2] != '\n') std::abort();
    }
    return 0;
}
