#pragma once
// One GIF extension block kept with a frame: its kind, its fixed first sub-block and its data
// sub-blocks.
#include <cstdint>
#include <memory>

#include "framework/persistent.h"
#include "framework/string_list.h"

namespace lumivane {

enum TExtensionKind : uint8_t {
  ExtGraphicControl = 0,
  ExtPlainText = 1,
  ExtApplication = 2,
  ExtComment = 3,
};

class TExtension : public TPersistent {
 public:
  TExtension() = default;
  explicit TExtension(TExtensionKind kind) : BlockKind(kind) {}

  // Copies the kind and header; the lines only when the source has some (creating the list).
  void AssignFrom(TPersistent* Source) override;

  // Creates Lines when missing and returns it.
  TStringList& LinesNeeded();

  uint8_t BlockKind = ExtGraphicControl;
  // One string per data sub-block, each exactly the sub-block's bytes; null when none were read.
  std::unique_ptr<TStringList> Lines;
  // The fixed first sub-block: byte 0 its size byte as read, then its bytes.
  uint8_t Header[13] = {};
};

}  // namespace lumivane
