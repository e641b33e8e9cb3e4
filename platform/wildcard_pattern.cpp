#include "platform/wildcard_pattern.h"

#include <QChar>

namespace lumivane {

namespace {

// Code points for bytes that do not form valid UTF-8 (a private range of lone surrogates).
constexpr char32_t InvalidByteBase = 0xDC00;

char32_t FoldCodePoint(char32_t c) {
  if (c < 0x80) return (c >= 'A' && c <= 'Z') ? c + 32 : c;
  if (c >= 0xD800 && c <= 0xDFFF) return c;
  return QChar::toCaseFolded(c);
}

// Decodes one UTF-8 sequence at `i`; returns its length, or 0 when it is not valid.
size_t DecodeUtf8(const std::string& s, size_t i, char32_t& out) {
  const auto byte = [&](size_t k) { return static_cast<unsigned char>(s[k]); };
  const unsigned char lead = byte(i);
  size_t length = 0;
  char32_t value = 0;
  if (lead < 0x80) {
    out = lead;
    return 1;
  } else if ((lead & 0xE0) == 0xC0) {
    length = 2;
    value = lead & 0x1F;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3;
    value = lead & 0x0F;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4;
    value = lead & 0x07;
  } else {
    return 0;
  }
  if (i + length > s.size()) return 0;
  for (size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    value = (value << 6) | (byte(i + k) & 0x3F);
  }
  static constexpr char32_t smallest[] = {0, 0, 0x80, 0x800, 0x10000};
  if (value < smallest[length] || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  out = value;
  return length;
}

}  // namespace

std::u32string TWildcardPattern::Fold(const std::string& text) {
  std::u32string folded;
  folded.reserve(text.size());
  for (size_t i = 0; i < text.size();) {
    char32_t c = 0;
    const size_t length = DecodeUtf8(text, i, c);
    if (length == 0) {
      folded += InvalidByteBase + static_cast<unsigned char>(text[i]);
      ++i;
    } else {
      folded += FoldCodePoint(c);
      i += length;
    }
  }
  return folded;
}

TWildcardPattern::TWildcardPattern(const std::string& pattern) : folded_(Fold(pattern)) {
  hasWildcards_ = folded_.find_first_of(U"*?") != std::u32string::npos;
  const bool allDots = folded_.find_first_not_of(U'.') == std::u32string::npos;
  if (folded_.size() >= 2 && folded_.ends_with(U".*"))
    withoutDotStar_ = folded_.substr(0, folded_.size() - 2);
  if (!allDots && folded_.back() == U'.') withoutDot_ = folded_.substr(0, folded_.size() - 1);
}

bool TWildcardPattern::Matches(const std::string& name) const {
  if (folded_.empty()) return false;
  return MatchesFolded(Fold(name));
}

bool TWildcardPattern::MatchesFolded(const std::u32string& foldedName) const {
  if (folded_.empty()) return false;
  if (Glob(folded_, foldedName)) return true;
  if (!withoutDotStar_.empty() && Glob(withoutDotStar_, foldedName)) return true;
  return !withoutDot_.empty() && foldedName.find(U'.') == std::u32string::npos &&
         Glob(withoutDot_, foldedName);
}

bool TWildcardPattern::Glob(const std::u32string& pattern, const std::u32string& name) {
  size_t p = 0, n = 0;
  size_t starP = std::u32string::npos, starN = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == U'*') {
      starP = p++;
      starN = n;
    } else if (p < pattern.size() && (pattern[p] == U'?' || pattern[p] == name[n])) {
      ++p;
      ++n;
    } else if (starP != std::u32string::npos) {
      p = starP + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == U'*') ++p;
  return p == pattern.size();
}

}  // namespace lumivane
