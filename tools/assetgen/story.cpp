// story.cpp -- the story of Valmoren told in six captions, one before each
// level and an opening one, written as the item blocks of suget.dat.
#include "story.h"

#include <cstdio>
#include <cstdlib>

#include "assetgen.h"

namespace valmoren::assetgen {

const std::vector<std::vector<std::string>>& story_captions() {
    static const std::vector<std::vector<std::string>> captions = {
        // 0: the opening
        {
            "   For a hundred years the colony world of Valmoren has lived on the",
            "light of the Ember, a living energy core that must never be still. If it",
            "stops, it dies, and the cities go dark with it.",
            "   Tonight the far watch posts fell silent one by one. A fleet is crossing",
            "the Korrath Drift, and it is coming for the Ember.",
        },
        // 1: before the ball game
        {
            "   Two interceptors lift the Ember from its cradle on Halcyon Station and",
            "carry it between them, passing it wing to wing across the flight deck.",
            "   Keep the core in play for a hundred and one seconds while the last",
            "shuttles fill. Mind the wreckage raining past the deck, and never let",
            "the Ember slip past your wings.",
        },
        // 2: before the shooter
        {
            "   The shuttles are away, but the Korrath have found the station. Their",
            "ships drop out of the Drift in a tight formation, twenty-two wide, and",
            "every one of them is firing.",
            "   Take the Sparrow up alone. Five waves stand between Valmoren and the",
            "night. Break every one of them.",
        },
        // 3: before the debris field
        {
            "   The last Korrath wave burns out over the northern sea. Where it broke,",
            "a ring of hull plates and loose cargo now circles among the rocks.",
            "   Fly the salvage tug Magpie through the field and gather what the",
            "battle left behind. Every piece you bring home rebuilds a wall. Turn",
            "carefully, drift wisely, and keep clear of the asteroids.",
        },
        // 4: before the landings
        {
            "   The salvage fills ten cargo rockets, and the only place to set them",
            "down is the Tortoise, a landing pad crawling west across the Ashen Flats.",
            "   Bring each rocket down gently onto its deck. Too fast and it breaks;",
            "too slow and the Tortoise crawls over the edge of the plateau without",
            "you. Rocks are drifting across the sky.",
        },
        // 5: before the shooting gallery
        {
            "   The Korrath have one move left: they are throwing the sky at us.",
            "Rocks, burning hulks and seeker mines are falling on the capital.",
            "   You hold the sights of the ground battery. Stand for seven rounds of",
            "the storm, each one faster than the last, and Valmoren will see the morning.",
        },
    };
    return captions;
}

namespace {

// One caption line as items: an indent is the code 3, each comma the code 1,
// and every piece of text is quoted so that its blanks survive the reading.
std::string line_items(const std::string& line) {
    std::string rest = line;
    std::string items;
    auto add = [&](const std::string& item) {
        if (!items.empty()) items += ",";
        items += item;
    };
    if (rest.rfind("   ", 0) == 0) {
        add("3");
        rest.erase(0, 3);
    }
    size_t start = 0;
    while (true) {
        const size_t comma = rest.find(',', start);
        const std::string piece = rest.substr(start, comma == std::string::npos ? std::string::npos : comma - start);
        if (!piece.empty()) add("\"" + piece + "\"");
        if (comma == std::string::npos) break;
        add("1");
        start = comma + 1;
    }
    return items;
}

}  // namespace

std::string story_file_text() {
    std::string out;
    const auto& captions = story_captions();
    for (size_t set = 0; set < captions.size(); ++set) {
        out += std::to_string(set) + "0\r\n";
        const auto& lines = captions[set];
        for (size_t k = 0; k < lines.size(); ++k) {
            // A line end after every line but the last, so the caption ends on its own row.
            out += line_items(lines[k]) + (k + 1 < lines.size() ? ",2" : "") + "\r\n";
        }
        out += std::to_string(set) + "1\r\n";
    }
    return out;
}

void write_story(const std::string& dir) {
    const std::string text = story_file_text();
    const std::string path = dir + "/suget.dat";
    std::FILE* f = std::fopen(path.c_str(), "wb");
    const bool ok = f != nullptr && std::fwrite(text.data(), 1, text.size(), f) == text.size();
    if (f == nullptr || std::fclose(f) != 0 || !ok) {
        std::fprintf(stderr, "assetgen: could not write %s\n", path.c_str());
        std::exit(1);
    }
}

}  // namespace valmoren::assetgen
