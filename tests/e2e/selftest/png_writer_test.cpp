// The frame pictures' PNG encoder, checked against zlib's own decoder.
#include "png_writer.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <string>

namespace simhost {
namespace {

uint32_t BigEndian(const std::vector<uint8_t>& data, size_t at) {
    return (uint32_t{data[at]} << 24) | (uint32_t{data[at + 1]} << 16) | (uint32_t{data[at + 2]} << 8) |
           data[at + 3];
}

struct Chunk {
    std::string type;
    std::vector<uint8_t> body;
};

// Walks the chunks, checking each CRC with zlib's crc32.
std::vector<Chunk> Chunks(const std::vector<uint8_t>& file) {
    std::vector<Chunk> chunks;
    size_t at = 8;
    while (at + 12 <= file.size()) {
        uint32_t length = BigEndian(file, at);
        Chunk chunk{std::string(file.begin() + at + 4, file.begin() + at + 8),
                    std::vector<uint8_t>(file.begin() + at + 8, file.begin() + at + 8 + length)};
        uLong crc = crc32(0, file.data() + at + 4, 4 + length);
        EXPECT_EQ(BigEndian(file, at + 8 + length), crc) << chunk.type;
        chunks.push_back(chunk);
        at += 12 + length;
    }
    EXPECT_EQ(at, file.size());
    return chunks;
}

std::vector<uint8_t> Inflate(const std::vector<uint8_t>& stream, size_t expected) {
    std::vector<uint8_t> out(expected + 16);
    uLongf length = out.size();
    EXPECT_EQ(uncompress(out.data(), &length, stream.data(), stream.size()), Z_OK);
    out.resize(length);
    return out;
}

std::vector<uint8_t> Gradient(uint32_t width, uint32_t height) {
    std::vector<uint8_t> rgb;
    for (uint32_t i = 0; i < width * height * 3; ++i) rgb.push_back(static_cast<uint8_t>(i * 7 + i / 251));
    return rgb;
}

TEST(PngWriter, ChecksumsMatchTheirKnownValues) {
    const std::string digits = "123456789";
    EXPECT_EQ(Crc32(reinterpret_cast<const uint8_t*>(digits.data()), digits.size()), 0xCBF43926u);
    const std::string word = "Wikipedia";
    EXPECT_EQ(Adler32(reinterpret_cast<const uint8_t*>(word.data()), word.size()), 0x11E60398u);
    EXPECT_EQ(Adler32(nullptr, 0), 1u);
}

TEST(PngWriter, SmallImageDecodesToItsPixels) {
    std::vector<uint8_t> rgb = Gradient(3, 2);
    std::vector<uint8_t> file = EncodePng(3, 2, rgb);
    ASSERT_GT(file.size(), 8u);
    EXPECT_EQ(std::vector<uint8_t>(file.begin(), file.begin() + 8),
              (std::vector<uint8_t>{0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'}));
    std::vector<Chunk> chunks = Chunks(file);
    ASSERT_EQ(chunks.size(), 3u);
    EXPECT_EQ(chunks[0].type, "IHDR");
    EXPECT_EQ(BigEndian(chunks[0].body, 0), 3u);
    EXPECT_EQ(BigEndian(chunks[0].body, 4), 2u);
    EXPECT_EQ(std::vector<uint8_t>(chunks[0].body.begin() + 8, chunks[0].body.end()),
              (std::vector<uint8_t>{8, 2, 0, 0, 0}));
    EXPECT_EQ(chunks[1].type, "IDAT");
    EXPECT_EQ(chunks[2].type, "IEND");
    std::vector<uint8_t> raw = Inflate(chunks[1].body, 2 * 10);
    std::vector<uint8_t> expected = {0};
    expected.insert(expected.end(), rgb.begin(), rgb.begin() + 9);
    expected.push_back(0);
    expected.insert(expected.end(), rgb.begin() + 9, rgb.end());
    EXPECT_EQ(raw, expected);
}

TEST(PngWriter, ImagesLargerThanOneStoredBlockDecode) {
    // 640 x 480 is the frame picture's size: 921,600 bytes, fifteen blocks.
    std::vector<uint8_t> rgb = Gradient(640, 480);
    std::vector<Chunk> chunks = Chunks(EncodePng(640, 480, rgb));
    ASSERT_EQ(chunks.size(), 3u);
    std::vector<uint8_t> raw = Inflate(chunks[1].body, 480 * (640 * 3 + 1));
    ASSERT_EQ(raw.size(), 480u * (640 * 3 + 1));
    for (uint32_t row = 0; row < 480; row += 97) {
        size_t at = row * (640 * 3 + 1);
        EXPECT_EQ(raw[at], 0);
        EXPECT_TRUE(
            std::equal(rgb.begin() + row * 640 * 3, rgb.begin() + (row + 1) * 640 * 3, raw.begin() + at + 1));
    }
}

TEST(PngWriter, SizesThatDisagreeGiveNoFile) {
    EXPECT_TRUE(EncodePng(2, 2, std::vector<uint8_t>(11)).empty());
    EXPECT_TRUE(EncodePng(0, 2, {}).empty());
}

}  // namespace
}  // namespace simhost
