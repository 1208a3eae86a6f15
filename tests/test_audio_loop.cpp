// A level's music is asked for every frame and starts again when it has ended:
// heard through the headless device, the new start follows the end without a
// gap, while an effect asked for once is heard once, and a request while it
// still plays, however close to its end, changes nothing.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "audio/mixer.h"
#include "audio/sound.h"
#include "platform/headless/headless.h"
#include "play_support.h"

using namespace valmoren;

namespace {

// A mono 16-bit WAV of `frames` samples of a 441 Hz sine (100 samples a
// period), so a file of whole periods joins its end to its start smoothly.
void write_sine(const std::string& path, int frames, int amplitude) {
    std::vector<int> samples(static_cast<size_t>(frames));
    for (int i = 0; i < frames; ++i)
        samples[static_cast<size_t>(i)] = static_cast<int>(std::lround(amplitude * std::sin(2 * 3.14159265358979 * i / 100.0)));
    testing_support::write_wav(path, 44100, 1, 16, samples);
}

// Left side of what the device played while recording.
std::vector<int> recorded_left() {
    const std::vector<int16_t>& all = headless_audio_recorded();
    std::vector<int> left(all.size() / 2);
    for (size_t i = 0; i < left.size(); ++i) left[i] = all[2 * i];
    return left;
}

// Longest run of silent frames between the first and the last sound.
size_t longest_silence(const std::vector<int>& x) {
    size_t first = 0, last = x.size();
    while (first < x.size() && x[first] == 0) ++first;
    while (last > first && x[last - 1] == 0) --last;
    size_t run = 0, longest = 0;
    for (size_t i = first; i < last; ++i) {
        run = x[i] == 0 ? run + 1 : 0;
        longest = std::max(longest, run);
    }
    return longest;
}

class LoopingStreams : public ::testing::Test {
protected:
    void SetUp() override {
        headless_reset();
        sound_shutdown();
        g.music_on = 1;
        headless_enter_temp_folder("audio-loop");
    }
    void TearDown() override {
        headless_audio_record(false);
        sound_shutdown();
        g.music_on = 1;
        headless_reset();
    }
};

TEST_F(LoopingStreams, MusicAskedForEveryFrameStartsAgainRightAtItsEnd) {
    // One track ends inside a frame's mix (10000 frames: 13.6 frames of play),
    // the other exactly where a frame's mix ends (7350 frames: 10 frames).
    for (const int length : {10000, 7350}) {
        SCOPED_TRACE(length);
        sound_shutdown();
        g.music_on = 1;
        headless_audio_record(false);
        write_sine("music.wav", length, 8000);
        stream_open(g.stream_music, "music.wav");
        headless_audio_record(true);
        const size_t from = headless_audio_recorded().size() / 2;
        for (int frame = 0; frame < 150; ++frame) {  // two and a half seconds: eleven starts or more
            stream_play(g.stream_music);
            headless_advance(1.0 / 60.0);
        }
        const std::vector<int> all = recorded_left();
        const std::vector<int> heard(all.begin() + static_cast<long>(from), all.end());
        ASSERT_GT(heard.size(), 10u * static_cast<size_t>(length));
        size_t start = 0;
        while (start < heard.size() && heard[start] == 0) ++start;
        const size_t gap = longest_silence(heard);
        std::printf("longest silence while a %d-frame track repeats: %zu frames\n", length, gap);
        EXPECT_LE(gap, 1u) << "a silence between the end and the new start";
        // Every repeat is the file again, sample for sample, one file length after the last.
        size_t differ = 0;
        const size_t n = static_cast<size_t>(length);
        for (size_t i = start; i + n < heard.size(); ++i) differ += heard[i] != heard[i + n];
        EXPECT_EQ(differ, 0u);
        EXPECT_TRUE(mixer_is_playing(g.stream_music));
        EXPECT_EQ(mixer_channels_in_use(), 1);
    }
}

TEST_F(LoopingStreams, AnEffectAskedForOnceIsHeardOnce) {
    constexpr int LENGTH = 3000;  // shorter than a device block and a frame together
    write_sine("fx.wav", LENGTH, 9000);
    write_sine("music.wav", 44100, 1);  // music asked for every frame beside it, barely audible
    stream_open(g.stream_fx, "fx.wav");
    stream_open(g.stream_music, "music.wav");
    headless_audio_record(true);
    stream_play(g.stream_fx);
    for (int frame = 0; frame < 30; ++frame) {
        stream_play(g.stream_music);
        headless_advance(1.0 / 60.0);
    }
    const std::vector<int> heard = recorded_left();
    size_t loud = 0;
    for (int v : heard) loud += std::abs(v) > 100;
    // Sine samples above 100 of 9000: all but the one at each zero crossing.
    EXPECT_NEAR(static_cast<double>(loud), LENGTH * 49 / 50, 2) << "heard more or less than once";
    EXPECT_FALSE(mixer_is_playing(g.stream_fx));

    // Asked for again while it still plays, long before its end: the request
    // changes nothing, and it is not heard again.
    headless_audio_record(false);
    headless_audio_record(true);
    const size_t before = headless_audio_recorded().size() / 2;
    stream_play(g.stream_fx);
    headless_advance(1.0 / 60.0);
    stream_play(g.stream_fx);  // 735 of 3000 frames played: far from the end
    for (int frame = 0; frame < 30; ++frame) headless_advance(1.0 / 60.0);
    const std::vector<int> again = recorded_left();
    loud = 0;
    for (size_t i = before; i < again.size(); ++i) loud += std::abs(again[i]) > 100;
    EXPECT_NEAR(static_cast<double>(loud), LENGTH * 49 / 50, 2);

    // Asked for again in its last frame (an explosion 10 ms before the last one
    // ends): still a request while it plays, which changes nothing either.
    headless_audio_record(false);
    headless_audio_record(true);
    const size_t from = headless_audio_recorded().size() / 2;
    stream_play(g.stream_fx);
    for (int frame = 0; frame < 4; ++frame) headless_advance(1.0 / 60.0);  // 2940 of 3000 played
    stream_play(g.stream_fx);
    for (int frame = 0; frame < 30; ++frame) headless_advance(1.0 / 60.0);
    const std::vector<int> late = recorded_left();
    loud = 0;
    for (size_t i = from; i < late.size(); ++i) loud += std::abs(late[i]) > 100;
    EXPECT_NEAR(static_cast<double>(loud), LENGTH * 49 / 50, 2) << "a late request played it again";
    EXPECT_FALSE(mixer_is_playing(g.stream_fx));
}

}  // namespace
