#include "picture/icon_file.h"

#include <climits>
#include <cstdlib>

#include "framework/exception.h"

namespace lumivane {

namespace {

constexpr const char* SInvalidIcon = "Icon image is not valid";
constexpr int64_t kHeaderSize = 6;
constexpr int64_t kEntrySize = 16;

[[noreturn]] void InvalidIcon() { throw EInvalidGraphic(SInvalidIcon); }

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) |
         (static_cast<uint32_t>(p[2]) << 16) | (static_cast<uint32_t>(p[3]) << 24);
}

// Whether a candidate's size is at least as good as the chosen one's for the target.
bool SizeAtLeastAsGood(const TIconDirEntry& candidate, const TIconDirEntry& chosen, int width, int height) {
  const int dx_new = candidate.Width - width;
  const int dx_old = chosen.Width - width;
  const int dy_new = candidate.Height - height;
  const int dy_old = chosen.Height - height;
  return std::abs(dx_new) <= std::abs(dx_old) && (dx_new <= 0 || dx_new <= dx_old) &&
         std::abs(dy_new) <= std::abs(dy_old) && (dy_new <= 0 || dy_new <= dy_old);
}

}  // namespace

TIconFile::TIconFile(const uint8_t* Bytes, int64_t Size) {
  if (Size < kHeaderSize) InvalidIcon();
  type_ = U16(Bytes + 2);
  if (type_ >= 2) InvalidIcon();
  if (type_ == 0) return;  // shown as the system's application icon
  const int count = U16(Bytes + 4);
  if (count == 0) InvalidIcon();
  if (kHeaderSize + count * kEntrySize > Size) InvalidIcon();
  entries_.reserve(static_cast<size_t>(count));
  for (int i = 0; i < count; ++i) {
    const uint8_t* p = Bytes + kHeaderSize + i * kEntrySize;
    TIconDirEntry entry;
    entry.Width = p[0] == 0 ? 256 : p[0];  // a size byte of 0 stands for 256
    entry.Height = p[1] == 0 ? 256 : p[1];
    entry.Colors = U16(p + 2);
    if (entry.Colors == 0) entry.Colors = INT_MAX;
    entry.BytesInRes = U32(p + 8);
    entry.ImageOffset = U32(p + 12);
    if (static_cast<int64_t>(entry.ImageOffset) + entry.BytesInRes > Size) InvalidIcon();
    entries_.push_back(entry);
  }
}

int TIconFile::ChooseEntry(int TargetWidth, int TargetHeight, int64_t DisplayColors) const {
  if (entries_.empty()) return -1;
  int chosen = 0;
  int64_t chosen_colors = entries_[0].Colors;
  for (size_t i = 1; i < entries_.size(); ++i) {
    const TIconDirEntry& entry = entries_[i];
    if (entry.Colors <= DisplayColors && entry.Colors >= chosen_colors &&
        SizeAtLeastAsGood(entry, entries_[static_cast<size_t>(chosen)], TargetWidth, TargetHeight)) {
      chosen = static_cast<int>(i);
      chosen_colors = entry.Colors;
    }
  }
  return chosen;
}

}  // namespace lumivane
