// Where the program works: its run folder as it stands, or, installed, the
// player's folder over the installed data; and what the command line answers.
#include <gtest/gtest.h>

#include <sys/stat.h>
#ifndef _WIN32
#include <unistd.h>
#endif

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <string>

#include "platform/command_line.h"
#include "platform/files.h"
#include "platform/folders.h"
#include "platform/headless/headless.h"

using namespace valmoren;

namespace {

namespace fs = std::filesystem;

#ifndef _WIN32
// Sets (or, with nullopt, removes) an environment variable for one test and
// puts the old value back afterwards.
class EnvSetting {
public:
    EnvSetting(const char* name, std::optional<std::string> value) : name_(name) {
        if (const char* old = std::getenv(name)) old_ = old;
        if (value) ::setenv(name, value->c_str(), 1);
        else ::unsetenv(name);
    }
    ~EnvSetting() {
        if (old_) ::setenv(name_, old_->c_str(), 1);
        else ::unsetenv(name_);
    }

private:
    const char* name_;
    std::optional<std::string> old_;
};

// A fresh folder standing for an install prefix or a build tree; the program
// file itself only needs a name.
fs::path fresh_root(const std::string& name) {
    const fs::path root = fs::path(headless_enter_temp_folder(name));
    fs::create_directories(root / "cwd");
    fs::current_path(root / "cwd");
    return root;
}

void add_program(const fs::path& program) {
    fs::create_directories(program.parent_path());
    std::ofstream(program) << "";
}

void add_data(const fs::path& folder) { fs::create_directories(folder / "img"); }
#endif

}  // namespace

#ifndef _WIN32

// The run folder of the build tree, an install under one prefix, Debian's
// games layout, and a program with no data anywhere.
TEST(GameFolders, DataBesideTheProgramOrInstalledBesideItsBinFolder) {
    const fs::path root = fresh_root("folders_layouts");
    EnvSetting xdg("XDG_DATA_HOME", (root / "xdg").string());

    // build/game: the data beside the program; nothing changes, even when an
    // install's data would also be found from there.
    add_program(root / "build/game/valmoren");
    add_data(root / "build/game");
    add_data(root / "build/share/valmoren");
    GameFolders f = find_game_folders((root / "build/game/valmoren").string());
    EXPECT_EQ(f.working, "");
    EXPECT_EQ(f.data, "");

    // prefix/bin and prefix/share/valmoren.
    add_program(root / "prefix/bin/valmoren");
    add_data(root / "prefix/share/valmoren");
    f = find_game_folders((root / "prefix/bin/valmoren").string());
    EXPECT_EQ(f.data, (root / "prefix/share/valmoren").string());
    EXPECT_EQ(f.working, (root / "xdg/valmoren").string());

    // usr/games and usr/share/games/valmoren.
    add_program(root / "usr/games/valmoren");
    add_data(root / "usr/share/games/valmoren");
    f = find_game_folders((root / "usr/games/valmoren").string());
    EXPECT_EQ(f.data, (root / "usr/share/games/valmoren").string());
    EXPECT_EQ(f.working, (root / "xdg/valmoren").string());

    // A folder without img/, or img that is a plain file, is not game data:
    // the program alone works where it was started, as before.
    add_program(root / "alone/bin/valmoren");
    fs::create_directories(root / "alone/share/valmoren/sounds");
    fs::create_directories(root / "alone/share/games/valmoren");
    std::ofstream(root / "alone/share/games/valmoren/img") << "not a folder";
    f = find_game_folders((root / "alone/bin/valmoren").string());
    EXPECT_EQ(f.working, "");
    EXPECT_EQ(f.data, "");

    // An unknown or relative location changes nothing either.
    EXPECT_EQ(find_game_folders("").data, "");
    EXPECT_EQ(find_game_folders("prefix/bin/valmoren").data, "");
}

TEST(GameFolders, ThePlayersFolderFollowsXdgDataHomeThenHome) {
    {
        EnvSetting xdg("XDG_DATA_HOME", "/somewhere/data/");
        EnvSetting home("HOME", "/home/player");
        EXPECT_EQ(player_folder(), "/somewhere/data/valmoren");
    }
    {
        // Unset, empty or relative: the default under the home folder.
        EnvSetting home("HOME", "/home/player");
        for (std::optional<std::string> value : {std::optional<std::string>{}, std::optional<std::string>{""},
                                                 std::optional<std::string>{"relative/data"}}) {
            EnvSetting xdg("XDG_DATA_HOME", value);
            EXPECT_EQ(player_folder(), "/home/player/.local/share/valmoren") << value.value_or("(unset)");
        }
    }
    {
        // Without HOME the password database names the home folder.
        EnvSetting xdg("XDG_DATA_HOME", std::nullopt);
        EnvSetting home("HOME", std::nullopt);
        const std::string folder = player_folder();
        if (folder.empty()) GTEST_SKIP() << "this user has no home folder in the password database";
        EXPECT_EQ(folder.front(), '/');
        EXPECT_EQ(fs::path(folder).filename(), "valmoren");
        EXPECT_NE(folder.find("/.local/share/"), std::string::npos) << folder;
    }
}

