// The BMP reader against the public BMP test suite (every file of its manifest,
// where it is beside the project) and against pictures built here: formats,
// files that end early, sizes, clipping onto the page, hostile files.
#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "platform/headless/headless.h"
#include "platform/screen.h"

using namespace valmoren;

namespace {

const std::string SUITE = std::string(VALMOREN_TESTDATA_DIR) + "/bmpsuite/";

// SHA-256 of a byte string, as lowercase hex (FIPS 180-4).
std::string sha256_hex(const std::vector<uint8_t>& msg) {
    static const uint32_t K[64] = {
        0x428a2f98, 0x71374491, 0xb5c0fbcf, 0xe9b5dba5, 0x3956c25b, 0x59f111f1, 0x923f82a4, 0xab1c5ed5,
        0xd807aa98, 0x12835b01, 0x243185be, 0x550c7dc3, 0x72be5d74, 0x80deb1fe, 0x9bdc06a7, 0xc19bf174,
        0xe49b69c1, 0xefbe4786, 0x0fc19dc6, 0x240ca1cc, 0x2de92c6f, 0x4a7484aa, 0x5cb0a9dc, 0x76f988da,
        0x983e5152, 0xa831c66d, 0xb00327c8, 0xbf597fc7, 0xc6e00bf3, 0xd5a79147, 0x06ca6351, 0x14292967,
        0x27b70a85, 0x2e1b2138, 0x4d2c6dfc, 0x53380d13, 0x650a7354, 0x766a0abb, 0x81c2c92e, 0x92722c85,
        0xa2bfe8a1, 0xa81a664b, 0xc24b8b70, 0xc76c51a3, 0xd192e819, 0xd6990624, 0xf40e3585, 0x106aa070,
        0x19a4c116, 0x1e376c08, 0x2748774c, 0x34b0bcb5, 0x391c0cb3, 0x4ed8aa4a, 0x5b9cca4f, 0x682e6ff3,
        0x748f82ee, 0x78a5636f, 0x84c87814, 0x8cc70208, 0x90befffa, 0xa4506ceb, 0xbef9a3f7, 0xc67178f2};
    uint32_t h[8] = {0x6a09e667, 0xbb67ae85, 0x3c6ef372, 0xa54ff53a, 0x510e527f, 0x9b05688c, 0x1f83d9ab, 0x5be0cd19};
    std::vector<uint8_t> m = msg;
    const uint64_t bit_length = static_cast<uint64_t>(msg.size()) * 8;
    m.push_back(0x80);
    while (m.size() % 64 != 56) m.push_back(0);
    for (int i = 7; i >= 0; --i) m.push_back(static_cast<uint8_t>(bit_length >> (8 * i)));
    auto rotr = [](uint32_t x, int n) { return (x >> n) | (x << (32 - n)); };
    for (size_t off = 0; off < m.size(); off += 64) {
        uint32_t w[64];
        for (int i = 0; i < 16; ++i)
            w[i] = uint32_t(m[off + 4 * i]) << 24 | uint32_t(m[off + 4 * i + 1]) << 16 |
                   uint32_t(m[off + 4 * i + 2]) << 8 | m[off + 4 * i + 3];
        for (int i = 16; i < 64; ++i) {
            const uint32_t s0 = rotr(w[i - 15], 7) ^ rotr(w[i - 15], 18) ^ (w[i - 15] >> 3);
            const uint32_t s1 = rotr(w[i - 2], 17) ^ rotr(w[i - 2], 19) ^ (w[i - 2] >> 10);
            w[i] = w[i - 16] + s0 + w[i - 7] + s1;
        }
        uint32_t a = h[0], b = h[1], c = h[2], d = h[3], e = h[4], f = h[5], g = h[6], hh = h[7];
        for (int i = 0; i < 64; ++i) {
            const uint32_t t1 = hh + (rotr(e, 6) ^ rotr(e, 11) ^ rotr(e, 25)) + ((e & f) ^ (~e & g)) + K[i] + w[i];
            const uint32_t t2 = (rotr(a, 2) ^ rotr(a, 13) ^ rotr(a, 22)) + ((a & b) ^ (a & c) ^ (b & c));
            hh = g; g = f; f = e; e = d + t1; d = c; c = b; b = a; a = t1 + t2;
        }
        h[0] += a; h[1] += b; h[2] += c; h[3] += d; h[4] += e; h[5] += f; h[6] += g; h[7] += hh;
    }
    char out[65];
    for (int i = 0; i < 8; ++i) std::snprintf(out + 8 * i, 9, "%08x", h[i]);
    return out;
}

std::string pixels_sha256(const Image& img) {
    std::vector<uint8_t> bytes;
    bytes.reserve(img.pixels.size() * 4);
    for (uint32_t p : img.pixels)
        for (int i = 0; i < 4; ++i) bytes.push_back(static_cast<uint8_t>(p >> (8 * i)));
    return sha256_hex(bytes);
}

// A 24-bit BMP of w x h whose pixel (x, y) is colour(x, y), rows bottom-up.
template <typename F>
std::vector<uint8_t> make_bmp24(int w, int h, F colour) {
    const int stride = (w * 3 + 3) / 4 * 4;
    std::vector<uint8_t> b(54 + static_cast<size_t>(stride) * h, 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    b[0] = 'B';
    b[1] = 'M';
    put32(2, static_cast<uint32_t>(b.size()));
    put32(10, 54);
    put32(14, 40);
    put32(18, static_cast<uint32_t>(w));
    put32(22, static_cast<uint32_t>(h));
    b[26] = 1;
    b[28] = 24;
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const uint32_t c = colour(x, y);
            uint8_t* p = &b[54 + static_cast<size_t>(h - 1 - y) * stride + x * 3];
            p[0] = c & 0xFF;
            p[1] = (c >> 8) & 0xFF;
            p[2] = (c >> 16) & 0xFF;
        }
    return b;
}

// A 1-, 4- or 8-bit BMP of w x h whose pixel (x, y) is palette entry index(x, y).
template <typename F>
std::vector<uint8_t> make_bmp_indexed(int bits, int w, int h, const std::vector<uint32_t>& palette, F index) {
    const int stride = (w * bits + 31) / 32 * 4;
    const size_t data = 54 + palette.size() * 4;
    std::vector<uint8_t> b = make_bmp24(1, 1, [](int, int) { return 0u; });
    b.resize(data + static_cast<size_t>(stride) * h);
    std::fill(b.begin() + 54, b.end(), 0);
    auto put32 = [&](size_t at, uint32_t v) {
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
    };
    put32(2, static_cast<uint32_t>(b.size()));
    put32(10, static_cast<uint32_t>(data));
    put32(18, static_cast<uint32_t>(w));
    put32(22, static_cast<uint32_t>(h));
    b[28] = static_cast<uint8_t>(bits);
    for (size_t i = 0; i < palette.size(); ++i) put32(54 + 4 * i, palette[i]);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const int bit = x * bits;
            uint8_t& byte = b[data + static_cast<size_t>(h - 1 - y) * stride + bit / 8];
            byte |= static_cast<uint8_t>(index(x, y) << (8 - bits - bit % 8));
        }
    return b;
}

