// players.h -- the scripted players the level tests and the whole-game test
// share. Each reads positions in `g` the way a player reads the screen and acts
// only through the keyboard and the mouse of the headless backend.
#pragma once

#include <cstdint>
#include <vector>

namespace valmoren::players {

// Keys held for one turn of a scripted player and let go at its next turn.
struct Hands {
    std::vector<int> held;
    void hold(std::vector<int> keys);
};

// What a scripted player does at a key wait (a story slide, a level-done
// picture, the victory): the caller decides; these players tap Enter.
void tap_enter_at_key_wait();

// Level 1: steers the plane the ball flies toward to where the ball will
// arrive, with Up and Down.
void paddles();

// Level 2: moves under the enemy it can hit soonest and fires, keeping out of
// the way of enemy shots and falling objects; shoots first the objects about
// to pass over the middle of the screen.
void shooter();

// Level 3: flies to the piece it can reach soonest without an asteroid on the
// way, along the ship's exact headings, braking by letting it coast.
void pilot();

// Level 4: keeps the lander over the middle of the crawling pad and its fall
// slow enough to touch down gently.
void lander();

// Level 5: puts the crosshair where the lowest object that can still be
// stopped will be, and lets the button go now and then to keep firing.
void gunner();

// At the game-over question: answers N (back to the menu) and says true when
// the level was lost this way.
bool answer_game_over();

// The player of the level being played (g.level), or Enter at a key wait.
void level_player();

// Counts and settings of the whole-game player, for the test to look at.
struct GameRun {
    long frames = 0;            // shown frames seen by the player
    long key_waits = 0;         // key waits seen
    long level_budget = 0;      // frames allowed in one level before giving up (0: no limit)
    long frames_in_level = 0;   // frames seen since the level last changed
    int8_t level_seen = 0;      // the level of the last frame seen
    long frames_by_level[6] = {};  // shown frames seen in each level (1..5)
    int8_t highest_level = 0;   // the highest level whose frames were played
    int16_t lowest_energy = 240;
    bool lost = false;          // a game-over question came up
    bool gave_up = false;       // the budget ran out: the player left through Esc, Y and Exit
    bool left_to_menu = false;  // the player's way out has brought it back to the menu
};
extern GameRun run;

// The whole game as one player: at the menu it holds Enter on Start, at every
// key wait (story slides, level-done pictures, victory) it presses Enter, and in
// the levels it plays the level's own player. When a level's budget runs out it
// asks to leave (Esc, Y) and chooses Exit at the menu, so a game that cannot be
// won still ends.
void whole_game();

}  // namespace valmoren::players
