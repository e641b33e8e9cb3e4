#pragma once
// The clipboard-format registry (graphic class and clipboard format id in parallel lists) and the
// allocator of named clipboard format ids.
#include <cstdint>
#include <string>
#include <vector>

#include "picture/graphic_class.h"

namespace lumivane {

inline constexpr uint16_t CF_BITMAP = 2;
inline constexpr uint16_t CF_METAFILEPICT = 3;
inline constexpr uint16_t CF_ENHMETAFILE = 14;

class TClipboardFormats {
 public:
  void Add(uint16_t FormatId, const TGraphicClass* GraphicClass);
  // The class registered for FormatId (the last one); null when none.
  const TGraphicClass* FindFormat(uint16_t FormatId) const;
  // Removes every entry whose class is GraphicClass or derives from it.
  void RemoveClass(const TGraphicClass* GraphicClass);

  int Count() const { return static_cast<int>(formats_.size()); }
  uint16_t Formats(int Index) const { return formats_.at(Index); }
  const TGraphicClass* Classes(int Index) const { return classes_.at(Index); }

 private:
  std::vector<const TGraphicClass*> classes_;
  std::vector<uint16_t> formats_;
};

// The process's clipboard registry, created on first use with CF_METAFILEPICT and CF_ENHMETAFILE
// (TMetafile) and CF_BITMAP (TBitmap).
TClipboardFormats& ClipboardFormatRegistry();

// The id of a named clipboard format: the same name (compared without regard to ASCII case)
// always gives the same id; ids start at 0xC000. An empty name gives 0.
uint16_t RegisterClipboardFormatA(const std::string& Name);

}  // namespace lumivane
