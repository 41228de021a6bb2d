#pragma once
// The 24-bit picture every Part works on: pixels of three bytes in blue,
// green, red order, rows top to bottom, each row reachable by pointer.
// Move-only; copies of a frame are explicit (Clone).
#include <cstddef>
#include <cstdint>
#include <vector>

namespace kestrelo {

class Picture {
 public:
  static constexpr int kBytesPerPixel = 3;
  // Larger pictures are refused: no camera or scanner page comes near it, and
  // it keeps every byte offset comfortably inside 32-bit pixel arithmetic.
  static constexpr int kMaxSide = 30000;
  static constexpr std::int64_t kMaxPixels = 100'000'000;

  Picture() = default;
  // A white picture; throws Error for a negative or oversized size.
  Picture(int width, int height);

  Picture(Picture&&) noexcept = default;
  Picture& operator=(Picture&&) noexcept = default;
  Picture(const Picture&) = delete;
  Picture& operator=(const Picture&) = delete;

  Picture Clone() const;

  int Width() const { return width_; }
  int Height() const { return height_; }
  bool Empty() const { return width_ == 0 || height_ == 0; }
  std::size_t Stride() const { return static_cast<std::size_t>(width_) * kBytesPerPixel; }

  std::uint8_t* Row(int y) { return data_.data() + static_cast<std::size_t>(y) * Stride(); }
  const std::uint8_t* Row(int y) const {
    return data_.data() + static_cast<std::size_t>(y) * Stride();
  }
  std::uint8_t* Pixel(int x, int y) { return Row(y) + static_cast<std::size_t>(x) * 3; }
  const std::uint8_t* Pixel(int x, int y) const {
    return Row(y) + static_cast<std::size_t>(x) * 3;
  }

  // New size; the content is lost and the picture becomes white.
  void Resize(int width, int height);
  void Fill(std::uint8_t blue, std::uint8_t green, std::uint8_t red);

  std::uint8_t* Data() { return data_.data(); }
  const std::uint8_t* Data() const { return data_.data(); }

  bool operator==(const Picture& other) const = default;

 private:
  int width_ = 0;
  int height_ = 0;
  std::vector<std::uint8_t> data_;
};

// Throws Error unless 0 <= width, height <= kMaxSide and the area fits kMaxPixels.
void CheckPictureSize(std::int64_t width, std::int64_t height);

}  // namespace kestrelo
