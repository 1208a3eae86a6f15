// soak.cpp -- plays the whole game headless for a long stretch of game time: a
// scripted player starts games, loses them, answers the game-over question with
// Y (play again) or N (menu), leaves with Esc and Y, plays on through the
// levels to leave from a later one or to win the game (which ends the program,
// started again at once), and starts again. Memory must stay flat and every
// new game must start at the same stack depth.
//
//   valmoren_soak [minutes of game time, default 60]
//
// Exit status 0 when memory and stack stayed flat, 1 otherwise.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "flow/flow.h"
#include "platform/headless/headless.h"
#include "platform/input.h"
#include "players.h"
#include "state/game_state.h"

using namespace valmoren;

namespace {

namespace fs = std::filesystem;

// Resident memory now and at its peak, in kB, from the kernel's own account.
struct Memory {
    long rss_kb = -1;
    long peak_kb = -1;
};

Memory read_memory() {
    Memory m;
    std::ifstream status("/proc/self/status");
    std::string line;
    while (std::getline(status, line)) {
        if (line.rfind("VmRSS:", 0) == 0) m.rss_kb = std::atol(line.c_str() + 6);
        if (line.rfind("VmHWM:", 0) == 0) m.peak_kb = std::atol(line.c_str() + 6);
    }
    return m;
}

// Thrown when the script has lost its way: the run is counted as failed.
struct Lost {};

// How the next game is to end.
enum Plan {
    LOSE_THEN_PLAY_AGAIN,  // game over, Y; game over again, N
    LOSE_TO_MENU,          // game over, N
    LEAVE_WITH_ESC,        // play a while, Esc, Y
    PLAY_THROUGH,          // win level after level; leave with Esc, Y on reaching a later
                           // one, or win the whole game
};
constexpr int PLAN_COUNT = 4;
constexpr int8_t VICTORY = 6;  // "level" a play-through aims at to win the game
constexpr double PLAY_BEFORE_LEAVING = 25.0;  // seconds of a game before Esc

enum Phase { STARTING, MENU, GAME, EXITING };

struct Soak {
    double minutes = 60.0;
    double checkpoint_early = 0.0, checkpoint_end = 0.0;  // seconds of game time
    double next_report = 0.0;
    Memory early, end;
    bool early_taken = false, end_taken = false;

    Phase phase = STARTING;
    double program_started = 0.0;
    players::Hands hands;
    int games = 0;
    Plan plan = LOSE_THEN_PLAY_AGAIN;
    int8_t leave_at = VICTORY;  // a play-through leaves on reaching this level
    int game_overs = 0;   // in the current game
    int8_t highest_level = 0;  // reached in any game
    int victories = 0;
    double game_started = 0.0;
    bool answered = false;  // the current question already has its key

    // Stack depth at the start of every game, against the first.
    bool want_marker = false;
    uintptr_t first_marker = 0;
    long restarts = 0;
    long worst_shift = 0;

    int exit_step = 0;
    long turns = 0;

    void hold(std::vector<int> keys) { hands.hold(std::move(keys)); }

    // Memory at every sixth of the run (every 10 minutes of an hour), with
    // the highest level reached so far; the first and the last are compared.
    void checkpoints() {
        const double now = headless_time();
        if (end_taken || now < next_report) return;
        const Memory m = read_memory();
        std::printf("game time %5.1f min: VmRSS %ld kB, VmHWM %ld kB, highest level so far %d\n", now / 60.0,
                    m.rss_kb, m.peak_kb, highest_level);
        std::fflush(stdout);
        if (!early_taken) {
            early = m;
            early_taken = true;
        }
        if (now >= checkpoint_end) {
            end = m;
            end_taken = true;
        }
        next_report += checkpoint_early;
        if (next_report > checkpoint_end) next_report = checkpoint_end;
    }

    // The first key wait of every new game (before its opening slide) is
    // reached at the same depth of calls; a game started from inside the last
    // one would not be. The game-over question before a restart has no key wait.
    // The player's own frame is the marker (the frame address rather than a
    // local's, which a sanitizer may move to a stack of its own).
    [[gnu::noinline]] void mark_stack() {
        if (!want_marker || !headless_waiting_for_key() || g.level != 1 || g.request != 0) return;
        const auto marker = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
        want_marker = false;
        ++restarts;
        if (first_marker == 0) {
            first_marker = marker;
            return;
        }
        const long shift = static_cast<long>(first_marker - marker);
        if (std::labs(shift) > std::labs(worst_shift)) worst_shift = shift;
        std::printf("new game %ld at game time %.1f min: stack marker %+ld bytes from the first\n", restarts,
                    headless_time() / 60.0, shift);
    }

    void start_game() {
        ++games;
        plan = static_cast<Plan>(games % PLAN_COUNT);
        // Play-throughs leave from levels 2, 3, 4 and 5 in turn, then win.
        leave_at = static_cast<int8_t>(2 + (games / PLAN_COUNT) % 5);
        game_overs = 0;
        game_started = headless_time();
        answered = false;
        want_marker = true;
    }

