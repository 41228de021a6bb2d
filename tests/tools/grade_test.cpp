// kestrelo-grade as a user runs it: the real frame watch and read thread
// over picture files.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "imaging/BmpFile.h"
#include "tests/common/TempFolder.h"
#include "tests/imaging/PictureText.h"

namespace kestrelo {
namespace {

namespace fs = std::filesystem;

const fs::path kProgram = fs::path(KESTRELO_PROGRAM_DIR);
const fs::path kGrade = kProgram / "kestrelo-grade";

std::string Slurp(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

struct GradeRun {
  int Exit = -1;
  std::string Out, Err;
};

GradeRun Grade(const std::string& args, const fs::path& folder) {
  const fs::path out = folder / "out.txt", err = folder / "err.txt";
  const std::string cmd = "'" + kGrade.string() + "' " + args + " >'" + out.string() + "' 2>'" +
                          err.string() + "'";
  const int status = std::system(cmd.c_str());
  GradeRun r;
  r.Exit = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  r.Out = Slurp(out);
  r.Err = Slurp(err);
  return r;
}

fs::path U8(const std::string& s) { return fs::path(std::u8string(s.begin(), s.end())); }

class GradeCommand : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!fs::exists(kGrade)) GTEST_SKIP() << "kestrelo-grade is not built";
  }
  TempFolder folder;
};

TEST_F(GradeCommand, MissingOrBadSetupFilesFailClearly) {
  const fs::path blank = folder.Path() / "blank.bmp";
  WriteBmp(test::Uniform(64, 48, 255), blank);
  const fs::path badTemplate = folder.Path() / "bad.Config";
  std::ofstream(badTemplate) << "{not a template";
  const struct {
    std::string args, says;
  } cases[] = {
      {"--template nowhere --key k.score '" + blank.string() + "'", "nowhere: no such template"},
      {"--template '" + badTemplate.string() + "' --key k.score '" + blank.string() + "'",
       "bad.Config"},
      {"--key k.score '" + blank.string() + "'", "usage"},
      {"--template x --key k.score --bogus", "unknown option --bogus"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.args);
    const GradeRun r = Grade(c.args, folder.Path());
    EXPECT_EQ(r.Exit, 2);
    EXPECT_NE(r.Err.find(c.says), std::string::npos) << r.Err;
    EXPECT_EQ(r.Out, "");
  }
}

TEST_F(GradeCommand, GradesTheDemoExamAndGivesEveryPictureOneResult) {
  const fs::path key = kProgram / "Score" / U8("Demo_B类-标准80题卡.score");
  if (!fs::exists(kProgram / "TestPaper") || !fs::exists(key))
    GTEST_SKIP() << "the demo exam is not built in " << kProgram;

  const GradeRun demo = Grade("--demo", folder.Path());
  EXPECT_EQ(demo.Exit, 0) << demo.Err;
  EXPECT_NE(demo.Out.find("考号 2025080101  王小明"), std::string::npos) << demo.Out;

  // The demo sheets plus a picture without a sheet: that one is given up.
  const fs::path blank = folder.Path() / "blank.bmp";
  WriteBmp(test::Uniform(800, 600, 230), blank);
  const fs::path json = folder.Path() / "sheets.json", csv = folder.Path() / "results.csv";
  const GradeRun r = Grade("--template 'B类-标准80题卡' --key '" + key.string() + "' --roster '" +
                          (kProgram / U8("名册") / U8("Demo.名册")).string() + "' --max-frames 10 --json '" +
                          json.string() + "' --csv '" + csv.string() + "' '" +
                          (kProgram / "TestPaper").string() + "' '" + blank.string() + "'",
                      folder.Path());
  EXPECT_EQ(r.Exit, 1) << r.Err;  // one picture was not read
  const nlohmann::json sheets = nlohmann::json::parse(Slurp(json));
  ASSERT_EQ(sheets.size(), 6u);
  for (int i = 0; i < 5; ++i) {
    EXPECT_EQ(sheets[i]["status"], "recorded") << sheets[i].dump();
    EXPECT_EQ(sheets[i]["answers"].size(), 80u);
  }
  EXPECT_EQ(sheets[0]["examNo"], "2025080101");
  EXPECT_EQ(sheets[0]["name"], "王小明");
  EXPECT_EQ(sheets[5]["status"], "no sheet found");
  EXPECT_NE(r.Out.find("blank.bmp: not read"), std::string::npos) << r.Out;
  // A header and one row per recorded sheet.
  const std::string table = Slurp(csv);
  EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 6);
  EXPECT_EQ(table.rfind("序号,状态,考号,姓名,得分", 0), 0u);
}

}  // namespace
}  // namespace kestrelo
