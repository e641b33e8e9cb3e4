#pragma once
// Class references for graphic classes: a name, a way to create an empty instance (the "virtual
// constructor") and the parent class, so that "is this class or one derived from it" can be
// asked of classes without instances (the format registry needs this).
#include <memory>
#include <string>
#include <type_traits>

namespace lumivane {

class TGraphic;

class TGraphicClass {
 public:
  using Creator = std::unique_ptr<TGraphic> (*)();

  TGraphicClass(std::string name, Creator creator, const TGraphicClass* parent)
      : name_(std::move(name)), creator_(creator), parent_(parent) {}
  TGraphicClass(const TGraphicClass&) = delete;
  TGraphicClass& operator=(const TGraphicClass&) = delete;

  // The class name, as the streamed picture data stores it ("TBitmap").
  const std::string& Name() const { return name_; }
  // The class this one derives from; null for TGraphic itself.
  const TGraphicClass* Parent() const { return parent_; }
  // True when this class is Other or derives from it.
  bool InheritsFrom(const TGraphicClass* Other) const {
    for (const TGraphicClass* c = this; c != nullptr; c = c->parent_)
      if (c == Other) return true;
    return false;
  }
  // The virtual constructor: a new empty graphic of this class. Raises EAbstractError for an
  // abstract class.
  std::unique_ptr<TGraphic> Create() const { return creator_(); }

 private:
  std::string name_;
  Creator creator_;
  const TGraphicClass* parent_;
};

// Raises EAbstractError "Abstract Error" (used as the creator of abstract classes).
[[noreturn]] void RaiseAbstractGraphicClass();

template <class T>
const TGraphicClass* GraphicClassOf();

namespace detail {
template <class T>
std::unique_ptr<TGraphic> CreateGraphic() {
  if constexpr (std::is_abstract_v<T>) {
    RaiseAbstractGraphicClass();
  } else {
    return std::unique_ptr<TGraphic>(new T());
  }
}
template <class T>
const TGraphicClass* ParentGraphicClass() {
  if constexpr (std::is_void_v<typename T::GraphicBase>) {
    return nullptr;
  } else {
    static_assert(std::is_base_of_v<typename T::GraphicBase, T>);
    return GraphicClassOf<typename T::GraphicBase>();
  }
}
}  // namespace detail

// The one class reference of graphic class T. T must declare itself with LUMIVANE_GRAPHIC_CLASS.
template <class T>
const TGraphicClass* GraphicClassOf() {
  static_assert(std::is_same_v<typename T::GraphicSelf, T>,
                "the class must declare itself with LUMIVANE_GRAPHIC_CLASS(Self, Parent)");
  static const TGraphicClass cls(T::GraphicClassName, &detail::CreateGraphic<T>,
                                 detail::ParentGraphicClass<T>());
  return &cls;
}

// Put at the top of every graphic class body: names the class and its direct parent and gives it
// its class reference. Leaves the access at public.
#define LUMIVANE_GRAPHIC_CLASS(Self, Parent)                       \
 public:                                                           \
  using GraphicSelf = Self;                                        \
  using GraphicBase = Parent;                                      \
  static constexpr const char* GraphicClassName = #Self;           \
  const ::lumivane::TGraphicClass* GraphicClass() const override { \
    return ::lumivane::GraphicClassOf<Self>();                     \
  }

}  // namespace lumivane