void write_file(const std::string& path, const std::vector<uint8_t>& bytes) {
    std::ofstream(path, std::ios::binary).write(reinterpret_cast<const char*>(bytes.data()), bytes.size());
}

}  // namespace

TEST(Bmp, Sha256OfKnownTexts) {
    EXPECT_EQ(sha256_hex({}), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    const std::string abc = "abc";
    EXPECT_EQ(sha256_hex(std::vector<uint8_t>(abc.begin(), abc.end())),
              "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
}

// The public test suite lives beside the project, not in it: a clone of the
// project alone skips this, and the tests below cover the reader on their own.
TEST(Bmp, EveryFileOfTheSuiteGivesItsExpectedResult) {
    std::ifstream manifest(SUITE + "MANIFEST.tsv");
    if (!manifest.good()) GTEST_SKIP() << "the BMP test suite is not there: " << SUITE << "MANIFEST.tsv";
    std::string row;
    std::getline(manifest, row);  // header
    int files = 0, hashed = 0;
    while (std::getline(manifest, row)) {
        std::vector<std::string> col;
        std::stringstream fields(row);
        for (std::string f; std::getline(fields, f, '\t');) col.push_back(f);
        ASSERT_GE(col.size(), 8u) << row;
        const std::string& path = col[0];
        const std::string& expected = col[1];
        Image img;
        img.w = 3;  // a previous picture in the slot must not survive a failed load
        img.h = 3;
        img.pixels.assign(9, 0xFFFFFF);
        const int result = load_bmp(SUITE + path, img);
        ++files;
        EXPECT_EQ(img.pixels.size(), static_cast<size_t>(img.w) * image_rows_held(img)) << path;
        if (expected == "unspecified") continue;  // only has to come back unharmed
        EXPECT_EQ(result, std::stoi(expected)) << path;
        if (expected == "0") {
            EXPECT_EQ(img.w, std::stoi(col[2])) << path;
            EXPECT_EQ(img.h, std::stoi(col[3])) << path;
            if (col.size() > 8 && !col[8].empty()) {
                EXPECT_EQ(pixels_sha256(img), col[8]) << path;
                ++hashed;
            }
        } else if (path != "b/shortfile.bmp") {
            EXPECT_TRUE(img.w == 0 || img.h == 0) << path << " should stay empty";
        }
    }
    EXPECT_EQ(files, 89);
    EXPECT_EQ(hashed, 28);  // every result-0 file but pal8badindex
}

// The palette formats unpack to the same picture as 24 bits: 1- and 4-bit
// pixels from the high bits of each byte first, rows padded to four bytes.
TEST(Bmp, PaletteFormatsReadAsTheirColours) {
    const std::vector<uint32_t> palette = {0x000000, 0xFF8040, 0x20C0E0, 0x9050A0, 0xFFFFFF, 0x102030,
                                           0x707070, 0x00FF00, 0xFF00FF, 0x0000FF, 0x808000, 0x400000,
                                           0x004000, 0x000040, 0xC0C0C0, 0x123456};
    for (int bits : {1, 4, 8}) {
        SCOPED_TRACE(bits);
        const int colours = bits == 1 ? 2 : 16;
        auto index = [&](int x, int y) { return (x * 3 + y * 5 + x * y) % colours; };
        const std::vector<uint8_t> file = make_bmp_indexed(bits, 13, 7, palette, index);
        Image img;
        ASSERT_EQ(load_bmp_from_memory(file.data(), file.size(), img), 0);
        ASSERT_EQ(img.w, 13);
        ASSERT_EQ(img.h, 7);
        for (int y = 0; y < 7; ++y)
            for (int x = 0; x < 13; ++x)
                ASSERT_EQ(image_pixel(img, x, y), palette[static_cast<size_t>(index(x, y))]) << x << "," << y;
    }
}

// A file that ends early keeps the rows it held, the bottom ones, and the rows
// above them read and draw as black; so does a picture too large to hold,
// whose header may ask for gigabytes: the image takes no more memory than the
// rows really in the file.
TEST(Bmp, AFileThatEndsEarlyKeepsTheRowsItHeld) {
    headless_reset();
    struct Cut { int w, h, rows; };
    for (const Cut c : {Cut{9, 6, 4}, Cut{2000, 1000, 100}, Cut{65535, 65535, 3}}) {
        SCOPED_TRACE(c.w);
        const auto colour = [&](int x, int y) { return static_cast<uint32_t>((y * 37 + x) & 0xFFFFFF) | 0x010101; };
        // The bottom rows of the picture under the header of the whole, and a
        // piece of the next row.
        std::vector<uint8_t> file = make_bmp24(c.w, c.rows, [&](int x, int y) { return colour(x, y + c.h - c.rows); });
        for (int i = 0; i < 4; ++i) file[22 + i] = static_cast<uint8_t>(c.h >> (8 * i));
        file.resize(file.size() + 2);
        Image img;
        ASSERT_EQ(load_bmp_from_memory(file.data(), file.size(), img), 3);
        ASSERT_EQ(img.w, c.w);
        ASSERT_EQ(img.h, c.h);
        EXPECT_EQ(image_rows_held(img), c.rows);
        EXPECT_EQ(img.pixels.size(), static_cast<size_t>(c.w) * c.rows);
        for (int y = c.h - c.rows; y < c.h; ++y)
            for (int x = 0; x < c.w; x += 1 + c.w / 50) ASSERT_EQ(image_pixel(img, x, y), colour(x, y)) << x << "," << y;
        EXPECT_EQ(image_pixel(img, 0, c.h - c.rows - 1), 0u);
        EXPECT_EQ(image_pixel(img, c.w - 1, 0), 0u);

        // Drawn with its bottom row on the screen's last: the rows above are black.
        line(0, 0, 639, 479, 0x777777, SHAPE_FILLED_BOX);
        put(0, 480 - c.h, img, PUT_TRANSPARENT);
        const uint32_t* page = page_pixels(work_page());
        const int w = std::min(c.w, 640);
        EXPECT_EQ(page[479 * SCREEN_W + w - 1], colour(w - 1, c.h - 1));
        EXPECT_EQ(page[(480 - c.rows) * SCREEN_W], colour(0, c.h - c.rows));
        EXPECT_EQ(page[(479 - c.rows) * SCREEN_W], 0u);
        if (c.w < 640) {
            EXPECT_EQ(page[479 * SCREEN_W + c.w], 0x777777u);
        }
    }
}

TEST(Bmp, MissingFileAndHostileBytes) {
    headless_reset();
    Image img;
    EXPECT_EQ(load_bmp("no/such/picture.bmp", img), 2);
    EXPECT_EQ(img.w, 0);
    put(0, 0, img, PUT_OPAQUE);  // draws nothing, harms nothing
    EXPECT_EQ(load_bmp_to_page("no/such/picture.bmp"), 2);

    EXPECT_EQ(load_bmp_from_memory(nullptr, 0, img), 3);
    const uint8_t just_b[] = {'B'};
    EXPECT_EQ(load_bmp_from_memory(just_b, 1, img), 3);

    // Headers that claim far more than the file holds.
    std::vector<uint8_t> good = make_bmp24(4, 4, [](int, int) { return 0x102030u; });
    ASSERT_EQ(load_bmp_from_memory(good.data(), good.size(), img), 0);
    ASSERT_EQ(img.pixels.size(), 16u);
    EXPECT_EQ(img.pixels[5], 0x102030u);
    auto patched = [&](size_t at, uint32_t v) {
        std::vector<uint8_t> b = good;
        for (int i = 0; i < 4; ++i) b[at + i] = static_cast<uint8_t>(v >> (8 * i));
        return b;
    };
    const struct { size_t at; uint32_t value; int result; } cases[] = {
        {10, 0xFFFFFFF0u, 3},  // palette beyond the end of the file
        {10, 20, 0},           // data offset inside the headers: pixels follow them
        {18, 65536, 3},        // wider than an image can be
        {22, 40000, 3},        // 4 x 40000 is more rows than the file holds
        {18, 0, 3},
        {22, 0xFFFFFFFCu, 3},  // top-down rows
    };
    for (auto c : cases) {
        std::vector<uint8_t> b = patched(c.at, c.value);
        EXPECT_EQ(load_bmp_from_memory(b.data(), b.size(), img), c.result) << c.at << " " << c.value;
        EXPECT_EQ(img.pixels.size(), static_cast<size_t>(img.w) * image_rows_held(img));
    }
    // A huge picture claimed by a small file holding no whole row: nothing is held.
    std::vector<uint8_t> big = patched(18, 60000);
    big[22] = 0x60;
    big[23] = 0xEA;  // 60000 x 60000
    Image fresh;
    EXPECT_EQ(load_bmp_from_memory(big.data(), big.size(), fresh), 3);
    EXPECT_EQ(fresh.pixels.capacity(), 0u);
    // Every cut of a good file is refused or loads, never reads past the end.
    for (size_t n = 0; n < good.size(); ++n) {
        std::vector<uint8_t> cut(good.begin(), good.begin() + n);
        EXPECT_EQ(load_bmp_from_memory(cut.data(), cut.size(), img), 3) << n;
    }
}

TEST(Bmp, LoadToPageIsOpaqueAndCutToTheScreen) {
    headless_reset();
    const std::string dir = headless_enter_temp_folder("bmp-page");
    // Wider and taller than the screen; magenta must be copied like any colour.
    write_file("big.bmp", make_bmp24(700, 500, [](int x, int y) {
        return x == 0 && y == 0 ? KEY_COLOUR : static_cast<uint32_t>(y << 10 | x);
    }));
    line(0, 0, 639, 479, 0x777777, SHAPE_FILLED_BOX);
    EXPECT_EQ(load_bmp_to_page("big.bmp"), 0);
    const uint32_t* page = page_pixels(work_page());
    EXPECT_EQ(page[0], KEY_COLOUR);
    EXPECT_EQ(page[1], 1u);
    EXPECT_EQ(page[479 * SCREEN_W + 639], static_cast<uint32_t>(479 << 10 | 639));

    // A small picture covers only its own corner.
    write_file("small.bmp", make_bmp24(3, 2, [](int, int) { return 0x00AA00u; }));
    line(0, 0, 639, 479, 0x777777, SHAPE_FILLED_BOX);
    EXPECT_EQ(load_bmp_to_page("small.bmp"), 0);
    EXPECT_EQ(page[0], 0x00AA00u);
    EXPECT_EQ(page[1 * SCREEN_W + 2], 0x00AA00u);
    EXPECT_EQ(page[3], 0x777777u);
    EXPECT_EQ(page[2 * SCREEN_W], 0x777777u);

    // A file that ends early paints only the bottom rows it held.
    std::vector<uint8_t> cut = make_bmp24(4, 4, [](int, int) { return 0x0000CCu; });
    cut.resize(54 + 12 * 2 + 5);  // two whole rows and a piece
    write_file("cut.bmp", cut);
    line(0, 0, 639, 479, 0x777777, SHAPE_FILLED_BOX);
    EXPECT_EQ(load_bmp_to_page("cut.bmp"), 3);
    EXPECT_EQ(page[1 * SCREEN_W], 0x777777u);
    EXPECT_EQ(page[2 * SCREEN_W], 0x0000CCu);
    EXPECT_EQ(page[3 * SCREEN_W + 3], 0x0000CCu);
}
