#include "setup/ExamTables.h"

#include <cstdint>

#include "common/Rounding.h"

namespace kestrelo {
namespace {

FieldDef Text(const char* name, int size, const char* label = "") {
  FieldDef d;
  d.Name = name;
  d.Type = FieldType::String;
  d.Size = size;
  d.DisplayLabel = label;
  return d;
}

FieldDef Of(const char* name, FieldType type, const char* label = "") {
  FieldDef d;
  d.Name = name;
  d.Type = type;
  d.DisplayLabel = label;
  return d;
}

}  // namespace

DataTable MakeAnswerTable() {
  DataTable t("AnswerCD");
  t.AddField(Of("Item", FieldType::Integer, "项目"));
  t.AddField(Text("SType", 20, "题型"));
  t.AddField(Text("Answer", 20, "答案"));
  t.AddField(Text("isMutiSelMode", 8));
  t.AddField(Of("RightScore", FieldType::Float, "分值"));
  t.AddField(Of("SelOverScore", FieldType::Float, "多选得分"));
  t.AddField(Of("SelScareScore", FieldType::Float, "漏选得分"));
  t.AddIndex({"AnswerCDIndex1", "Item", true, true});
  t.SetActiveIndex("AnswerCDIndex1");
  t.CreateDataSet();
  return t;
}

DataTable MakeTypeRangeTable() {
  DataTable t("ClientDataSet1");
  t.AddField(Of("BeginNo", FieldType::Integer, "起始"));
  t.AddField(Of("EndNo", FieldType::Integer, "结束"));
  t.AddField(Of("sCount", FieldType::Integer, "题数"));
  t.AddField(Text("sType", 20, "题型"));
  t.AddField(Of("sScore", FieldType::Float, "分值"));
  t.AddField(Of("SelOverScore", FieldType::Float, "多选得分"));
  t.AddField(Of("SelScareScore", FieldType::Float, "漏选得分"));
  t.AddField(Of("Sequence", FieldType::Integer));
  t.AddField(Text("SetAnswer", 20, "设置"));
  t.AddField(Text("Answer", 255));
  FieldDef statics = Of("Statics", FieldType::Float, "小计");
  statics.Calculated = true;
  // Count times score in single precision, then to one decimal, ties to even.
  statics.Calc = [](const RowView& row) {
    const float product = static_cast<float>(row.Get("sCount").AsInteger()) *
                          static_cast<float>(row.Get("sScore").AsFloat());
    return Value::Float(RoundEven64(static_cast<double>(product) / 0.1) * 0.1);
  };
  t.AddField(std::move(statics));
  // Repeated ranges of one type are told apart by their Sequence, so the
  // unique key is the pair; sType alone would refuse the second range.
  t.AddIndex({"ClientDataSet1Index2", "sType;Sequence", true, false});
  t.CreateDataSet();
  return t;
}

DataTable MakeRosterTable() {
  DataTable t("NameLstCD");
  t.AddField(Of("ID", FieldType::AutoInc, "序号"));
  t.AddField(Text("ClassID", 20, "班级号(选填)"));
  t.AddField(Text("TestNo", 20, "学号(*)"));
  t.AddField(Text("Name", 20, "姓名(*)"));
  t.AddIndex({"TestNo", "TestNo", false, false});
  t.AddIndex({"ID", "ID", false, false});
  t.SetActiveIndex("ID");
  t.CreateDataSet();
  return t;
}

}  // namespace kestrelo
