// runner.h -- the level runner: each level's set-up, frame and end, the
// victory, and the score log. run_game (flow.h) strings them together.
#pragma once

namespace valmoren {

// What a level frame ended with.
enum FrameOutcome : int {
    LEVEL_GOES_ON = 0,  // the level's loop runs on
    LEVEL_WON = 1,      // level_done was set: the level is over and won
    RESTART_GAME = 2,   // REQUEST_RESTART: back to the level-1 set-up
    LEAVE_TO_MENU = 3,  // REQUEST_LEAVE: sound shut down, back to the main menu
};

// The set-up of level 1..5: pictures, arrays, fields, story slide, streams,
// opening overlay, exactly in the level's order.
void level_setup(int level);
// One frame of the current level (g.level), with its request handling.
FrameOutcome level_frame();
// The stream stops at the end of the current level, and level_done cleared.
void level_end();
// The victory pictures, two key waits, the score log, and the program's end.
[[noreturn]] void victory();
// Appends the three-line record of today's date and g.score to "score.dat".
void append_score_log();

}  // namespace valmoren
