// Gamepads as the game sees them: the table keeps every screen playable and
// no button contradicts itself, pads hold keys beside the keyboard, pads come
// and go, the right stick leads the pointer; then a pad alone plays level 5.
// (The window test pad_test.py plays the menus and level 1 with a pad on the
// window backend.)
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <set>
#include <vector>

#include "flow/runner.h"
#include "frontend_helpers.h"
#include "platform/headless/headless.h"
#include "platform/input.h"
#include "platform/pad_map.h"
#include "platform/pads.h"
#include "play/boxes.h"
#include "state/bounds.h"
#include "state/game_state.h"

namespace valmoren {
namespace {

// The keys a control holds, by the table.
std::set<int> keys_of(int control) {
    PadState pad;
    pad.held[control] = true;
    const PadEffect effect = pad_effect(pad);
    std::set<int> keys;
    for (int k = 0; k < KEY_TABLE_SIZE; ++k)
        if (effect.keys[k]) keys.insert(k);
    return keys;
}

int32_t mouse_of(int control) {
    PadState pad;
    pad.held[control] = true;
    return pad_effect(pad).mouse;
}

std::vector<int> controls_holding(int key) {
    std::vector<int> found;
    for (int c = 0; c < PAD_CONTROL_COUNT; ++c)
        if (keys_of(c).count(key)) found.push_back(c);
    return found;
}

TEST(PadTable, EveryKeyTheGameReadsIsReachableAndNoButtonContradictsItself) {
    for (int key : {KEY_ESC, KEY_Y, KEY_P, KEY_ENTER, KEY_N, KEY_SPACE, KEY_UP, KEY_DOWN, KEY_LEFT, KEY_RIGHT})
        EXPECT_FALSE(controls_holding(key).empty()) << "no pad control holds key " << key;
    for (int c = 0; c < PAD_CONTROL_COUNT; ++c) {
        const std::set<int> k = keys_of(c);
        // Esc's button must not answer the question it opens, and no button
        // answers yes and no at once.
        EXPECT_FALSE(k.count(KEY_ESC) && (k.count(KEY_Y) || k.count(KEY_N))) << "control " << c;
        EXPECT_FALSE(k.count(KEY_Y) && k.count(KEY_N)) << "control " << c;
        // A button holding P and Space would end at once the pause it opens.
        EXPECT_FALSE(k.count(KEY_P) && k.count(KEY_SPACE)) << "control " << c;
        // Opposite arrows together would cancel out in the menu (Up wins).
        EXPECT_FALSE(k.count(KEY_UP) && k.count(KEY_DOWN)) << "control " << c;
        EXPECT_FALSE(k.count(KEY_LEFT) && k.count(KEY_RIGHT)) << "control " << c;
    }
    // The answers sit on the buttons a player would guess: Y for yes, X (a
    // cross) for no.
    EXPECT_EQ(controls_holding(KEY_Y), std::vector<int>{PAD_Y});
    EXPECT_EQ(controls_holding(KEY_N), std::vector<int>{PAD_X});
    // One button chooses in the menus and fires, thrusts or runs the engine.
    EXPECT_EQ(keys_of(PAD_A), (std::set<int>{KEY_ENTER, KEY_SPACE}));
    // The D-pad and the left stick are the arrow keys.
    const std::pair<int, int> same[] = {{PAD_DPAD_UP, PAD_STICK_UP}, {PAD_DPAD_DOWN, PAD_STICK_DOWN},
                                        {PAD_DPAD_LEFT, PAD_STICK_LEFT}, {PAD_DPAD_RIGHT, PAD_STICK_RIGHT}};
    for (auto [dpad, stick] : same) EXPECT_EQ(keys_of(dpad), keys_of(stick));
    EXPECT_EQ(keys_of(PAD_DPAD_UP), std::set<int>{KEY_UP});
    // The triggers are the left and the right mouse button.
    EXPECT_EQ(mouse_of(PAD_PULL_LEFT_TRIGGER), MOUSE_LEFT);
    EXPECT_EQ(mouse_of(PAD_PULL_RIGHT_TRIGGER), MOUSE_RIGHT);
    // The system's own button is left to the system.
    EXPECT_TRUE(keys_of(PAD_GUIDE).empty());
    EXPECT_EQ(mouse_of(PAD_GUIDE), 0);
}

TEST(PadKeys, PadsHoldKeysBesideTheKeyboardAndLetGoWhenPulledOut) {
    headless_reset();
    ASSERT_TRUE(pad_attached(7));
    pad_button(7, PAD_A, true);
    EXPECT_TRUE(key_down(KEY_ENTER));
    EXPECT_TRUE(key_down(KEY_SPACE));
    EXPECT_TRUE(take_key_press());  // a key wait ends
    pad_button(7, PAD_A, false);
    EXPECT_FALSE(key_down(KEY_ENTER));
    EXPECT_FALSE(key_down(KEY_SPACE));

    // The keyboard and a pad hold Up each in their own right.
    headless_press(KEY_UP);
    pad_button(7, PAD_DPAD_UP, true);
    pad_button(7, PAD_DPAD_UP, false);
    EXPECT_TRUE(key_down(KEY_UP));
    pad_button(7, PAD_DPAD_UP, true);
    headless_release(KEY_UP);
    EXPECT_TRUE(key_down(KEY_UP));
    // The D-pad and the stick on one pad: Up stays while either holds it.
    pad_axis(7, PAD_LEFT_Y, -1.0);
    pad_button(7, PAD_DPAD_UP, false);
    EXPECT_TRUE(key_down(KEY_UP));
    pad_axis(7, PAD_LEFT_Y, 0.0);
    EXPECT_FALSE(key_down(KEY_UP));

    // Two pads: a key stays down until the last pad lets it go; a pad pulled
    // out lets go of everything it held, stick and triggers too.
    ASSERT_TRUE(pad_attached(3));
    EXPECT_EQ(pads_attached(), 2);
    pad_button(3, PAD_B, true);
    pad_button(7, PAD_B, true);
    pad_axis(7, PAD_LEFT_X, 0.9);
    EXPECT_TRUE(pad_detached(3));
    EXPECT_TRUE(key_down(KEY_ESC));
    EXPECT_TRUE(key_down(KEY_RIGHT));
    EXPECT_TRUE(pad_detached(7));
    EXPECT_FALSE(key_down(KEY_ESC));
    EXPECT_FALSE(key_down(KEY_RIGHT));
    EXPECT_EQ(pads_attached(), 0);

    // Events of a pad that is gone, or that never came, change nothing.
    take_key_press();
    pad_button(7, PAD_A, true);
    pad_axis(9, PAD_LEFT_Y, -1.0);
    EXPECT_FALSE(key_down(KEY_ENTER));
    EXPECT_FALSE(key_down(KEY_UP));
    EXPECT_FALSE(take_key_press());
    EXPECT_FALSE(pad_detached(7));

    // Room for PAD_SLOTS pads; one more is refused until one goes.
    for (int p = 0; p < PAD_SLOTS; ++p) EXPECT_TRUE(pad_attached(100 + p));
    EXPECT_FALSE(pad_attached(200));
    pad_detached(100);
    EXPECT_TRUE(pad_attached(200));
}

TEST(PadKeys, StickAndTriggersPressPastHalfWayAndLetGoBelowFourTenths) {
    headless_reset();
    pad_attached(1);
    const double steps[] = {0.45, 0.55, 0.45, 0.41, 0.39, 0.45};
    const bool held[] = {false, true, true, true, false, false};
    for (size_t i = 0; i < std::size(steps); ++i) {
        pad_axis(1, PAD_LEFT_Y, steps[i]);
        EXPECT_EQ(key_down(KEY_DOWN), held[i]) << "down at " << steps[i];
        EXPECT_FALSE(key_down(KEY_UP));
        pad_axis(1, PAD_LEFT_X, -steps[i]);
        EXPECT_EQ(key_down(KEY_LEFT), held[i]) << "left at " << -steps[i];
        pad_axis(1, PAD_RIGHT_TRIGGER, steps[i]);
        int32_t x, y, wheel, buttons;
        get_mouse(x, y, wheel, buttons);
        EXPECT_EQ(buttons, held[i] ? MOUSE_RIGHT : 0) << "trigger at " << steps[i];
    }
    pad_axis(1, PAD_LEFT_Y, std::nan(""));  // a broken reading counts as at rest
    pad_axis(1, PAD_LEFT_Y, 0.6);
    pad_axis(1, PAD_LEFT_Y, std::nan(""));
    EXPECT_FALSE(key_down(KEY_DOWN));
}

TEST(PadPointer, RightStickCrossesTheScreenInAboutASecondFromWhereTheMouseWas) {
    headless_reset();
    int32_t x, y, wheel, buttons;
    headless_set_mouse(100, 200, 0);
    pad_attached(1);
    pads_advance(0.0);
    // Resting near the middle: the pointer stays the mouse's.
    pad_axis(1, PAD_RIGHT_X, PAD_DEAD_ZONE * 0.9);
    pads_advance(0.5);
    ASSERT_TRUE(get_mouse(x, y, wheel, buttons));
    EXPECT_EQ(x, 100);
    EXPECT_EQ(y, 200);

    // Full tilt to the left from where the mouse was: at the edge before
    // 0.2 s are up (100 px), and it stays on the picture.
    pad_axis(1, PAD_RIGHT_X, -1.0);
    pads_advance(0.5 + 1.0 / 60);
    ASSERT_TRUE(get_mouse(x, y, wheel, buttons));
    EXPECT_LT(x, 100);
    EXPECT_GT(x, 80);
    EXPECT_EQ(y, 200);
    for (double t = 0.5 + 2.0 / 60; t < 0.7; t += 1.0 / 60) pads_advance(t);
    get_mouse(x, y, wheel, buttons);
    EXPECT_EQ(x, 0);

    // Across the whole screen at full tilt: not there after 0.9 s, there by 1.05 s.
    double t = 1.0;
    pads_advance(t);
    pad_axis(1, PAD_RIGHT_X, 1.0);
    for (; t < 1.9; t += 1.0 / 60) pads_advance(t);
    get_mouse(x, y, wheel, buttons);
    EXPECT_LT(x, SCREEN_W - 1);
    EXPECT_GT(x, SCREEN_W * 0.8);
    for (; t < 2.06; t += 1.0 / 60) pads_advance(t);
    get_mouse(x, y, wheel, buttons);
    EXPECT_EQ(x, SCREEN_W - 1);

    // Half tilt moves more slowly than full tilt; a stall of the game does
    // not fling the pointer (a tenth of a second counts at most).
    pad_axis(1, PAD_RIGHT_X, 0.0);
    pad_axis(1, PAD_RIGHT_Y, 0.5);
    pads_advance(10.0);
    pads_advance(10.5);
    get_mouse(x, y, wheel, buttons);
    const int half_tilt_step = y - 200;
    EXPECT_GT(half_tilt_step, 0);
    EXPECT_LT(half_tilt_step, 0.1 * PAD_POINTER_FULL_SPEED * 0.5);

    // The mouse moving takes the pointer back; outside the window the pad's
    // pointer still counts as over the picture when the pad leads.
    pad_axis(1, PAD_RIGHT_Y, 0.0);
    pads_mouse_moved();
    headless_set_mouse(300, 310, 0);
    ASSERT_TRUE(get_mouse(x, y, wheel, buttons));
    EXPECT_EQ(x, 300);
    EXPECT_EQ(y, 310);
    headless_mouse_outside();
    EXPECT_FALSE(get_mouse(x, y, wheel, buttons));
    pad_axis(1, PAD_LEFT_TRIGGER, 1.0);  // pulling a trigger takes the pointer to the pad
    ASSERT_TRUE(get_mouse(x, y, wheel, buttons));
    EXPECT_EQ(x, 300);
    EXPECT_EQ(y, 310);
    EXPECT_EQ(buttons, MOUSE_LEFT);
    EXPECT_EQ(wheel, 0);
    // The last pad gone: the mouse leads again.
    pad_detached(1);
    EXPECT_FALSE(get_mouse(x, y, wheel, buttons));
}

// ---------------------------------------------------------------- a pad alone

// Holds one set of buttons on pad 0 at a time.
struct PadHands {
    std::vector<PadButton> held;
    void hold(std::vector<PadButton> buttons) {
        for (PadButton b : held) pad_button(0, b, false);
        held = std::move(buttons);
        for (PadButton b : held) pad_button(0, b, true);
    }
};

TEST(PadAlone, LevelFiveWithTheRightStickAndTheTrigger) {
    fe_test::fresh_folder("pad-level5");
    for (const char* name : {"img", "sounds"})
        fe_test::fs::copy(fe_test::fs::path(VALMOREN_GAME_DIR) / name, name, fe_test::fs::copy_options::recursive);
    pad_attached(0);
    PadHands hands;
    headless_set_player([&] {
        if (headless_time() > 120.0) throw fe_test::ScriptEnded{};  // lost: stop rather than hang
        pads_advance(headless_time());
        if (headless_waiting_for_key()) {
            hands.hold({});
            hands.hold({PAD_A});
            return;
        }
        // The lowest target that can still be stopped, and where its middle
        // will be; the pointer is steered there with the stick, the trigger
        // let go now and then to keep the shot charging.
        const FallingObject* target = nullptr;
        for (int i = 0; i <= last_index(g.objects, g.last_spawned); ++i) {
            const FallingObject& o = g.objects[static_cast<size_t>(i)];
            if (o.alive <= 0 || o.kind < OBJECT_ENEMY || o.kind > OBJECT_ROCK2 || o.y + 8 * o.dy > 455) continue;
            if (target == nullptr || o.y > target->y) target = &o;
        }
        double dx = 0, dy = 0;
        if (target != nullptr) {
            const Box box = level5_target_box(target->kind);
            dx = target->x + box.w / 2 - (g.player_x + CROSSHAIR_SPOT);
            dy = target->y + 6 * target->dy + box.h / 2 - (g.player_y + CROSSHAIR_SPOT);
        }
        const auto tilt = [](double d) { return std::clamp(d / 24.0, -1.0, 1.0); };
        pad_axis(0, PAD_RIGHT_X, tilt(dx));
        pad_axis(0, PAD_RIGHT_Y, tilt(dy));
        pad_axis(0, PAD_RIGHT_TRIGGER, 0.0);
        pad_axis(0, PAD_LEFT_TRIGGER, g.thrust > 4.5 ? 0.0 : 1.0);
    });
    g.score = 0;
    g.energy = 100;
    level_setup(5);
    const int16_t start_score = g.score;
    int32_t lowest_x = SCREEN_W, highest_x = 0;
    const int status = headless_run_program([&] {
        for (long frame = 0; frame < 60 * 20; ++frame) {
            if (level_frame() != LEVEL_GOES_ON) return;
            lowest_x = std::min(lowest_x, g.player_x);
            highest_x = std::max(highest_x, g.player_x);
        }
    });
    headless_set_player(nullptr);
    EXPECT_EQ(status, -1);  // still playing after twenty seconds
    EXPECT_GT(g.score, start_score + 500);  // ten targets and more shot, 50 each
    EXPECT_GT(g.energy, 150);               // few got through
    EXPECT_GT(highest_x - lowest_x, 150);   // the crosshair went where the stick took it
}

}  // namespace
}  // namespace valmoren
