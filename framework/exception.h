#pragma once
// The exception classes of the program. Every failure the program raises is one of these; the
// message text is what the default error report shows.
#include <cstdint>
#include <stdexcept>
#include <string>

namespace lumivane {

class Exception : public std::exception {
 public:
  explicit Exception(std::string message) : Message(std::move(message)) {}
  const char* what() const noexcept override { return Message.c_str(); }
  // The class name as the error report and tests see it ("EReadError", ...).
  virtual const char* ClassName() const { return "Exception"; }
  std::string Message;
};

#define LUMIVANE_EXCEPTION(Name, Base)                       \
  class Name : public Base {                                 \
   public:                                                   \
    using Base::Base;                                        \
    const char* ClassName() const override { return #Name; } \
  };

LUMIVANE_EXCEPTION(EAbort, Exception)             // the silent abort: never reported
LUMIVANE_EXCEPTION(EAbstractError, Exception)     // call of an operation a class does not override
LUMIVANE_EXCEPTION(EConvertError, Exception)      // text that is not a number, bad copy between objects
LUMIVANE_EXCEPTION(EListError, Exception)         // list index out of bounds
LUMIVANE_EXCEPTION(EInvalidOperation, Exception)  // "Invalid file name - %s"
LUMIVANE_EXCEPTION(EOutOfResources, Exception)    // "Out of system resources", "Not enough timers available"
LUMIVANE_EXCEPTION(EInvalidGraphic, Exception)    // bad picture data or unknown extension
LUMIVANE_EXCEPTION(EInvalidGraphicOperation, Exception)
LUMIVANE_EXCEPTION(EJPEG, EInvalidGraphic)  // "JPEG error #%d"
LUMIVANE_EXCEPTION(EStreamError, Exception)
LUMIVANE_EXCEPTION(EFilerError, EStreamError)
LUMIVANE_EXCEPTION(EReadError, EFilerError)      // "Stream read error"
LUMIVANE_EXCEPTION(EWriteError, EFilerError)     // "Stream write error"
LUMIVANE_EXCEPTION(EFCreateError, EStreamError)  // "Cannot create file %s"
LUMIVANE_EXCEPTION(EFOpenError, EStreamError)    // "Cannot open file %s"

#undef LUMIVANE_EXCEPTION

// A failure of the operating system, with its platform error code.
class EOSError : public Exception {
 public:
  EOSError(std::string message, uint32_t code) : Exception(std::move(message)), ErrorCode(code) {}
  const char* ClassName() const override { return "EOSError"; }
  uint32_t ErrorCode;
};

// The runtime's input/output error; its text is chosen by the platform error code.
class EInOutError : public Exception {
 public:
  explicit EInOutError(int code);
  const char* ClassName() const override { return "EInOutError"; }
  int ErrorCode;
};

// Message texts shared by several classes.
inline constexpr const char* SReadError = "Stream read error";
inline constexpr const char* SWriteError = "Stream write error";
inline constexpr const char* SFOpenError = "Cannot open file %s";
inline constexpr const char* SFCreateError = "Cannot create file %s";
inline constexpr const char* SInvalidInteger = "'%s' is not a valid integer value";
inline constexpr const char* SAssignError = "Cannot assign a %s to a %s";
inline constexpr const char* SListIndexError = "List index out of bounds (%d)";
inline constexpr const char* SOutOfResources = "Out of system resources";
inline constexpr const char* SAbstractError = "Abstract Error";
inline constexpr const char* SOSError = "System Error.  Code: %d.\n%s";
inline constexpr const char* SUnkOSError = "A call to an OS function failed";

// Raises EOSError for the calling thread's last platform error ("System Error.  Code: %d." and
// the platform's text), or the generic text when there is no code.
[[noreturn]] void RaiseLastOSError();

}  // namespace lumivane
