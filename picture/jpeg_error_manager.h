#pragma once
// The program's libjpeg error manager: a failure raises EJPEG ("JPEG error #%d" with libjpeg's own
// message code); warnings and trace messages are dropped.
//
// The error exit throws a C++ exception straight through libjpeg's C frames. That is sound on this
// platform: the library is built with unwind tables, its frames hold nothing to clean up, and the
// decompression record stays valid for jpeg_destroy afterwards (the same state a longjmp leaves).
#include <cstddef>
#include <cstdio>

#include <jpeglib.h>

namespace lumivane {

// Message text of the exception the error exit raises.
inline constexpr const char* SJPEGError = "JPEG error #%d";

// The template every decoder copies: error exit raising EJPEG, silent message operations, and a
// reset that clears the message code.
const jpeg_error_mgr& JpegErrorManagerTemplate();

// Copies the template into `manager` and returns it, ready for `cinfo.err`.
jpeg_error_mgr* SetUpJpegErrorManager(jpeg_error_mgr& manager);

}  // namespace lumivane
