#pragma once
// Unicode case mapping and the user's collation for names: lower- and upper-casing that reach
// beyond ASCII, and comparison in the user's locale order, with or without regard to case. The
// collators are made once per process; sort keys let a sort collate each name only once.

#include <QtCore/QCollatorSortKey>

#include <string>

namespace lumivane {

class TTextCollation {
 public:
  // Unicode lower and upper case of UTF-8 text (ASCII text takes a fast path).
  static std::string Lower(const std::string& text);
  static std::string Upper(const std::string& text);

  // Both texts lower-cased, then compared in the user's locale order. Negative, zero or positive.
  static int CompareIgnoringCase(const std::string& a, const std::string& b);
  // Compared in the user's locale order with regard to case; texts that the collation calls equal
  // but that differ in their bytes are ordered by their bytes, so only identical texts are equal.
  static int CompareWithCase(const std::string& a, const std::string& b);

  // Keys whose comparison gives the order of the functions above, computed once per text.
  static QCollatorSortKey KeyIgnoringCase(const std::string& text);
  static QCollatorSortKey KeyWithCase(const std::string& text);
};

}  // namespace lumivane
