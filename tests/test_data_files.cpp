// Every data file the game's code names is in the run folder after the build
// and opens: the names are collected from the game's own sources, so a file
// added to the code but not to the generator is caught here.
#include <gtest/gtest.h>
#include <vorbis/vorbisfile.h>

#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>

#include "platform/screen.h"

using namespace valmoren;
namespace fs = std::filesystem;

namespace {

// String literals that name data files: "img/...", "sounds/...", "suget.dat".
// A literal that only starts a name (the code appends a number and ".bmp")
// stands for its numbered family.
std::set<std::string> names_in_code() {
    std::set<std::string> names;
    const std::regex literal(R"re("((?:img|sounds)/[^"]*|suget\.dat)")re");
    for (const auto& entry : fs::recursive_directory_iterator(fs::path(VALMOREN_SOURCE_DIR) / "src")) {
        if (entry.path().extension() != ".cpp") continue;
        std::ifstream in(entry.path());
        std::stringstream text;
        text << in.rdbuf();
        const std::string s = text.str();
        for (std::sregex_iterator it(s.begin(), s.end(), literal), end; it != end; ++it) {
            const std::string name = (*it)[1];
            if (name == "img/rotate/abc") {
                for (int i = 1; i <= 16; ++i) names.insert(name + std::to_string(i) + ".bmp");
            } else if (name == "img/suget") {
                for (int i = 0; i <= 5; ++i) names.insert(name + std::to_string(i) + ".bmp");
            } else {
                names.insert(name);
            }
        }
    }
    return names;
}

}  // namespace

TEST(DataFiles, EveryFileTheCodeNamesIsGeneratedAndOpens) {
    const std::set<std::string> names = names_in_code();
    // The code's own tables: thirteen level picture slots, front end, sounds.
    ASSERT_GT(names.size(), 60u);
    for (const std::string& name : names) {
        const fs::path path = fs::path(VALMOREN_GAME_DIR) / name;
        SCOPED_TRACE(name);
        ASSERT_TRUE(fs::is_regular_file(path));
        const std::string ext = path.extension().string();
        if (ext == ".bmp") {
            Image img;
            EXPECT_EQ(load_bmp(path.string(), img), 0);
            EXPECT_GT(img.w, 0);
            EXPECT_GT(img.h, 0);
        } else if (ext == ".ogg") {
            OggVorbis_File vf;
            ASSERT_EQ(ov_fopen(path.string().c_str(), &vf), 0);
            EXPECT_GT(ov_pcm_total(&vf, -1), 0);
            ov_clear(&vf);
        } else {
            EXPECT_GT(fs::file_size(path), 44u);
        }
    }
}
