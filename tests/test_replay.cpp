// Every level replayed frame by frame, and the whole game: from a fixed seed,
// the level's scripted player plays from the level's set-up to its win, and
// the whole-game player from the logo to the victory and the score log, headless;
// a digest of the whole game state (every field and every record of the
// arrays) taken after every frame is compared with the digest stored here,
// with the number of frames each run took. Any change to a rule, to the order
// of the random draws or to a number the game computes shows up as a changed
// digest, at the first checkpoint after the frame it happened in; the
// end-of-level rules are under it too. A game played with no data files at all
// is won as well.
//
// A deliberate change of behaviour updates the stored digests in the same
// commit: `tools/replay-digests.sh build` prints them in the form below. With
// VALMOREN_REPLAY_PICTURES naming a folder, each level's replay also saves what
// the screen shows in mid-play there as level<n>.png (the README's pictures).
// Each level's replay is recorded as it is played (which changes nothing: the
// digests are the stored ones), then played again from its recording alone,
// with no player and no backend: every digest comes out the same. The whole
// game is recorded as the program records every game, and its recording then
// checked: the same game to the same end, and no file written.
#include <gtest/gtest.h>

#include <algorithm>
#include <cinttypes>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "audio/mixer.h"
#include "audio/sound.h"
#include "flow/flow.h"
#include "flow/runner.h"
#include "platform/headless/headless.h"
#include "platform/input.h"
#include "platform/journal.h"
#include "platform/recording.h"
#include "play_support.h"
#include "png_support.h"
#include "players.h"
#include "state/digest.h"
#include "state/game_state.h"

using namespace valmoren;

