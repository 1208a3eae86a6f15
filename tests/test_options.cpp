// The options file and the options screen: how each line reads, what the
// screen shows, toggles, Esc, saving (bytes on disk, music, controls), a save
// that cannot complete, and saves through links and onto files the player
// protected.
#include <gtest/gtest.h>
#include <sys/stat.h>
#ifndef _WIN32
#include <sys/wait.h>
#include <unistd.h>
#else
#include <windows.h>

#include "platform/win32.h"
#endif

#include <functional>
#include <string>
#include <vector>

#include "audio/sound.h"
#include "frontend/frontend.h"
#include "frontend_helpers.h"

namespace valmoren {
namespace {

using namespace fe_test;

constexpr uint32_t BALL = 0x00FF00;

struct OptionsCase {
    const char* name;
    bool exists;
    std::string bytes;
    int music_on, controls_mouse;  // as read_options applies them
    const char* music;             // as the screen shows them
    const char* controls;
    const char* full_screen;
};

TEST(OptionsFile, EachLineReadsAsOnScreenAndInGameState) {
    const std::vector<OptionsCase> cases = {
        {"missing file", false, "", 1, 1, "ON ", "Mouse   ", "NO "},
        {"saved 0 0 1", true, "0\r\n0\r\n1\r\n", 0, 0, "OFF", "Keyboard", "YES"},
        {"LF lines, no last end", true, "0\n0\n1", 0, 0, "OFF", "Keyboard", "YES"},
        {"CR lines", true, "0\r0\r1\r", 0, 0, "OFF", "Keyboard", "YES"},
        {"doubled and padded", true, "00\r\n 0\r\n1 \r\n", 1, 1, "ON ", "Mouse   ", "NO "},
        {"empty lines", true, "\r\n\r\n\r\n", 1, 1, "ON ", "Mouse   ", "NO "},
        {"words", true, "off\r\nkeyboard\r\nyes\r\n", 1, 1, "ON ", "Mouse   ", "NO "},
        {"one line only", true, "0\r\n", 0, 1, "OFF", "Mouse   ", "NO "},
        {"empty file", true, "", 1, 1, "ON ", "Mouse   ", "NO "},
        {"binary junk", true, std::string("\0\xff\r\n\x01", 5), 1, 1, "ON ", "Mouse   ", "NO "},
    };
    for (const OptionsCase& c : cases) {
        SCOPED_TRACE(c.name);
        fresh_folder("options-read");
        if (c.exists) write_bytes("options.dat", c.bytes);
        g.music_on = 7;
        g.controls_mouse = 7;
        read_options();
        EXPECT_EQ(g.music_on, c.music_on);
        EXPECT_EQ(g.controls_mouse, c.controls_mouse);

        std::string music, controls, full_screen, labels;
        script_keys({{KEY_ESC}}, [&](size_t) {
            music = screen_text(visible(), 20, 43, 3);
            controls = screen_text(visible(), 23, 43, 8);
            full_screen = screen_text(visible(), 26, 43, 3);
            labels = screen_text(visible(), 20, 30, 13) + "|" + screen_text(visible(), 23, 30, 13) +
                     "|" + screen_text(visible(), 26, 30, 13) + "|" +
                     screen_text(visible(), 29, 30, 13);
        });
        options_screen();
        EXPECT_EQ(music, c.music);
        EXPECT_EQ(controls, c.controls);
        EXPECT_EQ(full_screen, c.full_screen);
        EXPECT_EQ(labels, "Music:       |Controls:    |Fullscreen:  |Save and Exit");
    }
}

TEST(OptionsScreen, SavingUnchangedWritesTheSameNineBytes) {
    fresh_folder("options-same");
    write_solid_bmp("img/ball.bmp", 8, 8, BALL);
    write_options("0", "0", "1");
    std::vector<int> ball_rows;
    script_keys({{KEY_DOWN}, {KEY_DOWN}, {KEY_DOWN}, {KEY_DOWN}, {KEY_ENTER}},
                [&](size_t) { ball_rows.push_back(first_row_of(visible(), 202, BALL)); });
    options_screen();
    EXPECT_EQ(read_bytes("options.dat"), "0\r\n0\r\n1\r\n");
    EXPECT_EQ(g.music_on, 0);
    EXPECT_EQ(g.controls_mouse, 0);
    // Music, Controls, Fullscreen, Save and Exit, and Down on Save and Exit stays there.
    EXPECT_EQ(ball_rows, (std::vector<int>{300, 350, 400, 450, 450}));
    EXPECT_FALSE(fs::exists("options.dat.new"));
}

TEST(OptionsScreen, EnterSwapsEachValueAndSaveWritesThem) {
    fresh_folder("options-toggle");
    write_solid_bmp("img/ball.bmp", 8, 8, BALL);
    write_options("1", "1", "0");
    std::vector<std::string> music_shown;
    std::vector<int> ball_rows;
    script_keys({{KEY_UP}, {KEY_ENTER}, {KEY_ENTER}, {KEY_ENTER}, {KEY_DOWN}, {KEY_ENTER},
                 {KEY_DOWN}, {KEY_ENTER}, {KEY_DOWN}, {KEY_ENTER}},
                [&](size_t) {
                    music_shown.push_back(screen_text(visible(), 20, 43, 3));
                    ball_rows.push_back(first_row_of(visible(), 202, BALL));
                });
    options_screen();
    // Up on Music stays on Music; Enter twice gives the value back.
    ASSERT_EQ(ball_rows.size(), 10u);
    EXPECT_EQ(music_shown[1], "ON ");
    EXPECT_EQ(music_shown[2], "OFF");
    EXPECT_EQ(music_shown[3], "ON ");
    EXPECT_EQ(music_shown[4], "OFF");
    EXPECT_EQ(ball_rows[1], 300);
    EXPECT_EQ(ball_rows[9], 450);
    EXPECT_EQ(read_bytes("options.dat"), "0\r\n0\r\n1\r\n");
    EXPECT_EQ(g.music_on, 0);
    EXPECT_EQ(g.controls_mouse, 0);

    // Saving Mouse applies at once.
    script_keys({{KEY_DOWN}, {KEY_ENTER}, {KEY_DOWN}, {KEY_DOWN}, {KEY_ENTER}});
    options_screen();
    EXPECT_EQ(g.controls_mouse, 1);
    EXPECT_EQ(read_bytes("options.dat"), "0\r\n1\r\n1\r\n");
}

TEST(OptionsScreen, EscDropsEveryToggle) {
    fresh_folder("options-esc");
    write_options("0", "0", "0");
    g.music_on = 0;
    g.controls_mouse = 0;
    script_keys({{KEY_ENTER}, {KEY_DOWN}, {KEY_ENTER}, {KEY_DOWN}, {KEY_ENTER}, {KEY_ESC}});
    options_screen();
    EXPECT_EQ(read_bytes("options.dat"), "0\r\n0\r\n0\r\n");
    EXPECT_EQ(g.music_on, 0);
    EXPECT_EQ(g.controls_mouse, 0);
    EXPECT_FALSE(fs::exists("options.dat.new"));

    // With no file at all, Esc does not make one.
    fresh_folder("options-esc-none");
    script_keys({{KEY_ENTER}, {KEY_ESC}});
    options_screen();
    EXPECT_FALSE(fs::exists("options.dat"));
}

TEST(OptionsScreen, SaveStopsAndRestartsTheMenuMusic) {
    fresh_folder("options-music");
    write_music_files();
    write_options("1", "0", "0");
    g.music_on = 1;
    stream_open(g.stream_music, "sounds/mus_menu.ogg");
    stream_play(g.stream_music);
    const StreamHandle playing = g.stream_music;
    ASSERT_NE(playing, 0);

    // Music stays ON: the playing menu music goes on, not opened again.
    script_keys({{KEY_DOWN}, {KEY_DOWN}, {KEY_DOWN}, {KEY_ENTER}});
    options_screen();
    EXPECT_EQ(g.stream_music, playing);
    EXPECT_EQ(g.music_on, 1);

    // OFF silences at once.
    script_keys({{KEY_ENTER}, {KEY_DOWN}, {KEY_DOWN}, {KEY_DOWN}, {KEY_ENTER}});
    options_screen();
    EXPECT_EQ(g.music_on, 0);
    EXPECT_EQ(g.stream_music, 0);
    EXPECT_EQ(read_bytes("options.dat"), "0\r\n0\r\n0\r\n");

    // ON again in the same menu visit opens a fresh menu music.
    script_keys({{KEY_ENTER}, {KEY_DOWN}, {KEY_DOWN}, {KEY_DOWN}, {KEY_ENTER}});
    options_screen();
    EXPECT_EQ(g.music_on, 1);
    EXPECT_NE(g.stream_music, 0);
    EXPECT_EQ(read_bytes("options.dat"), "1\r\n0\r\n0\r\n");
    sound_shutdown();
}

TEST(OptionsScreen, ASaveWithoutRoomForItsNewFileWritesInPlace) {
    // Something in the way of the temporary file: the file itself is emptied
    // and written, as a plain save would.
    fresh_folder("options-blocked");
    write_options("1", "1", "1");
    fs::create_directories("options.dat.new");
    script_keys({{KEY_DOWN}, {KEY_ENTER}, {KEY_DOWN}, {KEY_DOWN}, {KEY_ENTER}});
    options_screen();
    EXPECT_EQ(read_bytes("options.dat"), "1\r\n0\r\n1\r\n");
    EXPECT_EQ(g.controls_mouse, 0);
    EXPECT_TRUE(fs::is_directory("options.dat.new"));

    // The new file cannot take the old one's place: nothing is left behind.
    fresh_folder("options-unreplaceable");
    fs::create_directories("options.dat");
    script_keys({{KEY_DOWN}, {KEY_DOWN}, {KEY_DOWN}, {KEY_ENTER}});
    options_screen();
    EXPECT_TRUE(fs::is_directory("options.dat"));
    EXPECT_FALSE(fs::exists("options.dat.new"));
}

// Down to Save and Exit and Enter, with the Music value swapped first.
void save_with_music_swapped() {
    script_keys({{KEY_ENTER}, {KEY_DOWN}, {KEY_DOWN}, {KEY_DOWN}, {KEY_ENTER}});
    options_screen();
}

#ifndef _WIN32
std::string link_text(const std::string& path) {
    std::error_code ec;
    return fs::read_symlink(path, ec).string();
}

// A player who keeps their settings elsewhere and links options.dat to them
// keeps the link: the save goes to the file at the end of the links, replaced
// whole in its own folder.
TEST(OptionsSave, WritesThroughSymbolicLinks) {
    fresh_folder("options-links");
    fs::create_directories("kept");
    write_bytes("kept/settings.dat", "1\r\n1\r\n1\r\n");
    fs::create_symlink("kept/hop", "options.dat");
    fs::create_symlink("settings.dat", "kept/hop");  // relative to the link's own folder
    save_with_music_swapped();
    EXPECT_EQ(link_text("options.dat"), "kept/hop");
    EXPECT_EQ(link_text("kept/hop"), "settings.dat");
    EXPECT_EQ(read_bytes("kept/settings.dat"), "0\r\n1\r\n1\r\n");
    EXPECT_FALSE(fs::exists("kept/settings.dat.new"));
    EXPECT_FALSE(fs::exists("options.dat.new"));

    // A link to a file not made yet: the file is made where the link points.
    fresh_folder("options-dangling");
    fs::create_directories("kept");
    fs::create_symlink("kept/settings.dat", "options.dat");
    save_with_music_swapped();
    EXPECT_EQ(link_text("options.dat"), "kept/settings.dat");
    EXPECT_EQ(read_bytes("kept/settings.dat"), "0\r\n1\r\n0\r\n");

    // Links that go round in a circle: nothing is written, nothing hangs.
    fresh_folder("options-circle");
    fs::create_symlink("options.dat", "options.dat");
    save_with_music_swapped();
    EXPECT_EQ(link_text("options.dat"), "options.dat");
    EXPECT_EQ(g.music_on, 0);  // applied for this run all the same
}

constexpr uid_t NOBODY = 65534;

// Runs `save` as an ordinary user would: as that user itself, or, under the
// superuser (who may write any file), in a child process that has become the
// user "nobody", to whom `dir` and `files` are handed first. False (and the
// reason in `why`) when neither is possible.
bool as_ordinary_user(const std::string& dir, const std::vector<std::string>& files,
                      const std::function<void()>& save, std::string& why) {
    if (geteuid() != 0) {
        save();
        return true;
    }
    bool handed = chown(dir.c_str(), NOBODY, NOBODY) == 0;
    for (const std::string& f : files) handed = handed && chown(f.c_str(), NOBODY, NOBODY) == 0;
    if (!handed) {
        why = "cannot hand the folder to an ordinary user";
        return false;
    }
    const pid_t child = fork();
    if (child < 0) {
        why = "cannot start a child process";
        return false;
    }
    if (child == 0) {
        if (setgid(NOBODY) != 0 || setuid(NOBODY) != 0) _exit(2);
        save();
        _exit(0);
    }
    int status = 0;
    waitpid(child, &status, 0);
    if (WIFEXITED(status) && WEXITSTATUS(status) == 2) {
        why = "cannot become an ordinary user";
        return false;
    }
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    return true;
}

// A settings file the player made read-only is left as it is. An ordinary
// user cannot open it for writing, so the game may not replace it either.
TEST(OptionsSave, AWriteProtectedFileStaysAsItWas) {
    const std::string dir = fresh_folder("options-protected");
    write_bytes("options.dat", "1\r\n1\r\n1\r\n");
    fs::permissions("options.dat", fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read);
    std::string why;
    if (!as_ordinary_user(dir, {"options.dat"}, save_with_music_swapped, why)) GTEST_SKIP() << why;
    EXPECT_EQ(read_bytes("options.dat"), "1\r\n1\r\n1\r\n");
    struct stat info {};
    ASSERT_EQ(stat("options.dat", &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0444u);
    EXPECT_FALSE(fs::exists("options.dat.new"));
}

// The player's own writable settings in a folder the player may not write to
// (a shared or managed folder): no temporary file can be made there, so the
// file is saved in place.
TEST(OptionsSave, AWritableFileInAFolderThePlayerCannotWriteToIsSaved) {
    const std::string dir = fresh_folder("options-shared-folder");
    write_bytes("options.dat", "1\r\n1\r\n1\r\n");
    fs::permissions("options.dat", fs::perms::owner_read | fs::perms::owner_write | fs::perms::group_read |
                                       fs::perms::others_read);
    const fs::perms open_folder = fs::status(dir).permissions();
    fs::permissions(dir, fs::perms::owner_read | fs::perms::owner_exec | fs::perms::group_read |
                             fs::perms::group_exec | fs::perms::others_read | fs::perms::others_exec);
    std::string why;
    const bool ran = as_ordinary_user(dir, {"options.dat"}, save_with_music_swapped, why);
    fs::permissions(dir, open_folder);
    if (!ran) GTEST_SKIP() << why;
    EXPECT_EQ(read_bytes("options.dat"), "0\r\n1\r\n1\r\n");
    EXPECT_FALSE(fs::exists("options.dat.new"));
}

// A settings file with a second name (a hard link) keeps both names on the
// same file, and a file someone else owns (the superuser saving a player's
// settings) stays that player's: both are written in place.
TEST(OptionsSave, HardLinksAndTheOwnerStay) {
    fresh_folder("options-hard-link");
    write_bytes("options.dat", "1\r\n1\r\n1\r\n");
    fs::create_hard_link("options.dat", "also-options.dat");
    save_with_music_swapped();
    EXPECT_EQ(read_bytes("options.dat"), "0\r\n1\r\n1\r\n");
    EXPECT_EQ(read_bytes("also-options.dat"), "0\r\n1\r\n1\r\n");
    EXPECT_EQ(fs::hard_link_count("options.dat"), 2u);
    EXPECT_FALSE(fs::exists("options.dat.new"));

    if (geteuid() != 0) GTEST_SKIP() << "only the superuser can make a file of someone else's to save over";
    fresh_folder("options-owner");
    write_bytes("options.dat", "1\r\n1\r\n1\r\n");
    ASSERT_EQ(chown("options.dat", NOBODY, NOBODY), 0);
    save_with_music_swapped();
    EXPECT_EQ(read_bytes("options.dat"), "0\r\n1\r\n1\r\n");
    struct stat info {};
    ASSERT_EQ(stat("options.dat", &info), 0);
    EXPECT_EQ(info.st_uid, NOBODY);
    EXPECT_EQ(info.st_gid, NOBODY);
}

#else

// Windows: a settings file the player made read-only is left as it is; one
// with a second name (a hard link) keeps both names on the same file; a
// hidden or system one is saved like any other and keeps those marks.
TEST(OptionsSave, ReadOnlyHiddenAndHardLinkedFiles) {
    fresh_folder("options-read-only");
    write_bytes("options.dat", "1\r\n1\r\n1\r\n");
    fs::permissions("options.dat", fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write,
                    fs::perm_options::remove);
    save_with_music_swapped();
    EXPECT_EQ(read_bytes("options.dat"), "1\r\n1\r\n1\r\n");
    EXPECT_FALSE(fs::exists("options.dat.new"));
    EXPECT_EQ(fs::status("options.dat").permissions() & fs::perms::owner_write, fs::perms::none);

    constexpr DWORD MARKS = FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    for (const bool linked : {false, true}) {
        SCOPED_TRACE(linked ? "hidden, system and hard-linked: written in place" : "hidden and system: replaced");
        fresh_folder("options-hidden");
        write_bytes("options.dat", "1\r\n1\r\n1\r\n");
        ASSERT_TRUE(SetFileAttributesW(L"options.dat", MARKS));
        std::error_code ec;
        if (linked) {
            fs::create_hard_link("options.dat", "also-options.dat", ec);
            if (ec) GTEST_SKIP() << "no hard links here: " << ec.message();
        }
        save_with_music_swapped();
        EXPECT_EQ(read_bytes("options.dat"), "0\r\n1\r\n1\r\n");
        if (linked) {
            EXPECT_EQ(read_bytes("also-options.dat"), "0\r\n1\r\n1\r\n");
        }
        EXPECT_EQ(GetFileAttributesW(L"options.dat") & MARKS, MARKS);
        EXPECT_FALSE(fs::exists("options.dat.new"));
        EXPECT_FALSE(fs::exists("options.dat.old"));
    }
}

// Stands for the system's replace while another program holds the new file
// for a moment (a synced Documents folder's client, a virus scanner): the
// first `failures` calls fail with `code`, leaving the files as the system
// documents for that failure and the new file held open, so that it can be
// neither moved nor deleted, until the next call.
struct HeldReplace {
    static inline int failures = 0;
    static inline DWORD code = 0;
    static inline HANDLE held = INVALID_HANDLE_VALUE;

    static int call(const wchar_t* target, const wchar_t* replacement, const wchar_t* backup) {
        release();
        if (failures == 0)
            return ReplaceFileW(target, replacement, backup, REPLACEFILE_IGNORE_MERGE_ERRORS, nullptr, nullptr);
        --failures;
        // 1176 without a backup name: the old file is already gone. 1177: it
        // is gone from its name, kept under the backup name when one is given.
        if (code == ERROR_UNABLE_TO_MOVE_REPLACEMENT && !backup) DeleteFileW(target);
        if (code == ERROR_UNABLE_TO_MOVE_REPLACEMENT_2) backup ? MoveFileW(target, backup) : DeleteFileW(target);
        held = CreateFileW(replacement, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr, OPEN_EXISTING, 0,
                           nullptr);
        SetLastError(code);
        return 0;
    }
    static void release() {
        if (held != INVALID_HANDLE_VALUE) CloseHandle(held);
        held = INVALID_HANDLE_VALUE;
    }
};

// A save whose replace fails never loses the settings: held for a moment,
// the save goes through once the file is let go; held for longer, the old
// settings stay in place, or, where the old file is already gone from its
// name, the new ones stay beside it and the next start reads them.
TEST(OptionsSave, AFileAnotherProgramHoldsNeverLosesTheSettings) {
    set_replace_file_call(HeldReplace::call);
    const auto save = [](DWORD code, int failures) {
        fresh_folder("options-held");
        write_bytes("options.dat", "1\r\n1\r\n1\r\n");
        HeldReplace::code = code;
        HeldReplace::failures = failures;
        save_with_music_swapped();
        HeldReplace::release();
    };

    save(ERROR_UNABLE_TO_MOVE_REPLACEMENT, 2);
    EXPECT_EQ(read_bytes("options.dat"), "0\r\n1\r\n1\r\n");
    EXPECT_FALSE(fs::exists("options.dat.new"));
    EXPECT_FALSE(fs::exists("options.dat.old"));

    for (DWORD code : {DWORD(ERROR_UNABLE_TO_REMOVE_REPLACED), DWORD(ERROR_UNABLE_TO_MOVE_REPLACEMENT)}) {
        SCOPED_TRACE(code);
        save(code, 1000);
        EXPECT_EQ(read_bytes("options.dat"), "1\r\n1\r\n1\r\n");
        g = GameState{};
        read_options();
        EXPECT_EQ(g.music_on, 1);
    }

    save(ERROR_UNABLE_TO_MOVE_REPLACEMENT_2, 1000);
    EXPECT_FALSE(fs::exists("options.dat"));
    g = GameState{};
    read_options();
    EXPECT_EQ(g.music_on, 0);
    EXPECT_EQ(read_bytes("options.dat"), "0\r\n1\r\n1\r\n");
    EXPECT_FALSE(fs::exists("options.dat.new"));
    EXPECT_FALSE(fs::exists("options.dat.old"));
    set_replace_file_call(nullptr);
}

#endif

#ifndef _WIN32
// A writable file keeps its permissions when it is replaced.
TEST(OptionsSave, TheReplacedFileKeepsItsPermissions) {
    fresh_folder("options-mode");
    write_bytes("options.dat", "1\r\n1\r\n1\r\n");
    fs::permissions("options.dat", fs::perms::owner_read | fs::perms::owner_write);
    save_with_music_swapped();
    EXPECT_EQ(read_bytes("options.dat"), "0\r\n1\r\n1\r\n");
    struct stat info {};
    ASSERT_EQ(stat("options.dat", &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0600u);
}
#endif

}  // namespace
}  // namespace valmoren
