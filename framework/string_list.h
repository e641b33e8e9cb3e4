#pragma once
// A list of strings, each with an associated object reference.
#include <string>
#include <vector>

#include "framework/object.h"

namespace lumivane {

class TStringList : public TObject {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  // Raises EListError for an index out of range.
  const std::string& Strings(int index) const;
  void SetStrings(int index, const std::string& s);
  TObject* Objects(int index) const;
  void SetObjects(int index, TObject* object);

  // Appends, or inserts in order when Sorted (case-insensitive locale order; a string that
  // compares equal to one present is not added again). Returns the index.
  int Add(const std::string& s, TObject* object = nullptr);
  void Insert(int index, const std::string& s, TObject* object = nullptr);
  void Delete(int index);
  void Clear();
  int IndexOf(const std::string& s) const;  // exact comparison; -1 when absent
  void AddStrings(const TStringList& other);
  void Assign(const TStringList& other);

  bool Sorted() const { return sorted_; }
  void SetSorted(bool sorted);

  // All lines joined, each followed by CR LF.
  std::string Text() const;
  bool operator==(const TStringList& other) const;

 private:
  struct Item {
    std::string text;
    TObject* object;
  };
  std::vector<Item> items_;
  bool sorted_ = false;
};

}  // namespace lumivane
