// wav_reader.cpp -- byte sources over files and memory, and the RIFF WAV
// reader used by the sound streams. Writes no GameState fields.
#include "audio/wav_reader.h"

#include <algorithm>
#include <cstring>

#include "platform/files.h"

namespace valmoren {

bool source_open_file(ByteSource& src, const char* path) {
    src = ByteSource{};
    if (path == nullptr) return false;
    std::FILE* f = open_game_file(path, "rb");
    if (f == nullptr) return false;
    if (fseeko(f, 0, SEEK_END) != 0) {
        std::fclose(f);
        return false;
    }
    off_t end = ftello(f);
    if (end < 0 || fseeko(f, 0, SEEK_SET) != 0) {
        std::fclose(f);
        return false;
    }
    src.file = f;
    src.size = static_cast<uint64_t>(end);
    return true;
}

void source_open_memory(ByteSource& src, const uint8_t* data, size_t size) {
    src = ByteSource{};
    src.memory = data;
    src.size = data != nullptr ? size : 0;
}

size_t source_read(ByteSource& src, void* buf, size_t n) {
    if (src.pos >= src.size || n == 0) return 0;
    n = static_cast<size_t>(std::min<uint64_t>(n, src.size - src.pos));
    size_t got = 0;
    if (src.file != nullptr) {
        got = std::fread(buf, 1, n, src.file);
    } else if (src.memory != nullptr) {
        std::memcpy(buf, src.memory + src.pos, n);
        got = n;
    }
    src.pos += got;
    return got;
}

bool source_seek(ByteSource& src, uint64_t pos) {
    if (pos > src.size) return false;
    if (src.file != nullptr && pos != src.pos) {
        if (fseeko(src.file, static_cast<off_t>(pos), SEEK_SET) != 0) return false;
    }
    src.pos = pos;
    return true;
}

void source_close(ByteSource& src) {
    if (src.file != nullptr) std::fclose(src.file);
    src = ByteSource{};
}

namespace {

uint32_t le32(const uint8_t* p) {
    return static_cast<uint32_t>(p[0]) | static_cast<uint32_t>(p[1]) << 8 |
           static_cast<uint32_t>(p[2]) << 16 | static_cast<uint32_t>(p[3]) << 24;
}

uint16_t le16(const uint8_t* p) {
    return static_cast<uint16_t>(p[0] | p[1] << 8);
}

constexpr uint16_t FORMAT_PCM = 1;
constexpr uint16_t FORMAT_EXTENSIBLE = 0xFFFE;

// Reads the "fmt " chunk body; false when the game cannot play that format.
bool parse_format(ByteSource& src, uint32_t chunk_size, WavFormat& fmt) {
    if (chunk_size < 16) return false;
    uint8_t b[40] = {};
    size_t want = std::min<size_t>(chunk_size, sizeof b);
    if (source_read(src, b, want) != want) return false;
    uint16_t tag = le16(b);
    int channels = le16(b + 2);
    uint32_t rate = le32(b + 4);
    int bits = le16(b + 14);
    // The extensible form carries the real format in its sub-format GUID.
    if (tag == FORMAT_EXTENSIBLE && want >= 26) tag = le16(b + 24);
    if (tag != FORMAT_PCM) return false;
    if (channels < 1 || channels > 2) return false;
    if (bits != 8 && bits != 16) return false;
    if (rate < static_cast<uint32_t>(SOURCE_RATE_MIN) || rate > static_cast<uint32_t>(SOURCE_RATE_MAX)) return false;
    fmt.channels = channels;
    fmt.rate = static_cast<int>(rate);
    fmt.bits = bits;
    // The frame size follows from the format itself; a header's own block
    // alignment is not trusted.
    fmt.frame_bytes = channels * bits / 8;
    return true;
}

}  // namespace

bool wav_parse(ByteSource& src, WavFormat& fmt) {
    fmt = WavFormat{};
    uint8_t head[12];
    if (!source_seek(src, 0) || source_read(src, head, sizeof head) != sizeof head) return false;
    if (std::memcmp(head, "RIFF", 4) != 0 || std::memcmp(head + 8, "WAVE", 4) != 0) return false;

    // The RIFF size is not trusted either: chunks are walked up to the real end.
    bool have_format = false;
    bool have_data = false;
    uint64_t pos = 12;
    while (pos + 8 <= src.size && !(have_format && have_data)) {
        uint8_t chunk[8];
        if (!source_seek(src, pos) || source_read(src, chunk, 8) != 8) break;
        uint32_t size = le32(chunk + 4);
        uint64_t body = pos + 8;
        if (std::memcmp(chunk, "fmt ", 4) == 0 && !have_format) {
            if (!parse_format(src, size, fmt)) return false;
            have_format = true;
        } else if (std::memcmp(chunk, "data", 4) == 0 && !have_data) {
            fmt.data_start = body;
            fmt.data_bytes = std::min<uint64_t>(size, src.size - body);
            have_data = true;
        }
        // Chunks are padded to an even length.
        pos = body + size + (size & 1u);
    }
    if (!have_format || !have_data) return false;
    fmt.data_bytes -= fmt.data_bytes % static_cast<uint64_t>(fmt.frame_bytes);
    return true;
}

size_t wav_read(ByteSource& src, const WavFormat& fmt, uint64_t offset, uint8_t* buf, size_t n) {
    if (fmt.frame_bytes <= 0 || offset >= fmt.data_bytes) return 0;
    uint64_t left = fmt.data_bytes - offset;
    size_t want = static_cast<size_t>(std::min<uint64_t>(n, left));
    want -= want % static_cast<size_t>(fmt.frame_bytes);
    if (want == 0 || !source_seek(src, fmt.data_start + offset)) return 0;
    size_t got = source_read(src, buf, want);
    return got - got % static_cast<size_t>(fmt.frame_bytes);
}

}  // namespace valmoren
