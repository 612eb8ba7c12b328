// A minimal PNG encoder for frame pictures: 8-bit RGB, no filtering, the image
// data in stored (uncompressed) deflate blocks. Pictures are small and read by
// people, so size does not matter and no compression library is needed.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

namespace simhost {

uint32_t Crc32(const uint8_t* data, size_t length, uint32_t crc = 0);
uint32_t Adler32(const uint8_t* data, size_t length);

// rgb holds width * height * 3 bytes, rows top to bottom. Returns the whole
// file, or an empty vector when the sizes do not agree.
std::vector<uint8_t> EncodePng(uint32_t width, uint32_t height, const std::vector<uint8_t>& rgb);

}  // namespace simhost
