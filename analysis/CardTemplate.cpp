#include "analysis/CardTemplate.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>
#include <nlohmann/json.hpp>

#include "common/AtomicFile.h"
#include "common/GbkText.h"
#include "common/Rounding.h"

namespace kestrelo {

namespace {

using Json = nlohmann::json;

// Far beyond any printable card; keeps the grid arrays of a hostile file small.
constexpr int kMaxGridSide = 1000;
constexpr int kMaxFrameLines = 1000;

std::string_view Trim(std::string_view s) {
  while (!s.empty() &&
         (s.front() == ' ' || s.front() == '\t' || s.front() == '\r' || s.front() == '\n')) {
    s.remove_prefix(1);
  }
  while (!s.empty() &&
         (s.back() == ' ' || s.back() == '\t' || s.back() == '\r' || s.back() == '\n')) {
    s.remove_suffix(1);
  }
  return s;
}

// Byte offsets of the UTF-8 characters of s (s is valid UTF-8).
std::vector<std::size_t> CharStarts(std::string_view s) {
  std::vector<std::size_t> starts;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if ((static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) starts.push_back(i);
  }
  return starts;
}

class Reader {
 public:
  explicit Reader(std::string label) : label_(std::move(label)) {}

  [[noreturn]] void Fail(const std::string& member, const std::string& what) const {
    throw TemplateError(label_, member, what);
  }

  const Json& Member(const Json& obj, const std::string& path, const char* key) const {
    const auto it = obj.find(key);
    if (it == obj.end()) Fail(Join(path, key), "is missing");
    return *it;
  }
  const Json& Object(const Json& obj, const std::string& path, const char* key) const {
    const Json& v = Member(obj, path, key);
    if (!v.is_object()) Fail(Join(path, key), "must be an object");
    return v;
  }
  const Json& Array(const Json& obj, const std::string& path, const char* key) const {
    const Json& v = Member(obj, path, key);
    if (!v.is_array()) Fail(Join(path, key), "must be an array");
    return v;
  }

  // A number, or a text holding one; fractions round to the nearest, ties to even.
  int Int(const Json& obj, const std::string& path, const char* key) const {
    const std::string member = Join(path, key);
    const Json& v = Member(obj, path, key);
    double d = 0;
    if (v.is_number_integer() && !v.is_number_unsigned()) {
      const auto i = v.get<std::int64_t>();
      return InRange(static_cast<double>(i), member);
    }
    if (v.is_number_unsigned()) {
      d = static_cast<double>(v.get<std::uint64_t>());
    } else if (v.is_number_float()) {
      d = v.get<double>();
    } else if (v.is_string()) {
      const std::string_view s = Trim(v.get_ref<const std::string&>());
      const char* first = s.data();
      const char* last = s.data() + s.size();
      if (!s.empty() && *first == '+') ++first;
      const auto [end, ec] = std::from_chars(first, last, d);
      if (s.empty() || ec != std::errc() || end != last || !std::isfinite(d)) {
        Fail(member, "must be a number, not \"" + std::string(s) + "\"");
      }
    } else {
      Fail(member, "must be a number");
    }
    return InRange(RoundEven64Checked(d, member), member);
  }

  // A text, or a number taken as its decimal text.
  std::string Text(const Json& obj, const std::string& path, const char* key) const {
    const Json& v = Member(obj, path, key);
    if (v.is_string()) return v.get<std::string>();
    if (v.is_number()) return v.dump();
    Fail(Join(path, key), "must be a text");
  }

  // Read as text and converted as a whole number.
  int WholeNumber(const Json& obj, const std::string& path, const char* key) const {
    const std::string member = Join(path, key);
    const std::string text = Text(obj, path, key);
    const std::string_view s = Trim(text);
    const char* first = s.data();
    const char* last = s.data() + s.size();
    if (!s.empty() && *first == '+') ++first;
    int value = 0;
    const auto [end, ec] = std::from_chars(first, last, value);
    if (s.empty() || ec != std::errc() || end != last) {
      Fail(member, "\"" + text + "\" is not a whole number");
    }
    return value;
  }

  static std::string Join(const std::string& path, const char* key) {
    return path.empty() ? std::string(key) : path + "." + key;
  }

 private:
  double RoundEven64Checked(double d, const std::string& member) const {
    if (!std::isfinite(d) || std::fabs(d) > 4e9) Fail(member, "is out of range");
    return static_cast<double>(RoundEven64(d));
  }
  int InRange(double d, const std::string& member) const {
    if (d < std::numeric_limits<int>::min() || d > std::numeric_limits<int>::max()) {
      Fail(member, "is out of range");
    }
    return static_cast<int>(d);
  }

