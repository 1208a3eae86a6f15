// mixer.cpp -- the open-stream table, the 32 channels and the mix routine the
// audio device pulls from. Writes no GameState fields.
//
// The game thread opens, plays and closes streams; the device (SDL's audio
// thread in the game, the headless device in tests) calls mixer_mix. Both
// sides meet under one lock, except for the play request of a stream that
// is already playing, which only reads the stream's state flag.
#include "audio/mixer.h"

#include <SDL_audio.h>

#include <algorithm>
#include <atomic>
#include <mutex>
#include <vector>

#include "audio/decoder.h"

namespace valmoren {

namespace {

enum StreamState : int {
    STREAM_CLOSED = 0,
    STREAM_READY = 1,     // open, never played or rewound and waiting
    STREAM_PLAYING = 2,
    STREAM_FINISHED = 3,  // played to its end; a play request starts it again
};

// Source bytes decoded per read from a file, and how far ahead of the
// device's request a channel keeps converted samples.
constexpr int CHUNK_BYTES = 16384;
constexpr int READ_AHEAD_FRAMES = 1024;
// Frames taken from a converter at a time.
constexpr int PART_FRAMES = 2048;
constexpr int OUT_FRAME_BYTES = 4;  // 16-bit stereo
// Silent source frames pushed behind a file's end to get its last frames out
// of the resampler.
constexpr int FLUSH_PAD_FRAMES = 2048;
// The level music is asked for in every frame: a stream asked for again and
// again while it plays, its requests never further apart than a slow frame
// and a device block, the last of them this close before its end (a game
// frame, one device block and a margin), goes on from its start in the same
// mix and restarts without a gap. Any other request while a stream plays (an
// effect asked for again before it has ended) changes nothing.
constexpr int64_t REPLAY_WINDOW_FRAMES = 2048;
constexpr int64_t ASKED_RUN_GAP_FRAMES = 4096;
// Requests in a row (the start's included) that make a stream one asked for
// every frame: at 60 frames a second, its last 50 ms or so.
constexpr int ASKED_RUN_MIN = 4;

struct MixStream {
    std::atomic<int> state{STREAM_CLOSED};
    uint32_t generation = 0;
    Decoder* decoder = nullptr;  // owned while open
    SDL_AudioStream* convert = nullptr;
    SDL_AudioFormat convert_format = 0;
    int convert_channels = 0;
    int convert_rate = 0;
    int channel = -1;      // channel it sounds on, -1 none
    bool fresh = true;     // nothing read since the file was opened or rewound
    bool rewind = false;   // go back to the start at the next mix
    bool flushed = false;  // the file is read to its end and the converter flushed
    // Frames put into and taken from the current converter, and once it is
    // flushed, how many it may give in all (the padding behind is cut off).
    int64_t frames_in = 0;
    int64_t frames_out = 0;
    int64_t frames_limit = -1;
    int64_t position = 0;  // frames mixed since the last start
    // Mixer clock at the latest play request (the start's or one made while it
    // was playing), -1 none, and how many requests in a row came no further
    // apart than ASKED_RUN_GAP_FRAMES up to that one.
    std::atomic<int64_t> asked_again{-1};
    std::atomic<int> asked_run{0};
    // Converted samples taken out of a converter that had to be replaced
    // (a chained Ogg file changing format); played before the new ones.
    std::vector<int16_t> carry;
    size_t carry_pos = 0;
};

struct Mixer {
    std::mutex lock;
    MixStream streams[MIX_STREAMS_MAX];
    int channels[MIX_CHANNELS] = {};  // stream index + 1, 0 free
    std::vector<int32_t> sum;
    uint8_t chunk[CHUNK_BYTES];
    int16_t part[PART_FRAMES * 2];
    uint8_t silence[CHUNK_BYTES];
    std::atomic<int64_t> clock{0};  // frames mixed since the program started
};

Mixer mixer;

// Handles: the stream's table index + 1 in the low 8 bits, the table entry's
// generation above, so a handle kept after its stream was closed names nothing.
constexpr uint32_t GENERATION_MASK = 0x7FFFFF;

StreamHandle make_handle(int index, uint32_t generation) {
    return static_cast<StreamHandle>(generation << 8 | static_cast<uint32_t>(index + 1));
}

int find_stream(StreamHandle h) {
    if (h <= 0) return -1;
    int index = (h & 0xFF) - 1;
    uint32_t generation = static_cast<uint32_t>(h) >> 8;
    if (index < 0 || index >= MIX_STREAMS_MAX) return -1;
    const MixStream& s = mixer.streams[index];
    if (s.state.load(std::memory_order_acquire) == STREAM_CLOSED || s.generation != generation) return -1;
    return index;
}

SDL_AudioStream* new_converter(MixStream& s) {
    const Decoder& d = *s.decoder;
    s.convert_format = d.format;
    s.convert_channels = d.channels;
    s.convert_rate = d.rate;
    s.frames_in = 0;
    s.frames_out = 0;
    s.frames_limit = -1;
    return SDL_NewAudioStream(d.format, static_cast<Uint8>(d.channels), d.rate, AUDIO_S16SYS, 2, MIX_RATE);
}

int source_frame_bytes(const MixStream& s) {
    return s.convert_channels * SDL_AUDIO_BITSIZE(s.convert_format) / 8;
}

// Puts decoded samples into the converter; false when it refuses them.
bool converter_put(MixStream& s, const uint8_t* bytes, int n) {
    if (SDL_AudioStreamPut(s.convert, bytes, n) != 0) return false;
    s.frames_in += n / source_frame_bytes(s);
    return true;
}

// The file (or one format's part of it) is over: the converter gives out
// what it still holds. SDL's resampler keeps back the last few hundred input
// frames even when flushed, so silence is pushed in behind the sound and the
// output is cut where the sound ends.
void converter_finish(MixStream& s) {
    int64_t limit = s.frames_in * MIX_RATE / s.convert_rate;
    if (s.convert_rate != MIX_RATE) {
        std::fill(std::begin(mixer.silence), std::end(mixer.silence),
                  static_cast<uint8_t>(s.convert_format == AUDIO_U8 ? 0x80 : 0));
        int frame = source_frame_bytes(s);
        int pad_frames = FLUSH_PAD_FRAMES;
        while (pad_frames > 0) {
            int n = std::min(pad_frames, CHUNK_BYTES / frame);
            if (SDL_AudioStreamPut(s.convert, mixer.silence, n * frame) != 0) break;
            pad_frames -= n;
        }
    }
    SDL_AudioStreamFlush(s.convert);
    s.frames_limit = limit;
}

// Frames the converter can give now, within its limit.
int converter_available(const MixStream& s) {
    int64_t avail = SDL_AudioStreamAvailable(s.convert) / OUT_FRAME_BYTES;
    if (s.frames_limit >= 0) avail = std::min(avail, std::max<int64_t>(s.frames_limit - s.frames_out, 0));
    return static_cast<int>(avail);
}

int converter_get(MixStream& s, int16_t* out, int frames) {
    frames = std::min(frames, converter_available(s));
    if (frames <= 0) return 0;
    int got = SDL_AudioStreamGet(s.convert, out, frames * OUT_FRAME_BYTES) / OUT_FRAME_BYTES;
    if (got > 0) s.frames_out += got;
    return got;
}

void release_channel(MixStream& s) {
    if (s.channel >= 0) mixer.channels[s.channel] = 0;
    s.channel = -1;
}

// The decoder's format changed: everything the old converter still holds is
// kept in the carry, and a converter for the new format takes over.
void replace_converter(MixStream& s) {
    if (s.convert != nullptr) {
        converter_finish(s);
        int frames = converter_available(s);
        if (frames > 0) {
            if (s.carry_pos >= s.carry.size()) {
                s.carry.clear();
                s.carry_pos = 0;
            }
            size_t at = s.carry.size();
            s.carry.resize(at + static_cast<size_t>(frames) * 2);
            int got = converter_get(s, s.carry.data() + at, frames);
            s.carry.resize(at + static_cast<size_t>(got) * 2);
        }
        SDL_FreeAudioStream(s.convert);
    }
    s.convert = new_converter(s);
    if (s.convert == nullptr) s.flushed = true;
}

// Decodes one chunk of the file into the channel's converter; at the end of
// the file flushes the converter so its last samples come out.
void refill(MixStream& s) {
    int n = decoder_read(*s.decoder, mixer.chunk, CHUNK_BYTES);
    if (n == DECODER_FORMAT_CHANGED) {
        replace_converter(s);
        return;
    }
    if (n > 0 && converter_put(s, mixer.chunk, n)) return;
    converter_finish(s);
    s.flushed = true;
}

void start_over(MixStream& s) {
    s.rewind = false;
    s.carry.clear();
    s.carry_pos = 0;
    s.flushed = false;
    if (!decoder_rewind(*s.decoder)) {
        s.flushed = true;
        if (s.convert != nullptr) SDL_AudioStreamClear(s.convert);
        s.frames_limit = s.frames_out;
        return;
    }
    const Decoder& d = *s.decoder;
    if (s.convert == nullptr || d.format != s.convert_format || d.channels != s.convert_channels ||
        d.rate != s.convert_rate) {
        if (s.convert != nullptr) SDL_FreeAudioStream(s.convert);
        s.convert = new_converter(s);
        if (s.convert == nullptr) s.flushed = true;
    } else {
        SDL_AudioStreamClear(s.convert);
        s.frames_in = 0;
        s.frames_out = 0;
        s.frames_limit = -1;
    }
}

void add_samples(const int16_t* src, int frames, int32_t* dst) {
    for (int i = 0; i < frames * 2; ++i) dst[i] += src[i];
}

// Adds up to `frames` frames of the stream into `sum`, counting them in `done`;
// false once the stream has given its last sample.
bool mix_from_file(MixStream& s, int32_t* sum, int frames, int& done) {
    if (s.rewind) start_over(s);
    s.fresh = false;
    const int from = done;
    bool more = true;
    while (done < frames) {
        if (s.carry_pos < s.carry.size()) {
            int n = std::min(frames - done, static_cast<int>((s.carry.size() - s.carry_pos) / 2));
            add_samples(s.carry.data() + s.carry_pos, n, sum + done * 2);
            s.carry_pos += static_cast<size_t>(n) * 2;
            done += n;
            continue;
        }
        if (s.convert == nullptr) {
            more = false;
            break;
        }
        int want = frames - done;
        if (!s.flushed && converter_available(s) < want + READ_AHEAD_FRAMES) {
            refill(s);
            continue;
        }
        int got = converter_get(s, mixer.part, std::min(want, PART_FRAMES));
        if (got <= 0) {
            more = false;
            break;
        }
        add_samples(mixer.part, got, sum + done * 2);
        done += got;
    }
    s.position += done - from;
    return more;
}

// Mixes the stream into `sum`; a stream that ends while it is being asked for
// every frame goes on from its start at once. False once it has finished.
bool mix_stream(MixStream& s, int32_t* sum, int frames, int64_t clock) {
    int done = 0;
    if (mix_from_file(s, sum, frames, done)) return true;
    const int64_t asked = s.asked_again.load(std::memory_order_relaxed);
    const int run = s.asked_run.load(std::memory_order_relaxed);
    if (asked < 0 || clock + done - asked > REPLAY_WINDOW_FRAMES || run < ASKED_RUN_MIN || s.position == 0)
        return false;
    s.rewind = true;
    s.position = 0;
    return mix_from_file(s, sum, frames, done);
}

// Notes a play request for a stream that is playing.
void note_request(MixStream& s) {
    const int64_t now = mixer.clock.load(std::memory_order_relaxed);
    const int64_t before = s.asked_again.exchange(now, std::memory_order_relaxed);
    if (before >= 0 && now - before <= ASKED_RUN_GAP_FRAMES) {
        s.asked_run.fetch_add(1, std::memory_order_relaxed);
    } else {
        s.asked_run.store(1, std::memory_order_relaxed);
    }
}

void close_index(int index, Decoder*& decoder, SDL_AudioStream*& convert) {
    MixStream& s = mixer.streams[index];
    release_channel(s);
    decoder = s.decoder;
    convert = s.convert;
    s.decoder = nullptr;
    s.convert = nullptr;
    s.carry.clear();
    s.carry.shrink_to_fit();
    s.carry_pos = 0;
    s.state.store(STREAM_CLOSED, std::memory_order_release);
}

void free_stream_parts(Decoder* decoder, SDL_AudioStream* convert) {
    if (convert != nullptr) SDL_FreeAudioStream(convert);
    if (decoder != nullptr) {
        decoder_close(*decoder);
        delete decoder;
    }
}

}  // namespace

StreamHandle mixer_open(const char* path) {
    auto* decoder = new Decoder;
    if (!decoder_open_file(*decoder, path)) {
        delete decoder;
        return 0;
    }
    SDL_AudioStream* convert = SDL_NewAudioStream(decoder->format, static_cast<Uint8>(decoder->channels),
                                                  decoder->rate, AUDIO_S16SYS, 2, MIX_RATE);
    if (convert == nullptr) {
        free_stream_parts(decoder, nullptr);
        return 0;
    }
    std::lock_guard<std::mutex> hold(mixer.lock);
    for (int i = 0; i < MIX_STREAMS_MAX; ++i) {
        MixStream& s = mixer.streams[i];
        if (s.state.load(std::memory_order_relaxed) != STREAM_CLOSED) continue;
        s.generation = (s.generation + 1) & GENERATION_MASK;
        if (s.generation == 0) s.generation = 1;
        s.decoder = decoder;
        s.convert = convert;
        s.convert_format = decoder->format;
        s.convert_channels = decoder->channels;
        s.convert_rate = decoder->rate;
        s.channel = -1;
        s.fresh = true;
        s.rewind = false;
        s.flushed = false;
        s.frames_in = 0;
        s.frames_out = 0;
        s.frames_limit = -1;
        s.position = 0;
        s.asked_again.store(-1, std::memory_order_relaxed);
        s.asked_run.store(0, std::memory_order_relaxed);
        s.state.store(STREAM_READY, std::memory_order_release);
        return make_handle(i, s.generation);
    }
    free_stream_parts(decoder, convert);
    return 0;
}

void mixer_play(StreamHandle h) {
    int index = find_stream(h);
    if (index < 0) return;
    MixStream& s = mixer.streams[index];
    // The level music gets a request every frame: a playing stream costs one
    // read and the note of the request, which lets it go on from its start
    // when it ends while still asked for every frame.
    if (s.state.load(std::memory_order_acquire) == STREAM_PLAYING) {
        note_request(s);
        return;
    }
    std::lock_guard<std::mutex> hold(mixer.lock);
    if (s.state.load(std::memory_order_relaxed) == STREAM_PLAYING) {
        note_request(s);
        return;
    }
    int channel = -1;
    for (int c = 0; c < MIX_CHANNELS; ++c) {
        if (mixer.channels[c] == 0) {
            channel = c;
            break;
        }
    }
    if (channel < 0) return;  // every channel busy: the request is dropped
    mixer.channels[channel] = index + 1;
    s.channel = channel;
    s.rewind = !s.fresh;
    s.position = 0;
    s.asked_again.store(mixer.clock.load(std::memory_order_relaxed), std::memory_order_relaxed);
    s.asked_run.store(1, std::memory_order_relaxed);
    s.state.store(STREAM_PLAYING, std::memory_order_release);
}

void mixer_close(StreamHandle h) {
    Decoder* decoder = nullptr;
    SDL_AudioStream* convert = nullptr;
    {
        std::lock_guard<std::mutex> hold(mixer.lock);
        int index = find_stream(h);
        if (index < 0) return;
        close_index(index, decoder, convert);
    }
    free_stream_parts(decoder, convert);
}

void mixer_close_all() {
    for (int i = 0; i < MIX_STREAMS_MAX; ++i) {
        Decoder* decoder = nullptr;
        SDL_AudioStream* convert = nullptr;
        {
            std::lock_guard<std::mutex> hold(mixer.lock);
            if (mixer.streams[i].state.load(std::memory_order_relaxed) == STREAM_CLOSED) continue;
            close_index(i, decoder, convert);
        }
        free_stream_parts(decoder, convert);
    }
}

void mixer_reset() {
    mixer_close_all();
    std::lock_guard<std::mutex> hold(mixer.lock);
    for (MixStream& s : mixer.streams) s.generation = 0;
    mixer.clock.store(0, std::memory_order_relaxed);
}

void mixer_mix(int16_t* out, int frames) {
    if (out == nullptr || frames <= 0) return;
    std::lock_guard<std::mutex> hold(mixer.lock);
    size_t samples = static_cast<size_t>(frames) * 2;
    if (mixer.sum.size() < samples) mixer.sum.resize(samples);
    int32_t* sum = mixer.sum.data();
    std::fill(sum, sum + samples, 0);
    for (int c = 0; c < MIX_CHANNELS; ++c) {
        int index = mixer.channels[c] - 1;
        if (index < 0) continue;
        MixStream& s = mixer.streams[index];
        if (!mix_stream(s, sum, frames, mixer.clock.load(std::memory_order_relaxed))) {
            release_channel(s);
            s.state.store(STREAM_FINISHED, std::memory_order_release);
        }
    }
    mixer.clock.fetch_add(frames, std::memory_order_relaxed);
    for (size_t i = 0; i < samples; ++i) {
        out[i] = static_cast<int16_t>(std::clamp<int32_t>(sum[i], INT16_MIN, INT16_MAX));
    }
}

bool mixer_is_open(StreamHandle h) {
    return find_stream(h) >= 0;
}

bool mixer_is_playing(StreamHandle h) {
    int index = find_stream(h);
    return index >= 0 && mixer.streams[index].state.load(std::memory_order_acquire) == STREAM_PLAYING;
}

int64_t mixer_position(StreamHandle h) {
    std::lock_guard<std::mutex> hold(mixer.lock);
    int index = find_stream(h);
    return index < 0 ? 0 : mixer.streams[index].position;
}

int mixer_channels_in_use() {
    std::lock_guard<std::mutex> hold(mixer.lock);
    return static_cast<int>(std::count_if(std::begin(mixer.channels), std::end(mixer.channels),
                                          [](int c) { return c != 0; }));
}

int mixer_streams_open() {
    int open = 0;
    for (const MixStream& s : mixer.streams) {
        if (s.state.load(std::memory_order_acquire) != STREAM_CLOSED) ++open;
    }
    return open;
}

}  // namespace valmoren
