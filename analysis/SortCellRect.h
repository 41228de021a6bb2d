#pragma once
// The candidate cells of one block while its marks are read, sortable by how
// dark their ink is, so that the darkest of several marks can be chosen.
#include <string>
#include <vector>

namespace kestrelo {

struct TSortCellRect {
  // Mean grey of the cell's ink, 0 black ... 255 white; 200 for a cell with
  // too little pure-black ink to measure.
  int Darkness = 0;
  int Line = 0;        // grid row
  int Colum = 0;       // grid column
  std::string Letter;  // the cell's character of "BackValue" (UTF-8)
};

class TSortCellRectList {
 public:
  // Appends an empty entry, makes it current and returns it for the caller to
  // fill. The reference is valid until the next AddCellRect or ClearCellRects.
  TSortCellRect& AddCellRect();
  void ClearCellRects();
  // Entry `index` (from 0), made current; throws std::out_of_range outside the list.
  TSortCellRect& GetCellRect(int index);
  // Lightest first, so the darkest ends last. Of equally dark entries the one
  // added first ends last: among equally dark marks the first in cell order
  // counts as the darkest.
  void SortDescending();

  int Count() const { return static_cast<int>(entries_.size()); }
  bool Empty() const { return entries_.empty(); }
  // The last entry (the darkest after sorting); the list must not be empty.
  const TSortCellRect& Last() const { return entries_.back(); }
  // The entry last added or fetched; nullptr when there is none.
  const TSortCellRect* Current() const;

 private:
  std::vector<TSortCellRect> entries_;
  int current_ = -1;
};

}  // namespace kestrelo
