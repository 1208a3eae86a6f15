// decoder.cpp -- reads a sound file's samples a chunk at a time for the mixer:
// Ogg Vorbis through libvorbisfile, WAV through wav_reader. Writes no GameState fields.
#include "audio/decoder.h"

#include <vorbis/vorbisfile.h>

#include <algorithm>
#include <cstring>

namespace valmoren {

struct VorbisState {
    OggVorbis_File file;
    int section = -1;             // logical stream of the last samples read
    bool change_pending = false;  // a format change is held back for the next read
};

namespace {

// libvorbisfile reads through these, so Ogg files are read from the same byte
// sources as WAV files: a file in pieces, or memory.
size_t vorbis_read(void* ptr, size_t size, size_t count, void* data) {
    if (size == 0 || count == 0) return 0;
    if (count > SIZE_MAX / size) count = SIZE_MAX / size;
    auto* src = static_cast<ByteSource*>(data);
    return source_read(*src, ptr, size * count) / size;
}

int vorbis_seek(void* data, ogg_int64_t offset, int whence) {
    auto* src = static_cast<ByteSource*>(data);
    int64_t base = 0;
    if (whence == SEEK_CUR) base = static_cast<int64_t>(src->pos);
    else if (whence == SEEK_END) base = static_cast<int64_t>(src->size);
    else if (whence != SEEK_SET) return -1;
    if (offset > INT64_MAX - base) return -1;
    int64_t target = base + offset;
    if (target < 0) return -1;
    return source_seek(*src, static_cast<uint64_t>(target)) ? 0 : -1;
}

long vorbis_tell(void* data) {
    return static_cast<long>(static_cast<ByteSource*>(data)->pos);
}

constexpr ov_callbacks VORBIS_CALLBACKS = {vorbis_read, vorbis_seek, nullptr, vorbis_tell};

constexpr int VORBIS_BIG_ENDIAN = SDL_BYTEORDER == SDL_BIG_ENDIAN ? 1 : 0;
// ov_read may give OV_HOLE for damaged pages; it recovers by itself, but a
// file made of nothing else ends the stream.
constexpr int VORBIS_HOLES_MAX = 64;

bool vorbis_format_ok(const vorbis_info* info) {
    return info != nullptr && info->channels >= 1 && info->channels <= 8 &&
           info->rate >= SOURCE_RATE_MIN && info->rate <= SOURCE_RATE_MAX;
}

bool open_vorbis(Decoder& dec) {
    dec.vorbis = new VorbisState;
    if (ov_open_callbacks(&dec.src, &dec.vorbis->file, nullptr, 0, VORBIS_CALLBACKS) != 0) {
        // A failed open leaves nothing for ov_clear to release.
        delete dec.vorbis;
        dec.vorbis = nullptr;
        return false;
    }
    dec.kind = DECODER_VORBIS;
    const vorbis_info* info = ov_info(&dec.vorbis->file, -1);
    if (!vorbis_format_ok(info)) return false;
    dec.format = AUDIO_S16SYS;
    dec.channels = info->channels;
    dec.rate = static_cast<int>(info->rate);
    return true;
}

bool open_wav(Decoder& dec) {
    if (!wav_parse(dec.src, dec.wav)) return false;
    dec.kind = DECODER_WAV;
    dec.format = dec.wav.bits == 8 ? AUDIO_U8 : AUDIO_S16LSB;
    dec.channels = dec.wav.channels;
    dec.rate = dec.wav.rate;
    dec.wav_offset = 0;
    return true;
}

bool open_source(Decoder& dec) {
    uint8_t magic[4] = {};
    bool ok = false;
    if (source_read(dec.src, magic, 4) == 4 && source_seek(dec.src, 0)) {
        if (std::memcmp(magic, "OggS", 4) == 0) ok = open_vorbis(dec);
        else if (std::memcmp(magic, "RIFF", 4) == 0) ok = open_wav(dec);
    }
    if (!ok) decoder_close(dec);
    return ok;
}

int read_vorbis(Decoder& dec, uint8_t* buf, int max_bytes) {
    VorbisState& vs = *dec.vorbis;
    int total = 0;
    int holes = 0;
    // ov_read gives at most one packet's worth per call; keep a margin so it
    // always has room for whole frames.
    while (max_bytes - total >= 4096) {
        int section = vs.section;
        long n = ov_read(&vs.file, reinterpret_cast<char*>(buf + total), max_bytes - total,
                         VORBIS_BIG_ENDIAN, 2, 1, &section);
        if (n == OV_HOLE) {
            if (++holes > VORBIS_HOLES_MAX) {
                dec.ended = true;
                break;
            }
            continue;
        }
        if (n <= 0) {
            dec.ended = true;
            break;
        }
        if (section != vs.section) {
            vs.section = section;
            const vorbis_info* info = ov_info(&vs.file, section);
            if (!vorbis_format_ok(info)) {
                dec.ended = true;
                break;
            }
            if (info->channels != dec.channels || info->rate != dec.rate) {
                // A chained file changed format: hand over what is decoded
                // so far, then the change, then these samples.
                if (total > 0) {
                    // Keep the new samples and report the change on the next call.
                    dec.held.assign(buf + total, buf + total + n);
                    dec.held_pos = 0;
                    vs.change_pending = true;
                    return total;
                }
                dec.held.assign(buf, buf + n);
                dec.held_pos = 0;
                dec.channels = info->channels;
                dec.rate = static_cast<int>(info->rate);
                return DECODER_FORMAT_CHANGED;
            }
        }
        total += static_cast<int>(n);
    }
    return total;
}

}  // namespace

bool decoder_open_file(Decoder& dec, const char* path) {
    decoder_close(dec);
    if (!source_open_file(dec.src, path)) return false;
    return open_source(dec);
}

bool decoder_open_memory(Decoder& dec, const uint8_t* data, size_t size) {
    decoder_close(dec);
    source_open_memory(dec.src, data, size);
    return open_source(dec);
}

int decoder_read(Decoder& dec, uint8_t* buf, int max_bytes) {
    if (dec.kind == DECODER_VORBIS && dec.vorbis->change_pending) {
        // The change held back by the previous call.
        dec.vorbis->change_pending = false;
        const vorbis_info* info = ov_info(&dec.vorbis->file, dec.vorbis->section);
        dec.channels = info->channels;
        dec.rate = static_cast<int>(info->rate);
        return DECODER_FORMAT_CHANGED;
    }
    if (dec.held_pos < dec.held.size()) {
        size_t n = std::min(dec.held.size() - dec.held_pos, static_cast<size_t>(std::max(max_bytes, 0)));
        size_t frame = static_cast<size_t>(dec.channels) * 2;
        n -= n % frame;
        std::memcpy(buf, dec.held.data() + dec.held_pos, n);
        dec.held_pos += n;
        if (dec.held_pos >= dec.held.size()) {
            dec.held.clear();
            dec.held_pos = 0;
        }
        return static_cast<int>(n);
    }
    if (dec.ended || max_bytes <= 0) return 0;
    if (dec.kind == DECODER_WAV) {
        size_t n = wav_read(dec.src, dec.wav, dec.wav_offset, buf, static_cast<size_t>(max_bytes));
        if (n == 0) dec.ended = true;
        dec.wav_offset += n;
        return static_cast<int>(n);
    }
    if (dec.kind == DECODER_VORBIS) return read_vorbis(dec, buf, max_bytes);
    return 0;
}

bool decoder_rewind(Decoder& dec) {
    dec.held.clear();
    dec.held_pos = 0;
    if (dec.kind == DECODER_WAV) {
        dec.wav_offset = 0;
        dec.ended = false;
        return true;
    }
    if (dec.kind == DECODER_VORBIS) {
        if (ov_raw_seek(&dec.vorbis->file, 0) != 0) return false;
        dec.vorbis->section = -1;
        dec.vorbis->change_pending = false;
        const vorbis_info* info = ov_info(&dec.vorbis->file, 0);
        if (!vorbis_format_ok(info)) return false;
        dec.channels = info->channels;
        dec.rate = static_cast<int>(info->rate);
        dec.ended = false;
        return true;
    }
    return false;
}

void decoder_close(Decoder& dec) {
    if (dec.vorbis != nullptr) {
        ov_clear(&dec.vorbis->file);
        delete dec.vorbis;
        dec.vorbis = nullptr;
    }
    source_close(dec.src);
    dec.kind = DECODER_NONE;
    dec.format = 0;
    dec.channels = 0;
    dec.rate = 0;
    dec.ended = false;
    dec.wav = WavFormat{};
    dec.wav_offset = 0;
    dec.held.clear();
    dec.held_pos = 0;
}

}  // namespace valmoren
