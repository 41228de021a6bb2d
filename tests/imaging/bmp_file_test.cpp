#include "imaging/BmpFile.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <climits>
#include <csignal>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "common/Error.h"
#include "imaging/Picture.h"

namespace kestrelo {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;

// Describes a BMP file; BuildBmp lays it out byte by byte as a writer would.
struct BmpPlan {
  BmpPlan(std::int32_t w, std::int32_t h, std::uint16_t bpp) : width(w), height(h), bitCount(bpp) {}
  BmpPlan& Header(std::uint32_t size) { headerSize = size; return *this; }
  BmpPlan& Planes(std::uint16_t n) { planes = n; return *this; }
  BmpPlan& Compression(std::uint32_t c) { compression = c; return *this; }
  BmpPlan& ColorsUsed(std::uint32_t n) { colorsUsed = n; return *this; }
  BmpPlan& Palette(std::vector<std::uint32_t> p) { palette = std::move(p); return *this; }
  BmpPlan& Masks(std::vector<std::uint32_t> m) { masks = std::move(m); return *this; }
  BmpPlan& Rows(std::vector<std::vector<std::uint32_t>> r) { rows = std::move(r); return *this; }
  BmpPlan& Offset(std::uint32_t o) { offset = o; return *this; }
  BmpPlan& CutEnd(std::size_t n) { cutEnd = n; return *this; }

