#include "analysis/SortList.h"

#include <algorithm>
#include <string>

#include "analysis/AnalysisError.h"

namespace kestrelo {

TsortEntry& TsortList::AddItem() {
  entries_.emplace_back();
  current_ = Count() - 1;
  return entries_.back();
}

const TsortEntry& TsortList::GetItem(int index) const {
  if (index < 0 || index >= Count()) {
    throw AnalysisError("line index " + std::to_string(index) + " is outside the " +
                        std::to_string(Count()) + " lines found");
  }
  current_ = index;
  return entries_[static_cast<std::size_t>(index)];
}

TsortEntry& TsortList::GetItem(int index) {
  return const_cast<TsortEntry&>(static_cast<const TsortList&>(*this).GetItem(index));
}

void TsortList::SortAscending() {
  std::stable_sort(entries_.begin(), entries_.end(),
                   [](const TsortEntry& a, const TsortEntry& b) { return a.Value < b.Value; });
}

void TsortList::Clear() {
  entries_.clear();
  current_ = -1;
}

}  // namespace kestrelo
