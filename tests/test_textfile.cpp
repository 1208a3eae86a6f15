// Numbered text files: line ends, items, exact bytes written, and files that
// are missing, huge, binary or not open; reads that fall back to the data folder.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "platform/files.h"
#include "platform/headless/headless.h"
#include "platform/headless/image_dump.h"
#include "platform/screen.h"
#include "platform/textfile.h"
#include "play_support.h"

using namespace valmoren;

namespace {

using testing_support::read_whole_file;
using testing_support::write_whole_file;

std::vector<std::string> all_lines(const std::string& bytes, int count) {
    write_whole_file("lines.txt", bytes);
    const int n = free_file_number();
    open_file("lines.txt", FILE_INPUT, n);
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i) {
        std::string line = "junk";
        read_line(n, line);
        out.push_back(line);
    }
    close_file(n);
    return out;
}

std::vector<std::string> all_items(const std::string& bytes, int count) {
    write_whole_file("items.txt", bytes);
    const int n = free_file_number();
    open_file("items.txt", FILE_INPUT, n);
    std::vector<std::string> out;
    for (int i = 0; i < count; ++i) {
        std::string item = "junk";
        read_item(n, item);
        out.push_back(item);
    }
    close_file(n);
    return out;
}

using Texts = std::vector<std::string>;

}  // namespace

class TextFileTest : public ::testing::Test {
protected:
    void SetUp() override {
        headless_reset();
        close_file(0);
        headless_enter_temp_folder("textfile");
    }
    void TearDown() override { close_file(0); }
};

TEST_F(TextFileTest, LineEndsOfEveryKind) {
    EXPECT_EQ(all_lines("a\r\nb\nc\rd", 5), (Texts{"a", "b", "c", "d", ""}));
    EXPECT_EQ(all_lines("\r\n\n\r\r\nx", 5), (Texts{"", "", "", "", "x"}));
    EXPECT_EQ(all_lines("one\n\rtwo", 3), (Texts{"one", "", "two"}));  // LF CR is two line ends
    EXPECT_EQ(all_lines("", 2), (Texts{"", ""}));
    EXPECT_EQ(all_lines("1\r\n0\r\n1\r\n", 4), (Texts{"1", "0", "1", ""}));
}

TEST_F(TextFileTest, LongLinesAndBinaryBytes) {
    std::string huge(100 * 1024, 'x');
    huge[70000] = 'y';
    EXPECT_EQ(all_lines(huge + "\r\nend", 3), (Texts{huge, "end", ""}));

    const std::string binary("\0\x01\xff\x7f\"\t,", 7);
    EXPECT_EQ(all_lines(binary + "\n" + binary, 2), (Texts{binary, binary}));
}

TEST_F(TextFileTest, ItemsFollowTheCommaRules) {
    EXPECT_EQ(all_items("a, b", 3), (Texts{"a", "b", ""}));
    EXPECT_EQ(all_items("  \tone two ,three\r\nfour", 4), (Texts{"one two ", "three", "four", ""}));
    EXPECT_EQ(all_items("\"x, y z\"  , next", 2), (Texts{"x, y z", "next"}));
    EXPECT_EQ(all_items("ab\"cd\",e", 2), (Texts{"ab\"cd\"", "e"}));  // a quote inside is plain
    EXPECT_EQ(all_items("\"over\r\ntwo\",z", 2), (Texts{"over\r\ntwo", "z"}));
    EXPECT_EQ(all_items("\"never closed", 2), (Texts{"never closed", ""}));
    EXPECT_EQ(all_items(",,x", 3), (Texts{"", "", "x"}));
    EXPECT_EQ(all_items("1\r\n\r\n2", 3), (Texts{"1", "", "2"}));  // an empty line is an empty item

    // At most 4096 characters are kept, but the whole item is consumed.
    const Texts long_items = all_items(std::string(6000, 'q') + ",after", 2);
    EXPECT_EQ(long_items[0], std::string(MAX_ITEM_LENGTH, 'q'));
    EXPECT_EQ(long_items[1], "after");
}

TEST_F(TextFileTest, WrittenBytesAreExact) {
    const int n = free_file_number();
    ASSERT_EQ(open_file("score.dat", FILE_OUTPUT, n), 0);
    write_number(n, 1234, true);
    close_file(n);
    EXPECT_EQ(read_whole_file("score.dat"), std::string("\x20\x31\x32\x33\x34\x0D\x0A"));

    ASSERT_EQ(open_file("score.dat", FILE_APPEND, n), 0);
    write_text(n, "***", true);
    write_number(n, -7, false);
    write_number(n, 0, false);
    write_text(n, "", true);
    EXPECT_TRUE(file_ok(n));
    close_file(n);
    EXPECT_EQ(read_whole_file("score.dat"), std::string(" 1234\r\n***\r\n-7 0\r\n"));

    ASSERT_EQ(open_file("score.dat", FILE_OUTPUT, n), 0);  // output empties the file
    close_file(n);
    EXPECT_EQ(read_whole_file("score.dat"), "");

    ASSERT_EQ(open_file("fresh.dat", FILE_APPEND, n), 0);  // append creates a missing file
    write_text(n, "1", true);
    close_file(n);
    EXPECT_EQ(read_whole_file("fresh.dat"), "1\r\n");
}

