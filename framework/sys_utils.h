#pragma once
// Small string helpers with the runtime's semantics: formatting, integer conversion, trimming,
// file-name parts of program paths (backslash or slash separated, drive letters).
#include <cstdint>
#include <string>

namespace lumivane {

// printf-style formatting into a std::string.
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

std::string IntToStr(int64_t value);
// Converts decimal text (leading blanks, optional sign, optional "$" or "0x" hex) to a
// signed 32-bit integer; raises EConvertError "'%s' is not a valid integer value" otherwise.
int32_t StrToInt(const std::string& text);
// Same conversion without raising: returns false when the text is not a whole number.
bool TryStrToInt(const std::string& text, int32_t& value);

// Digits grouped by threes with the locale's thousands separator, no decimals (the "###,###,##0"
// picture): 1234567 gives "1,234,567" with ',' as separator, 0 gives "0".
std::string FormatThousands(int64_t value);
// The thousands separator of the user's locale (',' when the locale has none).
std::string ThousandSeparator();

std::string Trim(const std::string& s);       // removes leading and trailing characters <= ' '
std::string UpperCase(const std::string& s);  // ASCII upper case
std::string LowerCase(const std::string& s);  // ASCII lower case

// The extension including its dot, from the last '.' after the last separator; empty when none.
std::string ExtractFileExt(const std::string& path);
// The name after the last '\', '/' or ':'.
std::string ExtractFileName(const std::string& path);
// Everything up to and including the last '\', '/' or ':'.
std::string ExtractFilePath(const std::string& path);
// ExtractFilePath without its trailing separator unless that leaves a root ("C:\").
std::string ExtractFileDir(const std::string& path);
// "C:" for "C:\x", "\\server\share" for a network path, else empty.
std::string ExtractFileDrive(const std::string& path);

}  // namespace lumivane
