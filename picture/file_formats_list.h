#pragma once
// The file-format registry: which graphic class reads which file extension.
#include <memory>
#include <string>
#include <vector>

#include "picture/graphic_class.h"

namespace lumivane {

struct TFileFormat {
  const TGraphicClass* GraphicClass = nullptr;
  std::string Extension;    // lower case, without the dot
  std::string Description;  // text for open/save dialog filters
  int DescriptionResId = 0;
};

class TFileFormatsList {
 public:
  TFileFormatsList() = default;

  // Appends an entry; the extension is stored lower-cased.
  void AddFormat(const std::string& Extension, const std::string& Description,
                 const TGraphicClass* GraphicClass, int DescriptionResId);
  // The class of the last entry whose extension equals Ext (lower-cased); null when none.
  const TGraphicClass* FindByExtension(const std::string& Ext) const;
  // The class of the last entry whose class name equals Name exactly; null when none.
  const TGraphicClass* FindByClassName(const std::string& Name) const;
  // Removes every entry whose class is GraphicClass or derives from it.
  void RemoveClass(const TGraphicClass* GraphicClass);

  int Count() const { return static_cast<int>(entries_.size()); }
  const TFileFormat& Items(int Index) const { return *entries_.at(Index); }

 private:
  std::vector<std::unique_ptr<TFileFormat>> entries_;
};

// The process's registry, created on first use with the built-in entries "wmf", "emf" (TMetafile),
// "ico" (TIcon) and "bmp" (TBitmap), in this order.
TFileFormatsList& FileFormatRegistry();

}  // namespace lumivane
