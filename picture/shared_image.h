#pragma once
// Reference-counted image data shared between graphics: copying a graphic shares its data, and a
// graphic about to change shared data first makes a private copy.
#include <atomic>

#include "framework/object.h"

namespace lumivane {

class TSharedImage : public TObject {
 public:
  // Adds one reference.
  void AddReference() { ref_count_.fetch_add(1, std::memory_order_relaxed); }
  // Drops one reference; the object deletes itself when none is left.
  void DropReference() {
    if (ref_count_.fetch_sub(1, std::memory_order_acq_rel) == 1) delete this;
  }
  int RefCount() const { return ref_count_.load(std::memory_order_acquire); }

 protected:
  TSharedImage() = default;
  ~TSharedImage() override = default;

 private:
  std::atomic<int> ref_count_{0};
};

}  // namespace lumivane
