#include "analysis/XianDuanList.h"

#include <algorithm>

#include "analysis/AnalysisError.h"

namespace kestrelo {

TXianDuan& TXianDuanList::AddSegment() {
  TXianDuan& s = segments_.emplace_back();
  s.No = Count();
  current_ = Count() - 1;
  return s;
}

void TXianDuanList::DeleteSegment(int index) {
  GetSegment(index);
  segments_.erase(segments_.begin() + index);
  current_ = -1;
}

void TXianDuanList::ClearSegments() {
  segments_.clear();
  current_ = -1;
}

const TXianDuan& TXianDuanList::GetSegment(int index) const {
  if (index < 0 || index >= Count()) {
    throw AnalysisError("line " + std::to_string(index) + " is outside the " +
                        std::to_string(Count()) + " lines of a strip");
  }
  current_ = index;
  return segments_[static_cast<std::size_t>(index)];
}

TXianDuan& TXianDuanList::GetSegment(int index) {
  return const_cast<TXianDuan&>(static_cast<const TXianDuanList&>(*this).GetSegment(index));
}

void TXianDuanList::KeepColor(int c) {
  std::erase_if(segments_, [c](const TXianDuan& s) { return s.Color != c; });
  current_ = -1;
}

}  // namespace kestrelo
