#include "tools/synth/SynthCard.h"

#include <map>
#include <nlohmann/json.hpp>
#include <utility>

#include "analysis/CardTemplate.h"
#include "common/AtomicFile.h"
#include "common/Error.h"
#include "imaging/BmpFile.h"

namespace kestrelo::synth {

namespace {

using Json = nlohmann::json;

int IntAt(const Json& j, const std::string& file, const char* what) {
  if (!j.is_number_integer()) throw FileError(file, std::string(what) + ": must be an integer");
  return j.get<int>();
}

}  // namespace

std::filesystem::path Utf8Path(const std::string& utf8) {
  return std::filesystem::path(std::u8string(utf8.begin(), utf8.end()));
}

SynthCard LoadSynthCard(const std::filesystem::path& templates,
                        const std::filesystem::path& geometry, const std::string& name) {
  SynthCard card;
  card.Name = name;

  const std::filesystem::path geoPath = geometry / Utf8Path(name + ".json");
  const std::string geoFile = geoPath.string();
  Json g;
  try {
    g = Json::parse(ReadWholeFile(geoPath));
  } catch (const Json::exception& e) {
    throw FileError(geoFile, std::string("not valid JSON: ") + e.what());
  }
  std::map<std::pair<int, int>, Box> boxes;
  try {
    card.Family = g.at("family").get<std::string>();
    const Json& f = g.at("frame");
    if (!f.is_array() || f.size() != 4) throw FileError(geoFile, "frame: must be four integers");
    card.Frame = Box{IntAt(f[0], geoFile, "frame"), IntAt(f[1], geoFile, "frame"),
                     IntAt(f[2], geoFile, "frame"), IntAt(f[3], geoFile, "frame")};
    card.FrameLine = IntAt(g.at("frameLine"), geoFile, "frameLine");
    card.RowPitch = IntAt(g.at("rowPitch"), geoFile, "rowPitch");
    card.ColumnPitch = IntAt(g.at("columnPitch"), geoFile, "columnPitch");
    for (const Json& c : g.at("cells")) {
      if (!c.is_array() || c.size() != 7)
        throw FileError(geoFile, "cells: every cell must hold seven values");
      const Box b{IntAt(c[3], geoFile, "cells"), IntAt(c[4], geoFile, "cells"),
                  IntAt(c[5], geoFile, "cells"), IntAt(c[6], geoFile, "cells")};
      boxes[{IntAt(c[0], geoFile, "cells"), IntAt(c[1], geoFile, "cells")}] = b;
      card.AllBoxes.push_back(b);
    }
  } catch (const Json::exception& e) {
    throw FileError(geoFile, std::string("not a card geometry record: ") + e.what());
  }

  const std::filesystem::path tmplPath = templates / Utf8Path(name + ".Config");
  const CardTemplate tmpl = CardTemplate::Load(tmplPath);
  auto choices = [&](const TemplateBlock& block) {
    std::vector<Choice> out;
    const std::vector<GridCellRef> cells = tmpl.BlockCells(block);
    for (std::size_t k = 0; k < cells.size(); ++k) {
      const auto it = boxes.find({cells[k].Line, cells[k].Colum});
      if (it == boxes.end()) {
        throw FileError(geoFile, "has no box for cell " + std::to_string(cells[k].Line) + "," +
                                     std::to_string(cells[k].Colum) + " of block " + block.Id +
                                     " of " + tmplPath.string());
      }
      out.push_back(Choice{tmpl.Letter(block, static_cast<int>(k)), it->second});
    }
    return out;
  };
  for (const TemplateBlock& b : tmpl.TestNo) card.ExamPositions.push_back(choices(b));
  for (const TemplateBlock& b : tmpl.Questions) card.Questions.push_back(choices(b));

  const std::filesystem::path picPath = templates / Utf8Path(name + ".PaperCard");
  card.Print = ReadBmp(picPath);
  const Box& fr = card.Frame;
  if (fr.X < 0 || fr.Y < 0 || fr.W <= 0 || fr.H <= 0 || fr.Right() > card.Print.Width() ||
      fr.Bottom() > card.Print.Height()) {
    throw FileError(geoFile, "frame: lies outside the card picture " + picPath.string());
  }
  for (const Box& b : card.AllBoxes) {
    if (b.X < 0 || b.Y < 0 || b.W <= 0 || b.H <= 0 || b.Right() > card.Print.Width() ||
        b.Bottom() > card.Print.Height()) {
      throw FileError(geoFile, "cells: a box lies outside the card picture " + picPath.string());
    }
  }
  // The anchor pixels (pure red) mark label places for the template tools;
  // they are not printed.
  for (int y = 0; y < card.Print.Height(); ++y) {
    std::uint8_t* p = card.Print.Row(y);
    for (int x = 0; x < card.Print.Width(); ++x, p += 3) {
      if (p[0] == 0 && p[1] == 0 && p[2] == 255) p[0] = p[1] = p[2] = 255;
    }
  }
  return card;
}

}  // namespace kestrelo::synth
