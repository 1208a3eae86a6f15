// Recordings of games as files: read back as written; every cut, every
// damaged byte, a later format and hostile contents under a good check sum
// refused with a reason, never anything made of a size the file only claims.
// (That a recording plays its game back exactly is the replay and whole-game
// tests' part.)
#include <gtest/gtest.h>
#include <zlib.h>

#include <cstring>
#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/input.h"
#include "platform/recording.h"

using namespace valmoren;

namespace {

using Bytes = std::vector<uint8_t>;

// A short journal made by the reads a game makes.
JournalStreams small_journal() {
    headless_reset();
    journal_record();
    for (int i = 0; i < 50; ++i) {
        seconds();
        whole_seconds();
        if (i == 10) headless_press(KEY_UP);
        key_down(KEY_UP);
        if (i == 20) headless_set_mouse(100, 200, MOUSE_LEFT);
        int32_t x, y, wheel, buttons;
        get_mouse(x, y, wheel, buttons);
    }
    JournalStreams streams = journal_streams();
    journal_stop();
    headless_reset();
    return streams;
}

// The check sum put right again after a change.
void reseal(Bytes& b) {
    const uint32_t crc = static_cast<uint32_t>(crc32(0L, b.data(), static_cast<uInt>(b.size() - 4)));
    for (int i = 0; i < 4; ++i) b[b.size() - 4 + i] = static_cast<uint8_t>(crc >> (8 * i));
}

std::string refusal(const Bytes& b) {
    Recording r;
    std::string problem;
    return parse_recording(b.data(), b.size(), r, problem) ? std::string() : problem;
}

const RecordingTrailer TRAILER{3, 300, 1234, 0x0123456789abcdefull, 5000000, true};

}  // namespace

TEST(RecordingFile, ReadBackAsWritten) {
    const JournalStreams streams = small_journal();
    RecordingHeader header;
    header.date = 1700000000;
    const Bytes b = recording_bytes(header, streams, TRAILER);
    Recording r;
    std::string problem;
    ASSERT_TRUE(parse_recording(b.data(), b.size(), r, problem)) << problem;
    EXPECT_EQ(r.streams.clock, streams.clock);
    EXPECT_EQ(r.streams.events, streams.events);
    EXPECT_EQ(r.header.format, RECORDING_FORMAT);
    EXPECT_EQ(r.header.date, 1700000000);
    EXPECT_FALSE(r.header.game_version.empty());
    EXPECT_FALSE(r.header.platform.empty());
    EXPECT_EQ(r.trailer.start, 3u);
    EXPECT_EQ(r.trailer.end, 300u);
    EXPECT_EQ(r.trailer.score, 1234);
    EXPECT_EQ(r.trailer.digest, 0x0123456789abcdefull);
    EXPECT_EQ(r.trailer.span, 5000000u);
    EXPECT_TRUE(r.trailer.won);
}

TEST(RecordingFile, EveryCutAndEveryDamagedByteIsRefused) {
    const Bytes good = recording_bytes(RecordingHeader{}, small_journal(), TRAILER);
    for (size_t n = 0; n < good.size(); ++n) {
        const Bytes cut(good.begin(), good.begin() + static_cast<std::ptrdiff_t>(n));
        EXPECT_NE(refusal(cut), "") << "cut to " << n << " bytes";
    }
    for (size_t i = 0; i < good.size(); ++i) {
        Bytes damaged = good;
        damaged[i] ^= 0x10;
        EXPECT_NE(refusal(damaged), "") << "byte " << i;
    }
    Bytes longer = good;
    longer.push_back(0);
    EXPECT_NE(refusal(longer), "");
    EXPECT_EQ(refusal(Bytes{'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd'}), "not a Valmoren recording");
    EXPECT_EQ(refusal(Bytes(good.begin(), good.begin() + 5)), "the recording is cut short");

    Bytes later = good;
    later[8] = RECORDING_FORMAT + 1;
    reseal(later);
    EXPECT_NE(refusal(later).find("later Valmoren"), std::string::npos) << refusal(later);
}

TEST(RecordingFile, HostileContentsUnderAGoodCheckSumAreRefused) {
    const JournalStreams streams = small_journal();
    auto with = [&](const Bytes& clock, const Bytes& events, RecordingTrailer t = TRAILER) {
        return refusal(recording_bytes(RecordingHeader{}, JournalStreams{clock, events}, t));
    };
    EXPECT_EQ(with(streams.clock, streams.events), "");
    // A varint that never ends, a reading of no kind, a clock thrown far off.
    EXPECT_NE(with(Bytes(11, 0xFF), {}), "");
    EXPECT_NE(with(Bytes{3}, {}), "");
    EXPECT_NE(with(Bytes{6}, {}), "");
    EXPECT_NE(with(Bytes{0xF8, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0x0F}, {}), "");
    // The settings file said to be a gigabyte long, three bytes there.
    EXPECT_NE(with({}, Bytes{0, 134, 0x80, 0x80, 0x80, 0x80, 0x04, 'a', 'b', 'c'}), "");
    // A pointer far outside the picture, an event of no kind.
    EXPECT_NE(with({}, Bytes{0, 130, 0xFE, 0xFF, 0xFF, 0x0F, 0, 0, 0}), "");
    EXPECT_NE(with({}, Bytes{0, 200}), "");
    // Events landing after the recorded game's end; a game that ends before it starts.
    EXPECT_NE(with({}, Bytes{0x90, 0x03, 5}, RecordingTrailer{0, 100, 0, 0, 0, false}), "");
    EXPECT_NE(with({}, {}, RecordingTrailer{10, 5, 0, 0, 0, false}), "");

    // A stream said to unpack to 64 MiB from a handful of packed bytes.
    Bytes claim = recording_bytes(RecordingHeader{}, streams, TRAILER);
    const size_t lengths = 8 + 2 + 1 + claim[10] + 1 + claim[11 + claim[10]] + 8;
    const uint32_t huge = 64u << 20;
    std::memcpy(&claim[lengths], &huge, 4);
    reseal(claim);
    EXPECT_NE(refusal(claim), "");
}
