#include "common/DataTable.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/Error.h"

namespace kestrelo {
namespace {

// id (auto), name String(6), score Float, class Integer; index "byName".
DataTable People() {
  DataTable t("people");
  t.AddField({.Name = "id", .Type = FieldType::AutoInc});
  t.AddField({.Name = "name", .Type = FieldType::String, .Size = 6});
  t.AddField({.Name = "score", .Type = FieldType::Float});
  t.AddField({.Name = "class", .Type = FieldType::Integer});
  t.AddIndex({.Name = "byName", .Fields = "name"});
  t.AddIndex({.Name = "byClassName", .Fields = "class;name"});
  t.CreateDataSet();
  return t;
}

void Add(DataTable& t, const std::string& name, double score = 0, int klass = 0) {
  t.Append();
  t.SetString("name", name);
  t.SetFloat("score", score);
  t.SetInteger("class", klass);
  t.Post();
}

std::vector<std::string> VisibleNames(DataTable& t) {
  std::vector<std::string> out;
  for (t.First(); !t.Eof(); t.Next()) out.push_back(t.AsString("name"));
  return out;
}

TEST(DataTable, AppendsNumbersRowsAndWalksThemInOrder) {
  DataTable t = People();
  EXPECT_EQ(t.RecNo(), 0);
  EXPECT_TRUE(t.Eof());
  Add(t, "c");
  Add(t, "a");
  Add(t, "b");
  EXPECT_EQ(t.RecordCount(), 3);
  EXPECT_EQ(t.RecNo(), 3);  // the cursor stays on the posted row
  EXPECT_EQ(VisibleNames(t), (std::vector<std::string>{"c", "a", "b"}));
  EXPECT_EQ(t.RecNo(), 3);  // Next past the end keeps the last row
  EXPECT_EQ(t.AsInteger("id"), 3);

  t.MoveTo(2);
  EXPECT_EQ(t.AsString("name"), "a");
  EXPECT_EQ(t.AsInteger("id"), 2);
  t.Prior();
  t.Prior();
  EXPECT_TRUE(t.Bof());
  EXPECT_EQ(t.RecNo(), 1);
  EXPECT_THROW(t.MoveTo(4), Error);
}

TEST(DataTable, EditPostCancelAndDelete) {
  DataTable t = People();
  for (const char* n : {"a", "b", "c", "d"}) Add(t, n);

  t.MoveTo(2);
  t.Edit();
  t.SetString("name", "B");
  EXPECT_EQ(t.AsString("name"), "B");  // the edit buffer is what reads back
  t.Cancel();
  EXPECT_EQ(t.AsString("name"), "b");
  t.Edit();
  t.SetFloat("score", 2.5);
  t.Post();
  EXPECT_DOUBLE_EQ(t.ValueAt(2, "score").AsFloat(), 2.5);

  t.Delete();  // goes on to the next row
  EXPECT_EQ(t.AsString("name"), "c");
  t.Last();
  t.Delete();  // the last row: back to the one before
  EXPECT_EQ(t.AsString("name"), "c");
  EXPECT_EQ(VisibleNames(t), (std::vector<std::string>{"a", "c"}));

  // Numbers are never given twice, not even after deletes.
  Add(t, "e");
  EXPECT_EQ(t.AsInteger("id"), 5);
  t.EmptyTable();
  Add(t, "f");
  EXPECT_EQ(t.AsInteger("id"), 6);
}

TEST(DataTable, RefusesMisuseWithoutChangingAnything) {
  DataTable t = People();
  Add(t, "a");
  EXPECT_THROW(t.SetString("name", "x"), Error);  // not editing
  t.Edit();
  EXPECT_THROW(t.SetInteger("id", 9), Error);  // auto-increment is read-only
  EXPECT_THROW(t.SetString("nope", "x"), Error);
  EXPECT_THROW(t.Append(), Error);  // still editing
  t.Cancel();
  EXPECT_EQ(t.AsString("name"), "a");
  EXPECT_EQ(t.RecordCount(), 1);
}

TEST(DataTable, TextIsCutToItsGbkWidthWithoutSplittingACharacter) {
  struct Case {
    const char* in;
    const char* stored;
  };
  const Case cases[] = {
      {"abcdefgh", "abcdef"}, {"张三丰", "张三丰"}, {"张三丰a", "张三丰"}, {"a张三丰", "a张三"}};
  DataTable t = People();
  for (const Case& c : cases) {
    t.Append();
    t.SetString("name", c.in);
    EXPECT_EQ(t.AsString("name"), c.stored) << c.in;
    t.Cancel();
  }
  t.Append();
  t.SetString("class", " 12 ");  // decimal text into an integer field
  EXPECT_EQ(t.Get("class"), Value::Integer(12));
  EXPECT_THROW(t.SetString("class", "12a"), Error);
  EXPECT_THROW(t.SetString("name", std::string("\xC3", 1)), Error);
}

TEST(DataTable, ActiveIndexAndSortGiveTheVisibleOrderOnly) {
  DataTable t = People();
  Add(t, "c", 0, 2);
  Add(t, "a", 0, 2);
  Add(t, "b", 0, 1);
  Add(t, "a", 0, 1);

  t.SetActiveIndex("byName");
  EXPECT_EQ(VisibleNames(t), (std::vector<std::string>{"a", "a", "b", "c"}));
  t.First();
  EXPECT_EQ(t.AsInteger("id"), 2);  // ties keep insertion order

  t.SetActiveIndex("byClassName");
  EXPECT_EQ(VisibleNames(t), (std::vector<std::string>{"a", "b", "a", "c"}));

  t.SortBy("name");
  EXPECT_EQ(t.ActiveIndex(), "");
  t.First();
  t.Edit();
  t.SetString("name", "z");  // an edited row moves, the cursor follows it
  t.Post();
  EXPECT_EQ(t.AsString("name"), "z");
  EXPECT_EQ(t.RecNo(), 4);

  // Appends go to the end of insertion order, whatever is shown.
  Add(t, "b");
  EXPECT_EQ(t.StoredRow(4)[1], Value::Text("b"));
  EXPECT_EQ(t.StoredRow(0)[1], Value::Text("c"));
  t.SetActiveIndex("");
  EXPECT_EQ(VisibleNames(t), (std::vector<std::string>{"c", "z", "b", "a", "b"}));

  EXPECT_TRUE(t.Locate("id", Value::Integer(4)));
  EXPECT_EQ(t.AsString("name"), "a");
  EXPECT_FALSE(t.Locate("id", Value::Integer(99)));
  EXPECT_THROW(t.SetActiveIndex("missing"), Error);
}

TEST(DataTable, UniqueIndexRefusesADuplicateKeyAndKeepsTheRows) {
  DataTable t("pairs");
  t.AddField({.Name = "type", .Type = FieldType::String, .Size = 20});
  t.AddField({.Name = "seq", .Type = FieldType::Integer});
  t.AddIndex({.Name = "key", .Fields = "type;seq", .Unique = true});
  t.CreateDataSet();
  const auto add = [&](const char* type, int seq) {
    t.Append();
    t.SetString("type", type);
    t.SetInteger("seq", seq);
    t.Post();
  };
  add("单选题", 0);
  add("单选题", 1);
  EXPECT_THROW(add("单选题", 1), Error);
  EXPECT_EQ(t.State(), TableState::Insert);  // the row stays in the editor
  t.Cancel();
  EXPECT_EQ(t.RecordCount(), 2);

  t.MoveTo(2);
  t.Edit();
  t.SetInteger("seq", 0);
  EXPECT_THROW(t.Post(), Error);
  t.Cancel();
  EXPECT_EQ(t.ValueAt(2, "seq"), Value::Integer(1));

  std::vector<std::vector<Value>> dup = {{Value::Text("a"), Value::Integer(0)},
                                         {Value::Text("a"), Value::Integer(0)}};
  EXPECT_THROW(t.LoadRows(dup, 1), Error);
  EXPECT_EQ(t.RecordCount(), 2);
}

TEST(DataTable, CalculatedFieldFollowsTheRowItIsReadFrom) {
  DataTable t("calc");
  t.AddField({.Name = "n", .Type = FieldType::Integer});
  FieldDef twice{.Name = "twice", .Type = FieldType::Integer, .Calculated = true};
  twice.Calc = [](const RowView& r) { return Value::Integer(r.Get("n").AsInteger() * 2); };
  t.AddField(twice);
  t.CreateDataSet();
  t.Append();
  t.SetInteger("n", 21);
  EXPECT_EQ(t.AsInteger("twice"), 42);
  EXPECT_THROW(t.SetInteger("twice", 1), Error);
  t.Post();
  EXPECT_EQ(t.ValueAt(1, "twice"), Value::Integer(42));
  EXPECT_TRUE(t.StoredRow(0)[1].IsNull());
}

}  // namespace
}  // namespace kestrelo
