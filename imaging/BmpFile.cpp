#include "imaging/BmpFile.h"

#include <algorithm>
#include <array>
#include <bit>
#include <climits>
#include <string_view>

#include "common/AtomicFile.h"
#include "common/Error.h"

namespace kestrelo {
namespace {

constexpr std::size_t kFileHeaderSize = 14;
constexpr std::uint32_t kCoreHeaderSize = 12;
constexpr std::uint32_t kInfoHeaderSize = 40;
constexpr std::uint32_t kBiRgb = 0;
constexpr std::uint32_t kBiBitfields = 3;
constexpr std::int32_t kPixelsPerMetre = 2835;  // 72 dots per inch

std::uint16_t U16(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint16_t>(b[at] | (b[at + 1] << 8));
}

std::uint32_t U32(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::uint32_t>(b[at]) | (static_cast<std::uint32_t>(b[at + 1]) << 8) |
         (static_cast<std::uint32_t>(b[at + 2]) << 16) |
         (static_cast<std::uint32_t>(b[at + 3]) << 24);
}

std::int32_t I32(std::span<const std::uint8_t> b, std::size_t at) {
  return static_cast<std::int32_t>(U32(b, at));
}

std::string CompressionName(std::uint32_t compression) {
  switch (compression) {
    case 1: return "RLE8 compression";
    case 2: return "RLE4 compression";
    case 4: return "JPEG compression";
    case 5: return "PNG compression";
    case 6: return "alpha bitfields compression";
    default: return "compression " + std::to_string(compression);
  }
}

std::string Hex(std::uint32_t v) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::string s = "0x";
  for (int shift = 28; shift >= 0; shift -= 4) s += kDigits[(v >> shift) & 0xF];
  return s;
}

// One colour field of a BI_BITFIELDS pixel, scaled from its own width to 0..255.
class Channel {
 public:
  Channel() = default;
  Channel(std::uint32_t mask, const std::string& name, const char* colour) {
    if (mask == 0) return;  // absent channel reads as 0
    shift_ = std::countr_zero(mask);
    const std::uint32_t field = mask >> shift_;
    if ((field & (field + 1)) != 0) {
      throw FileError(name, std::string(colour) + " mask " + Hex(mask) + " is not contiguous");
    }
    const std::uint64_t max = field;
    // A table for the common widths; wider fields are scaled directly.
    if (std::popcount(field) <= 12) {
      table_.resize(max + 1);
      for (std::uint64_t v = 0; v <= max; ++v) table_[v] = Scale(v, max);
    }
    field_ = field;
  }

  std::uint8_t operator()(std::uint32_t pixel) const {
    const std::uint32_t v = (pixel >> shift_) & field_;
    if (!table_.empty()) return table_[v];
    return field_ == 0 ? 0 : Scale(v, field_);
  }

 private:
  // Nearest of 0..255; no ties can occur because max is odd and 255 is odd.
  static std::uint8_t Scale(std::uint64_t v, std::uint64_t max) {
    return static_cast<std::uint8_t>((v * 255 * 2 + max) / (2 * max));
  }

