// Every level replayed frame by frame: from a fixed seed, the level's scripted
// player plays a fixed number of frames headless, and a digest of the whole
// game state (every field and every record of the arrays) taken after every
// frame is compared with the digest stored here. Any change to a rule, to the
// order of the random draws or to a number the game computes shows up as a
// changed digest, at the first checkpoint after the frame it happened in.
//
// A deliberate change of behaviour updates the stored digests in the same
// commit: `tools/replay-digests.sh build` prints them in the form below.
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
    long frame = -1;  // which of the ship's pictures is drawn, by its place
    for (size_t i = 0; i < g.ship_pictures.size(); ++i)
        if (g.ship_frame == &g.ship_pictures[i]) frame = static_cast<long>(i);
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
using Checkpoints = std::array<uint64_t, CHECKPOINTS>;

// The digest after frames 500, 1000, ... 3000 of each level (frames after the
// level was won, lost or left count as the state it stopped in).
// clang-format off
const Checkpoints STORED[5] = {
    {0x41288c56528c4214ull, 0xdffb8b74f7aa2ddfull, 0x6514f212efd8de2dull, 0x4bf06cfa36661780ull, 0xfffb38f2dc399395ull, 0xa09ae879642de6d6ull},  // level 1
    {0x64f1a100d8edae4cull, 0xbee4ce3ceafbe328ull, 0x729dd6a12f2ae635ull, 0x1d027f764f9ee93full, 0x815999959aff61dcull, 0x277e6c7598e30230ull},  // level 2
    {0x838a0ce35f7de777ull, 0x3d4f1910e9feceeeull, 0x9a33682a91679d26ull, 0xd7646f4a5cb80407ull, 0x703a81eefdd60889ull, 0x64646c02ab93bb0aull},  // level 3
    {0x1e7b9725879ba352ull, 0xff31d2611da6c0c2ull, 0x90f862cd97c68a06ull, 0xddbeb345feba72d2ull, 0xd81651d204f6b51aull, 0x95a8147180fc6162ull},  // level 4
    {0x6bcfaa8ac7c2da10ull, 0xc08c796530681e8bull, 0xfeb0a1788feb14eeull, 0x2b7456791dd6db8bull, 0x3b0808d888ab1fbfull, 0x49347369e9845a84ull},  // level 5
};
// clang-format on
constexpr double SEED = 20261209.0;

// Runs inside the run folder, where the generated pictures and captions are.
struct InGameFolder {
    std::filesystem::path before = std::filesystem::current_path();
    InGameFolder() { std::filesystem::current_path(VALMOREN_GAME_DIR); }
    ~InGameFolder() {
        headless_set_player({});
        std::filesystem::current_path(before);
    }
};

// The level played by its own player from a fixed seed; the digest at each checkpoint.
Checkpoints replay(int level) {
    g = GameState{};
    headless_reset();
    randomize(SEED);
    g.music_on = 0;
    // What a game brings to a later level: the formation's records, the ball
    // left in mid-screen by level 1's level-done picture.
    if (level > 1) {
        size_array(g.enemies, 40);
        g.wave_step = 1;
        g.rock_count = 1;
        g.player_x = 320;
        g.player_y = 240;
        g.vel_x = 5;
        g.vel_y = 2;
    }
    headless_set_player(players::level_player);
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
    InGameFolder folder;
    const int level = GetParam();
    const Checkpoints now = replay(level);
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
