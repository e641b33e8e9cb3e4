#include "picture/file_formats_list.h"

#include <algorithm>

#include "framework/sys_utils.h"
#include "picture/bitmap.h"
#include "picture/icon.h"
#include "picture/metafile.h"
#include "picture/png_image.h"

namespace lumivane {

void TFileFormatsList::AddFormat(const std::string& Extension, const std::string& Description,
                                 const TGraphicClass* GraphicClass, int DescriptionResId) {
  auto entry = std::make_unique<TFileFormat>();
  entry->GraphicClass = GraphicClass;
  entry->Extension = LowerCase(Extension);
  entry->Description = Description;
  entry->DescriptionResId = DescriptionResId;
  entries_.push_back(std::move(entry));
}

const TGraphicClass* TFileFormatsList::FindByExtension(const std::string& Ext) const {
  const std::string ext = LowerCase(Ext);
  for (auto it = entries_.rbegin(); it != entries_.rend(); ++it)
    if ((*it)->Extension == ext) return (*it)->GraphicClass;
  return nullptr;
}

const TGraphicClass* TFileFormatsList::FindByClassName(const std::string& Name) const {
  for (auto it = entries_.rbegin(); it != entries_.rend(); ++it)
    if ((*it)->GraphicClass->Name() == Name) return (*it)->GraphicClass;
  return nullptr;
}

void TFileFormatsList::RemoveClass(const TGraphicClass* GraphicClass) {
  std::erase_if(entries_, [GraphicClass](const std::unique_ptr<TFileFormat>& entry) {
    return entry->GraphicClass->InheritsFrom(GraphicClass);
  });
}

TFileFormatsList& FileFormatRegistry() {
  // Built on first use (not by a static initialiser), so nothing depends on link order.
  static TFileFormatsList* registry = [] {
    auto* list = new TFileFormatsList();
    list->AddFormat("wmf", "Metafiles", GraphicClassOf<TMetafile>(), 0);
    list->AddFormat("emf", "Enhanced Metafiles", GraphicClassOf<TMetafile>(), 0);
    list->AddFormat("ico", "Icons", GraphicClassOf<TIcon>(), 0);
    list->AddFormat("bmp", "Bitmaps", GraphicClassOf<TBitmap>(), 0);
    list->AddFormat("png", "Portable Network Graphics", GraphicClassOf<TPNGImage>(), 0);
    return list;
  }();
  return *registry;
}

}  // namespace lumivane