  std::int32_t width;
  std::int32_t height;
  std::uint16_t bitCount;
  std::uint32_t headerSize = 40;
  std::uint16_t planes = 1;
  std::uint32_t compression = 0;
  std::uint32_t colorsUsed = 0;
  std::vector<std::uint32_t> palette;            // 0xRRGGBB
  std::vector<std::uint32_t> masks;              // red, green, blue
  std::vector<std::vector<std::uint32_t>> rows;  // pixel values in file order
  std::optional<std::uint32_t> offset;           // bfOffBits; pixel data moves only forward
  std::size_t cutEnd = 0;                        // bytes removed from the end
};

void Put(Bytes& b, std::size_t at, std::uint32_t v, int n) {
  if (b.size() < at + static_cast<std::size_t>(n)) b.resize(at + n, 0);
  for (int i = 0; i < n; ++i) b[at + i] = static_cast<std::uint8_t>(v >> (8 * i));
}

// One row: indices packed high bits first, 16/32-bit values little-endian,
// 24-bit values 0xRRGGBB stored blue first; padded to 4 bytes.
Bytes PackRow(int bpp, const std::vector<std::uint32_t>& values) {
  Bytes row;
  if (bpp < 8) {
    row.assign((values.size() * bpp + 7) / 8, 0);
    for (std::size_t i = 0; i < values.size(); ++i) {
      const std::size_t bit = i * bpp;
      row[bit / 8] |= static_cast<std::uint8_t>(values[i] << (8 - bpp - bit % 8));
    }
  } else {
    for (std::uint32_t v : values) Put(row, row.size(), v, bpp / 8);
  }
  row.resize((row.size() + 3) / 4 * 4, 0);
  return row;
}

Bytes BuildBmp(const BmpPlan& s) {
  const bool core = s.headerSize == 12;
  Bytes b;
  b.push_back('B');
  b.push_back('M');
  Put(b, 14, s.headerSize, 4);
  if (core) {
    Put(b, 18, static_cast<std::uint32_t>(s.width), 2);
    Put(b, 20, static_cast<std::uint32_t>(s.height), 2);
    Put(b, 22, s.planes, 2);
    Put(b, 24, s.bitCount, 2);
  } else {
    Put(b, 18, static_cast<std::uint32_t>(s.width), 4);
    Put(b, 22, static_cast<std::uint32_t>(s.height), 4);
    Put(b, 26, s.planes, 2);
    Put(b, 28, s.bitCount, 2);
    Put(b, 30, s.compression, 4);
    Put(b, 46, s.colorsUsed, 4);
  }
  b.resize(14 + s.headerSize, 0);
  for (std::size_t i = 0; i < s.masks.size(); ++i) {
    Put(b, s.headerSize == 40 ? b.size() : 54 + 4 * i, s.masks[i], 4);
  }
  for (std::uint32_t c : s.palette) Put(b, b.size(), c, core ? 3 : 4);
  const std::size_t natural = b.size();
  Put(b, 10, static_cast<std::uint32_t>(s.offset.value_or(natural)), 4);
  if (s.offset && *s.offset > natural) b.resize(*s.offset, 0);
  for (const auto& row : s.rows) {
    const Bytes packed = PackRow(s.bitCount, row);
    b.insert(b.end(), packed.begin(), packed.end());
  }
  Put(b, 2, static_cast<std::uint32_t>(b.size()), 4);
  b.resize(b.size() - s.cutEnd);
  return b;
}

// Pixels as 0xRRGGBB, rows top to bottom.
std::vector<std::vector<std::uint32_t>> Pixels(const Picture& p) {
  std::vector<std::vector<std::uint32_t>> rows(p.Height());
  for (int y = 0; y < p.Height(); ++y) {
    for (int x = 0; x < p.Width(); ++x) {
      const std::uint8_t* px = p.Pixel(x, y);
      rows[y].push_back(px[0] | (px[1] << 8) | (px[2] << 16));
    }
  }
  return rows;
}

struct DecodeCase {
  const char* name;
  BmpPlan plan;
  std::vector<std::vector<std::uint32_t>> expected;  // top to bottom
};

TEST(BmpFileTest, DecodesEveryDepthOrientationAndHeader) {
  const std::vector<std::uint32_t> bw = {0x000000, 0xFFFFFF};
  const std::vector<std::uint32_t> three = {0x112233, 0x445566, 0x778899};
  std::vector<std::uint32_t> ramp;
  for (std::uint32_t i = 0; i < 256; ++i) ramp.push_back(((255 - i) << 16) | i);
  const std::vector<DecodeCase> cases = {
      {"1-bit bottom-up",
       BmpPlan(9, 2, 1).Palette(bw).Rows(
           {{1, 0, 1, 1, 0, 0, 0, 0, 1}, {0, 0, 0, 0, 0, 0, 0, 1, 0}}),
       {{0, 0, 0, 0, 0, 0, 0, 0xFFFFFF, 0},
        {0xFFFFFF, 0, 0xFFFFFF, 0xFFFFFF, 0, 0, 0, 0, 0xFFFFFF}}},
      {"4-bit top-down, short palette",
       BmpPlan(3, -2, 4).ColorsUsed(3).Palette(three).Rows({{0, 1, 2}, {2, 1, 0}}),
       {{0x112233, 0x445566, 0x778899}, {0x778899, 0x445566, 0x112233}}},
      {"8-bit, short palette", BmpPlan(2, 1, 8).ColorsUsed(3).Palette(three).Rows({{2, 0}}),
       {{0x778899, 0x112233}}},
      {"16-bit default 5-5-5", BmpPlan(3, 1, 16).Rows({{0x7C00, 0x03E0, 0x0010}}),
       {{0xFF0000, 0x00FF00, 0x000084}}},
      {"16-bit 5-6-5 masks after a 40-byte header",
       BmpPlan(3, 1, 16).Compression(3).Masks({0xF800, 0x07E0, 0x001F}).Rows(
           {{0xF800, 0x0400, 0x001F}}),
       {{0xFF0000, 0x008200, 0x0000FF}}},
      {"16-bit, 1-bit red field and absent blue",
       BmpPlan(2, 1, 16).Compression(3).Masks({0x8000, 0x7FFF, 0}).Rows({{0x8000, 0x7FFF}}),
       {{0xFF0000, 0x00FF00}}},
      {"24-bit top-down, padded rows",
       BmpPlan(2, -2, 24).Rows({{0x010203, 0x040506}, {0x070809, 0x0A0B0C}}),
       {{0x010203, 0x040506}, {0x070809, 0x0A0B0C}}},
      {"24-bit, last row without its padding",
       BmpPlan(1, 2, 24).Rows({{0x010203}, {0x040506}}).CutEnd(1),
       {{0x040506}, {0x010203}}},
      {"pixel data after a gap", BmpPlan(1, 1, 24).Rows({{0x0A0B0C}}).Offset(80),
       {{0x0A0B0C}}},
      {"32-bit BI_RGB ignores the fourth byte", BmpPlan(1, 1, 32).Rows({{0xAB123456}}),
       {{0x123456}}},
      {"32-bit V4 header, 10-bit fields",
       BmpPlan(2, 1, 32).Header(108).Compression(3)
           .Masks({0x3FF00000, 0x000FFC00, 0x000003FF})
           .Rows({{(0x3FFu << 20) | (0x200u << 10) | 0x001u, 0}}),
       {{0xFF8000, 0x000000}}},
      {"32-bit V5 header, red in the low byte",
       BmpPlan(1, -1, 32).Header(124).Compression(3)
           .Masks({0x000000FF, 0x0000FF00, 0x00FF0000}).Rows({{0x00563412}}),
       {{0x123456}}},
      {"V5 header, BI_RGB ignores its masks",
       BmpPlan(1, 1, 32).Header(124).Masks({0x000000FF, 0x0000FF00, 0x00FF0000})
           .Rows({{0x00123456}}),
       {{0x123456}}},
      {"core header, 8-bit, 3-byte palette", BmpPlan(2, 1, 8).Header(12).Palette(ramp).Rows(
                                                 {{0, 200}}),
       {{0xFF0000, 0x3700C8}}},
      {"core header, 24-bit", BmpPlan(1, 2, 24).Header(12).Rows({{0x010203}, {0x040506}}),
       {{0x040506}, {0x010203}}},
  };
  for (const DecodeCase& c : cases) {
    SCOPED_TRACE(c.name);
    const Bytes bytes = BuildBmp(c.plan);
    const Picture p = DecodeBmp(bytes, "case.bmp");
    EXPECT_EQ(Pixels(p), c.expected);
  }
}

struct HostileCase {
  const char* name;
  Bytes bytes;
  const char* fault;  // must appear in the message
};

Bytes Valid24(int width, int height) {
  BmpPlan s(width, height, 24);
  s.rows.assign(static_cast<std::size_t>(std::abs(height)),
                std::vector<std::uint32_t>(width, 0x808080));
  return BuildBmp(s);
}

Bytes Patched(Bytes b, std::size_t at, std::uint32_t v) {
  Put(b, at, v, 4);
  return b;
}

Bytes Cut(Bytes b, std::size_t size) {
  b.resize(size);
  return b;
}

TEST(BmpFileTest, RefusesHostileInputNamingTheFault) {
  const auto One24 = [] { return BmpPlan(1, 1, 24).Rows({{0}}); };
  Bytes signature = Valid24(1, 1);
  signature[1] = 'X';
  const std::vector<std::uint32_t> two = {0, 0xFFFFFF};
  const std::vector<HostileCase> cases = {
      {"empty", {}, "not a BMP file"},
      {"wrong signature", signature, "not a BMP file"},
      {"file header cut", Cut(Valid24(1, 1), 12), "file header is truncated"},
      {"info header cut", Cut(Valid24(1, 1), 40),
       "info header is truncated (needs 54 bytes, 40 present)"},
      {"header size 64", BuildBmp(One24().Header(64)), "unsupported BMP header size 64"},
      {"two planes", BuildBmp(One24().Planes(2)), "unsupported number of planes 2"},
      {"2 bits", BuildBmp(BmpPlan(1, 1, 2).Rows({{0}})), "unsupported bit depth 2"},
      {"core header at 32 bits", BuildBmp(BmpPlan(1, 1, 32).Header(12).Rows({{0}})),
       "unsupported bit depth 32"},
      {"RLE8", BuildBmp(BmpPlan(1, 1, 8).Compression(1).Palette(two).Rows({{0}})),
       "unsupported RLE8 compression"},
      {"RLE4", BuildBmp(BmpPlan(1, 1, 4).Compression(2).Palette(two).Rows({{0}})),
       "unsupported RLE4 compression"},
      {"bitfields at 24 bits", BuildBmp(One24().Compression(3).Masks({1, 2, 4})),
       "bitfields are not supported at 24 bits"},
      {"masks cut", BuildBmp(BmpPlan(1, 1, 16).Compression(3)), "colour masks are truncated"},
      {"gappy mask",
       BuildBmp(BmpPlan(1, 1, 16).Compression(3).Masks({0x7C00, 0x0220, 0x001F}).Rows({{0}})),
       "green mask 0x00000220 is not contiguous"},
      {"width 0", BuildBmp(BmpPlan(0, 1, 24)), "invalid picture width 0"},
      {"negative width", BuildBmp(BmpPlan(-5, 1, 24).Rows({{0}})), "invalid picture width -5"},
      {"height 0", BuildBmp(BmpPlan(1, 0, 24)), "invalid picture height 0"},
      {"height INT_MIN", BuildBmp(BmpPlan(1, INT_MIN, 24)),
       "invalid picture height -2147483648"},
      {"too wide", BuildBmp(BmpPlan(30001, 1, 24).Rows({{0}})),
       "picture size 30001 x 1 is too large"},
      {"too many pixels", BuildBmp(BmpPlan(20000, -20000, 24)),
       "picture size 20000 x 20000 is too large"},
      {"offset past the end", Patched(BuildBmp(One24()), 10, 4000),
       "pixel data offset 4000 is past the end of the file"},
      {"offset inside the header", BuildBmp(One24().Offset(20)),
       "pixel data offset 20 lies inside the header"},
      {"offset inside the masks",
       BuildBmp(BmpPlan(1, 1, 16).Compression(3).Masks({0x7C00, 0x03E0, 0x001F}).Rows({{0}})
                    .Offset(58)),
       "pixel data offset 58 lies inside the header (which ends at 66)"},
      {"pixel rows cut", BuildBmp(BmpPlan(2, 2, 24).Rows({{0, 0}})),
       "pixel data is truncated (needs 16 bytes, 8 present)"},
      {"huge picture, tiny file", BuildBmp(BmpPlan(30000, 3333, 32)),
       "pixel data is truncated (needs 399960000 bytes, 0 present)"},
      {"palette cut", BuildBmp(BmpPlan(1, 1, 8).Palette(two).Rows({{0}})),
       "palette of 256 colours is truncated"},
      {"core palette cut", BuildBmp(BmpPlan(1, 1, 1).Header(12).Palette({0}).Rows({{0}})),
       "palette of 2 colours is truncated"},
      {"index beyond the palette",
       BuildBmp(BmpPlan(3, 1, 4).ColorsUsed(2).Palette(two).Rows({{0, 1, 2}})),
       "pixel index 2 is beyond the palette of 2 colours"},
  };
  for (const HostileCase& c : cases) {
    SCOPED_TRACE(c.name);
    try {
      DecodeBmp(c.bytes, "sheet.bmp");
      ADD_FAILURE() << "accepted";
    } catch (const FileError& e) {
      EXPECT_EQ(e.path(), "sheet.bmp");
      const std::string what = e.what();
      EXPECT_TRUE(what.starts_with("sheet.bmp: ")) << what;
      EXPECT_NE(what.find(c.fault), std::string::npos) << what;
    }
  }
}

// Every prefix and every single-byte corruption of valid files either decodes
// or is refused; under the sanitizers this also proves no read goes astray.
TEST(BmpFileTest, CutOrCorruptFilesNeverCrash) {
  const std::vector<Bytes> files = {
      BuildBmp(BmpPlan(5, 3, 1).Palette({0, 0xFFFFFF}).Rows(
          {{1, 0, 1, 0, 1}, {0, 1, 0, 1, 0}, {1, 1, 1, 1, 1}})),
      BuildBmp(BmpPlan(3, -2, 8).ColorsUsed(4).Palette({1, 2, 3, 4}).Rows(
          {{0, 1, 2}, {3, 2, 1}})),
      BuildBmp(BmpPlan(2, 2, 32).Header(124).Compression(3)
                   .Masks({0x3FF00000, 0x000FFC00, 0x000003FF}).Rows({{1, 2}, {3, 4}})),
      BuildBmp(BmpPlan(3, 2, 16).Compression(3).Masks({0xF800, 0x07E0, 0x001F}).Rows(
          {{1, 2, 3}, {4, 5, 6}})),
      BuildBmp(BmpPlan(2, 2, 4).Header(12).Palette(std::vector<std::uint32_t>(16, 7)).Rows(
          {{1, 15}, {0, 3}})),
  };
  for (const Bytes& file : files) {
    for (std::size_t n = 0; n <= file.size(); ++n) {
      try {
        DecodeBmp(std::span(file.data(), n));
      } catch (const FileError&) {
      }
    }
    for (std::size_t i = 0; i < file.size(); ++i) {
      for (std::uint8_t v : {0x00, 0x01, 0x7F, 0x80, 0xFF}) {
        Bytes bad = file;
        bad[i] = v;
        try {
          DecodeBmp(bad);
        } catch (const FileError&) {
        }
      }
    }
  }
}

Picture Noise(int width, int height, unsigned seed) {
  Picture p(width, height);
  for (int y = 0; y < height; ++y) {
    std::uint8_t* row = p.Row(y);
    for (std::size_t i = 0; i < p.Stride(); ++i) {
      seed = seed * 1103515245u + 12345u;
      row[i] = static_cast<std::uint8_t>(seed >> 16);
    }
  }
  return p;
}

TEST(BmpFileTest, EncodesAndDecodesBackEveryRowPadding) {
  for (int width = 1; width <= 5; ++width) {
    SCOPED_TRACE(width);
    const Picture p = Noise(width, 3, static_cast<unsigned>(width));
    EXPECT_EQ(DecodeBmp(EncodeBmp(p)), p);
  }
}

TEST(BmpFileTest, WritesA24BitBottomUpHeader) {
  Picture p(1, 2);
  p.Pixel(0, 0)[0] = 0x11;  // top row, blue
  p.Pixel(0, 1)[2] = 0x22;  // bottom row, red
  const Bytes b = EncodeBmp(p);
  const auto u32 = [&](std::size_t at) {
    return b[at] | (b[at + 1] << 8) | (b[at + 2] << 16) | (b[at + 3] << 24);
  };
  ASSERT_EQ(b.size(), 54u + 2 * 4);
  EXPECT_EQ(b[0], 'B');
  EXPECT_EQ(b[1], 'M');
  EXPECT_EQ(u32(2), 62);    // file size
  EXPECT_EQ(u32(10), 54);   // pixel data offset
  EXPECT_EQ(u32(14), 40);   // info header size
  EXPECT_EQ(u32(18), 1);    // width
  EXPECT_EQ(u32(22), 2);    // positive height: bottom-up
  EXPECT_EQ(b[26] | (b[27] << 8), 1);
  EXPECT_EQ(b[28] | (b[29] << 8), 24);
  EXPECT_EQ(u32(30), 0);    // BI_RGB
  EXPECT_EQ(u32(34), 8);    // image size
  EXPECT_EQ(u32(38), 2835);
  EXPECT_EQ(u32(42), 2835);
  EXPECT_EQ(u32(46), 0);
  EXPECT_EQ(Bytes(b.begin() + 54, b.end()), (Bytes{0xFF, 0xFF, 0x22, 0, 0x11, 0xFF, 0xFF, 0}));
}

TEST(BmpFileTest, RefusesToEncodeAnEmptyPicture) {
  EXPECT_THROW(EncodeBmp(Picture()), Error);
  EXPECT_THROW(EncodeBmp(Picture(0, 5)), Error);
}

class BmpFileOnDiskTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string tmpl = (fs::temp_directory_path() / "kestrelo-bmp-XXXXXX").string();
    ASSERT_NE(mkdtemp(tmpl.data()), nullptr);
    dir_ = tmpl;
  }
  void TearDown() override { fs::remove_all(dir_); }

  static std::string Slurp(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
  }

  fs::path dir_;
};