  int shift_ = 0;
  std::uint32_t field_ = 0;
  std::vector<std::uint8_t> table_;
};

struct Header {
  std::uint32_t headerSize = 0;
  std::int64_t width = 0;
  std::int64_t height = 0;  // magnitude
  bool topDown = false;
  int bitCount = 0;
  std::uint32_t compression = kBiRgb;
  std::uint32_t colorsUsed = 0;
  std::array<std::uint32_t, 3> masks{};  // red, green, blue
  std::size_t paletteAt = 0;               // first byte after header and masks
  std::size_t paletteEntrySize = 4;
  std::size_t pixelOffset = 0;
};

Header ParseHeader(std::span<const std::uint8_t> b, const std::string& name) {
  if (b.size() < 2 || b[0] != 'B' || b[1] != 'M') {
    throw FileError(name, "not a BMP file (the \"BM\" signature is missing)");
  }
  if (b.size() < kFileHeaderSize + 4) throw FileError(name, "the BMP file header is truncated");

  Header h;
  h.pixelOffset = U32(b, 10);
  h.headerSize = U32(b, 14);
  const std::uint32_t hs = h.headerSize;
  if (hs != kCoreHeaderSize && hs != kInfoHeaderSize && hs != 52 && hs != 56 && hs != 108 &&
      hs != 124) {
    throw FileError(name, "unsupported BMP header size " + std::to_string(hs));
  }
  if (b.size() < kFileHeaderSize + hs) {
    throw FileError(name, "the BMP info header is truncated (needs " +
                              std::to_string(kFileHeaderSize + hs) + " bytes, " +
                              std::to_string(b.size()) + " present)");
  }

  int planes = 0;
  if (hs == kCoreHeaderSize) {
    h.width = U16(b, 18);
    h.height = U16(b, 20);
    planes = U16(b, 22);
    h.bitCount = U16(b, 24);
    h.paletteEntrySize = 3;
  } else {
    h.width = I32(b, 18);
    const std::int32_t height = I32(b, 22);
    // Refused by name: its magnitude has no int32 value.
    if (height == INT_MIN) {
      throw FileError(name, "invalid picture height " + std::to_string(height));
    }
    h.topDown = height < 0;
    h.height = height < 0 ? -static_cast<std::int64_t>(height) : height;
    planes = U16(b, 26);
    h.bitCount = U16(b, 28);
    h.compression = U32(b, 30);
    h.colorsUsed = U32(b, 46);
  }
  h.paletteAt = kFileHeaderSize + hs;

  if (planes != 1) throw FileError(name, "unsupported number of planes " + std::to_string(planes));
  const int bpp = h.bitCount;
  const bool coreDepth = bpp == 1 || bpp == 4 || bpp == 8 || bpp == 24;
  if (!(coreDepth || (hs != kCoreHeaderSize && (bpp == 16 || bpp == 32)))) {
    throw FileError(name, "unsupported bit depth " + std::to_string(bpp));
  }
  if (h.compression != kBiRgb && h.compression != kBiBitfields) {
    throw FileError(name, "unsupported " + CompressionName(h.compression));
  }
  if (h.compression == kBiBitfields && bpp != 16 && bpp != 32) {
    throw FileError(name, "bitfields are not supported at " + std::to_string(bpp) + " bits");
  }

  if (h.compression == kBiBitfields) {
    // Masks live in the V2 and later headers, or right after a 40-byte header.
    std::size_t at = kFileHeaderSize + kInfoHeaderSize;
    if (hs == kInfoHeaderSize) {
      if (b.size() < at + 12) throw FileError(name, "the BMP colour masks are truncated");
      h.paletteAt = at + 12;
    }
    h.masks = {U32(b, at), U32(b, at + 4), U32(b, at + 8)};
  } else if (bpp == 16) {
    h.masks = {0x7C00, 0x03E0, 0x001F};
  } else if (bpp == 32) {
    h.masks = {0x00FF0000, 0x0000FF00, 0x000000FF};
  }

  if (h.width <= 0) throw FileError(name, "invalid picture width " + std::to_string(h.width));
  if (h.height == 0) throw FileError(name, "invalid picture height 0");
  if (h.width > Picture::kMaxSide || h.height > Picture::kMaxSide ||
      h.width * h.height > Picture::kMaxPixels) {
    throw FileError(name, "picture size " + std::to_string(h.width) + " x " +
                              std::to_string(h.height) + " is too large (at most " +
                              std::to_string(Picture::kMaxSide) + " per side and " +
                              std::to_string(Picture::kMaxPixels) + " pixels)");
  }
  return h;
}

using Palette = std::array<std::array<std::uint8_t, 3>, 256>;

// The palette must lie whole between the header and the pixel data; indices
// beyond a short palette (biClrUsed < 2^bpp) are refused where they occur.
std::size_t ReadPalette(std::span<const std::uint8_t> b, const Header& h, Palette& palette,
                        const std::string& name) {
  const std::size_t full = std::size_t{1} << h.bitCount;
  const std::size_t count =
      (h.colorsUsed == 0 || h.colorsUsed > full) ? full : std::size_t{h.colorsUsed};
  const std::size_t end = h.paletteAt + count * h.paletteEntrySize;
  if (end > h.pixelOffset || end > b.size()) {
    throw FileError(name, "the palette of " + std::to_string(count) +
                              " colours is truncated (it would end at byte " +
                              std::to_string(end) + ", pixel data starts at " +
                              std::to_string(h.pixelOffset) + ", file has " +
                              std::to_string(b.size()) + ")");
  }
  for (std::size_t i = 0; i < count; ++i) {
    const std::size_t at = h.paletteAt + i * h.paletteEntrySize;
    palette[i] = {b[at], b[at + 1], b[at + 2]};
  }
  return count;
}

[[noreturn]] void ThrowBadIndex(const std::string& name, unsigned index, std::size_t count) {
  throw FileError(name, "pixel index " + std::to_string(index) + " is beyond the palette of " +
                            std::to_string(count) + " colours");
}

}  // namespace

