#include "framework/text_collation.h"

#include <QtCore/QCollator>
#include <QtCore/QLocale>
#include <QtCore/QString>

#include <algorithm>

namespace lumivane {

namespace {

QString ToQString(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

bool IsAscii(const std::string& text) {
  return std::all_of(text.begin(), text.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

// The user's locale collation with regard to case, made once; case-blind comparisons lower-case
// their texts first. The first comparison happens here, so the collator is fully set up before
// any caller can share it.
const QCollator& UserCollator() {
  static const QCollator collator = [] {
    QCollator made{QLocale::system()};
    made.setCaseSensitivity(Qt::CaseSensitive);
    made.compare(QStringLiteral("a"), QStringLiteral("b"));
    return made;
  }();
  return collator;
}

}  // namespace

std::string TTextCollation::Lower(const std::string& text) {
  if (IsAscii(text)) {
    std::string lower = text;
    for (char& c : lower) {
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
    }
    return lower;
  }
  return ToQString(text).toLower().toStdString();
}

std::string TTextCollation::Upper(const std::string& text) {
  if (IsAscii(text)) {
    std::string upper = text;
    for (char& c : upper) {
      if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 32);
    }
    return upper;
  }
  return ToQString(text).toUpper().toStdString();
}

int TTextCollation::CompareIgnoringCase(const std::string& a, const std::string& b) {
  // Lower-casing first keeps the order case-blind even where the collator compares raw code
  // points (the C locale).
  return UserCollator().compare(ToQString(Lower(a)), ToQString(Lower(b)));
}

int TTextCollation::CompareWithCase(const std::string& a, const std::string& b) {
  const int result = UserCollator().compare(ToQString(a), ToQString(b));
  if (result == 0 && a != b) return a < b ? -1 : 1;
  return result;
}

QCollatorSortKey TTextCollation::KeyIgnoringCase(const std::string& text) {
  return UserCollator().sortKey(ToQString(Lower(text)));
}

QCollatorSortKey TTextCollation::KeyWithCase(const std::string& text) {
  return UserCollator().sortKey(ToQString(text));
}

}  // namespace lumivane
