#include "framework/exception.h"

#include "framework/sys_utils.h"
#include "platform/platform_error.h"

namespace lumivane {

EInOutError::EInOutError(int code) : Exception(InOutErrorMessage(code)), ErrorCode(code) {}

void RaiseLastOSError() {
  const uint32_t code = GetLastError();
  if (code == 0) throw EOSError(SUnkOSError, 0);
  throw EOSError(Format(SOSError, static_cast<int>(code), SysErrorMessage(code).c_str()), code);
}

}  // namespace lumivane
