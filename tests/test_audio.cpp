// Sound streams as the game calls them, and what the mixer makes of them, heard
// through the headless sound device.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "audio/mixer.h"
#include "audio/sound.h"
#include "platform/headless/headless.h"
#include "platform/input.h"
#include "platform/screen.h"
#include "play_support.h"

using namespace valmoren;
using valmoren::testing_support::write_wav;

namespace {

constexpr double PI = 3.14159265358979323846;

// A sine tone, 16-bit, mono.
void write_tone(const std::string& path, double hz, double secs, int amplitude, int rate = 44100) {
    std::vector<int> s(static_cast<size_t>(secs * rate));
    for (size_t i = 0; i < s.size(); ++i) s[i] = static_cast<int>(std::lround(amplitude * std::sin(2 * PI * hz * i / rate)));
    write_wav(path, rate, 1, 16, s);
}

// One channel (0 left, 1 right) of interleaved stereo output.
std::vector<double> channel_of(const std::vector<int16_t>& stereo, int ch) {
    std::vector<double> out(stereo.size() / 2);
    for (size_t i = 0; i < out.size(); ++i) out[i] = stereo[i * 2 + ch];
    return out;
}

// Sign changes per second of a 44100 Hz signal: twice its frequency.
double zero_crossing_hz(const std::vector<double>& x) {
    int crossings = 0;
    for (size_t i = 1; i < x.size(); ++i) {
        if ((x[i - 1] < 0) != (x[i] < 0)) ++crossings;
    }
    return crossings / 2.0 * MIX_RATE / static_cast<double>(x.size());
}

// Amplitude of the signal's component at `hz` (Goertzel).
double amplitude_at(const std::vector<double>& x, double hz) {
    double w = 2 * PI * hz / MIX_RATE;
    double c = 2 * std::cos(w);
    double s1 = 0, s2 = 0;
    for (double v : x) {
        double s0 = v + c * s1 - s2;
        s2 = s1;
        s1 = s0;
    }
    double power = s1 * s1 + s2 * s2 - c * s1 * s2;
    return 2 * std::sqrt(std::max(power, 0.0)) / static_cast<double>(x.size());
}

double peak(const std::vector<double>& x) {
    double p = 0;
    for (double v : x) p = std::max(p, std::fabs(v));
    return p;
}

class SoundStreams : public ::testing::Test {
protected:
    void SetUp() override {
        headless_reset();
        sound_shutdown();
        g.music_on = 1;
        headless_enter_temp_folder("audio");
    }
    void TearDown() override {
        sound_shutdown();
        g.music_on = 1;
        headless_reset();
    }
    // Plays the frames of one frame of the level loop (60 a second).
    static void run_frame() { headless_advance(1.0 / 60.0); }
};

TEST_F(SoundStreams, SilenceSwitchKeepsEverythingAwayFromTheMixer) {
    write_tone("tone.wav", 440, 0.5, 8000);
    for (int8_t off : {int8_t{0}, int8_t{2}, int8_t{-1}}) {
        g.music_on = off;
        g.stream_music = 0;
        g.stream_fx = 12345;  // whatever a slot holds stays as it is
        stream_open(g.stream_music, "tone.wav");
        stream_open(g.stream_fx, "tone.wav");
        stream_play(g.stream_music);
        stream_play(g.stream_fx);
        stream_stop(g.stream_fx);
        sound_init();
        EXPECT_EQ(g.stream_music, 0);
        EXPECT_EQ(g.stream_fx, 12345);
        EXPECT_FALSE(headless_audio_is_open());
        EXPECT_EQ(mixer_streams_open(), 0);
        EXPECT_EQ(mixer_channels_in_use(), 0);
        EXPECT_EQ(g.music_on, off);
    }
    // Shutting down works whatever the switch says, and leaves it off.
    sound_shutdown();
    EXPECT_EQ(g.music_on, 0);
    EXPECT_EQ(g.stream_fx, 0);
}

TEST_F(SoundStreams, MusicRequestedEveryFramePlaysOnWithoutRestarting) {
    write_tone("music.wav", 440, 3.0, 8000);
    stream_open(g.stream_music, "music.wav");
    ASSERT_NE(g.stream_music, 0);
    EXPECT_TRUE(headless_audio_is_open());
    EXPECT_FALSE(mixer_is_playing(g.stream_music));  // opening does not start it
    int64_t last = -1;
    for (int frame = 0; frame < 120; ++frame) {
        stream_play(g.stream_music);
        run_frame();
        int64_t pos = mixer_position(g.stream_music);
        EXPECT_GT(pos, last) << "frame " << frame;
        last = pos;
    }
    // Two seconds of requests: one channel, two seconds of sound.
    EXPECT_EQ(mixer_channels_in_use(), 1);
    EXPECT_NEAR(static_cast<double>(last), 2.0 * MIX_RATE, 1024);
}

TEST_F(SoundStreams, FinishedEffectPlaysAgainFromItsStart) {
    write_tone("boom.wav", 700, 0.1, 12000);
    stream_open(g.stream_fx, "boom.wav");
    stream_play(g.stream_fx);
    std::vector<int16_t> first = headless_audio_pull(2000);
    // A request while it still plays does not restart it.
    stream_play(g.stream_fx);
    headless_audio_pull(1000);
    EXPECT_EQ(mixer_position(g.stream_fx), 3000);
    // After its end it is silent and its channel is free.
    std::vector<int16_t> tail = headless_audio_pull(4410);
    EXPECT_FALSE(mixer_is_playing(g.stream_fx));
    EXPECT_EQ(mixer_channels_in_use(), 0);
    EXPECT_EQ(peak(channel_of(headless_audio_pull(1000), 0)), 0.0);
    EXPECT_NEAR(static_cast<double>(mixer_position(g.stream_fx)), 4410, 64);
    // The next event plays it from the beginning, sample for sample.
    stream_play(g.stream_fx);
    EXPECT_TRUE(mixer_is_playing(g.stream_fx));
    std::vector<int16_t> again = headless_audio_pull(2000);
    EXPECT_EQ(again, first);
    EXPECT_GT(peak(channel_of(again, 0)), 11000);
    (void)tail;
}

TEST_F(SoundStreams, MissingOrUnreadableFileIsSilentAndHarmless) {
    write_tone("music.wav", 440, 1.0, 8000);
    std::FILE* junk = std::fopen("junk.wav", "wb");
    ASSERT_NE(junk, nullptr);
    std::fputs("not a sound at all", junk);
    std::fclose(junk);
    std::FILE* empty = std::fopen("empty.ogg", "wb");
    ASSERT_NE(empty, nullptr);
    std::fclose(empty);

    stream_open(g.stream_music, "music.wav");
    stream_play(g.stream_music);
    for (const char* path : {"sounds/none.wav", "junk.wav", "empty.ogg", "."}) {
        stream_open(g.stream_fx, path);
        EXPECT_EQ(g.stream_fx, 0) << path;
        stream_play(g.stream_fx);
        stream_stop(g.stream_fx);
        EXPECT_EQ(g.stream_fx, 0);
    }
    // The music plays on, alone.
    run_frame();
    EXPECT_TRUE(mixer_is_playing(g.stream_music));
    EXPECT_EQ(mixer_channels_in_use(), 1);
    EXPECT_EQ(mixer_streams_open(), 1);
}

TEST_F(SoundStreams, StopReleasesTheStreamAndOldHandlesNameNothing) {
    write_tone("music.wav", 440, 1.0, 8000);
    stream_stop(g.stream_fx);  // an empty slot: nothing happens
    EXPECT_EQ(g.stream_fx, 0);

    stream_open(g.stream_music, "music.wav");
    stream_play(g.stream_music);
    run_frame();
    StreamHandle stale = g.stream_music;
    stream_stop(g.stream_music);
    EXPECT_EQ(g.stream_music, 0);
    EXPECT_EQ(mixer_channels_in_use(), 0);
    EXPECT_EQ(peak(channel_of(headless_audio_pull(1000), 0)), 0.0);

    // The next stream gets a handle of its own, which the old one cannot touch;
    // nor can handles that never were anything.
    stream_open(g.stream_fx, "music.wav");
    EXPECT_NE(g.stream_fx, stale);
    for (StreamHandle h : {stale, -1, 1, 0x7FFFFFFF, 64 + 1}) {
        StreamHandle slot = h;
        stream_play(slot);
        stream_stop(slot);
    }
    EXPECT_TRUE(mixer_is_open(g.stream_fx));
    EXPECT_FALSE(mixer_is_playing(g.stream_fx));
    EXPECT_EQ(mixer_streams_open(), 1);
}

TEST_F(SoundStreams, OpeningIntoAnOccupiedSlotClosesWhatItHeld) {
    write_tone("level.wav", 440, 2.0, 8000);
    write_tone("story.wav", 1000, 2.0, 8000);
    stream_open(g.stream_music, "level.wav");
    stream_play(g.stream_music);
    run_frame();
    StreamHandle level_music = g.stream_music;
    // A restart from inside the level opens the story music into the same slot.
    stream_open(g.stream_music, "story.wav");
    EXPECT_FALSE(mixer_is_open(level_music));
    EXPECT_EQ(mixer_streams_open(), 1);
    EXPECT_EQ(mixer_channels_in_use(), 0);
    stream_play(g.stream_music);
    std::vector<double> left = channel_of(headless_audio_pull(8820), 0);
    EXPECT_GT(amplitude_at(left, 1000), 7000);
    EXPECT_LT(amplitude_at(left, 440), 100);
    // Restarting a thousand times leaks nothing.
    for (int i = 0; i < 1000; ++i) stream_open(g.stream_music, "level.wav");
    EXPECT_EQ(mixer_streams_open(), 1);
}

TEST_F(SoundStreams, StartingAgainWhileRunningLeavesPlaybackAlone) {
    write_tone("music.wav", 440, 2.0, 8000);
    write_tone("boom.wav", 700, 0.2, 8000);
    stream_open(g.stream_music, "music.wav");
    stream_play(g.stream_music);
    run_frame();
    int64_t before = mixer_position(g.stream_music);
    sound_init();
    stream_open(g.stream_fx, "boom.wav");  // opens call sound_init again
    run_frame();
    EXPECT_TRUE(mixer_is_playing(g.stream_music));
    EXPECT_GT(mixer_position(g.stream_music), before);

    // Shutdown releases everything; a new start begins afresh.
    sound_shutdown();
    EXPECT_EQ(g.music_on, 0);
    EXPECT_EQ(g.stream_music, 0);
    EXPECT_EQ(g.stream_fx, 0);
    EXPECT_EQ(mixer_streams_open(), 0);
    EXPECT_FALSE(headless_audio_is_open());
    sound_shutdown();  // twice is harmless
    g.music_on = 1;
    stream_open(g.stream_music, "music.wav");
    EXPECT_TRUE(headless_audio_is_open());
    stream_play(g.stream_music);
    run_frame();
    EXPECT_TRUE(mixer_is_playing(g.stream_music));

    // A device closed behind the sound layer's back (the test harness resetting
    // the platform) is opened again by the next stream open.
    headless_reset();
    stream_open(g.stream_fx, "boom.wav");
    EXPECT_TRUE(headless_audio_is_open());
    EXPECT_TRUE(mixer_is_playing(g.stream_music));
}

// What comes out of the device, by content: pitch, level and sides.
TEST_F(SoundStreams, TonesComeOutAtTheirPitchAndLevel) {
    struct Case {
        const char* name;
        int rate;
        int bits;
        double hz;        // left (and only, for mono)
        double right_hz;  // 0: mono
        int amplitude;    // in 16-bit units
    };
    const Case cases[] = {
        {"k1.wav", 44100, 16, 1000, 0, 10000},
        {"low8.wav", 22050, 8, 440, 0, 100 * 256},
        {"phone.wav", 8000, 16, 350, 0, 16000},
        {"sides.wav", 48000, 16, 500, 1500, 9000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        int channels = c.right_hz > 0 ? 2 : 1;
        std::vector<int> s;
        for (int i = 0; i < c.rate * 2; ++i) {
            for (int ch = 0; ch < channels; ++ch) {
                double v = std::sin(2 * PI * (ch ? c.right_hz : c.hz) * i / c.rate);
                s.push_back(c.bits == 8 ? static_cast<int>(std::lround(128 + 100 * v))
                                        : static_cast<int>(std::lround(c.amplitude * v)));
            }
        }
        write_wav(c.name, c.rate, channels, c.bits, s);
        stream_open(g.stream_fx, c.name);
        stream_play(g.stream_fx);
        headless_audio_pull(4410);  // past the converter's start
        std::vector<int16_t> out = headless_audio_pull(MIX_RATE);
        std::vector<double> left = channel_of(out, 0);
        std::vector<double> right = channel_of(out, 1);
        if (channels == 1) {
            EXPECT_EQ(left, right);  // mono sounds in both ears
        }
        EXPECT_NEAR(zero_crossing_hz(left), c.hz, 2.0);
        EXPECT_NEAR(zero_crossing_hz(right), channels == 1 ? c.hz : c.right_hz, 2.0);
        EXPECT_NEAR(amplitude_at(left, c.hz), c.amplitude, c.amplitude * 0.03);
        EXPECT_LT(amplitude_at(left, c.hz * 1.1), c.amplitude * 0.01);
    }
}

TEST_F(SoundStreams, StreamsSumAndClipInsteadOfWrapping) {
    write_tone("a.wav", 440, 1.0, 9000);
    write_tone("b.wav", 1000, 1.0, 7000, 22050);
    auto hear = [](bool a, bool b) {
        stream_open(g.stream_music, "a.wav");
        stream_open(g.stream_fx, "b.wav");
        if (a) stream_play(g.stream_music);
        if (b) stream_play(g.stream_fx);
        return headless_audio_pull(30000);
    };
    std::vector<int16_t> only_a = hear(true, false);
    std::vector<int16_t> only_b = hear(false, true);
    std::vector<int16_t> both = hear(true, true);
    ASSERT_EQ(both.size(), only_a.size());
    size_t mismatches = 0;
    for (size_t i = 0; i < both.size(); ++i) {
        if (both[i] != only_a[i] + only_b[i]) ++mismatches;
    }
    EXPECT_EQ(mismatches, 0u);
    EXPECT_GT(peak(channel_of(both, 0)), 15000);

    // Two loud steady sounds: the sum saturates at the ends of the range.
    std::vector<int> high(22050, 30000);
    std::vector<int> low(22050, -30000);
    write_wav("high.wav", 44100, 1, 16, high);
    write_wav("low.wav", 44100, 1, 16, low);
    for (const char* name : {"high.wav", "low.wav"}) {
        stream_open(g.stream_music, name);
        stream_open(g.stream_fx, name);
        stream_play(g.stream_music);
        stream_play(g.stream_fx);
        std::vector<int16_t> out = headless_audio_pull(10000);
        int16_t want = name[0] == 'h' ? INT16_MAX : INT16_MIN;
        size_t wrong = 0;
        for (size_t i = 2000; i < out.size(); ++i) {
            if (out[i] != want) ++wrong;
        }
        EXPECT_EQ(wrong, 0u) << name;
    }
}

TEST_F(SoundStreams, ThirtyTwoChannelsAtMost) {
    write_tone("beep.wav", 440, 0.5, 500);
    std::vector<StreamHandle> handles(40);
    for (StreamHandle& h : handles) {
        stream_open(h, "beep.wav");
        ASSERT_NE(h, 0);
        stream_play(h);
    }
    EXPECT_EQ(mixer_channels_in_use(), MIX_CHANNELS);
    EXPECT_FALSE(mixer_is_playing(handles[32]));
    // Once one stops, a waiting stream can take its channel.
    stream_stop(handles[0]);
    stream_play(handles[35]);
    EXPECT_TRUE(mixer_is_playing(handles[35]));
    for (StreamHandle& h : handles) stream_stop(h);
    EXPECT_EQ(mixer_streams_open(), 0);
}

TEST_F(SoundStreams, DeviceThatCannotOpenEndsTheProgramWithTheMessage) {
    // The logo screen at that moment draws onto the visible page, black on white.
    set_pages(0, 0);
    set_colours(0x000000, 0xFFFFFF);
    line(0, 0, SCREEN_W - 1, SCREEN_H - 1, 0xFFFFFF, SHAPE_FILLED_BOX);
    locate(5, 1);
    headless_audio_set_fail(true);
    int key_waits = 0;
    headless_set_player([&] {
        if (headless_waiting_for_key()) {
            ++key_waits;
            headless_tap(KEY_SPACE);
        }
    });
    write_tone("logo.wav", 440, 0.5, 8000);
    int status = headless_run_program([] { stream_open(g.stream_music, "logo.wav"); });
    EXPECT_EQ(status, 1);
    EXPECT_EQ(key_waits, 1);
    EXPECT_EQ(g.stream_music, 0);
    EXPECT_EQ(cursor_row(), 6);
    EXPECT_EQ(cursor_column(), 1);
    // The text sits in row 5 (pixels 64..79), across its 21 characters, and nowhere else.
    int dark_in_row = 0;
    int dark_elsewhere = 0;
    for (int y = 0; y < 120; ++y) {
        for (int x = 0; x < 200; ++x) {
            bool dark = (headless_pixel(x, y) & 0xFFFFFF) == 0;
            if (y >= 64 && y < 80 && x < 21 * 8) dark_in_row += dark;
            else dark_elsewhere += dark;
        }
    }
    EXPECT_GT(dark_in_row, 21 * 10);
    EXPECT_EQ(dark_elsewhere, 0);
}

}  // namespace
