#include "imaging/Picture.h"

#include <cstring>
#include <string>

#include "common/Error.h"

namespace kestrelo {

void CheckPictureSize(std::int64_t width, std::int64_t height) {
  if (width < 0 || height < 0 || width > Picture::kMaxSide || height > Picture::kMaxSide ||
      width * height > Picture::kMaxPixels) {
    throw Error("picture size " + std::to_string(width) + " x " + std::to_string(height) +
                " is out of range");
  }
}

Picture::Picture(int width, int height) { Resize(width, height); }

Picture Picture::Clone() const {
  Picture p;
  p.width_ = width_;
  p.height_ = height_;
  p.data_ = data_;
  return p;
}

void Picture::Resize(int width, int height) {
  CheckPictureSize(width, height);
  width_ = width;
  height_ = height;
  data_.assign(static_cast<std::size_t>(width) * static_cast<std::size_t>(height) * 3, 0xFF);
}

void Picture::Fill(std::uint8_t blue, std::uint8_t green, std::uint8_t red) {
  for (std::size_t i = 0; i + 2 < data_.size(); i += 3) {
    data_[i] = blue;
    data_[i + 1] = green;
    data_[i + 2] = red;
  }
}

}  // namespace kestrelo
