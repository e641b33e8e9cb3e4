#pragma once
// A GIF colour table: the number of valid entries and 256 red, green, blue triples in file order.
#include <cstdint>

#include "framework/types.h"

namespace lumivane {

struct ColorTable {
  int32_t Count = 0;  // 0 when the table is absent; at most 256
  uint8_t Entries[256][3] = {};

  // Entry Index as a colour value (red + green * 256 + blue * 65536).
  TColor ColorAt(int index) const {
    const uint8_t* e = Entries[index];
    return e[0] | (e[1] << 8) | (e[2] << 16);
  }
};
static_assert(sizeof(ColorTable) == 772, "a colour table is copied whole as 772 bytes");

}  // namespace lumivane
