#include "gif/extension.h"

#include <cstring>

namespace lumivane {

void TExtension::AssignFrom(TPersistent* Source) {
  auto* other = dynamic_cast<TExtension*>(Source);
  if (other == nullptr) {
    TPersistent::AssignFrom(Source);
    return;
  }
  if (other == this) return;
  BlockKind = other->BlockKind;
  std::memcpy(Header, other->Header, sizeof(Header));
  if (other->Lines) LinesNeeded().Assign(*other->Lines);
}

TStringList& TExtension::LinesNeeded() {
  if (!Lines) Lines = std::make_unique<TStringList>();
  return *Lines;
}

}  // namespace lumivane
