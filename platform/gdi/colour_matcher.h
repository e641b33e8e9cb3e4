#pragma once
// Nearest-colour search in a colour table, with a small cache because blits ask for the same
// colours over and over.

#include <cstdint>
#include <vector>

namespace lumivane {

// Colours here are pixels: 0x00RRGGBB.
class ColourMatcher {
 public:
  ColourMatcher() = default;
  explicit ColourMatcher(std::vector<std::uint32_t> table);

  // Index of the table entry closest to `pixel` (squared distance in RGB; the first of equals).
  // 0 for an empty table.
  int Nearest(std::uint32_t pixel);
  std::uint32_t Colour(int index) const { return table_.empty() ? 0 : table_[index]; }
  int Size() const { return static_cast<int>(table_.size()); }

 private:
  int Search(std::uint32_t pixel) const;

  static constexpr int kCacheBits = 12;
  std::vector<std::uint32_t> table_;
  std::vector<std::uint32_t> cacheKeys_;
  std::vector<std::uint16_t> cacheValues_;
};

}  // namespace lumivane