  std::string label_;
};

std::string Decode(std::string_view bytes, const std::string& label) {
  if (IsValidUtf8(bytes)) {
    if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
    return std::string(bytes);
  }
  try {
    return GbkToUtf8(bytes);
  } catch (const Error&) {
    throw TemplateError(label, "", "the text is neither UTF-8 nor GBK");
  }
}

}  // namespace

TemplateError::TemplateError(const std::string& file, const std::string& member,
                             const std::string& what)
    : Error((file.empty() ? std::string() : file + ": ") +
            (member.empty() ? std::string() : member + ": ") + what),
      file_(file),
      member_(member) {}

std::string StripJsonComments(std::string_view text) {
  std::string out(text);
  enum class State { Normal, String, Line, Block } state = State::Normal;
  for (std::size_t i = 0; i < out.size(); ++i) {
    const char c = out[i];
    const char next = i + 1 < out.size() ? out[i + 1] : '\0';
    switch (state) {
      case State::Normal:
        if (c == '"') {
          state = State::String;
        } else if (c == '#') {
          state = State::Line;
          out[i] = ' ';
        } else if (c == '/' && next == '/') {
          state = State::Line;
          out[i] = out[i + 1] = ' ';
          ++i;
        } else if (c == '/' && next == '*') {
          state = State::Block;
          out[i] = out[i + 1] = ' ';
          ++i;
        }
        break;
      case State::String:
        if (c == '\\') {
          ++i;  // the escaped character cannot end the string
        } else if (c == '"') {
          state = State::Normal;
        }
        break;
      case State::Line:
        if (c == '\n') {
          state = State::Normal;
        } else {
          out[i] = ' ';
        }
        break;
      case State::Block:
        if (c == '*' && next == '/') {
          out[i] = out[i + 1] = ' ';
          ++i;
          state = State::Normal;
        } else if (c != '\n') {
          out[i] = ' ';
        }
        break;
    }
  }
  return out;
}

namespace {

TemplateBlock ReadBlock(const Reader& r, const Json& b, const std::string& path) {
  if (!b.is_object()) r.Fail(path, "must be an object");
  TemplateBlock block;
  block.Id = r.Text(b, path, "Id");
  block.PaperRectsId = r.Int(b, path, "PaperRects_ID");
  block.StartPosLine = r.Int(b, path, "StartPosLine");
  block.StartPosColum = r.Int(b, path, "StartPosColum");
  block.GridNum = r.Int(b, path, "GridNum");
  block.Orient = r.Text(b, path, "Orient");
  block.BackValue = r.Text(b, path, "BackValue");
  block.BackAnswerNum = r.Int(b, path, "BackAnswerNum");
  return block;
}

void CheckBlock(const Reader& r, const CardTemplate& t, const TemplateBlock& b,
                const std::string& path) {
  const int n = static_cast<int>(t.PaperRects.size());
  if (b.PaperRectsId < 1 || b.PaperRectsId > n) {
    r.Fail(path + ".PaperRects_ID", "names sub-rectangle " + std::to_string(b.PaperRectsId) +
                                        ", but there are " + std::to_string(n));
  }
  if (b.GridNum < 0) r.Fail(path + ".GridNum", "must not be negative");
  if (b.Orient != "TopBottom" && b.Orient != "LeftRight") return;  // no cells
  if (b.GridNum == 0) return;
  const TemplatePaperRect& p = t.PaperRects[static_cast<std::size_t>(b.PaperRectsId - 1)];
  // 64-bit: the members are arbitrary 32-bit values here.
  const std::int64_t row0 = std::int64_t{p.FirstCellLine} + b.StartPosLine - 2;
  const std::int64_t col0 = std::int64_t{p.FirstCellColum} + b.StartPosColum - 2;
  const bool down = b.Orient == "TopBottom";
  const std::int64_t rowN = down ? row0 + b.GridNum - 1 : row0;
  const std::int64_t colN = down ? col0 : col0 + b.GridNum - 1;
  if (row0 < 0 || rowN >= t.LineCount || col0 < 0 || colN >= t.ColumCount) {
    r.Fail(path, "its cells run from grid row " + std::to_string(row0) + ", column " +
                     std::to_string(col0) + " to row " + std::to_string(rowN) + ", column " +
                     std::to_string(colN) + ", outside the grid of " + std::to_string(t.LineCount) +
                     " rows and " + std::to_string(t.ColumCount) + " columns (counted from 0)");
  }
  const auto letters = static_cast<std::int64_t>(CharStarts(b.BackValue).size());
  if (letters < b.GridNum) {
    r.Fail(path + ".BackValue", "has " + std::to_string(letters) + " characters for " +
                                    std::to_string(b.GridNum) + " cells (\"GridNum\")");
  }
}

std::vector<TemplateBlock> ReadBlocks(const Reader& r, const Json& root, const char* key) {
  const Json& arr = r.Array(root, "", key);
  std::vector<TemplateBlock> blocks;
  for (std::size_t i = 0; i < arr.size(); ++i) {
    blocks.push_back(ReadBlock(r, arr[i], std::string(key) + "[" + std::to_string(i) + "]"));
  }
  return blocks;
}

void CheckIndex(const Reader& r, int index, int count, const std::string& member,
                const char* what) {
  if (index < 0 || index >= count) {
    r.Fail(member, "frame-line index " + std::to_string(index) + " is outside the " +
                       std::to_string(count) + " " + what + " frame lines");
  }
}

}  // namespace

CardTemplate CardTemplate::Load(const std::filesystem::path& path) {
  const std::string bytes = ReadWholeFile(path);
  CardTemplate t = FromText(bytes, path.string());
  t.name_ = path.stem().string();
  return t;
}

CardTemplate CardTemplate::FromText(std::string_view bytes, const std::string& name) {
  const Reader r(name);
  const std::string text = StripJsonComments(Decode(bytes, name));
  Json root;
  try {
    root = Json::parse(text);
  } catch (const Json::parse_error& e) {
    std::string what = e.what();
    if (const auto cut = what.find("] "); cut != std::string::npos) what.erase(0, cut + 2);
    r.Fail("", "not a JSON text: " + what);
  }
  if (!root.is_object()) r.Fail("", "must hold one JSON object");

  CardTemplate t;
  t.name_ = name;

  const Json& dp = r.Object(root, "", "DevidePaper");
  const std::string dpPath = "DevidePaper";
  t.LinesThreadCount = r.Int(dp, dpPath, "LinesThreadCount");
  t.ColumsThreadCount = r.Int(dp, dpPath, "ColumsThreadCount");
  t.LineCount = r.Int(dp, dpPath, "LineCount");
  t.ColumCount = r.Int(dp, dpPath, "ColumCount");
  // The grid lies between the first and the last frame line of each direction.
  if (t.LinesThreadCount < 2 || t.LinesThreadCount > kMaxFrameLines) {
    r.Fail(dpPath + ".LinesThreadCount", "must be 2 to " + std::to_string(kMaxFrameLines));
  }
  if (t.ColumsThreadCount < 2 || t.ColumsThreadCount > kMaxFrameLines) {
    r.Fail(dpPath + ".ColumsThreadCount", "must be 2 to " + std::to_string(kMaxFrameLines));
  }
  if (t.LineCount < 1 || t.LineCount > kMaxGridSide) {
    r.Fail(dpPath + ".LineCount", "must be 1 to " + std::to_string(kMaxGridSide));
  }
  if (t.ColumCount < 1 || t.ColumCount > kMaxGridSide) {
    r.Fail(dpPath + ".ColumCount", "must be 1 to " + std::to_string(kMaxGridSide));
  }

  const Json& clear = r.Array(dp, dpPath, "ClearRects");
  for (std::size_t i = 0; i < clear.size(); ++i) {
    const std::string path = dpPath + ".ClearRects[" + std::to_string(i) + "]";
    if (!clear[i].is_object()) r.Fail(path, "must be an object");
    TemplateClearRect c;
    c.Left = r.WholeNumber(clear[i], path, "Left");
    c.Right = r.WholeNumber(clear[i], path, "Right");
    c.Top = r.WholeNumber(clear[i], path, "Top");
    c.Bottom = r.WholeNumber(clear[i], path, "Bottom");
    CheckIndex(r, c.Left, t.ColumsThreadCount, path + ".Left", "vertical");
    CheckIndex(r, c.Right, t.ColumsThreadCount, path + ".Right", "vertical");
    CheckIndex(r, c.Top, t.LinesThreadCount, path + ".Top", "horizontal");
    CheckIndex(r, c.Bottom, t.LinesThreadCount, path + ".Bottom", "horizontal");
    t.ClearRects.push_back(c);
  }

  const Json& rects = r.Object(dp, dpPath, "PaperRects");
  const std::string rectsPath = dpPath + ".PaperRects";
  for (std::size_t i = 1; i <= rects.size(); ++i) {
    const std::string key = "PaperRect" + std::to_string(i);
    const auto it = rects.find(key);
    if (it == rects.end()) {
      r.Fail(rectsPath + "." + key, "is missing: the " + std::to_string(rects.size()) +
                                        " members must be PaperRect1 to PaperRect" +
                                        std::to_string(rects.size()) + " without gaps");
    }
    const std::string path = rectsPath + "." + key;
    if (!it->is_object()) r.Fail(path, "must be an object");
    TemplatePaperRect p;
    p.Left = r.Int(*it, path, "Left");
    p.Right = r.Int(*it, path, "Right");
    p.Top = r.Int(*it, path, "Top");
    p.Bottom = r.Int(*it, path, "Bottom");
    p.LineCount = r.Int(*it, path, "LineCount");
    p.ColumCount = r.Int(*it, path, "ColumCount");
    p.FirstCellLine = r.Int(*it, path, "FirstCellLine");
    p.FirstCellColum = r.Int(*it, path, "FirstCellColum");
    CheckIndex(r, p.Left, t.ColumsThreadCount, path + ".Left", "vertical");
    CheckIndex(r, p.Right, t.ColumsThreadCount, path + ".Right", "vertical");
    CheckIndex(r, p.Top, t.LinesThreadCount, path + ".Top", "horizontal");
    CheckIndex(r, p.Bottom, t.LinesThreadCount, path + ".Bottom", "horizontal");
    t.PaperRects.push_back(p);
  }

  const Json& split = r.Object(root, "", "SplitConfig");
  t.TestNoAreaBlank = r.Int(split, "SplitConfig", "TestNoAreaBlank");

  t.TestNo = ReadBlocks(r, root, "TestNo");
  t.Questions = ReadBlocks(r, root, "Questions");
  t.Verifys = ReadBlocks(r, root, "Verifys");
  if (root.contains("LineQuestionCount")) {
    t.LineQuestionCount = r.Int(root, "", "LineQuestionCount");
    // The questions are grouped modulo this number.
    if (t.LineQuestionCount < 1) r.Fail("LineQuestionCount", "must be at least 1");
  }

  const std::pair<const char*, const std::vector<TemplateBlock>*> lists[] = {
      {"TestNo", &t.TestNo}, {"Questions", &t.Questions}, {"Verifys", &t.Verifys}};
  for (const auto& [key, blocks] : lists) {
    for (std::size_t i = 0; i < blocks->size(); ++i) {
      CheckBlock(r, t, (*blocks)[i], std::string(key) + "[" + std::to_string(i) + "]");
    }
  }

  t.jsonText_ = root.dump();
  return t;
}

std::vector<GridCellRef> CardTemplate::BlockCells(const TemplateBlock& block) const {
  std::vector<GridCellRef> cells;
  const bool down = block.Orient == "TopBottom";
  if (!down && block.Orient != "LeftRight") return cells;
  if (block.PaperRectsId < 1 || block.PaperRectsId > static_cast<int>(PaperRects.size())) {
    throw TemplateError(name_, "PaperRects_ID", "names no sub-rectangle");
  }
  const TemplatePaperRect& p = PaperRects[static_cast<std::size_t>(block.PaperRectsId - 1)];
  const int row0 = p.FirstCellLine + block.StartPosLine - 2;
  const int col0 = p.FirstCellColum + block.StartPosColum - 2;
  for (int k = 0; k < block.GridNum; ++k) {
    cells.push_back(down ? GridCellRef{row0 + k, col0} : GridCellRef{row0, col0 + k});
  }
  return cells;
}

std::string CardTemplate::Letter(const TemplateBlock& block, int k) const {
  const std::vector<std::size_t> starts = CharStarts(block.BackValue);
  if (k < 0 || k >= static_cast<int>(starts.size())) {
    throw TemplateError(name_, "BackValue", "has no character " + std::to_string(k));
  }
  const std::size_t from = starts[static_cast<std::size_t>(k)];
  const std::size_t to = static_cast<std::size_t>(k) + 1 < starts.size()
                             ? starts[static_cast<std::size_t>(k) + 1]
                             : block.BackValue.size();
  return block.BackValue.substr(from, to - from);
}

}  // namespace kestrelo
