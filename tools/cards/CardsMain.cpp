// kestrelo-cards: draws the card set from its layout descriptions.
//
//   kestrelo-cards DATA_FOLDER PROGRAM_FOLDER GEOMETRY_FOLDER
//
// DATA_FOLDER holds style.json, the family files family-*.json and
// sample.json. Written: PROGRAM_FOLDER/PaperTemplate/<name>.Config and
// <name>.PaperCard for every card, the filled sample card, the label
// pictures in PaperTemplate/PaperNo/, the print-ready PDFs in
// PROGRAM_FOLDER/Cards/, and GEOMETRY_FOLDER/<name>.json with where every box
// went (for the tests; not part of the program).
#include <QGuiApplication>
#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <set>

#include "common/AtomicFile.h"
#include "common/Error.h"
#include "imaging/BmpFile.h"
#include "tools/cards/CardLayout.h"
#include "tools/cards/CardPainter.h"

namespace fs = std::filesystem;
using namespace kestrelo;
using namespace kestrelo::cards;

namespace {

struct Folders {
  fs::path Templates;
  fs::path Labels;
  fs::path Pdf;
  fs::path Geometry;
};

fs::path U8(const std::string& utf8) { return fs::path(std::u8string(utf8.begin(), utf8.end())); }

void WriteCard(const CardStyle& style, const Card& card, const Folders& out) {
  WriteFileAtomically(out.Templates / U8(card.Name + ".Config"), TemplateJson(card));
  WriteBmp(RenderCardPicture(style, card, nullptr), out.Templates / U8(card.Name + ".PaperCard"));
  WriteFileAtomically(out.Pdf / U8(card.Name + ".pdf"), RenderCardPdf(style, card, nullptr));
  WriteFileAtomically(out.Geometry / U8(card.Name + ".json"), GeometryJson(card));
}

void WriteLabels(const CardStyle& style, const Folders& out) {
  for (int n = 1; n <= 76; n += 5) {
    WriteBmp(RenderLabelPicture(style, style.RowPitch, n, NumberLabelOffset()),
             out.Labels / (std::to_string(n) + "_" + std::to_string(n + 4) + ".bmp"));
  }
  WriteBmp(RenderLabelPicture(style, style.RowPitch, 0, 0), out.Labels / U8("判断.bmp"));
  WriteBmp(RenderLabelPicture(style, style.RowPitch, 0, NumberLabelOffset()), out.Labels / U8("B判断.bmp"));
}

int Run(const fs::path& data, const fs::path& program, const fs::path& geometry) {
  LoadCardFont(kCardFontFile);
  const CardStyle style = LoadStyle(data / "style.json");

  std::vector<fs::path> familyFiles;
  for (const auto& e : fs::directory_iterator(data)) {
    const std::string n = e.path().filename().string();
    if (n.rfind("family-", 0) == 0 && e.path().extension() == ".json") familyFiles.push_back(e.path());
  }
  std::sort(familyFiles.begin(), familyFiles.end());
  if (familyFiles.empty()) throw FileError(data.string(), "holds no family-*.json layout description");

  const Folders out{program / "PaperTemplate", program / "PaperTemplate" / "PaperNo", program / "Cards", geometry};
  for (const fs::path& f : {out.Templates, out.Labels, out.Pdf, out.Geometry}) fs::create_directories(f);

  std::vector<Card> cards;
  std::set<std::string> names;
  for (const fs::path& file : familyFiles) {
    const CardFamily family = LoadFamily(file);
    for (const FamilyVariant& v : family.Variants) {
      if (!names.insert(v.Name).second) throw FileError(file.string(), v.Name + ": this card name is used twice");
      try {
        cards.push_back(MakeCard(style, family, v));
      } catch (const Error& e) {
        throw FileError(file.string(), e.what());
      }
      WriteCard(style, cards.back(), out);
    }
  }

  const fs::path sampleFile = data / "sample.json";
  const SamplePlan sample = LoadSample(sampleFile);
  const auto base = std::find_if(cards.begin(), cards.end(), [&](const Card& c) { return c.Name == sample.Card; });
  if (base == cards.end()) throw FileError(sampleFile.string(), "card: no such card: " + sample.Card);
  CardFilling filling;
  try {
    filling = MakeFilling(*base, sample);
  } catch (const Error& e) {
    throw FileError(sampleFile.string(), e.what());
  }
  WriteBmp(RenderCardPicture(style, *base, &filling), out.Templates / U8(sample.Name + ".PaperCard"));
  WriteFileAtomically(out.Pdf / U8(sample.Name + ".pdf"), RenderCardPdf(style, *base, &filling));
  WriteFileAtomically(out.Geometry / U8(sample.Name + ".json"), GeometryJson(*base, &filling));

  WriteLabels(style, out);
  std::printf("kestrelo-cards: %zu cards, the filled sample and the label pictures written\n", cards.size());
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 4) {
    std::fprintf(stderr, "usage: kestrelo-cards DATA_FOLDER PROGRAM_FOLDER GEOMETRY_FOLDER\n");
    return 2;
  }
  // Drawing needs no display: the offscreen platform unless one was chosen.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QGuiApplication app(argc, argv);
  try {
    return Run(argv[1], argv[2], argv[3]);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "kestrelo-cards: %s\n", e.what());
    return 1;
  }
}
