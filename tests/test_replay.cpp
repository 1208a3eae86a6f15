// Every level replayed frame by frame: from a fixed seed, the level's scripted
// player plays a fixed number of frames headless, and a digest of the whole
// game state (every field and every record of the arrays) taken after every
// frame is compared with the digest stored here. Any change to a rule, to the
// order of the random draws or to a number the game computes shows up as a
// changed digest, at the first checkpoint after the frame it happened in.
//
// A deliberate change of behaviour updates the stored digests in the same
// commit: `tools/replay-digests.sh build` prints them in the form below. With
// VALMOREN_REPLAY_PICTURES naming a folder, each replay also saves what the
// screen shows in mid-play there as level<n>.png (the README's pictures).
#include <gtest/gtest.h>

#include <array>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "flow/runner.h"
#include "platform/headless/headless.h"
#include "platform/input.h"
#include "play_support.h"
#include "png_support.h"
#include "players.h"
#include "state/game_state.h"

using namespace valmoren;

namespace {

// FNV-1a over the values' bytes in little-endian order, so the digest is the
// same on every machine; reals by their bits.
struct Digest {
    uint64_t h = 0xcbf29ce484222325ull;
    void byte(uint8_t b) {
        h ^= b;
        h *= 0x100000001b3ull;
    }
    template <typename T>
    void whole(T v) {
        const auto u = static_cast<uint64_t>(static_cast<int64_t>(v));
        for (size_t i = 0; i < sizeof(T); ++i) byte(static_cast<uint8_t>(u >> (8 * i)));
    }
    void real(double v) {
        uint64_t u;
        std::memcpy(&u, &v, sizeof u);
        whole(u);
    }
    void picture(const Image& img) {
        whole(img.w);
        whole(img.h);
        whole(image_rows_held(img));
    }
};

// One step of the digest: the state after a frame folded into what came before.
uint64_t fold_state(uint64_t before) {
    Digest d;
    d.h = before;
    d.whole(g.controls_mouse);
    d.whole(g.music_on);
    d.whole(g.level);
    d.whole(g.request);
    d.whole(g.level_done);
    d.whole(g.energy);
    d.whole(g.score);
    d.whole(g.rockets);
    for (int32_t v : {g.player_x, g.player_y, g.craft_x, g.craft_y, g.craft2_x, g.craft2_y, g.vel_x, g.vel_y,
                      g.aim_dx, g.aim_dy})
        d.whole(v);
    d.real(g.heading);
    d.real(g.thrust);
    d.real(g.ship_accel);
    // Which of the ship's pictures is drawn, by its place; eight bytes on
    // every machine (a long has four on Windows).
    int64_t frame = -1;
    for (size_t i = 0; i < g.ship_pictures.size(); ++i)
        if (g.ship_frame == &g.ship_pictures[i]) frame = static_cast<int64_t>(i);
    d.whole(frame);
    d.whole(g.ship_pictures.size());
    for (const Image& img : g.ship_pictures) d.picture(img);
    d.whole(g.thrusting);
    d.whole(g.object_count);
    d.whole(g.last_spawned);
    d.whole(g.fall_speed);
    d.whole(g.alive_count);
    d.real(g.dice);
    d.whole(g.rocks_left);
    d.whole(g.rock_count);
    d.whole(g.wave_no);
    d.whole(g.wave_step);
    d.real(g.level_time);
    d.whole(g.tick_mark);
    d.real(g.event_time);
    d.whole(g.fps);
    for (int32_t v : {g.mouse_x, g.mouse_y, g.mouse_buttons, g.bg_scroll, g.bg_scroll2, g.bg_tile_x, g.bg_tile_y,
                      g.bg_tile_x2})
        d.whole(v);
    d.whole(g.bg_mode);
    d.whole(g.last_shot);
    d.real(g.fire_time);
    for (const Image* img : {&g.img_player, &g.img_craft, &g.img_craft2, &g.img_backg, &g.img_backg2, &g.img_enemy,
                             &g.img_rock, &g.img_rock2, &g.img_boom, &g.img_lives, &g.img_bonus, &g.img_load,
                             &g.img_load2})
        d.picture(*img);
    d.whole(g.objects.size());
    for (const FallingObject& o : g.objects)
        for (int32_t v : {o.x, o.y, o.dy, o.dx, o.kind, o.alive}) d.whole(v);
    d.whole(g.split_requests.size());
    for (int16_t v : g.split_requests) d.whole(v);
    d.whole(g.ball_history.size());
    for (int8_t v : g.ball_history) d.whole(v);
    d.whole(g.shots.size());
    for (const Shot& s : g.shots)
        for (int32_t v : {s.x, s.y, s.dy, s.kind}) d.whole(v);
    d.whole(g.enemies.size());
    for (const Enemy& e : g.enemies)
        for (int32_t v : {e.x, e.y, e.dy, e.dx, e.state, e.hits}) d.whole(v);
    d.whole(g.stream_music);
    d.whole(g.stream_fx);
    d.whole(g.stream_fx2);
    return d.h;
}

constexpr int REPLAY_FRAMES = 3000;
constexpr int CHECKPOINT_EVERY = 500;
constexpr int CHECKPOINTS = REPLAY_FRAMES / CHECKPOINT_EVERY;
// The frame of each level the README's pictures show: in play, counting 60
// frames a second (the lander's pauses after a landing hold its count lower
// for a while from frame 900 on).
constexpr int PICTURE_FRAME[5] = {1500, 1500, 1500, 800, 1500};
using Checkpoints = std::array<uint64_t, CHECKPOINTS>;

// The digest after frames 500, 1000, ... 3000 of each level (frames after the
// level was won, lost or left count as the state it stopped in).
// clang-format off
const Checkpoints STORED[5] = {
    {0x41288c56528c4214ull, 0xdffb8b74f7aa2ddfull, 0x6514f212efd8de2dull, 0x4bf06cfa36661780ull, 0xfffb38f2dc399395ull, 0xa09ae879642de6d6ull},  // level 1
    {0x319ebc79c5f41240ull, 0xa1b7ec93991c242aull, 0xbf73a82a7bce1c33ull, 0x22fc6f1337c39dacull, 0xa35446078f8d89edull, 0x1bfd02d52c9b95beull},  // level 2
    {0xfdf4bc41c238ac2aull, 0x07090d3df766619eull, 0x490e41aa2c4f5904ull, 0x53a469d2e71225adull, 0xdd5ccfe5007dfcf9ull, 0x2ebbe4aa4128c625ull},  // level 3
    {0xf8ff0338184e3cdaull, 0xe236abe89289ff0dull, 0xa818157b8d248af1ull, 0xce3109178b4d0f07ull, 0x71e9bac0fd96d61full, 0xccf0d5dfda05fb37ull},  // level 4
    {0x15164b4c19713126ull, 0x873271e4af6a1193ull, 0xaea6be864e8e4095ull, 0xdf38d8c8360a2c6cull, 0xd7a3e77b20a68752ull, 0x6ae4b97b994d3b31ull},  // level 5
};
// clang-format on
constexpr double SEED = 20261209.0;

// The level played by its own player from a fixed seed; the digest at each
// checkpoint. With `pictures` set, the screen at the level's PICTURE_FRAME is
// saved there.
Checkpoints replay(int level, const std::string& pictures) {
    g = GameState{};
    headless_reset();
    randomize(SEED);
    g.music_on = 0;
    headless_set_player(players::level_player);
    if (level > 1) {
        // What a game brings to a later level: the pictures level 1 loads and
        // later levels keep (the star field, the explosion, the energy bar),
        // and the rest of what level 1 leaves.
        level_setup(1);
        testing_support::carry_past_level1();
    }
    level_setup(static_cast<int8_t>(level));
    if (level == 2) {
        // The shooter dodges every obstacle it sees coming; this one, falling
        // onto the plane as play begins, makes the replay pass through a crash
        // in its second frame, after the first wave's start.
        g.objects[0] = FallingObject{g.craft_x - 10, g.craft_y - 31, 3, 0, OBJECT_ROCK, OBJECT_IN_PLAY};
        g.last_spawned = 0;
    }
    uint64_t h = fold_state(0);
    Checkpoints at{};
    bool playing = true;
    for (int frame = 1; frame <= REPLAY_FRAMES; ++frame) {
        if (playing) playing = level_frame() == LEVEL_GOES_ON;
        h = fold_state(h);
        if (frame % CHECKPOINT_EVERY == 0) at[frame / CHECKPOINT_EVERY - 1] = h;
        if (frame == PICTURE_FRAME[level - 1] && !pictures.empty()) {
            const std::string path = pictures + "/level" + std::to_string(level) + ".png";
            EXPECT_TRUE(testing_support::encode_png(path, headless_visible_page(), SCREEN_W, SCREEN_H)) << path;
        }
    }
    headless_set_player({});
    return at;
}

// VALMOREN_PRINT_DIGESTS=1 prints the digests as they are now, in the form of STORED.
bool printing() {
    const char* p = std::getenv("VALMOREN_PRINT_DIGESTS");
    return p && *p && std::strcmp(p, "0") != 0;
}

class Replay : public ::testing::TestWithParam<int> {};

TEST_P(Replay, EveryFrameOfTheLevelAsStored) {
    const char* pictures = std::getenv("VALMOREN_REPLAY_PICTURES");
    const std::string picture_folder =
        pictures && *pictures ? std::filesystem::absolute(pictures).string() : std::string();
    testing_support::InGameFolder folder;
    const int level = GetParam();
    const Checkpoints now = replay(level, picture_folder);
    if (printing()) {
        std::printf("    {");
        for (int i = 0; i < CHECKPOINTS; ++i) std::printf("0x%016" PRIx64 "ull%s", now[i], i + 1 < CHECKPOINTS ? ", " : "");
        std::printf("},  // level %d\n", level);
    }
    const Checkpoints& stored = STORED[level - 1];
    for (int i = 0; i < CHECKPOINTS; ++i) {
        ASSERT_EQ(now[i], stored[i]) << "level " << level << " plays differently from a frame in "
                                     << i * CHECKPOINT_EVERY + 1 << ".." << (i + 1) * CHECKPOINT_EVERY
                                     << " on (digests: tools/replay-digests.sh)";
    }
}

INSTANTIATE_TEST_SUITE_P(Levels, Replay, ::testing::Values(1, 2, 3, 4, 5),
                         [](const ::testing::TestParamInfo<int>& info) { return "Level" + std::to_string(info.param); });

}  // namespace
