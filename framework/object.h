#pragma once
// The root of the class tree: a virtual destructor and the class name, derived from the C++ type.
#include <functional>
#include <string>

namespace lumivane {

class TObject {
 public:
  TObject() = default;
  TObject(const TObject&) = delete;
  TObject& operator=(const TObject&) = delete;
  virtual ~TObject() = default;

  // The class name without namespace ("TBitmap").
  std::string ClassName() const;
};

// An event that carries only its sender.
using TNotifyEvent = std::function<void(TObject* Sender)>;

// Fires an event only when it is assigned.
template <typename Event, typename... Args>
void Fire(const Event& event, Args&&... args) {
  if (event) event(std::forward<Args>(args)...);
}

}  // namespace lumivane
