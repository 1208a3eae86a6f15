// ogg_encode.cpp -- Ogg Vorbis encoding of the generated music through libvorbisenc.
#include "ogg_encode.h"

#include <vorbis/vorbisenc.h>

#include <cstdio>

namespace valmoren::assetgen {

namespace {

constexpr int SAMPLE_RATE = 44100;
constexpr int STREAM_SERIAL = 0x56414C4D;  // fixed: identical files on every run
constexpr size_t BLOCK = 1024;

void append_page(std::vector<uint8_t>& out, const ogg_page& page) {
    out.insert(out.end(), page.header, page.header + page.header_len);
    out.insert(out.end(), page.body, page.body + page.body_len);
}

}  // namespace

std::vector<uint8_t> encode_ogg(const float* left, const float* right, size_t frames,
                                float quality) {
    std::vector<uint8_t> out;
    vorbis_info vi;
    vorbis_info_init(&vi);
    if (vorbis_encode_init_vbr(&vi, 2, SAMPLE_RATE, quality) != 0) {
        vorbis_info_clear(&vi);
        return out;
    }
    vorbis_comment vc;
    vorbis_comment_init(&vc);
    vorbis_comment_add_tag(&vc, "TITLE", "Valmoren");

    vorbis_dsp_state vd;
    vorbis_block vb;
    vorbis_analysis_init(&vd, &vi);
    vorbis_block_init(&vd, &vb);

    ogg_stream_state os;
    ogg_stream_init(&os, STREAM_SERIAL);
    ogg_page og;
    ogg_packet op;

    ogg_packet header, header_comm, header_code;
    vorbis_analysis_headerout(&vd, &vc, &header, &header_comm, &header_code);
    ogg_stream_packetin(&os, &header);
    ogg_stream_packetin(&os, &header_comm);
    ogg_stream_packetin(&os, &header_code);
    // The headers go on pages of their own, before any audio.
    while (ogg_stream_flush(&os, &og) != 0) append_page(out, og);

    size_t pos = 0;
    bool eos = false;
    while (!eos) {
        if (pos < frames) {
            const size_t n = frames - pos < BLOCK ? frames - pos : BLOCK;
            float** buffer = vorbis_analysis_buffer(&vd, static_cast<int>(n));
            for (size_t i = 0; i < n; ++i) {
                buffer[0][i] = left[pos + i];
                buffer[1][i] = right[pos + i];
            }
            vorbis_analysis_wrote(&vd, static_cast<int>(n));
            pos += n;
        } else {
            vorbis_analysis_wrote(&vd, 0);  // end of stream
        }
        while (vorbis_analysis_blockout(&vd, &vb) == 1) {
            vorbis_analysis(&vb, nullptr);
            vorbis_bitrate_addblock(&vb);
            while (vorbis_bitrate_flushpacket(&vd, &op) != 0) {
                ogg_stream_packetin(&os, &op);
                while (!eos && ogg_stream_pageout(&os, &og) != 0) {
                    append_page(out, og);
                    if (ogg_page_eos(&og) != 0) eos = true;
                }
            }
        }
    }

    ogg_stream_clear(&os);
    vorbis_block_clear(&vb);
    vorbis_dsp_clear(&vd);
    vorbis_comment_clear(&vc);
    vorbis_info_clear(&vi);
    return out;
}

bool write_bytes(const std::string& path, const std::vector<uint8_t>& bytes) {
    if (bytes.empty()) return false;
    std::FILE* f = std::fopen(path.c_str(), "wb");
    if (f == nullptr) return false;
    const bool ok = std::fwrite(bytes.data(), 1, bytes.size(), f) == bytes.size();
    return std::fclose(f) == 0 && ok;
}

}  // namespace valmoren::assetgen
