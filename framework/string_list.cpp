#include "framework/string_list.h"

#include <QCollator>
#include <QString>
#include <algorithm>

#include "framework/exception.h"
#include "framework/sys_utils.h"

namespace lumivane {

namespace {
int CompareInsensitive(const std::string& a, const std::string& b) {
  static const QCollator collator = [] {
    QCollator c;
    c.setCaseSensitivity(Qt::CaseInsensitive);
    return c;
  }();
  return collator.compare(QString::fromStdString(a), QString::fromStdString(b));
}
}  // namespace

const std::string& TStringList::Strings(int index) const {
  if (index < 0 || index >= Count()) throw EListError(Format(SListIndexError, index));
  return items_[static_cast<size_t>(index)].text;
}

void TStringList::SetStrings(int index, const std::string& s) {
  Strings(index);
  items_[static_cast<size_t>(index)].text = s;
}

TObject* TStringList::Objects(int index) const {
  Strings(index);
  return items_[static_cast<size_t>(index)].object;
}

void TStringList::SetObjects(int index, TObject* object) {
  Strings(index);
  items_[static_cast<size_t>(index)].object = object;
}

int TStringList::Add(const std::string& s, TObject* object) {
  if (!sorted_) {
    items_.push_back({s, object});
    return Count() - 1;
  }
  auto it = std::lower_bound(items_.begin(), items_.end(), s, [](const Item& item, const std::string& key) {
    return CompareInsensitive(item.text, key) < 0;
  });
  const int index = static_cast<int>(it - items_.begin());
  if (it != items_.end() && CompareInsensitive(it->text, s) == 0) return index;  // duplicates ignored
  items_.insert(it, {s, object});
  return index;
}

void TStringList::Insert(int index, const std::string& s, TObject* object) {
  if (index < 0 || index > Count()) throw EListError(Format(SListIndexError, index));
  items_.insert(items_.begin() + index, {s, object});
}

void TStringList::Delete(int index) {
  Strings(index);
  items_.erase(items_.begin() + index);
}

void TStringList::Clear() { items_.clear(); }

int TStringList::IndexOf(const std::string& s) const {
  for (int i = 0; i < Count(); ++i)
    if (items_[static_cast<size_t>(i)].text == s) return i;
  return -1;
}

void TStringList::AddStrings(const TStringList& other) {
  for (const Item& item : other.items_) Add(item.text, item.object);
}

void TStringList::Assign(const TStringList& other) {
  items_ = other.items_;
  sorted_ = other.sorted_;
}

void TStringList::SetSorted(bool sorted) {
  if (sorted && !sorted_) {
    std::stable_sort(items_.begin(), items_.end(),
                     [](const Item& a, const Item& b) { return CompareInsensitive(a.text, b.text) < 0; });
  }
  sorted_ = sorted;
}

std::string TStringList::Text() const {
  std::string text;
  for (const Item& item : items_) text += item.text + "\r\n";
  return text;
}

bool TStringList::operator==(const TStringList& other) const {
  if (items_.size() != other.items_.size()) return false;
  for (size_t i = 0; i < items_.size(); ++i)
    if (items_[i].text != other.items_[i].text) return false;
  return true;
}

}  // namespace lumivane