// Entering the folders: the player's folder is made with its missing parents
// (the player's alone), becomes the working folder, and the data folder is
// read after it; a file in the way is reported, not played around.
TEST(GameFolders, EnteringMakesThePlayersFolderAndReadsTheDataAfterIt) {
    const fs::path root = fresh_root("folders_enter");
    add_data(root / "share/valmoren");
    std::ofstream(root / "share/valmoren/suget.dat") << "installed";
    const fs::path player = root / "home/.local/share/valmoren";

    EXPECT_EQ(enter_game_folders({player.string(), (root / "share/valmoren").string()}), "");
    EXPECT_EQ(fs::current_path(), player);
    EXPECT_EQ(data_folder(), (root / "share/valmoren").string());
    struct stat info {};
    ASSERT_EQ(::stat((root / "home/.local").c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0700u);

    // Reads: the installed file until the player puts one of the same name here.
    auto first_line = [] {
        std::FILE* f = open_game_file("suget.dat", "rb");
        if (!f) return std::string("(missing)");
        char buffer[32] = {};
        const size_t n = std::fread(buffer, 1, sizeof buffer - 1, f);
        std::fclose(f);
        return std::string(buffer, n);
    };
    EXPECT_EQ(first_line(), "installed");
    std::ofstream("suget.dat") << "the player's";
    EXPECT_EQ(first_line(), "the player's");

    // A second start finds the folder already there.
    fs::current_path(root);
    EXPECT_EQ(enter_game_folders({player.string(), (root / "share/valmoren").string()}), "");
    EXPECT_EQ(fs::current_path(), player);

    // A plain file where a folder should be.
    fs::current_path(root);
    std::ofstream(root / "blocked") << "";
    const std::string problem = enter_game_folders({(root / "blocked/valmoren").string(), "/data"});
    EXPECT_NE(problem.find((root / "blocked").string()), std::string::npos) << problem;
    EXPECT_EQ(fs::current_path(), root);
    EXPECT_EQ(data_folder(), (root / "share/valmoren").string());  // left as it was

    // Installed data but no home to put the player's files in.
    EXPECT_NE(enter_game_folders({"", "/data"}), "");

    // The run folder as it is: no change of folder, no data folder.
    EXPECT_EQ(enter_game_folders({}), "");
    EXPECT_EQ(fs::current_path(), root);
    EXPECT_EQ(data_folder(), "");
}

// This test program is neither beside game data nor installed: starting it
// the way the game starts leaves the working folder and the lookup alone.
TEST(GameFolders, AProgramWithoutDataWorksWhereItWasStarted) {
    const fs::path root = fresh_root("folders_own");
    EXPECT_FALSE(program_location(nullptr).empty());
    EXPECT_TRUE(choose_game_folders(nullptr));
    EXPECT_EQ(fs::current_path(), root / "cwd");
    EXPECT_EQ(data_folder(), "");
}

#else

// Paths as the game holds them (UTF-8) and as the library's paths.
std::string utf8(const fs::path& p) {
    const std::u8string s = p.u8string();
    return std::string(s.begin(), s.end());
}
fs::path from_utf8(const std::string& s) { return fs::path(std::u8string(s.begin(), s.end())); }

// Windows: unpacked from the zip the game works in its own folder, wherever
// that is; installed (the installer's mark beside it) in the player's
// application data folder over the program's folder; a program without data
// beside it does not start. The folder names hold letters
// outside any code page, as a player's user name may.
TEST(GameFolders, OwnFolderOrInstalledUnderApplicationData) {
    const fs::path root = fs::path(headless_enter_temp_folder("folders_windows"));
    const std::string own = utf8(root) + "\\Spiele \u0141ukasz \u5c71\u7530";
    fs::create_directories(from_utf8(own + "\\img"));
    std::ofstream(from_utf8(own + "\\suget.dat")) << "beside the program";
    const std::string program = own + "\\valmoren.exe";

    GameFolders f = find_game_folders(program);
    EXPECT_EQ(f.working, own);
    EXPECT_EQ(f.data, "");
    EXPECT_EQ(enter_game_folders(f), "");
    EXPECT_EQ(fs::current_path(), from_utf8(own));
    std::FILE* read = open_game_file("suget.dat", "rb");
    EXPECT_NE(read, nullptr);
    if (read) std::fclose(read);

    // Installed: the player's folder, made with its parents, and the
    // program's folder read after it.
    std::ofstream(from_utf8(own + "\\" + INSTALLED_MARK)) << "installed";
    f = find_game_folders(program);
    EXPECT_EQ(f.data, own);
    const std::string player = player_folder();
    ASSERT_FALSE(player.empty());
    EXPECT_EQ(f.working, player);
    EXPECT_EQ(from_utf8(player).filename(), "Valmoren");
    const std::string deeper = utf8(root) + "\\\u5c71\u7530\\AppData\\Valmoren";
    EXPECT_EQ(enter_game_folders({deeper, own}), "");
    EXPECT_EQ(fs::current_path(), from_utf8(deeper));
    read = open_game_file("suget.dat", "rb");
    char text[32] = {};
    if (read) {
        EXPECT_GT(std::fread(text, 1, sizeof text - 1, read), 0u);
        std::fclose(read);
    }
    EXPECT_STREQ(text, "beside the program");

    // Neither: nothing to work with. This test program has no game data
    // beside it either, as a valmoren.exe copied alone would not: starting
    // the way the game starts says so and changes nothing.
    fs::remove_all(from_utf8(own + "\\img"));
    f = find_game_folders(program);
    EXPECT_EQ(f.working, "");
    EXPECT_EQ(f.data, "");
    EXPECT_FALSE(program_location(nullptr).empty());
    EXPECT_FALSE(choose_game_folders(nullptr));
    EXPECT_EQ(fs::current_path(), from_utf8(deeper));
    set_data_folder("");
}

#endif

TEST(CommandLine, HelpVersionAndAnythingElse) {
    auto ask = [](std::initializer_list<const char*> args) {
        std::vector<const char*> argv = {"valmoren"};
        argv.insert(argv.end(), args.begin(), args.end());
        return answer_command_line(static_cast<int>(argv.size()), argv.data());
    };
    CommandLineAnswer a = ask({});
    EXPECT_EQ(a.status, -1);
    EXPECT_EQ(a.out + a.err, "");

    a = ask({"--help"});
    EXPECT_EQ(a.status, 0);
    EXPECT_EQ(a.out.rfind("usage: valmoren [--help | --version | --record FILE | --play FILE | --check FILE]\n", 0), 0u) << a.out;
    EXPECT_NE(a.out.find("--version"), std::string::npos);
    // Where the player's files are kept, as this system names it.
#ifdef _WIN32
    EXPECT_NE(a.out.find("%APPDATA%\\Valmoren"), std::string::npos);
#else
    EXPECT_NE(a.out.find("XDG_DATA_HOME"), std::string::npos);
#endif
    EXPECT_EQ(a.err, "");

    // A recording to make, show or check, named by the argument after it.
    a = ask({"--check", "replays/last.vrec"});
    EXPECT_EQ(a.status, -1);
    EXPECT_EQ(a.run, RUN_CHECK);
    EXPECT_EQ(a.file, "replays/last.vrec");
    EXPECT_EQ(ask({"--play", "x"}).run, RUN_PLAY);
    EXPECT_EQ(ask({"--record", "x"}).run, RUN_RECORD);
    EXPECT_EQ(ask({}).run, RUN_GAME);

    a = ask({"--version"});
    EXPECT_EQ(a.status, 0);
    EXPECT_EQ(a.out.rfind("valmoren ", 0), 0u) << a.out;
    EXPECT_EQ(a.out.find('\n'), a.out.size() - 1) << a.out;  // one line
    EXPECT_EQ(a.out.find("unknown"), std::string::npos) << a.out;
    EXPECT_EQ(a.err, "");

    // Anything else, a second argument included: one line on standard error.
    for (auto args : {std::initializer_list<const char*>{"-h"}, {"--HELP"}, {""}, {"--help", "--version"},
                      {"--version", "x"}, {"options.dat"}, {"--play"}, {"--check", ""}, {"--record", "a", "b"}}) {
        a = ask(args);
        EXPECT_EQ(a.status, 2) << *args.begin();
        EXPECT_EQ(a.out, "");
        EXPECT_EQ(a.err, "usage: valmoren [--help | --version | --record FILE | --play FILE | --check FILE]\n");
    }
}
