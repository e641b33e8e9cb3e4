#include "picture/jpeg_error_manager.h"

#include <cstring>

#include "framework/exception.h"
#include "framework/sys_utils.h"

namespace lumivane {
namespace {

[[noreturn]] void RaiseJpegError(j_common_ptr cinfo) {
  throw EJPEG(Format(SJPEGError, cinfo->err->msg_code));
}

void DropMessage(j_common_ptr, int) {}
void DropOutput(j_common_ptr) {}
void DropFormatting(j_common_ptr, char* buffer) {
  if (buffer != nullptr) buffer[0] = '\0';
}

void ResetErrorManager(j_common_ptr cinfo) {
  cinfo->err->msg_code = 0;
  cinfo->err->num_warnings = 0;
}

jpeg_error_mgr MakeTemplate() {
  jpeg_error_mgr manager;
  std::memset(&manager, 0, sizeof manager);
  // The standard manager supplies the message tables; every operation is then replaced.
  jpeg_std_error(&manager);
  manager.error_exit = RaiseJpegError;
  manager.emit_message = DropMessage;
  manager.output_message = DropOutput;
  manager.format_message = DropFormatting;
  manager.reset_error_mgr = ResetErrorManager;
  return manager;
}

}  // namespace

const jpeg_error_mgr& JpegErrorManagerTemplate() {
  static const jpeg_error_mgr manager = MakeTemplate();
  return manager;
}

jpeg_error_mgr* SetUpJpegErrorManager(jpeg_error_mgr& manager) {
  manager = JpegErrorManagerTemplate();
  return &manager;
}

}  // namespace lumivane
