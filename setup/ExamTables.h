#pragma once
// The three editable tables of an exam and the question count of the chosen
// card. The setup dialog owns one instance; everything in setup/ works on it.
#include <string>

#include "common/DataTable.h"

namespace kestrelo {

// Texts that more than one part of the setup uses.
inline constexpr const char* kTypeNotSet = "未设置";
inline constexpr const char* kUnusedType = "未用题目";
inline constexpr const char* kSetAnswerLink = "设置答案";

// Question counts beyond this come only from damaged files.
inline constexpr int kMaxQuestionCount = 1000;

// Key table: one row per question, visible in question order.
DataTable MakeAnswerTable();
// Type-range table: one row per range, in the order the ranges were added.
DataTable MakeTypeRangeTable();
// Roster table: one row per examinee; index "ID" active while editing.
DataTable MakeRosterTable();

struct ExamTables {
  DataTable AnswerCD = MakeAnswerTable();
  DataTable ClientDataSet1 = MakeTypeRangeTable();
  DataTable NameLstCD = MakeRosterTable();
  int CardQuestionCount = 0;
  std::string CardName;  // the caption of the chosen card, trimmed
};

}  // namespace kestrelo
