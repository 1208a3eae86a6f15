// Overlays last 3 s of the clock at any frame rate and show the help only
// when getting ready; questions are answered by held keys and give level 1
// its time back; level 2 loses its shots.
#include <gtest/gtest.h>

#include <string>
#include <utility>
#include <vector>

#include "frontend_helpers.h"
#include "levels/levels.h"
#include "play/play.h"
#include "play_support.h"
#include "state/game_state.h"

using namespace valmoren;
using namespace valmoren::testing_support;

namespace {

// The hand-made pictures' colours: the overlays, the help's devices and the
// help's three arrow frames (level 1's, then the other levels').
constexpr uint32_t GET_READY = 0xFF0000, LEVEL_DONE = 0x00FF00, GAME_OVER = 0x0000FF;
constexpr uint32_t KEYS = 0x00FFFF, MOUSE = 0x00FF80;
constexpr uint32_t ARROWS[2][3] = {{0x101080, 0x102080, 0x103080}, {0x801010, 0x802010, 0x803010}};

void help_pictures() {
    write_solid_bmp("img/key.bmp", 20, 20, KEYS);
    write_solid_bmp("img/mouse.bmp", 20, 20, MOUSE);
    const char* arrows[2][3] = {{"img/strelki.bmp", "img/strelki_2.bmp", "img/strelki_3.bmp"},
                                {"img/strelki(2).bmp", "img/strelki_2(2).bmp", "img/strelki_3(2).bmp"}};
    for (int set = 0; set < 2; ++set)
        for (int frame = 0; frame < 3; ++frame) write_solid_bmp(arrows[set][frame], 20, 10, ARROWS[set][frame]);
    write_solid_bmp("img/get_r.bmp", 40, 20, GET_READY);
    write_solid_bmp("img/ok_d.bmp", 40, 20, LEVEL_DONE);
    write_solid_bmp("img/g_o.bmp", 40, 20, GAME_OVER);
}

// The help's device picture at (345, 190); 0 when none is shown.
uint32_t help_device() {
    for (uint32_t device : {KEYS, MOUSE})
        if (shown_at(device, 345, 190, 20, 20)) return device;
    return 0;
}

// The help's arrow frame (1..3) shown at (320, 180) in an arrow set; 0 for none.
int arrow_frame(int set) {
    for (int frame = 0; frame < 3; ++frame)
        if (shown_at(ARROWS[set][frame], 320, 180, 20, 10)) return frame + 1;
    return 0;
}

}  // namespace

// Get ready and game over at (250, 140), level done at (300, 140) (which puts
// the ball in the middle); the help under get ready only, with the keyboard or the mouse as the controls are set;
// in level 5 the planets along the bottom at (0, 392).
TEST(Overlays, EachPictureAtItsPlace) {
    const struct {
        int k, x;
        uint32_t colour;
        int8_t level, controls_mouse;
        uint32_t device;
    } cases[] = {{OVERLAY_GET_READY, 250, GET_READY, 3, 0, KEYS}, {OVERLAY_GET_READY, 250, GET_READY, 5, 1, MOUSE},
                 {OVERLAY_LEVEL_DONE, 300, LEVEL_DONE, 1, 0, 0}, {OVERLAY_GAME_OVER, 250, GAME_OVER, 2, 0, 0}};
    constexpr uint32_t PLANETS = 0x445566;
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "overlay " << c.k << " in level " << int(c.level));
        fresh_game("overlay_places");
        help_pictures();
        g.level = c.level;
        g.controls_mouse = c.controls_mouse;
        g.img_craft = solid_image(10, 10, PLANETS);
        bool picture = false, planets = false;
        uint32_t device = 0;
        headless_set_player([&] {
            // The overlay's own 3 seconds (game over's question shows its picture too).
            picture = picture || (headless_time() <= 3.0 && shown_at(c.colour, c.x, 140, 40, 20));
            planets = planets || shown_at(PLANETS, 0, 392, 10, 10);
            device = device != 0 ? device : help_device();
            if (headless_time() > 3.1) headless_press(KEY_N);  // "Game reset?!"
        });
        show_overlay(c.k);
        EXPECT_TRUE(picture);
        EXPECT_EQ(planets, c.level == 5);
        EXPECT_EQ(device, c.device);
        // Game over then asks "Game reset?!", which N answers.
        EXPECT_EQ(g.request, c.k == OVERLAY_GAME_OVER ? REQUEST_LEAVE : REQUEST_NONE);
        if (c.k == OVERLAY_LEVEL_DONE) {
            EXPECT_EQ(g.player_x, 320);  // the ball put in the middle
            EXPECT_EQ(g.player_y, 240);
        }
    }
}