    void turn() {
        ++turns;
        const double now = headless_time();
        if (now > checkpoint_end + 600.0) throw Lost{};  // should have left long ago
        checkpoints();
        mark_stack();
        const bool key_wait = headless_waiting_for_key();
        switch (phase) {
            case STARTING:
                // Start-up and logo waits run out by themselves.
                if (key_wait && now - program_started > 7.0) phase = MENU;
                else return;
                [[fallthrough]];
            case MENU:
                if (!key_wait) return;
                if (end_taken) {
                    phase = EXITING;
                    exit_step = 0;
                } else {
                    hold({KEY_ENTER});  // the cursor is on Start at the menu's entry
                    start_game();
                    phase = GAME;
                    return;
                }
                [[fallthrough]];
            case EXITING:
                if (!key_wait) return;
                if (exit_step < 3) hold({KEY_DOWN});
                else hold({KEY_ENTER});
                ++exit_step;
                return;
            case GAME:
                play_turn(key_wait, now);
                return;
        }
    }

    void play_turn(bool key_wait, double now) {
        if (key_wait) {
            // Story slides; a key wait with a leave already asked is the menu.
            if (g.request == 2) {
                phase = MENU;
                hold({});
                turn_at_menu();
                return;
            }
            hold({});
            headless_tap(KEY_SPACE);
            return;
        }
        if (g.level > highest_level) highest_level = g.level;
        if (g.energy >= 1) answered = false;
        if (g.energy < 1) {
            // Game over: the question waits for Y or N.
            if (answered) return;
            answered = true;
            ++game_overs;
            const bool again = plan == LOSE_THEN_PLAY_AGAIN && game_overs == 1;
            hold({again ? KEY_Y : KEY_N});
            if (again) want_marker = true;
            return;
        }
        if (plan == LEAVE_WITH_ESC && now - game_started > PLAY_BEFORE_LEAVING) {
            hold({KEY_ESC, KEY_Y});
            return;
        }
        if (plan == PLAY_THROUGH) {
            if (g.level < leave_at && !end_taken) {
                hold({});
                players::level_player();
            } else {
                leave_level();
            }
            return;
        }
        lose_on_purpose();
    }

    // Lets go of whatever a level player holds (keys, mouse button), then
    // Esc and Y.
    void leave_level() {
        for (int key : {KEY_UP, KEY_DOWN, KEY_LEFT, KEY_RIGHT, KEY_SPACE, KEY_ENTER})
            if (key_down(key)) headless_release(key);
        headless_set_mouse(320, 240, 0);
        hold({KEY_ESC, KEY_Y});
    }

    void turn_at_menu() {
        --turns;
        turn();
    }

    // Level 1: the planes run away from the ball so it is missed; in any other
    // level nothing is pressed and the hazards do the rest.
    void lose_on_purpose() {
        if (g.level != 1) {
            hold({});
            return;
        }
        const bool ball_left = g.player_x < 320;
        const int32_t plane_y = ball_left ? g.craft_y : g.craft2_y;
        // Up moves the left plane up and the right one down.
        const bool move_left_plane_down = ball_left ? plane_y < g.player_y : plane_y > g.player_y;
        hold({move_left_plane_down ? KEY_UP : KEY_DOWN});
    }
};

Soak soak;

void copy_run_folder() {
    const fs::path game = VALMOREN_GAME_DIR;
    for (const char* entry : {"img", "sounds", "suget.dat"}) {
        std::error_code ec;
        fs::copy(game / entry, entry, fs::copy_options::recursive | fs::copy_options::overwrite_existing, ec);
        if (ec) std::fprintf(stderr, "soak: cannot copy %s: %s\n", entry, ec.message().c_str());
    }
    std::ofstream("options.dat", std::ios::binary) << "1\r\n0\r\n0\r\n";  // music on, keyboard, window
}

}  // namespace

int main(int argc, char** argv) {
    if (argc > 1) soak.minutes = std::atof(argv[1]);
    if (!(soak.minutes > 0.0)) soak.minutes = 60.0;
    const double total = soak.minutes * 60.0;
    soak.checkpoint_early = total / 6.0;  // 10 minutes of an hour
    soak.next_report = soak.checkpoint_early;
    soak.checkpoint_end = total;

    headless_reset();
    headless_enter_temp_folder("valmoren-soak");
    copy_run_folder();
    headless_set_player([] { soak.turn(); });

    bool lost = false;
    int status = -1;
    // A won game ends the program; the soak then starts it again.
    while (!soak.end_taken && !lost) {
        g = GameState{};
        soak.phase = STARTING;
        soak.program_started = headless_time();
        try {
            status = headless_run_program([] { game_main(); });
            if (status == 0 && soak.phase == GAME) ++soak.victories;
        } catch (const Lost&) {
            lost = true;
        }
    }
    headless_set_player({});

    std::printf("games started %d, new games marked %ld, player turns %ld, highest level %d, games won %d,"
                " exit status %d\n",
                soak.games, soak.restarts, soak.turns, soak.highest_level, soak.victories, status);
    bool ok = !lost && soak.early_taken && soak.end_taken && soak.restarts >= 2;
    if (lost) std::printf("FAIL: the scripted player lost its way\n");
    if (soak.worst_shift != 0) {
        std::printf("FAIL: a new game started %ld bytes away from the first one's stack depth\n",
                    soak.worst_shift);
        ok = false;
    }
    const long margin_kb = soak.early.rss_kb / 10 + 8 * 1024;
    if (soak.end.rss_kb > soak.early.rss_kb + margin_kb) {
        std::printf("FAIL: resident memory grew from %ld kB to %ld kB\n", soak.early.rss_kb, soak.end.rss_kb);
        ok = false;
    }
    std::printf("%s\n", ok ? "soak passed" : "soak FAILED");
    return ok ? 0 : 1;
}
