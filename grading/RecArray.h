#pragma once
// The text cells of one result row: one per field of the results table after
// "序号", each at most 10 GBK bytes. A write past the last cell is refused,
// never made.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "common/GbkText.h"

namespace kestrelo {

class TRecArray {
 public:
  static constexpr std::size_t kCellBytes = 10;

  explicit TRecArray(std::size_t count = 0) : cells_(count) {}

  std::size_t Size() const { return cells_.size(); }
  const std::string& operator[](std::size_t i) const { return cells_.at(i); }

  // Cuts the text to the cell width; false (and nothing written) when the
  // cell does not exist.
  bool Set(std::size_t i, std::string_view text) {
    if (i >= cells_.size()) return false;
    cells_[i] = CutToGbkBytes(text, kCellBytes);
    return true;
  }

 private:
  std::vector<std::string> cells_;
};

}  // namespace kestrelo