// The arrows follow the phase: frame 1 below 1.0, 2 between 1.0 and 2.0, 3
// above 2.0, none at exactly 1.0 and 2.0; level 1 has arrows of its own. In an
// overlay the phase steps 0.1 a pass and goes from above 3.0 to -1.0: frame 1
// for 10 passes, 2 and 3 for 10 each, then frame 1 for 20.
TEST(Overlays, HelpArrowsFollowThePhase) {
    fresh_game("overlay_arrows");
    help_pictures();
    for (int set = 0; set < 2; ++set) {
        g.level = set == 0 ? 1 : 4;
        const struct {
            double phase;
            int frame;
        } phases[] = {{0.99, 1}, {1.0, 0}, {1.01, 2}, {1.99, 2}, {2.0, 0}, {2.01, 3}};
        for (const auto& p : phases) {
            clear();
            draw_controls_help(320, 180, HELP_KEYBOARD, p.phase);
            show_frame();
            EXPECT_EQ(arrow_frame(set), p.frame) << "level " << int(g.level) << ", phase " << p.phase;
        }
    }
    g.level = 3;
    std::vector<int> frames;
    headless_set_player([&] { frames.push_back(arrow_frame(1)); });
    show_overlay(OVERLAY_GET_READY);
    headless_set_player(nullptr);
    std::vector<std::pair<int, int>> runs;  // (frame, passes), from the second pass shown on
    for (size_t i = 1; i < frames.size(); ++i) {
        if (runs.empty() || runs.back().first != frames[i]) runs.push_back({frames[i], 0});
        ++runs.back().second;
    }
    ASSERT_GE(runs.size(), 4u);
    const int want[4][2] = {{1, 10}, {2, 10}, {3, 10}, {1, 20}};
    for (int r = 0; r < 4; ++r) {
        EXPECT_EQ(runs[r].first, want[r][0]) << "run " << r;
        EXPECT_NEAR(runs[r].second, want[r][1], 1) << "run " << r;
    }
}

TEST(Overlays, LastThreeSecondsAtAnyFrameRate) {
    for (double extra : {0.0, 0.05, 0.4}) {
        fresh_game("overlay_time");
        help_pictures();
        g.level = 1;
        int frames = 0;
        bool help_seen = false;
        headless_set_player([&] {
            ++frames;
            help_seen = help_seen || help_device() != 0;
            headless_advance(extra);  // a slow machine
        });
        const double t0 = headless_time();
        show_overlay(0);
        const double took = headless_time() - t0;
        EXPECT_GT(took, 3.0) << extra;
        EXPECT_LT(took, 3.0 + extra + 0.05) << extra;
        EXPECT_TRUE(help_seen);
        if (extra == 0.0) {
            EXPECT_GE(frames, 175);
            EXPECT_LE(frames, 182);
        }
    }
}

TEST(Overlays, PlanesMoveDuringGetReadyAndShotsAreCleared) {
    fresh_game("overlay_planes");
    g.level = 1;
    g.craft_y = g.craft2_y = 240;
    g.player_x = 111;
    g.player_y = 222;
    headless_press(KEY_DOWN);
    show_overlay(0);
    // Moved, and brought back at each pass before the controls move them one
    // more step: at most 4 pixels beyond the bounds when the overlay ends.
    EXPECT_EQ(g.craft_y, 404);
    EXPECT_EQ(g.craft2_y, -4);
    EXPECT_EQ(g.player_x, 111);  // the ball stays put
    EXPECT_EQ(g.player_y, 222);
    headless_release(KEY_DOWN);

    g.level = 2;
    size_array(g.shots, 210);
    for (Shot& s : g.shots) s.kind = 1;
    show_overlay(0);
    for (size_t i = 0; i <= 200; ++i) EXPECT_EQ(g.shots[i].kind, 0) << i;
}

TEST(Questions, HeldKeysAnswer) {
    struct Case {
        int q, key, request;
    };
    const Case cases[] = {{1, KEY_Y, 1}, {1, KEY_N, 2}, {2, KEY_Y, 2}, {2, KEY_N, 0}};
    for (const Case& c : cases) {
        fresh_game("question_keys");
        g.level = 3;
        headless_press(c.key);  // already held when the question comes up
        ask_question(c.q);
        EXPECT_EQ(g.request, c.request) << c.q << " " << c.key;
    }

    // Neither key: the question stays up, its lines at rows 15 and 17 from
    // column 35 and, for "Game reset?!", the game-over picture at (250, 140);
    // Y after 500 frames answers it.
    for (int q : {QUESTION_GAME_RESET, QUESTION_EXIT}) {
        fresh_game("question_wait");
        help_pictures();
        g.level = 3;
        int frames = 0;
        std::string question, answers;
        bool picture = false;
        headless_set_player([&] {
            if (++frames == 2) {
                question = fe_test::screen_text(headless_visible_page(), 15, 35, 12);
                answers = fe_test::screen_text(headless_visible_page(), 17, 35, 13);
                picture = shown_at(GAME_OVER, 250, 140, 40, 20);
            }
            if (frames == 500) headless_press(KEY_Y);
        });
        ask_question(q);
        EXPECT_EQ(g.request, q == QUESTION_GAME_RESET ? REQUEST_RESTART : REQUEST_LEAVE);
        EXPECT_GE(frames, 500);
        EXPECT_EQ(question, q == QUESTION_GAME_RESET ? "Game reset?!" : "Exit?!      ");
        EXPECT_EQ(answers, "Yes(y)--No(n)");
        EXPECT_EQ(picture, q == QUESTION_GAME_RESET);
    }
}

TEST(Questions, Level1KeepsItsTime) {
    fresh_game("question_time");
    g.level = 1;
    g.level_time = 60.0;
    g.tick_mark = 0;
    // "Exit?!" answered N after about 5 seconds.
    headless_set_player([&] {
        headless_advance(0.1);
        if (headless_time() > 5.0) headless_press(KEY_N);
    });
    headless_press(KEY_ESC);
    read_controls();
    headless_release(KEY_ESC);
    headless_release(KEY_N);
    headless_set_player(nullptr);
    EXPECT_EQ(g.request, 0);
    run_level_clock();  // the countdown takes off the seconds that passed...
    EXPECT_EQ(g.level_time, 60.0);  // ...which the question gave back

}
