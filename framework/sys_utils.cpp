#include "framework/sys_utils.h"

#include <QLocale>
#include <cctype>
#include <cstdarg>
#include <cstdio>
#include <vector>

#include "framework/exception.h"

namespace lumivane {

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  va_list copy;
  va_copy(copy, args);
  const int length = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  std::string result;
  if (length > 0) {
    std::vector<char> buffer(static_cast<size_t>(length) + 1);
    std::vsnprintf(buffer.data(), buffer.size(), format, args);
    result.assign(buffer.data(), static_cast<size_t>(length));
  }
  va_end(args);
  return result;
}

std::string IntToStr(int64_t value) { return std::to_string(value); }

bool TryStrToInt(const std::string& text, int32_t& value) {
  // Leading blanks are skipped; anything after the number makes the text invalid.
  size_t start = 0;
  while (start < text.size() && static_cast<unsigned char>(text[start]) <= ' ') ++start;
  const std::string s = text.substr(start);
  size_t i = 0;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  int base = 10;
  if (i < s.size() && s[i] == '$') {
    base = 16;
    ++i;
  } else if (i + 1 < s.size() && s[i] == '0' && (s[i + 1] == 'x' || s[i + 1] == 'X')) {
    base = 16;
    i += 2;
  }
  if (i >= s.size()) return false;
  int64_t magnitude = 0;
  for (; i < s.size(); ++i) {
    const int c = static_cast<unsigned char>(s[i]);
    int digit;
    if (std::isdigit(c))
      digit = c - '0';
    else if (base == 16 && std::isxdigit(c))
      digit = std::tolower(c) - 'a' + 10;
    else
      return false;
    magnitude = magnitude * base + digit;
    if (magnitude > (base == 16 ? 0xFFFFFFFFLL : 0x80000000LL)) return false;
  }
  if (base == 16) {
    value = static_cast<int32_t>(static_cast<uint32_t>(magnitude));
    if (negative) value = -value;
    return true;
  }
  if (!negative && magnitude > 0x7FFFFFFFLL) return false;
  value = static_cast<int32_t>(negative ? -magnitude : magnitude);
  return true;
}

int32_t StrToInt(const std::string& text) {
  int32_t value = 0;
  if (!TryStrToInt(text, value)) throw EConvertError(Format(SInvalidInteger, text.c_str()));
  return value;
}

std::string ThousandSeparator() {
  const QString separator = QLocale::system().groupSeparator();
  return separator.isEmpty() ? std::string(",") : separator.toStdString();
}

std::string FormatThousands(int64_t value) {
  const std::string digits = std::to_string(value < 0 ? -value : value);
  const std::string separator = ThousandSeparator();
  std::string result;
  for (size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) result += separator;
    result += digits[i];
  }
  return value < 0 ? "-" + result : result;
}

std::string Trim(const std::string& s) {
  size_t first = 0;
  size_t last = s.size();
  while (first < last && static_cast<unsigned char>(s[first]) <= ' ') ++first;
  while (last > first && static_cast<unsigned char>(s[last - 1]) <= ' ') --last;
  return s.substr(first, last - first);
}

std::string UpperCase(const std::string& s) {
  std::string r = s;
  for (char& c : r)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
  return r;
}

std::string LowerCase(const std::string& s) {
  std::string r = s;
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
  return r;
}

namespace {
bool IsPathDelimiter(char c) { return c == '\\' || c == '/' || c == ':'; }

// Index just past the last separator (0 when there is none).
size_t NameStart(const std::string& path) {
  for (size_t i = path.size(); i > 0; --i)
    if (IsPathDelimiter(path[i - 1])) return i;
  return 0;
}
}  // namespace

std::string ExtractFileExt(const std::string& path) {
  const size_t start = NameStart(path);
  const size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < start) return "";
  return path.substr(dot);
}

std::string ExtractFileName(const std::string& path) { return path.substr(NameStart(path)); }

std::string ExtractFilePath(const std::string& path) { return path.substr(0, NameStart(path)); }

std::string ExtractFileDir(const std::string& path) {
  std::string dir = ExtractFilePath(path);
  const bool root = dir.size() == 3 && dir[1] == ':';
  if (!dir.empty() && (dir.back() == '\\' || dir.back() == '/') && !root && dir.size() > 1) dir.pop_back();
  return dir;
}

std::string ExtractFileDrive(const std::string& path) {
  if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2);
  if (path.size() >= 2 && (path[0] == '\\' || path[0] == '/') && (path[1] == '\\' || path[1] == '/')) {
    // \\server\share: up to the separator after the share name.
    int separators = 0;
    size_t i = 2;
    for (; i < path.size(); ++i) {
      if (path[i] == '\\' || path[i] == '/') {
        if (++separators == 2) break;
      }
    }
    return path.substr(0, i);
  }
  return "";
}

}  // namespace lumivane
