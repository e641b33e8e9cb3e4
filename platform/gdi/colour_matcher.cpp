#include "platform/gdi/colour_matcher.h"

namespace lumivane {

namespace {
constexpr std::uint32_t kEmptyKey = 0xFFFFFFFFu;  // never a pixel: pixels have a zero top byte
}

ColourMatcher::ColourMatcher(std::vector<std::uint32_t> table)
    : table_(std::move(table)),
      cacheKeys_(std::size_t{1} << kCacheBits, kEmptyKey),
      cacheValues_(std::size_t{1} << kCacheBits, 0) {}

int ColourMatcher::Nearest(std::uint32_t pixel) {
  if (table_.empty()) return 0;
  pixel &= 0xFFFFFF;
  const std::uint32_t slot = (pixel * 2654435761u) >> (32 - kCacheBits);
  if (cacheKeys_[slot] == pixel) return cacheValues_[slot];
  const int index = Search(pixel);
  cacheKeys_[slot] = pixel;
  cacheValues_[slot] = static_cast<std::uint16_t>(index);
  return index;
}

int ColourMatcher::Search(std::uint32_t pixel) const {
  const int r = (pixel >> 16) & 0xFF, g = (pixel >> 8) & 0xFF, b = pixel & 0xFF;
  int best = 0;
  int bestDistance = 1 << 30;
  for (int i = 0; i < Size(); ++i) {
    const std::uint32_t c = table_[i];
    const int dr = r - static_cast<int>((c >> 16) & 0xFF);
    const int dg = g - static_cast<int>((c >> 8) & 0xFF);
    const int db = b - static_cast<int>(c & 0xFF);
    const int distance = dr * dr + dg * dg + db * db;
    if (distance < bestDistance) {
      bestDistance = distance;
      best = i;
      if (distance == 0) break;
    }
  }
  return best;
}

}  // namespace lumivane