Picture DecodeBmp(std::span<const std::uint8_t> bytes, const std::string& name) {
  const Header h = ParseHeader(bytes, name);

  if (h.pixelOffset < h.paletteAt) {
    throw FileError(name, "pixel data offset " + std::to_string(h.pixelOffset) +
                              " lies inside the header (which ends at " +
                              std::to_string(h.paletteAt) + ")");
  }
  if (h.pixelOffset > bytes.size()) {
    throw FileError(name, "pixel data offset " + std::to_string(h.pixelOffset) +
                              " is past the end of the file (" + std::to_string(bytes.size()) +
                              " bytes)");
  }

  Palette palette{};
  std::size_t paletteCount = 0;
  if (h.bitCount <= 8) paletteCount = ReadPalette(bytes, h, palette, name);

  // Sizes are bounded by kMaxSide, so 64-bit arithmetic cannot overflow here.
  const std::uint64_t rowBits = static_cast<std::uint64_t>(h.width) * h.bitCount;
  const std::uint64_t rowBytes = (rowBits + 7) / 8;
  const std::uint64_t stride = (rowBits + 31) / 32 * 4;
  const std::uint64_t needed = stride * static_cast<std::uint64_t>(h.height);
  const std::uint64_t present = bytes.size() - h.pixelOffset;
  // Some writers leave out the padding of the last row; nothing is read from it.
  if (present < needed - (stride - rowBytes)) {
    throw FileError(name, "pixel data is truncated (needs " + std::to_string(needed) +
                              " bytes, " + std::to_string(present) + " present)");
  }

  const int width = static_cast<int>(h.width);
  const int height = static_cast<int>(h.height);
  Picture picture(width, height);
  const std::uint8_t* data = bytes.data() + h.pixelOffset;

  std::array<Channel, 3> channels;
  if (h.bitCount == 16 || h.bitCount == 32) {
    channels = {Channel(h.masks[0], name, "red"), Channel(h.masks[1], name, "green"),
                Channel(h.masks[2], name, "blue")};
  }
  const bool plain32 = h.bitCount == 32 && h.masks[0] == 0x00FF0000 &&
                       h.masks[1] == 0x0000FF00 && h.masks[2] == 0x000000FF;

  for (int y = 0; y < height; ++y) {
    const std::uint8_t* src = data + static_cast<std::size_t>(y) * stride;
    std::uint8_t* dst = picture.Row(h.topDown ? y : height - 1 - y);
    switch (h.bitCount) {
      case 1:
      case 4:
      case 8: {
        const int bpp = h.bitCount;
        const unsigned perByte = 8 / bpp;
        const unsigned mask = (1u << bpp) - 1;
        for (int x = 0; x < width; ++x, dst += 3) {
          const unsigned byte = src[x / perByte];
          const unsigned shift = 8 - bpp * (x % perByte + 1);
          const unsigned index = (byte >> shift) & mask;
          if (index >= paletteCount) ThrowBadIndex(name, index, paletteCount);
          dst[0] = palette[index][0];
          dst[1] = palette[index][1];
          dst[2] = palette[index][2];
        }
        break;
      }
      case 16:
        for (int x = 0; x < width; ++x, src += 2, dst += 3) {
          const std::uint32_t p = static_cast<std::uint32_t>(src[0] | (src[1] << 8));
          dst[0] = channels[2](p);
          dst[1] = channels[1](p);
          dst[2] = channels[0](p);
        }
        break;
      case 24:
        std::copy(src, src + static_cast<std::size_t>(width) * 3, dst);
        break;
      case 32:
        for (int x = 0; x < width; ++x, src += 4, dst += 3) {
          if (plain32) {
            dst[0] = src[0];
            dst[1] = src[1];
            dst[2] = src[2];
            continue;
          }
          const std::uint32_t p = static_cast<std::uint32_t>(src[0]) |
                                  (static_cast<std::uint32_t>(src[1]) << 8) |
                                  (static_cast<std::uint32_t>(src[2]) << 16) |
                                  (static_cast<std::uint32_t>(src[3]) << 24);
          dst[0] = channels[2](p);
          dst[1] = channels[1](p);
          dst[2] = channels[0](p);
        }
        break;
    }
  }
  return picture;
}

