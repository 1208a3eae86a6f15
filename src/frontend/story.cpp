// story.cpp -- the story slides: stars, picture, captions from "suget.dat", the
// key wait and the closing wipe. Writes g.stream_music (the story music).
#include <string>
#include <system_error>
#include <vector>

#include "audio/sound.h"
#include "frontend/frontend.h"
#include "platform/input.h"
#include "platform/screen.h"
#include "platform/textfile.h"
#include "state/game_state.h"

namespace valmoren {

namespace {

constexpr int STAR_COUNT = 1001;
constexpr uint32_t WHITE = 0xFFFFFF;
constexpr uint32_t BLACK = 0x000000;
constexpr int WIPE_STEP = 5;       // pixels the wipe lines grow per step
constexpr int WIPE_MAX_STEPS = 129;  // offsets 0..640: the last step blackens every row
constexpr double WIPE_TIME_LIMIT = 5.0;

void print_captions(const std::vector<CaptionPiece>& pieces) {
    locate(18, 3);
    for (const CaptionPiece& piece : pieces) {
        if (piece.line_end) {
            print_text("", END_LINE);
        } else {
            print_text(piece.text, END_NONE);
        }
    }
}

// Wipes the visible page to black with lines growing in from the left on even
// rows and from the right on odd rows; cut short after five seconds.
void wipe_to_black() {
    set_pages(0, -1);
    int offset = 0;
    const double start = whole_seconds();
    for (int step = 0; step < WIPE_MAX_STEPS; ++step) {
        for (int y = 0; y <= SCREEN_H; y += 2) line(0, y, offset, y, BLACK, SHAPE_LINE);
        for (int y = 1; y < SCREEN_H; y += 2) {
            line(SCREEN_W, y, SCREEN_W - offset, y, BLACK, SHAPE_LINE);
        }
        offset += WIPE_STEP;
        if (seconds() > start + WIPE_TIME_LIMIT) break;
        wait(1);
    }
}

}  // namespace

std::vector<CaptionPiece> read_story_captions(const std::string& path, int set) {
    std::vector<CaptionPiece> pieces;
    if (set < 0 || set > 5) return pieces;
    const std::string start_marker = std::to_string(set) + "0";
    const std::string end_marker = std::to_string(set) + "1";

    int n = free_file_number();
    const long long size = open_file(path, FILE_INPUT, n) == 0 ? input_file_size(n) : -1;
    if (size < 0) {
        close_file(n);
        return pieces;
    }

    // Every item read before the end of the file uses up at least one byte, so
    // size + 1 reads reach the end: a missing marker cannot keep us reading.
    long long reads_left = size + 1;
    bool in_block = false;
    std::string item;
    while (reads_left > 0) {
        --reads_left;
        read_item(n, item);
        if (!in_block) {
            in_block = texts_equal(item, start_marker);
            continue;
        }
        if (texts_equal(item, end_marker)) break;
        if (texts_equal(item, "1")) {
            pieces.push_back({",", false});
        } else if (texts_equal(item, "2")) {
            pieces.push_back({"", true});
        } else if (texts_equal(item, "3")) {
            pieces.push_back({"   ", false});
        } else if (!item.empty()) {
            pieces.push_back({item, false});
        }
    }
    close_file(n);
    return pieces;
}

// One slide of the story, called by the level runner: sets 0 and 1 open the
// game, set n comes before level n. Set 0 leaves the story music playing for
// set 1, which stops it; sets 2 to 5 open and stop their own.
void story_slideshow(int8_t set) {
    if (g.music_on == 1) {
        if (set != 1) stream_open(g.stream_music, "sounds/suget.ogg");
        stream_play(g.stream_music);
    }
    wait(100);

    if (set < 0 || set > 5) {
        print_text("Error!Given are not discovered!", END_LINE);
        return;
    }

    clear();
    for (int i = 0; i < STAR_COUNT; ++i) {
        const double x = roll(SCREEN_W);
        const double y = roll(SCREEN_H);
        plot(x, y, WHITE);
    }

    Image picture;
    load_bmp("img/suget" + std::to_string(set) + ".bmp", picture);
    put(150, 10, picture, PUT_TRANSPARENT);
    print_captions(read_story_captions("suget.dat", set));

    show_frame();
    wait(-1);
    wipe_to_black();

    if (g.music_on == 1 && set != 0) stream_stop(g.stream_music);
    set_pages(1, 0);
}

}  // namespace valmoren
