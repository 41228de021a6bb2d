#include "analysis/SortCellRect.h"

#include <algorithm>
#include <stdexcept>

namespace kestrelo {

TSortCellRect& TSortCellRectList::AddCellRect() {
  entries_.emplace_back();
  current_ = Count() - 1;
  return entries_.back();
}

void TSortCellRectList::ClearCellRects() {
  entries_.clear();
  current_ = -1;
}

TSortCellRect& TSortCellRectList::GetCellRect(int index) {
  if (index < 0 || index >= Count()) {
    throw std::out_of_range("cell list index " + std::to_string(index) + " outside 0.." +
                            std::to_string(Count() - 1));
  }
  current_ = index;
  return entries_[static_cast<std::size_t>(index)];
}

void TSortCellRectList::SortDescending() {
  // Reversed first and then sorted stably, equal entries end in reverse order
  // of addition: the first added of the darkest is last.
  std::reverse(entries_.begin(), entries_.end());
  std::stable_sort(
      entries_.begin(), entries_.end(),
      [](const TSortCellRect& a, const TSortCellRect& b) { return a.Darkness > b.Darkness; });
  current_ = -1;
}

const TSortCellRect* TSortCellRectList::Current() const {
  return current_ < 0 ? nullptr : &entries_[static_cast<std::size_t>(current_)];
}

}  // namespace kestrelo