// The browser build copies the player's folder to lasting storage when told a
// kept file changed: every written file that is closed tells it once, however
// it is closed; files only read, and opens that failed, do not.
TEST_F(TextFileTest, ClosingAWrittenFileReportsItOnce) {
    write_whole_file("in.txt", "x\r\n");
    ASSERT_EQ(open_file("in.txt", FILE_INPUT, 1), 0);
    close_file(1);
    EXPECT_NE(open_file("no-such-folder/out.dat", FILE_OUTPUT, 2), 0);
    close_file(2);
    EXPECT_EQ(headless_files_written(), 0);

    ASSERT_EQ(open_file("options.dat", FILE_OUTPUT, 1), 0);
    write_text(1, "1", true);
    close_file(1);
    close_file(1);  // already closed: nothing more to report
    EXPECT_EQ(headless_files_written(), 1);

    ASSERT_EQ(open_file("score.dat", FILE_APPEND, 1), 0);
    ASSERT_EQ(open_file("in.txt", FILE_INPUT, 1), 0);  // the number is reused: the log is closed first
    EXPECT_EQ(headless_files_written(), 2);
    EXPECT_EQ(read_whole_file("score.dat"), "");

    ASSERT_EQ(open_file("a.dat", FILE_OUTPUT, 2), 0);
    ASSERT_EQ(open_file("b.dat", FILE_APPEND, 3), 0);
    close_file(0);  // all at once: two written files and one read
    EXPECT_EQ(headless_files_written(), 4);
}

TEST_F(TextFileTest, NumbersAndFailuresAreHarmless) {
    EXPECT_EQ(free_file_number(), 1);
    write_whole_file("a.txt", "x");
    ASSERT_EQ(open_file("a.txt", FILE_INPUT, 1), 0);
    ASSERT_EQ(open_file("b.txt", FILE_OUTPUT, 3), 0);
    EXPECT_EQ(free_file_number(), 2);
    close_file(1);
    EXPECT_EQ(free_file_number(), 1);
    close_file(0);
    EXPECT_EQ(free_file_number(), 1);
    EXPECT_FALSE(file_ok(3));

    // A missing file, an unopened number and numbers out of range read empty.
    EXPECT_NE(open_file("missing.dat", FILE_INPUT, 5), 0);
    for (int n : {5, 6, 0, -1, 255, 100000}) {
        std::string text = "junk";
        read_line(n, text);
        EXPECT_EQ(text, "") << n;
        text = "junk";
        read_item(n, text);
        EXPECT_EQ(text, "") << n;
        write_text(n, "lost", true);
        write_number(n, 1, true);
        EXPECT_FALSE(file_ok(n));
    }
    close_file(5);
    close_file(255);
    EXPECT_NE(open_file("a.txt", FILE_INPUT, 255), 0);
    EXPECT_NE(open_file("no/such/folder/x.dat", FILE_OUTPUT, 2), 0);
    write_text(2, "lost", true);

    // Reading a file opened for writing gives nothing; writing to an input file is ignored.
    ASSERT_EQ(open_file("a.txt", FILE_INPUT, 1), 0);
    write_text(1, "no", true);
    std::string line;
    read_line(1, line);
    EXPECT_EQ(line, "x");
    EXPECT_EQ(read_whole_file("a.txt"), "x");

    EXPECT_TRUE(texts_equal("1", "1"));
    EXPECT_FALSE(texts_equal("1", "1 "));
    EXPECT_FALSE(texts_equal(std::string("a\0b", 3), "a"));
}

// An installed game reads its pictures, sounds and captions from its data
// folder unless the player's own folder (the working folder) holds a file of
// the same name; everything it writes goes to the working folder.
TEST(GameFiles, ReadsFallBackToTheDataFolderAndWritesStayInTheWorkingFolder) {
    namespace fs = std::filesystem;
    const fs::path data = fs::path(headless_enter_temp_folder("files_data"));
    fs::create_directories(data / "img");
    write_whole_file((data / "suget.dat").string(), "from the data folder\r\n");
    write_whole_file((data / "options.dat").string(), "1\r\n");
    Image red;
    headless_enter_temp_folder("files_player");
    fs::create_directories("img");
    // A 1x1 picture in the data folder only, then another of the same name
    // dropped into the player's folder.
    ASSERT_TRUE(save_pixels_bmp((data / "img/dot.bmp").string(), std::vector<uint32_t>{0xFF0000}.data(), 1, 1));
    set_data_folder(data.string());

    EXPECT_EQ(load_bmp("img/dot.bmp", red), BMP_OK);
    EXPECT_EQ(red.pixels.at(0), 0xFF0000u);
    ASSERT_TRUE(save_pixels_bmp("img/dot.bmp", std::vector<uint32_t>{0x0000FF}.data(), 1, 1));
    Image blue;
    EXPECT_EQ(load_bmp("img/dot.bmp", blue), BMP_OK);
    EXPECT_EQ(blue.pixels.at(0), 0x0000FFu);

    std::string line;
    int n = free_file_number();
    EXPECT_EQ(open_file("suget.dat", FILE_INPUT, n), 0);
    EXPECT_EQ(input_file_size(n), 22);
    read_line(n, line);
    close_file(n);
    EXPECT_EQ(line, "from the data folder");

    // Written: the working folder's own options.dat; the data folder's copy stays.
    n = free_file_number();
    EXPECT_EQ(open_file("options.dat", FILE_OUTPUT, n), 0);
    write_text(n, "0", true);
    close_file(n);
    EXPECT_EQ(read_whole_file("options.dat"), "0\r\n");
    EXPECT_EQ(read_whole_file((data / "options.dat").string()), "1\r\n");

    // Without a data folder nothing is found outside the working folder.
    set_data_folder("");
    n = free_file_number();
    EXPECT_NE(open_file("suget.dat", FILE_INPUT, n), 0);
    EXPECT_EQ(input_file_size(n), -1);
    close_file(n);
}
