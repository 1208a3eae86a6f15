// The logo screen (the fade over white, keys during it, the state it leaves)
// and the credits screen.
#include <gtest/gtest.h>

#include <cstdlib>

#include "audio/sound.h"
#include "frontend/frontend.h"
#include "frontend_helpers.h"

namespace valmoren {
namespace {

using namespace fe_test;

constexpr uint32_t LOGO_INK = 0x204080;

// The logo pixel that the 101 blended steps leave over white, channel by channel.
uint32_t faded_over_white(uint32_t ink) {
    uint32_t out = 0;
    for (int shift = 0; shift <= 16; shift += 8) {
        int page = 0xFF;
        const int src = static_cast<int>((ink >> shift) & 0xFF);
        for (int level = 1; level <= 100; ++level) page += (src - page) * (level + 1) / 256;
        out |= static_cast<uint32_t>(page) << shift;
    }
    return out;
}

bool near_colour(uint32_t a, uint32_t b, int tolerance) {
    for (int shift = 0; shift <= 16; shift += 8) {
        if (std::abs(static_cast<int>((a >> shift) & 0xFF) - static_cast<int>((b >> shift) & 0xFF)) >
            tolerance) {
            return false;
        }
    }
    return (a >> 24) == 0 && (b >> 24) == 0;
}

// A 40x20 logo: left half ink, right half the key colour.
void write_logo() {
    write_bmp("img/logo3.bmp", 40, 20, [](int x, int) { return x < 20 ? LOGO_INK : KEY_COLOUR; });
}

TEST(LogoScreen, FadesTheLogoOutOfWhiteThenTurnsBlack) {
    fresh_folder("logo-fade");
    write_logo();
    write_music_files();
    write_options("0", "0", "0");  // music off: the logo plays its music all the same
    std::vector<uint32_t> faded;
    StreamHandle music_during_fade = 0;
    int8_t music_on_during_fade = 0;
    long frames = 0;
    headless_set_player([&] {
        if (headless_waiting_for_key()) return;
        // The second shown frame is the black one: the page still shows the fade.
        if (++frames == 2) {
            faded = {headless_pixel(185, 145), headless_pixel(199, 159), headless_pixel(205, 145),
                     headless_pixel(179, 145), headless_pixel(185, 139), headless_pixel(400, 400)};
            music_during_fade = g.stream_music;
            music_on_during_fade = g.music_on;
        }
    });
    const double start = headless_time();
    logo_screen();
    const double took = headless_time() - start;

    ASSERT_EQ(faded.size(), 6u);
    const uint32_t expected = faded_over_white(LOGO_INK);
    EXPECT_TRUE(near_colour(faded[0], expected, 3)) << std::hex << faded[0] << " vs " << expected;
    EXPECT_TRUE(near_colour(faded[1], expected, 3)) << std::hex << faded[1];
    EXPECT_TRUE(near_colour(faded[0], LOGO_INK, 3)) << "the logo is fully visible at the end";
    for (size_t i = 2; i < faded.size(); ++i) EXPECT_EQ(faded[i], 0xFFFFFFu) << i;

    EXPECT_NE(music_during_fade, 0);
    EXPECT_EQ(music_on_during_fade, 1);
    // 101 steps of 50 ms, then the half-second of black.
    EXPECT_GE(took, 5.05 + 0.5);
    EXPECT_LT(took, 5.05 + 0.5 + 0.2);

    // What the rest of the game expects.
    EXPECT_EQ(work_page(), 1);
    EXPECT_EQ(visible_page(), 0);
    EXPECT_EQ(g.music_on, 0);
    EXPECT_EQ(g.stream_music, 0);
    for (int i = 0; i < SCREEN_W * SCREEN_H; i += 97) ASSERT_EQ(visible()[i], 0u) << i;
    locate(1, 1);
    print_text("A");
    show_frame();
    EXPECT_EQ(screen_text(visible(), 1, 1, 1), "A") << "white on black again";

    // The menu that follows is silent.
    StreamHandle menu_music = -1;
    script_keys({{KEY_ENTER}}, [&](size_t) { menu_music = g.stream_music; });
    main_menu();
    EXPECT_EQ(menu_music, 0);
    EXPECT_EQ(g.music_on, 0);
}

TEST(LogoScreen, KeysShortenOnlyTheBlackPause) {
    fresh_folder("logo-keys");
    write_logo();
    // A key pressed before the fade: the fade ignores it, the black pause ends at once.
    long frames = 0;
    headless_set_player([&] {
        if (!headless_waiting_for_key() && ++frames == 1) headless_tap(KEY_SPACE);
    });
    const double start = headless_time();
    logo_screen();
    const double took = headless_time() - start;
    EXPECT_GE(took, 5.05);
    EXPECT_LT(took, 5.05 + 0.1);
}

TEST(CreditsScreen, AnyKeyLeavesAndThePicturesAreInPlace) {
    for (int key : {KEY_SPACE, KEY_LEFT}) {
        SCOPED_TRACE(key);
        fresh_folder("credits");
        write_solid_bmp("img/l1.bmp", 320, 480, 0x303030);
        write_solid_bmp("img/l2.bmp", 320, 480, 0x0000F0);
        write_bmp("img/name.bmp", 30, 10, [](int x, int) { return x < 10 ? KEY_COLOUR : 0xE0E000; });
        std::vector<uint32_t> seen;
        script_keys({{key}}, [&](size_t) {
            seen = {headless_pixel(5, 5), headless_pixel(400, 5), headless_pixel(182, 305),
                    headless_pixel(195, 305)};
        });
        credits_screen();
        EXPECT_EQ(seen, (std::vector<uint32_t>{0x303030, 0x0000F0, 0x303030, 0xE0E000}));
    }
}

}  // namespace
}  // namespace valmoren
