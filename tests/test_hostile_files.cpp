// Damaged data files: every picture, sound and text file the game reads is
// replaced in turn by cut-short copies and by random bytes, and the level or
// screen that reads it is played over it with the sound on. Nothing may crash,
// every stretch must end within its frame budget, and play keeps its own rules.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "audio/sound.h"
#include "flow/flow.h"
#include "flow/runner.h"
#include "frontend/frontend.h"
#include "platform/headless/headless.h"
#include "platform/input.h"
#include "play/play.h"
#include "play_support.h"
#include "players.h"
#include "state/game_state.h"

using namespace valmoren;

namespace {

namespace fs = std::filesystem;

// ---------------------------------------------------------------------------
// The damaged copies.

enum Damage { CUT_TO_HEADER, CUT_SHORT, RANDOM_BYTES, RANDOM_BODY };
constexpr Damage ALL_DAMAGE[] = {CUT_TO_HEADER, CUT_SHORT, RANDOM_BYTES, RANDOM_BODY};

const char* damage_name(Damage d) {
    switch (d) {
        case CUT_TO_HEADER: return "cut after its header";
        case CUT_SHORT: return "cut short inside its data";
        case RANDOM_BYTES: return "random bytes";
        case RANDOM_BODY: return "header kept, random data";
    }
    return "?";
}

using testing_support::read_whole_file;
using testing_support::write_whole_file;

bool ends_with(const std::string& s, const std::string& tail) {
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

// Where the first Ogg page carrying sound starts: the pages before it (granule
// position 0) hold only the stream's three headers.
size_t ogg_headers_end(const std::string& b) {
    size_t pos = 0;
    while (pos + 27 <= b.size() && b.compare(pos, 4, "OggS") == 0) {
        uint64_t granule = 0;
        for (int i = 0; i < 8; ++i) granule |= uint64_t(uint8_t(b[pos + 6 + i])) << (8 * i);
        if (granule != 0 && granule != ~uint64_t(0)) return pos;
        const size_t segments = uint8_t(b[pos + 26]);
        if (pos + 27 + segments > b.size()) break;
        size_t body = 0;
        for (size_t s = 0; s < segments; ++s) body += uint8_t(b[pos + 27 + s]);
        pos += 27 + segments + body;
    }
    return std::min(pos, b.size());
}

// The part of a file that says what the rest is.
size_t header_length(const std::string& name, const std::string& bytes) {
    size_t n = 0;
    if (ends_with(name, ".bmp")) n = 54;
    else if (ends_with(name, ".wav")) n = 44;
    else if (ends_with(name, ".ogg")) n = ogg_headers_end(bytes);
    else n = std::min<size_t>(bytes.find('\n') + 1, 4);  // text: its first few bytes
    return std::min(n, bytes.size());
}

std::string damaged(const std::string& name, const std::string& good, Damage d, uint32_t seed) {
    const size_t header = header_length(name, good);
    std::mt19937 rng(seed);
    auto random_from = [&](std::string s, size_t from) {
        for (size_t i = from; i < s.size(); ++i) s[i] = static_cast<char>(rng() & 0xFF);
        return s;
    };
    switch (d) {
        case CUT_TO_HEADER: return good.substr(0, header);
        case CUT_SHORT: {
            // Sounds are cut soon after their headers so the cut is reached while
            // the stretch plays; pictures and text files are cut in half.
            const bool sound = ends_with(name, ".ogg") || ends_with(name, ".wav");
            const size_t body = good.size() - header;
            return good.substr(0, header + (sound ? std::min<size_t>(body / 2, 12000) : body / 2));
        }
        case RANDOM_BYTES: return random_from(good, 0);
        case RANDOM_BODY: return random_from(good, header);
    }
    return good;
}

// ---------------------------------------------------------------------------
// Stretches of play.

enum Stretch { LEVEL1, LEVEL2, LEVEL3, LEVEL4, LEVEL5, LEVEL1_DONE, STORY, VICTORY, FRONT_END };

// Thrown by the scripted player when a stretch runs past its budget.
struct OverBudget {};

struct Outcome {
    bool over_budget = false;
    int exit_status = -1;  // how a stretch that ends the program ended it
    int frames = 0;        // level frames played
    bool reached_end = false;
    int8_t level = 0;
    int16_t energy = 0, score = 0;
};

constexpr int LEVEL_FRAMES = 180;
constexpr long CALL_BUDGET = 20000;   // shown frames and key waits per stretch
constexpr double TIME_BUDGET = 600.0;  // virtual seconds per stretch

// Counts the player's turns and ends a stretch that has run away.
struct Budget {
    long calls = 0;
    double started = headless_time();
    void spend() {
        if (++calls > CALL_BUDGET || headless_time() - started > TIME_BUDGET) throw OverBudget{};
    }
};

using players::Hands;

// A simple level player: a key at every key wait, a fixed round of moves and
// fire in play, Esc answered N once mid-stretch, N at the game-over question.
void level_player(Hands& hands, long& frame) {
    if (headless_waiting_for_key()) {
        hands.hold({});
        headless_tap(KEY_SPACE);
        return;
    }
    ++frame;
    if (g.energy < 1) {
        hands.hold({KEY_N});  // game over: back to the menu ends the stretch
        return;
    }
    if (frame == 90) {
        hands.hold({KEY_ESC});  // "Exit?!" ...
        return;
    }
    if (frame == 91) {
        hands.hold({KEY_N});  // ... no, play on
        return;
    }
    static const int moves[] = {KEY_UP, KEY_LEFT, KEY_DOWN, KEY_RIGHT};
    std::vector<int> keys = {moves[(frame / 25) % 4]};
    if (frame % 3 == 0) keys.push_back(KEY_SPACE);
    hands.hold(keys);
    headless_set_mouse(static_cast<int32_t>(100 + (frame * 7) % 440),
                       static_cast<int32_t>(80 + (frame * 5) % 320), frame % 40 < 20 ? 1 : 0);
}

// After the stretch: every effect slot is asked to play and the sound device
// mixes a second more, so the effect files are read as well as the music.
void sound_out_effects() {
    stream_play(g.stream_music);
    stream_play(g.stream_fx);
    stream_play(g.stream_fx2);
    headless_audio_pull(44100);
}

// One stretch from the state a program starts with (sound on): `body` runs
// while the player takes its `turn`s within the budget; what came of it.
template <typename Turn, typename Body>
Outcome stretch(Turn turn, Body body) {
    Outcome out;
    g = GameState{};
    headless_reset();
    Budget budget;
    headless_set_player([&] {
        budget.spend();
        turn();
    });
    try {
        body(out);
    } catch (const OverBudget&) {
        out.over_budget = true;
    } catch (const ProgramEnd& end) {
        out.exit_status = end.status;
    }
    headless_set_player({});
    out.level = g.level;
    out.energy = g.energy;
    out.score = g.score;
    sound_shutdown();
    return out;
}

void key_at_every_wait() {
    if (headless_waiting_for_key()) headless_tap(KEY_SPACE);
}

Outcome play_level(int level, bool level_done_overlay) {
    Hands hands;
    long frame = 0;
    return stretch([&] { level_player(hands, frame); },
                   [&](Outcome& out) {
                       // The state a game arrives at this level with.
                       size_array(g.enemies, 40);
                       g.wave_step = 1;
                       g.wave_no = 0;
                       g.rock_count = 1;
                       level_setup(level);
                       while (out.frames < LEVEL_FRAMES) {
                           ++out.frames;
                           if (level_frame() != LEVEL_GOES_ON) break;
                       }
                       if (level_done_overlay) show_overlay(1);
                       out.reached_end = true;
                       sound_out_effects();
                   });
}

// Every story slide, one key press each, with the story music on.
Outcome play_story() {
    return stretch(key_at_every_wait, [](Outcome& out) {
        for (int8_t set = 0; set <= 5; ++set) story_slideshow(set);
        out.reached_end = true;
        headless_audio_pull(44100);
    });
}

// The victory pictures over the level-5 music, two keys, the score log.
Outcome play_victory() {
    return stretch(key_at_every_wait, [](Outcome& out) {
        g.level = 5;
        g.score = 1230;
        stream_open(g.stream_music, "sounds/m_fon5.ogg");
        stream_play(g.stream_music);
        out.exit_status = headless_run_program([] { victory(); });
        out.reached_end = out.exit_status == 0;
    });
}

// The whole program: logo, menu, Options left with Esc, Credits, Start, the
// opening slides, some play, Esc and Y back to the menu, Exit.
Outcome play_front_end() {
    enum Phase { MENU, STORY, LEVEL, MENU_AGAIN } phase = MENU;
    const std::vector<std::vector<int>> menu_keys = {
        {KEY_DOWN}, {KEY_ENTER}, {KEY_DOWN}, {KEY_ESC},     // Options, left unsaved
        {KEY_DOWN}, {KEY_DOWN}, {KEY_ENTER}, {KEY_SPACE},   // Credits and back
        {KEY_ENTER}};                                       // Start
    const std::vector<std::vector<int>> exit_keys = {{KEY_DOWN}, {KEY_DOWN}, {KEY_DOWN}, {KEY_ENTER}};
    size_t step = 0;
    long level_frames = 0;
    bool logo_done = false;
    Hands hands;
    return stretch([&] {
        const bool key_wait = headless_waiting_for_key();
        if (!logo_done) {
            // The start-up and logo waits (about 6.6 seconds) run out by themselves.
            if (!key_wait || headless_time() < 7.0) return;
            logo_done = true;
        }
        switch (phase) {
            case MENU:
                if (!key_wait) return;
                hands.hold(menu_keys[step]);
                if (++step == menu_keys.size()) phase = STORY;
                return;
            case STORY:
                if (key_wait) {
                    hands.hold({});
                    headless_tap(KEY_SPACE);
                } else if (g.level == 1 && ++level_frames > 60) {
                    phase = LEVEL;
                }
                return;
            case LEVEL:
                if (g.request == 2 && key_wait) {
                    phase = MENU_AGAIN;
                    step = 0;
                    hands.hold(exit_keys[step++]);
                } else if (!key_wait) {
                    hands.hold({KEY_ESC, KEY_Y});
                }
                return;
            case MENU_AGAIN:
                if (key_wait) hands.hold(step < exit_keys.size() ? exit_keys[step++] : std::vector<int>{});
                return;
        }
    }, [&](Outcome& out) {
        out.exit_status = headless_run_program([] { game_main(); });
        out.reached_end = phase == MENU_AGAIN && step == exit_keys.size();
    });
}

Outcome play(Stretch s) {
    switch (s) {
        case LEVEL1: return play_level(1, false);
        case LEVEL2: return play_level(2, false);
        case LEVEL3: return play_level(3, false);
        case LEVEL4: return play_level(4, false);
        case LEVEL5: return play_level(5, false);
        case LEVEL1_DONE: return play_level(1, true);
        case STORY: return play_story();
        case VICTORY: return play_victory();
        case FRONT_END: return play_front_end();
    }
    return {};
}

// Which stretch reads each data file.
const std::map<std::string, Stretch>& stretch_table() {
    static const std::map<std::string, Stretch> table = [] {
        std::map<std::string, Stretch> t;
        for (const char* f : {"ball", "samalet", "samalet2", "backg", "backg2", "ship3", "stations",
                              "aster", "vzruv", "lives", "time", "load", "load2", "get_r", "key",
                              "strelki", "strelki_2", "strelki_3", "g_o"})
            t[std::string("img/") + f + ".bmp"] = LEVEL1;
        t["img/ok_d.bmp"] = LEVEL1_DONE;
        for (const char* f : {"samol", "pull", "andr", "aster2", "ship2", "pull2"})
            t[std::string("img/") + f + ".bmp"] = LEVEL2;
        t["img/oskolki.bmp"] = LEVEL3;
        for (int i = 1; i <= 16; ++i) t["img/rotate/abc" + std::to_string(i) + ".bmp"] = LEVEL3;
        for (const char* f : {"kosm", "oskolki2", "strelki(2)", "strelki_2(2)", "strelki_3(2)"})
            t[std::string("img/") + f + ".bmp"] = LEVEL4;
        for (const char* f : {"planets", "target", "andr2", "racet", "fac", "mouse"})
            t[std::string("img/") + f + ".bmp"] = LEVEL5;
        for (const char* f : {"we_victory", "img_end"}) t[std::string("img/") + f + ".bmp"] = VICTORY;
        for (int i = 0; i <= 5; ++i) t["img/suget" + std::to_string(i) + ".bmp"] = STORY;
        for (const char* f : {"logo3", "l1", "l2", "start", "options", "credits", "exit", "name"})
            t[std::string("img/") + f + ".bmp"] = FRONT_END;
        t["sounds/m_fon.ogg"] = LEVEL1;
        t["sounds/mus.ogg"] = LEVEL1;
        t["sounds/m_fon2.ogg"] = LEVEL2;
        t["sounds/boom.wav"] = LEVEL2;
        t["sounds/m_fon3.ogg"] = LEVEL3;
        t["sounds/m_fon4.ogg"] = LEVEL4;
        t["sounds/m_fon5.ogg"] = LEVEL5;
        t["sounds/boom2.wav"] = LEVEL5;
        t["sounds/suget.ogg"] = STORY;
        t["sounds/mus_logo.ogg"] = FRONT_END;
        t["sounds/mus_menu.ogg"] = FRONT_END;
        t["suget.dat"] = STORY;
        t["options.dat"] = FRONT_END;
        return t;
    }();
    return table;
}

// A private copy of the run folder with its generated data and sound on in
// the settings, made the working folder.
void enter_run_folder_copy(const std::string& name) {
    headless_enter_temp_folder(name);
    const fs::path game = VALMOREN_GAME_DIR;
    for (const char* entry : {"img", "sounds", "suget.dat"}) {
        ASSERT_TRUE(fs::exists(game / entry)) << "generated game data missing: " << entry;
        fs::copy(game / entry, entry, fs::copy_options::recursive | fs::copy_options::overwrite_existing);
    }
    write_whole_file("options.dat", "1\r\n0\r\n0\r\n");
}

// The data files of the copy whose path passes `wanted`.
template <typename Wanted>
std::vector<std::string> data_files(Wanted wanted) {
    std::vector<std::string> files;
    for (const fs::directory_entry& e : fs::recursive_directory_iterator(".")) {
        if (!e.is_regular_file()) continue;
        const std::string path = fs::relative(e.path(), ".").generic_string();
        if (path == "score.dat") continue;  // written, never read
        if (wanted(path)) files.push_back(path);
    }
    std::sort(files.begin(), files.end());
    return files;
}

bool is_picture(const std::string& p) { return ends_with(p, ".bmp"); }
bool is_sound(const std::string& p) { return p.rfind("sounds/", 0) == 0; }
bool is_text(const std::string& p) { return ends_with(p, ".dat"); }

// What an intact run of a stretch gives, for the damaged runs to be held to.
const Outcome& intact(Stretch s) {
    static std::map<Stretch, Outcome> seen;
    auto it = seen.find(s);
    if (it == seen.end()) it = seen.emplace(s, play(s)).first;
    return it->second;
}

// Plays each file's stretch over every damaged copy of it. Pictures steer the
// pixel collisions, so a damaged one may change how play goes: play must still
// keep its own rules. Sounds and captions must not change play at all.
void run_cases(const std::vector<std::string>& files, bool play_must_match) {
    ASSERT_FALSE(files.empty());
    uint32_t seed = 1;
    for (const std::string& file : files) {
        auto found = stretch_table().find(file);
        if (found == stretch_table().end()) {
            ADD_FAILURE() << file << ": no stretch of play reads this file";
            continue;
        }
        const Stretch stretch = found->second;
        const Outcome base = intact(stretch);
        ASSERT_TRUE(base.reached_end && !base.over_budget) << "intact run of the stretch for " << file
                                                  << ": over budget " << base.over_budget << ", exit "
                                                  << base.exit_status << ", level " << int(base.level);
        const std::string good = read_whole_file(file);
        for (Damage d : ALL_DAMAGE) {
            SCOPED_TRACE(file + ", " + damage_name(d));
            write_whole_file(file, damaged(file, good, d, seed++));
            const Outcome out = play(stretch);
            write_whole_file(file, good);

            EXPECT_FALSE(out.over_budget) << "ran past its budget: hung";
            EXPECT_TRUE(out.reached_end);
            EXPECT_EQ(out.exit_status, base.exit_status);
            if (stretch == FRONT_END || stretch == STORY || stretch == VICTORY) continue;
            EXPECT_EQ(out.level, base.level);
            if (play_must_match) {
                EXPECT_EQ(out.frames, base.frames);
                EXPECT_EQ(out.energy, base.energy);
                EXPECT_EQ(out.score, base.score);
            } else {
                // Energy only falls from its full 240 or is topped up to it, and
                // every score change in play is a whole multiple of ten.
                EXPECT_LE(out.energy, 240);
                EXPECT_GT(out.energy, -400);
                EXPECT_EQ(out.score % 10, 0) << out.score;
                EXPECT_LT(std::abs(out.score), 5000);
            }
        }
    }
}

TEST(HostileFiles, EveryFileHasAStretchThatReadsIt) {
    enter_run_folder_copy("hostile-table");
    std::set<std::string> present;
    for (const std::string& f : data_files([](const std::string&) { return true; })) {
        present.insert(f);
        EXPECT_TRUE(stretch_table().count(f)) << f << " is read by no stretch";
    }
    // And every file the table names exists, so no case is skipped unnoticed.
    for (const auto& [file, stretch] : stretch_table()) EXPECT_TRUE(present.count(file)) << file;
    // The damage really is damage: cut copies are shorter, random ones differ.
    const std::string ogg = read_whole_file("sounds/m_fon.ogg");
    const size_t headers = ogg_headers_end(ogg);
    EXPECT_GT(headers, 100u);
    EXPECT_LT(headers, ogg.size());
    EXPECT_EQ(damaged("sounds/m_fon.ogg", ogg, CUT_TO_HEADER, 1), ogg.substr(0, headers));
    EXPECT_EQ(damaged("sounds/m_fon.ogg", ogg, RANDOM_BODY, 1).substr(0, headers), ogg.substr(0, headers));
    EXPECT_NE(damaged("sounds/m_fon.ogg", ogg, RANDOM_BODY, 1), ogg);
    EXPECT_NE(damaged("sounds/m_fon.ogg", ogg, RANDOM_BYTES, 1), damaged("sounds/m_fon.ogg", ogg, RANDOM_BYTES, 2));
}

TEST(HostileFiles, LevelPictures) {
    enter_run_folder_copy("hostile-level-pictures");
    run_cases(data_files([](const std::string& p) {
                  return is_picture(p) && stretch_table().count(p) && stretch_table().at(p) <= LEVEL1_DONE;
              }),
              false);
}

TEST(HostileFiles, FrontEndPictures) {
    enter_run_folder_copy("hostile-front-end-pictures");
    run_cases(data_files([](const std::string& p) {
                  return is_picture(p) && stretch_table().count(p) && stretch_table().at(p) > LEVEL1_DONE;
              }),
              false);
}

TEST(HostileFiles, Sounds) {
    enter_run_folder_copy("hostile-sounds");
    run_cases(data_files(is_sound), true);
}

TEST(HostileFiles, TextFiles) {
    enter_run_folder_copy("hostile-text");
    run_cases(data_files(is_text), true);
}

}  // namespace