namespace {

constexpr long FRAME_LIMIT = 40000;  // a level not won in this many frames fails
constexpr long CHECKPOINT_EVERY = 1000;
// The frame of each level the README's pictures show: in play, counting 60
// frames a second (the lander's pauses after a landing hold its count lower
// for a while from frame 900 on).
constexpr int PICTURE_FRAME[5] = {1500, 1500, 1500, 800, 1500};

// A run: how many frames it took to its end, and the digest after every
// CHECKPOINT_EVERY frames and at the end.
struct Played {
    long frames = 0;
    std::vector<uint64_t> digests;
};

// How a level's run meets its recording: not at all, recorded as it is
// played, or played again from the recording alone (no player, no backend).
enum class Journal { NONE, RECORD, PLAY_BACK };

// Each level from its set-up to its win, then the whole game from the logo to
// the victory (frames shown).
// clang-format off
const Played STORED[6] = {
    {5658, {0xdffb8b74f7aa2ddfull, 0x4bf06cfa36661780ull, 0xa09ae879642de6d6ull, 0x92772e4d39725b5full, 0x12c97f83a8d7d4ceull, 0xce61c42b558c28d4ull}},  // level 1
    {11540, {0xa1b7ec93991c242aull, 0x22fc6f1337c39dacull, 0x1bfd02d52c9b95beull, 0xdeafd548b955cf85ull, 0x246a190d5fb535e2ull, 0x76942b5bad345e77ull, 0x0f50fcb82606a37aull, 0xbd6f1f96647a69f6ull, 0x8eb5b7c06f406dd6ull, 0xeac1e4c8ab58f66eull, 0xa09cff1360ffadf9ull, 0x7f4dc21f38360faeull}},  // level 2
    {2649, {0x07090d3df766619eull, 0x53a469d2e71225adull, 0x44075abb5edf4bdaull}},  // level 3
    {1740, {0xe236abe89289ff0dull, 0x874a698314e8e20full}},  // level 4
    {8145, {0x873271e4af6a1193ull, 0xdf38d8c8360a2c6cull, 0x6ae4b97b994d3b31ull, 0x41007889df2b6223ull, 0xd54547aea02bf669ull, 0x5adcab0bde345853ull, 0x7c4de79d4cbdd5adull, 0x7cc32f749ff5a6c2ull, 0x5608447fb649710cull}},  // level 5
    {32143, {0x2135d75906a775ceull, 0xe82739da3ece136eull, 0x86c9af016ade9260ull, 0xc9816e4985112fc9ull, 0x66199026aac7b4a5ull, 0x79d5fa519f981d45ull, 0x21694507c9a1c341ull, 0x3fbf8f2aa778b40aull, 0xb316fd483d89b7f7ull, 0xcfcb53694e0539caull, 0xb045bddef9a37692ull, 0xfeb83b732eeea811ull, 0xd9d27873c2f14e7full, 0xfaf492d269bbb9ddull, 0x9dfb4de25d49e698ull, 0x62f13cf053d3378cull, 0xa544ab53ff4d0bb7ull, 0x57cf11d0c14042b6ull, 0xe3bd41a669e6c7b2ull, 0x39b9ef87d7698d2full, 0xd3f1e017bb95831full, 0x19daed60bd96c339ull, 0x28f5ed9ebaeaa954ull, 0xfcd52ddb9768494cull, 0xc030d6e93af3410cull, 0xf9f942ec81783bfeull, 0x72078df66a80af18ull, 0x444e093b5deb0ec7ull, 0x4a6d2fe02eac1920ull, 0x1b2e2512c0876918ull, 0xf19f9acc1db3fb72ull, 0x7ec1d21ea9d5c57cull, 0xd617b30fe608cf3eull}},  // the whole game
};
// clang-format on
constexpr double SEED = 20261209.0;

// The level played by its own player from `seed`, from the state a game
// arrives at it with (`after_level1`: with the pictures level 1 leaves too),
// until it is won (or left, or FRAME_LIMIT runs out); the set-up's banking and
// the level's end are checked. With `pictures` set, the screen at the level's
// PICTURE_FRAME is saved there. `journal` holds the run's recording: made
// (Journal::RECORD) or played back (Journal::PLAY_BACK).
Played replay(int level, double seed, const std::string& pictures = "", bool after_level1 = true,
              Journal how = Journal::NONE, JournalStreams* journal = nullptr) {
    g = GameState{};
    headless_reset();
    randomize(seed);
    g.music_on = 0;
    if (how == Journal::PLAY_BACK) {
        journal_play(*journal, 0, UINT64_MAX, false);
    } else {
        if (how == Journal::RECORD) journal_record();
        headless_set_player(players::level_player);
    }
    if (level > 1) {
        // What a game brings to a later level: the pictures level 1 loads and
        // later levels keep (the star field, the explosion, the energy bar),
        // and the rest of what level 1 leaves.
        if (after_level1) level_setup(1);
        testing_support::carry_past_level1();
    }
    const int16_t banked = static_cast<int16_t>(g.score + g.energy);
    level_setup(static_cast<int8_t>(level));
    if (level > 1) {
        EXPECT_EQ(g.score, banked) << "the energy left goes to the score";
        EXPECT_EQ(g.energy, 240);
        if (level == 5) {
            EXPECT_EQ(g.controls_mouse, 1);
        }
    }
    if (level == 2 && seed == SEED && !g.objects.empty()) {
        // The shooter dodges every obstacle it sees coming; this one, falling
        // onto the plane as play begins, makes the replay pass through a crash
        // in its second frame, after the first wave's start.
        g.objects[0] = FallingObject{g.craft_x - 10, g.craft_y - 31, 3, 0, OBJECT_ROCK, OBJECT_IN_PLAY};
        g.last_spawned = 0;
    }
    uint64_t h = fold_state(0);
    Played run;
    FrameOutcome outcome = LEVEL_GOES_ON;
    while (outcome == LEVEL_GOES_ON && run.frames < FRAME_LIMIT) {
        outcome = level_frame();
        h = fold_state(h);
        if (++run.frames % CHECKPOINT_EVERY == 0) run.digests.push_back(h);
        if (run.frames == PICTURE_FRAME[level - 1] && !pictures.empty()) {
            const std::string path = pictures + "/level" + std::to_string(level) + ".png";
            EXPECT_TRUE(testing_support::encode_png(path, headless_visible_page(), SCREEN_W, SCREEN_H)) << path;
        }
    }
    run.digests.push_back(h);
    headless_set_player({});
    if (how == Journal::RECORD) *journal = journal_streams();
    journal_stop();
    // A playback's run is held to the recorded one, digest by digest.
    if (how == Journal::PLAY_BACK) return run;
    EXPECT_EQ(outcome, LEVEL_WON) << "level " << level << ", seed " << seed << ": after " << run.frames
                                  << " frames, energy " << g.energy << ", wave " << int(g.wave_no) << ", debris "
                                  << int(g.rock_count) << ", rockets " << int(g.rockets);
    EXPECT_GT(g.energy, 0);
    switch (level) {
        case 1:
            EXPECT_EQ(g.level_time, 0.0);
            EXPECT_GE(g.score, 100);  // the planes returned the ball many times
            // 101 seconds at 60 frames a second, less any time bonus.
            EXPECT_GT(headless_time(), 30.0);
            level_end();
            EXPECT_EQ(g.level_done, 0);
            break;
        case 2:
            EXPECT_EQ(g.wave_step, 6);
            // 240 banked from level 1, then 21 enemies of 30 points in each wave.
            EXPECT_GE(g.score, 240 + 5 * 21 * 30 - 200);
            break;
        case 3: EXPECT_EQ(g.rock_count, 11); break;
        case 4:
            EXPECT_EQ(g.rockets, 0);
            EXPECT_GE(g.craft_x, -195);
            break;
        case 5: EXPECT_EQ(g.fall_speed, 13); break;  // seven phases
        default: break;
    }
    return run;
}

// VALMOREN_PRINT_DIGESTS=1 prints the digests as they are now, in the form of STORED.
bool printing() {
    const char* p = std::getenv("VALMOREN_PRINT_DIGESTS");
    return p && *p && std::strcmp(p, "0") != 0;
}

// The run against the one stored for it: the same length, the same digests.
void expect_stored(const Played& now, int index, const std::string& what) {
    if (printing()) {
        std::printf("    {%ld, {", now.frames);
        for (size_t i = 0; i < now.digests.size(); ++i)
            std::printf("%s0x%016" PRIx64 "ull", i ? ", " : "", now.digests[i]);
        std::printf("}},  // %s\n", what.c_str());
    }
    const Played& stored = STORED[index];
    const size_t common = std::min(now.digests.size(), stored.digests.size());
    for (size_t i = 0; i < common; ++i) {
        ASSERT_EQ(now.digests[i], stored.digests[i])
            << what << " plays differently from a frame in " << i * CHECKPOINT_EVERY + 1 << ".."
            << std::min((i + 1) * CHECKPOINT_EVERY, static_cast<size_t>(now.frames))
            << " on (digests: tools/replay-digests.sh)";
    }
    EXPECT_EQ(now.frames, stored.frames) << what << " ends after another number of frames";
}

class Replay : public ::testing::TestWithParam<int> {};

TEST_P(Replay, EveryFrameOfTheLevelToItsWinAsStored) {
    const char* pictures = std::getenv("VALMOREN_REPLAY_PICTURES");
    const std::string picture_folder =
        pictures && *pictures ? std::filesystem::absolute(pictures).string() : std::string();
    testing_support::InGameFolder folder;
    const int level = GetParam();
    JournalStreams journal;
    const Played now = replay(level, SEED, picture_folder, true, Journal::RECORD, &journal);
    if (HasFailure()) return;
    expect_stored(now, level - 1, "level " + std::to_string(level));
    const Played back = replay(level, SEED, "", true, Journal::PLAY_BACK, &journal);
    EXPECT_EQ(back.frames, now.frames) << "level " << level << " played from its recording ends elsewhere";
    EXPECT_EQ(back.digests, now.digests) << "level " << level << " plays differently from its recording";
}

INSTANTIATE_TEST_SUITE_P(Levels, Replay, ::testing::Values(1, 2, 3, 4, 5),
                         [](const ::testing::TestParamInfo<int>& info) { return "Level" + std::to_string(info.param); });

// Levels 2 to 4 are won from other seeds too, arriving without level 1's
// pictures: the players cope with other games than the stored ones.
TEST(LevelPlay, PlayersWinLevelsTwoToFourFromOtherSeeds) {
    testing_support::InGameFolder folder;
    for (int level : {2, 3})
        for (double seed : {1.0, 7.0, 123.0}) replay(level, seed, "", false);
    replay(4, 1.0, "", false);
}


// A fresh program: the game state, the platform and the sound streams.
void fresh_program() {
    sound_shutdown();
    mixer_reset();
    g = GameState{};
    headless_reset();
}

// A fresh program in a fresh working folder, the whole-game player installed
// with a budget of frames per level, so a level that cannot be won ends in the
// menu's Exit instead of running for ever; `run` holds the player's counts.
// With `digests`, the state after every frame shown is folded into a run.
// `recorded`: the game is recorded as the program records every game.
int play_whole_game(const std::string& folder, bool with_data, long level_budget, Played* digests = nullptr,
                    bool recorded = false) {
    fresh_program();
    headless_enter_temp_folder(folder);
    if (with_data) {
        const std::filesystem::path game = VALMOREN_GAME_DIR;
        std::error_code ec;
        for (const char* name : {"img", "sounds", "suget.dat"})
            std::filesystem::copy(game / name, name, std::filesystem::copy_options::recursive, ec);
        // Music off, keyboard, window.
        std::ofstream("options.dat", std::ios::binary) << "0\r\n0\r\n0\r\n";
    }
    players::run = players::GameRun{};
    players::run.level_budget = level_budget;
    uint64_t h = fold_state(0);
    // Folded once the logo's music has ended: the logo plays it whatever the
    // options say, and a stream's handle tells how many streams ran before it
    // in the same process.
    bool logo_heard = false, logo_over = false;
    headless_set_player([&] {
        players::whole_game();
        logo_heard = logo_heard || g.stream_music != 0;
        logo_over = logo_over || (logo_heard && g.stream_music == 0);
        if (digests == nullptr || headless_waiting_for_key() || !logo_over) return;
        h = fold_state(h);
        if (++digests->frames % CHECKPOINT_EVERY == 0) digests->digests.push_back(h);
    });
    if (recorded) record_games("replays/last.vrec", "replays/best.vrec");
    const int status = headless_run_program([] { game_main(); });
    journal_stop();
    headless_set_player({});
    if (digests != nullptr) digests->digests.push_back(h);
    return status;
}

std::string score_log() { return testing_support::today_mdy() + "\r\n " + std::to_string(g.score) + "\r\n***\r\n"; }
void expect_score_logged() { EXPECT_EQ(testing_support::read_whole_file("score.dat"), score_log()); }

// The whole program played headless from its entry: logo, menu, Start, the
// story, five levels won by the scripted players, the victory pictures, the
// score log and exit status 0, every frame as stored; then its recording
// checked back to the same end.
TEST(Replay, WholeGameFromTheLogoToTheScoreLogAsStored) {
    Played now;
    const int status = play_whole_game("whole_game", true, 30000, &now, true);
    const players::GameRun& run = players::run;
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(run.lost) << "lost in level " << int(g.level);
    EXPECT_FALSE(run.gave_up) << "stuck in level " << int(g.level);
    EXPECT_EQ(run.highest_level, 5);
    for (int level = 1; level <= 5; ++level) EXPECT_GT(run.frames_by_level[level], 0) << level;
    EXPECT_EQ(g.level_done, 1);
    EXPECT_GT(run.lowest_energy, 0);
    // Menu, two opening slides, one before each later level, level-done
    // pictures of level 3, the finale and two after the victory pictures.
    EXPECT_GE(run.key_waits, 10);
    EXPECT_GT(g.score, 1000);
    expect_score_logged();
    expect_stored(now, 5, "the whole game");

    // The game's recording: the last game and the best won game. Checked, it
    // comes to the same score and final digest and writes nothing.
    const std::string recorded = testing_support::read_whole_file("replays/last.vrec");
    EXPECT_EQ(testing_support::read_whole_file("replays/best.vrec"), recorded);
    const std::string logged = score_log();
    const int32_t score = g.score;
    fresh_program();
    std::string problem;
    ASSERT_TRUE(replay_recording("replays/last.vrec", false, problem)) << problem;
    EXPECT_EQ(headless_run_program([] { game_main(); }), 0);
    journal_stop();
    EXPECT_EQ(g.score, score);
    EXPECT_EQ(testing_support::read_whole_file("score.dat"), logged);
    EXPECT_EQ(testing_support::read_whole_file("replays/last.vrec"), recorded);
}

// No pictures, no sounds, no captions, no options (so the mouse is the control
// and the music is asked for but silent). Nothing is drawn but the text, yet a
// missing picture still collides as its box, so every level is played and won.
TEST(WholeGame, WithoutAnyDataFileTheGameIsStillWon) {
    const int status = play_whole_game("whole_game_empty", false, 20000);
    const players::GameRun& run = players::run;
    EXPECT_EQ(status, 0);
    EXPECT_FALSE(run.lost) << "lost in level " << int(g.level);
    EXPECT_FALSE(run.gave_up) << "gave up in level " << int(g.level);
    EXPECT_EQ(g.controls_mouse, 1);
    EXPECT_EQ(run.highest_level, 5);
    expect_score_logged();
}

}  // namespace