Picture ReadBmp(const std::filesystem::path& path) {
  const std::string bytes = ReadWholeFile(path);
  return DecodeBmp(std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()),
                   path.string());
}

std::vector<std::uint8_t> EncodeBmp(const Picture& picture) {
  if (picture.Empty()) {
    throw Error("cannot write an empty picture (" + std::to_string(picture.Width()) + " x " +
                std::to_string(picture.Height()) + ") as BMP");
  }
  const std::size_t width = static_cast<std::size_t>(picture.Width());
  const std::size_t height = static_cast<std::size_t>(picture.Height());
  const std::size_t rowBytes = width * 3;
  const std::size_t stride = (rowBytes + 3) / 4 * 4;
  const std::size_t imageSize = stride * height;
  const std::size_t offset = kFileHeaderSize + kInfoHeaderSize;

  std::vector<std::uint8_t> out(offset + imageSize, 0);
  const auto put16 = [&](std::size_t at, std::uint32_t v) {
    out[at] = static_cast<std::uint8_t>(v);
    out[at + 1] = static_cast<std::uint8_t>(v >> 8);
  };
  const auto put32 = [&](std::size_t at, std::uint32_t v) {
    put16(at, v & 0xFFFF);
    put16(at + 2, v >> 16);
  };
  out[0] = 'B';
  out[1] = 'M';
  put32(2, static_cast<std::uint32_t>(out.size()));
  put32(10, static_cast<std::uint32_t>(offset));
  put32(14, kInfoHeaderSize);
  put32(18, static_cast<std::uint32_t>(width));
  put32(22, static_cast<std::uint32_t>(height));
  put16(26, 1);
  put16(28, 24);
  put32(30, kBiRgb);
  put32(34, static_cast<std::uint32_t>(imageSize));
  put32(38, kPixelsPerMetre);
  put32(42, kPixelsPerMetre);

  for (std::size_t y = 0; y < height; ++y) {
    const std::uint8_t* src = picture.Row(static_cast<int>(height - 1 - y));
    std::copy(src, src + rowBytes, out.data() + offset + y * stride);
  }
  return out;
}

void WriteBmp(const Picture& picture, const std::filesystem::path& path) {
  const std::vector<std::uint8_t> bytes = EncodeBmp(picture);
  WriteFileAtomically(
      path, std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()));
}

}  // namespace kestrelo
