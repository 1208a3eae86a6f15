// sound_report.cpp -- `assetgen --sound-report RUN_FOLDER`: a table of every
// generated sound as the player hears it (loudness, peaks, DC, tone, width,
// size), how much room each level leaves above its loudest combination, and
// the size of the game's data.
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "assetgen.h"
#include "sound_measure.h"
#include "synth_songs.h"

namespace fs = std::filesystem;

namespace valmoren::assetgen {

namespace {

const char* const SOUND_FILES[] = {"mus_logo.ogg", "mus_menu.ogg", "suget.ogg", "m_fon.ogg",
                                   "m_fon2.ogg",   "m_fon3.ogg",   "m_fon4.ogg", "m_fon5.ogg",
                                   "mus.ogg",      "boom.wav",     "boom2.wav"};

double db(double x) { return x > 0.0 ? 20.0 * std::log10(x) : -200.0; }

uintmax_t folder_bytes(const fs::path& dir) {
    uintmax_t total = 0;
    std::error_code ec;
    for (const auto& e : fs::recursive_directory_iterator(dir, ec)) {
        if (e.is_regular_file(ec) && e.path().filename().string()[0] != '.') total += e.file_size(ec);
    }
    return total;
}

}  // namespace

bool write_sound_report(const std::string& dir) {
    const fs::path sounds = fs::path(dir) / "sounds";
    std::printf("%-13s %2s %6s %7s %7s %7s %7s %6s %6s %6s %5s %9s\n", "file", "ch", "sec", "LUFS-I",
                "M max", "S max", "dBTP", "DC dB", ">5k %", "lows %", "corr", "bytes");
    bool ok = true;
    std::map<std::string, double> peaks;
    std::map<std::string, double> loudness;
    uintmax_t sound_bytes = 0;
    for (const char* name : SOUND_FILES) {
        const fs::path path = sounds / name;
        const SoundFile f = read_sound_file(path.string());
        std::error_code ec;
        const uintmax_t bytes = fs::file_size(path, ec);
        if (!f.ok || ec) {
            std::printf("%-13s missing or unreadable\n", name);
            ok = false;
            continue;
        }
        sound_bytes += bytes;
        const Loudness l = measure_loudness(f.sound);
        peaks[name] = l.sample_peak;
        loudness[name] = l.integrated;
        std::printf("%-13s %2d %6.2f %7.1f %7.1f %7.1f %7.1f %6.0f %6.2f %6.1f %5.3f %9ju\n", name,
                    f.channels, static_cast<double>(f.sound.frames()) / RATE, l.integrated,
                    l.momentary_max, l.short_term_max, l.true_peak_db, dc_db(f.sound),
                    100.0 * band_share(f.sound, 5000.0, RATE / 2.0),
                    100.0 * band_share(f.sound, 30.0, 100.0), side_correlation(f.sound), bytes);
    }
    std::printf("\nLUFS-I: integrated loudness; M max / S max: loudest 400 ms / 3 s; dBTP: true peak;\n"
                ">5k %%: share of energy above 5 kHz; lows %%: share in 30-100 Hz; corr: left/right.\n\n");
    if (ok) {
        std::printf("%-6s %-11s %-22s %12s %14s\n", "level", "music", "effects", "peaks sum", "effects over");
        for (const LevelMix& lv : level_mixes()) {
            double sum = peaks[lv.music] + peaks[lv.fx];
            std::string fx = lv.fx;
            if (lv.fx2 != nullptr) {
                sum += peaks[lv.fx2];
                fx += std::string(" + ") + lv.fx2;
            }
            // How far each effect's loudest 400 ms stands above the level's music.
            std::string over;
            for (const char* e : {lv.fx, lv.fx2}) {
                if (e == nullptr) continue;
                const Loudness el = measure_loudness(read_sound_file((sounds / e).string()).sound, false);
                char part[32];
                std::snprintf(part, sizeof part, "%s%+.1f", over.empty() ? "" : " ", el.momentary_max - loudness[lv.music]);
                over += part;
            }
            std::printf("%-6d %-11s %-22s %9.1f dB %14s\n", lv.level, lv.music, fx.c_str(), db(sum), over.c_str());
        }
        std::printf("peaks sum: the highest samples of the level's music and effects added up, dBFS\n"
                    "(at or below 0 no combination can clip); effects over: LU above the music.\n\n");
    }
    std::printf("sounds: %ju bytes; all game data (run folder without the program): %ju bytes\n",
                sound_bytes, folder_bytes(dir) - [&] {
                    std::error_code ec;
                    const uintmax_t n = fs::file_size(fs::path(dir) / "valmoren", ec);
                    return ec ? uintmax_t{0} : n;
                }());
    return ok;
}

}  // namespace valmoren::assetgen
