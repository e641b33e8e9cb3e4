#include "picture/clipboard_formats.h"

#include <map>
#include <mutex>

#include "framework/sys_utils.h"
#include "picture/bitmap.h"
#include "picture/icon.h"
#include "picture/metafile.h"

namespace lumivane {

void TClipboardFormats::Add(uint16_t FormatId, const TGraphicClass* GraphicClass) {
  classes_.push_back(GraphicClass);
  formats_.push_back(FormatId);
}

const TGraphicClass* TClipboardFormats::FindFormat(uint16_t FormatId) const {
  for (size_t i = formats_.size(); i-- > 0;)
    if (formats_[i] == FormatId) return classes_[i];
  return nullptr;
}

void TClipboardFormats::RemoveClass(const TGraphicClass* GraphicClass) {
  for (size_t i = classes_.size(); i-- > 0;) {
    if (classes_[i]->InheritsFrom(GraphicClass)) {
      classes_.erase(classes_.begin() + static_cast<std::ptrdiff_t>(i));
      formats_.erase(formats_.begin() + static_cast<std::ptrdiff_t>(i));
    }
  }
}

TClipboardFormats& ClipboardFormatRegistry() {
  static TClipboardFormats* registry = [] {
    auto* list = new TClipboardFormats();
    list->Add(CF_METAFILEPICT, GraphicClassOf<TMetafile>());
    list->Add(CF_ENHMETAFILE, GraphicClassOf<TMetafile>());
    list->Add(CF_BITMAP, GraphicClassOf<TBitmap>());
    // Icons travel in a private format of their own.
    list->Add(RegisterClipboardFormatA("Icon Image"), GraphicClassOf<TIcon>());
    return list;
  }();
  return *registry;
}

uint16_t RegisterClipboardFormatA(const std::string& Name) {
  if (Name.empty()) return 0;
  static std::mutex lock;
  static std::map<std::string, uint16_t> ids;
  std::lock_guard<std::mutex> guard(lock);
  const std::string key = LowerCase(Name);
  auto found = ids.find(key);
  if (found != ids.end()) return found->second;
  if (ids.size() >= 0x4000) return 0;  // the named range 0xC000..0xFFFF is full
  const uint16_t id = static_cast<uint16_t>(0xC000 + ids.size());
  ids.emplace(key, id);
  return id;
}

}  // namespace lumivane
