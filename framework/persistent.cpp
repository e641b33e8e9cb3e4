#include "framework/persistent.h"

#include "framework/exception.h"
#include "framework/sys_utils.h"

namespace lumivane {

void TPersistent::AssignFrom(TPersistent* Source) {
  if (Source != nullptr) {
    Source->AssignInto(this);
    return;
  }
  throw EConvertError(Format(SAssignError, "nil", ClassName().c_str()));
}

void TPersistent::AssignInto(TPersistent* Target) {
  const std::string source = ClassName();
  throw EConvertError(Format(SAssignError, source.c_str(), Target->ClassName().c_str()));
}

}  // namespace lumivane
