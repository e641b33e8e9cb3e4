#pragma once
// The interface a picture's owner (the still-image control) registers to hear about changes.
namespace lumivane {

class IChangeNotifier {
 public:
  virtual void Changed() = 0;

 protected:
  ~IChangeNotifier() = default;
};

}  // namespace lumivane