TEST_F(BmpFileOnDiskTest, WritesAndReadsBack) {
  const fs::path path = dir_ / "frame.bmp";
  const Picture p = Noise(7, 4, 3);
  WriteBmp(p, path);
  EXPECT_EQ(ReadBmp(path), p);
}

TEST_F(BmpFileOnDiskTest, ReadErrorsNameThePath) {
  const fs::path missing = dir_ / "missing.bmp";
  EXPECT_THROW(ReadBmp(missing), FileError);
  const fs::path junk = dir_ / "junk.bmp";
  std::ofstream(junk) << "BM";
  try {
    ReadBmp(junk);
    FAIL() << "accepted";
  } catch (const FileError& e) {
    EXPECT_EQ(e.path(), junk.string());
    EXPECT_NE(std::string(e.what()).find(junk.string() + ": "), std::string::npos);
  }
}

// A write that fails half-way (here: the file-size limit, which binds even
// root, unlike folder permissions) must leave the old file as it was.
TEST_F(BmpFileOnDiskTest, FailedWriteKeepsTheOldFile) {
  const fs::path path = dir_ / "frame.bmp";
  WriteBmp(Noise(2, 2, 1), path);
  const std::string before = Slurp(path);

  rlimit old{};
  ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &old), 0);
  rlimit small = old;
  small.rlim_cur = 1000;
  const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
  ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
  bool threw = false;
  try {
    WriteBmp(Noise(100, 100, 2), path);
  } catch (const FileError&) {
    threw = true;
  }
  setrlimit(RLIMIT_FSIZE, &old);
  std::signal(SIGXFSZ, oldHandler);

  EXPECT_TRUE(threw);
  EXPECT_EQ(Slurp(path), before);
  EXPECT_EQ(std::distance(fs::directory_iterator(dir_), fs::directory_iterator()), 1);
  EXPECT_THROW(WriteBmp(Noise(2, 2, 1), dir_ / "no-such-folder" / "frame.bmp"), FileError);
}

}  // namespace
}  // namespace kestrelo
