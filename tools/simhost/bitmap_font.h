// A tiny built-in 5x7 font for frame pictures when no GDI font renders (a Wine
// without any font package).
#pragma once

#include <cstdint>

namespace simhost {

// Five columns, bit 0 the top row. Characters outside printable ASCII get a
// hollow box.
const uint8_t* Glyph5x7(char c);

}  // namespace simhost
