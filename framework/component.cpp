#include "framework/component.h"

#include <algorithm>

namespace lumivane {

namespace {
void Erase(std::vector<TComponent*>& list, TComponent* item) {
  list.erase(std::remove(list.begin(), list.end(), item), list.end());
}
}  // namespace

TComponent::TComponent(TComponent* AOwner) {
  if (AOwner != nullptr) AOwner->InsertComponent(this);
}

void TComponent::BeginDestruction() {
  if (notices_sent_) return;
  destroying_ = true;
  notices_sent_ = true;
  // Everyone who asked to hear of this component's end is told, so back-links get cleared.
  while (!free_notifies_.empty()) {
    TComponent* other = free_notifies_.back();
    free_notifies_.pop_back();
    Erase(other->free_notifies_, this);
    other->Notification(this, TOperation::opRemove);
  }
}

TComponent::~TComponent() {
  BeginDestruction();
  // Owned components go first, last created first.
  while (!components_.empty()) {
    TComponent* child = components_.back();
    delete child;  // the child's destructor removes it from this list
  }
  if (owner_ != nullptr) owner_->RemoveComponent(this);
}

void TComponent::InsertComponent(TComponent* child) {
  components_.push_back(child);
  child->owner_ = this;
  Notification(child, TOperation::opInsert);
}

void TComponent::RemoveComponent(TComponent* child) {
  Erase(components_, child);
  child->owner_ = nullptr;
  // Owners are told of every owned component that goes.
  if (!destroying_) Notification(child, TOperation::opRemove);
}

void TComponent::FreeNotification(TComponent* Other) {
  if (Other == nullptr || Other == this) return;
  if (std::find(free_notifies_.begin(), free_notifies_.end(), Other) == free_notifies_.end())
    free_notifies_.push_back(Other);
  if (std::find(Other->free_notifies_.begin(), Other->free_notifies_.end(), this) ==
      Other->free_notifies_.end())
    Other->free_notifies_.push_back(this);
}

void TComponent::RemoveFreeNotification(TComponent* Other) {
  if (Other == nullptr) return;
  Erase(free_notifies_, Other);
  Erase(Other->free_notifies_, this);
}

void TComponent::Notification(TComponent*, TOperation) {}

}  // namespace lumivane
