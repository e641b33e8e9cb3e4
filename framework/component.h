#pragma once
// Components: objects with an owner that destroys them, a name, and destruction notices.
#include <string>
#include <vector>

#include "framework/persistent.h"

namespace lumivane {

enum class TOperation { opInsert, opRemove };

class TComponent : public TPersistent {
 public:
  explicit TComponent(TComponent* AOwner);
  ~TComponent() override;

  TComponent* Owner() const { return owner_; }
  const std::string& Name() const { return name_; }
  void SetName(const std::string& name) { name_ = name; }

  int ComponentCount() const { return static_cast<int>(components_.size()); }
  TComponent* Components(int index) const { return components_.at(index); }

  // Asks to be told (through Notification with opRemove) when Other is destroyed; the request
  // is mutual, so Other is told when this component goes first.
  void FreeNotification(TComponent* Other);
  void RemoveFreeNotification(TComponent* Other);

  // True while the destructor runs (set before any notice goes out).
  bool Destroying() const { return destroying_; }
  // Form loading state; never set in this program, kept for the rules that test it.
  bool Loading() const { return loading_; }

 protected:
  // Told about components inserted into or removed from this one's ownership, and about the
  // destruction of components it asked to be notified of.
  virtual void Notification(TComponent* AComponent, TOperation Operation);

  // Starts destruction early: marks the component and sends its removal notices. Derived
  // destructors that need the notices sent while they are still whole call this first.
  void BeginDestruction();

 private:
  void InsertComponent(TComponent* child);
  void RemoveComponent(TComponent* child);

  TComponent* owner_ = nullptr;
  std::string name_;
  std::vector<TComponent*> components_;
  std::vector<TComponent*> free_notifies_;
  bool destroying_ = false;
  bool notices_sent_ = false;
  bool loading_ = false;
};

}  // namespace lumivane
