#pragma once
// Objects that can copy themselves from and into other objects.
#include "framework/object.h"

namespace lumivane {

class TPersistent : public TObject {
 public:
  // Copies Source into this object. The base asks the source to copy itself into this object
  // (AssignInto); a null source raises "Cannot assign a nil to a <class>".
  virtual void AssignFrom(TPersistent* Source);

 protected:
  // Copies this object into Target. The base raises EConvertError
  // "Cannot assign a <source class> to a <target class>".
  virtual void AssignInto(TPersistent* Target);

  friend class TPersistentAccess;
};

// Lets one persistent class call another's protected AssignInto, as the base AssignFrom does.
class TPersistentAccess {
 public:
  static void AssignInto(TPersistent* source, TPersistent* target) { source->AssignInto(target); }
};

}  // namespace lumivane
