// The story slides: reading a set's captions from the captions file, the slide
// on screen, the closing wipe, the music of each set and a set that does not exist.
#include <gtest/gtest.h>

#include "audio/sound.h"
#include "frontend/frontend.h"
#include "frontend_helpers.h"
#include "platform/textfile.h"

namespace valmoren {
namespace {

using namespace fe_test;

// The caption as it would print: line ends as '\n'.
std::string caption_of(const std::string& file_bytes, int set) {
    write_bytes("suget.dat", file_bytes);
    std::string s;
    for (const CaptionPiece& p : read_story_captions("suget.dat", set)) s += p.line_end ? "\n" : p.text;
    return s;
}

TEST(StoryCaptions, ItemCodesBlocksAndMarkers) {
    fresh_folder("story-captions");
    struct Case {
        const char* name;
        std::string bytes;
        int set;
        std::string printed;
    };
    const std::vector<Case> cases = {
        {"codes", "00,Hello,1,world,2,3,\"Next line\",01\r\n", 0, "Hello,world\n   Next line"},
        {"blank after a comma is skipped", "00, Once upon, 3,a time,01", 0, "Once upon   a time"},
        {"block over several lines", "00,Line one,2\r\nLine two,01\r\n", 0, "Line one\nLine two"},
        {"other blocks first", "30,three,31\r\n40,four,41\r\n20,two,21\r\n", 2, "two"},
        {"block in the middle", "30,three,31\r\n40,four,41\r\n20,two,21\r\n", 4, "four"},
        {"marker only as a whole item", "00,Look at 10,01\n10,found,11\n", 1, "found"},
        {"quoted markers and commas", "\"10\",\"a, b\",\"11\"", 1, "a, b"},
        {"no start marker", "30,three,31\r\n", 5, ""},
        {"no end marker reads to the end", "20,alpha,2,beta\r\n,gamma", 2, "alpha\nbetagamma"},
        {"another set's end marker is text", "10,a,00,b,11", 0, "b11"},
        {"empty file", "", 0, ""},
        {"set out of range", "60,six,61", 6, ""},
        {"negative set", "-10,x,-11", -1, ""},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        EXPECT_EQ(caption_of(c.bytes, c.set), c.printed);
    }
    std::filesystem::remove("suget.dat");
    EXPECT_TRUE(read_story_captions("suget.dat", 0).empty());
}

TEST(StoryCaptions, HostileFilesEndTheReading) {
    fresh_folder("story-hostile");
    // A megabyte of empty items and no marker: read to the end, nothing printed.
    EXPECT_EQ(caption_of(std::string(1 << 20, ','), 3), "");
    EXPECT_EQ(caption_of("30" + std::string(1 << 20, '\n'), 3), "");
    // An unterminated quote and an overlong item.
    EXPECT_EQ(caption_of("30,\"never closed", 3).substr(0, 12), "never closed");
    write_bytes("suget.dat", "30," + std::string(10000, 'x') + ",31");
    for (const CaptionPiece& p : read_story_captions("suget.dat", 3)) {
        EXPECT_LE(p.text.size(), MAX_ITEM_LENGTH);
    }
    // A folder where the file should be.
    std::filesystem::remove("suget.dat");
    std::filesystem::create_directories("suget.dat");
    EXPECT_TRUE(read_story_captions("suget.dat", 0).empty());
}

// Taps a key at the key wait that follows each shown slide (not at the short
// wait before it), after `look` has seen the slide.
void tap_after_each_slide(std::function<void()> look) {
    auto shown = std::make_shared<bool>(false);
    auto idle = std::make_shared<long>(0);
    headless_set_player([=] {
        if (!headless_waiting_for_key()) {
            *shown = true;
            return;
        }
        if (++*idle > 100000) throw ScriptEnded{};
        if (!*shown) return;
        *shown = false;
        *idle = 0;
        if (look) look();
        headless_tap(KEY_SPACE);
    });
}

TEST(StorySlide, StarsPictureCaptionsThenWipedBlack) {
    fresh_folder("story-slide");
    write_bytes("suget.dat", "10,other,11\r\n00,Hello,1,world,2,3,\"Next line\",01\r\n");
    write_solid_bmp("img/suget0.bmp", 20, 20, 0x806040);
    std::string row18, row19;
    uint32_t picture = 0;
    int white = 0;
    tap_after_each_slide([&] {
        row18 = screen_text(visible(), 18, 3, 11);
        row19 = screen_text(visible(), 19, 1, 12);
        picture = headless_pixel(155, 15);
        for (int i = 0; i < SCREEN_W * 256; ++i) white += visible()[i] == 0xFFFFFF;
    });
    story_slideshow(0);
    EXPECT_EQ(row18, "Hello,world");
    EXPECT_EQ(row19, "   Next line");
    EXPECT_EQ(picture, 0x806040u);
    EXPECT_GT(white, 400);  // stars in the top half, above the captions
    EXPECT_LT(white, 700);
    EXPECT_EQ(headless_frames_shown(), 1);

    // After the wipe every pixel is black and drawing is back on the work page.
    int lit = 0;
    for (int i = 0; i < SCREEN_W * SCREEN_H; ++i) lit += visible()[i] != 0;
    EXPECT_EQ(lit, 0);
    EXPECT_EQ(work_page(), 1);
    EXPECT_EQ(visible_page(), 0);
}

TEST(StorySlide, MusicOpensAndStopsBySet) {
    fresh_folder("story-music");
    write_music_files();
    g.music_on = 1;
    StreamHandle during = 0;
    tap_after_each_slide([&] { during = g.stream_music; });

    story_slideshow(0);  // opens the story music and leaves it playing
    const StreamHandle story = g.stream_music;
    EXPECT_NE(story, 0);
    EXPECT_EQ(during, story);

    story_slideshow(1);  // plays on with it and stops it at the end
    EXPECT_EQ(during, story);
    EXPECT_EQ(g.stream_music, 0);

    for (int8_t set = 2; set <= 5; ++set) {
        SCOPED_TRACE(static_cast<int>(set));
        during = 0;
        story_slideshow(set);
        EXPECT_NE(during, 0);
        EXPECT_EQ(g.stream_music, 0);
    }

    // Set 1 on its own, with nothing open, is silent and harmless.
    story_slideshow(1);
    EXPECT_EQ(g.stream_music, 0);
    sound_shutdown();
}

TEST(StorySlide, UnknownSetPrintsTheErrorAndShowsNothing) {
    for (int set : {6, -1, 127}) {
        SCOPED_TRACE(set);
        fresh_folder("story-unknown");
        write_bytes("suget.dat", "60,six,61");
        headless_set_player([] {
            if (!headless_waiting_for_key()) throw ScriptEnded{};  // no slide is shown
        });
        story_slideshow(static_cast<int8_t>(set));
        EXPECT_EQ(screen_text(page_pixels(work_page()), 1, 1, 31), "Error!Given are not discovered!");
        EXPECT_EQ(cursor_row(), 2);
        EXPECT_EQ(cursor_column(), 1);
        EXPECT_EQ(headless_frames_shown(), 0);
    }
}

}  // namespace
}  // namespace valmoren
