#pragma once
// A growable list of line positions with an ascending sort.
#include <vector>

namespace kestrelo {

struct TsortEntry {
  int Value = 0;
};

class TsortList {
 public:
  // A new entry with Value 0, appended; it becomes Current. The reference
  // stays valid until the next AddItem.
  TsortEntry& AddItem();
  // Entry `index` (from 0); it becomes Current. Throws AnalysisError outside
  // the list, so a template index beyond the lines found ends the analysis
  // in an orderly way.
  TsortEntry& GetItem(int index);
  const TsortEntry& GetItem(int index) const;
  // Value of entry `index`, checked like GetItem.
  int operator[](int index) const { return GetItem(index).Value; }
  void SortAscending();
  void Clear();

  int Count() const { return static_cast<int>(entries_.size()); }
  int Last() const { return GetItem(Count() - 1).Value; }
  // Index of Current, -1 before any AddItem/GetItem.
  int CurrentIndex() const { return current_; }

 private:
  std::vector<TsortEntry> entries_;
  mutable int current_ = -1;
};

}  // namespace kestrelo
