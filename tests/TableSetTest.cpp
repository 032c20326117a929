#include "TableSet.h"

#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

#include "TestSupport.h"

namespace {

const char* kTables =
    "\nemp(name char(20), age int)\nNagy, 7\n'Zova Bela', 42\n"
    "\n\n\nemp(x int)\n5\n"
    "\ndept(d char(5))\n";

std::string resultOf(TableSet& tables, const std::string& expression) {
  tables.evaluate(expression);
  std::ostringstream out;
  tables.write_result(&out);
  return out.str();
}

TEST(TableSet, CataloguesTheFirstTableOfEachName) {
  TableSet tables(kTables);
  EXPECT_EQ(tables.getTableByName("emp")->fingerPrint(), "(name char(20), age int)");
  EXPECT_EQ(tables.getTableByName("dept")->recordCount(), 0);
  EXPECT_EQ(messageOf([&] { tables.getTableByName("Emp"); }), "Nincs Emp nevu tabla.");
}

TEST(TableSet, ChecksRepeatedBlocksInFull) {
  EXPECT_EQ(messageOf([] { TableSet("\nt(a int)\n1\n\nt(a int)\nx\n"); }),
            "Nem alakithato szamma: x");
}

TEST(TableSet, RejectsRecordsBeforeAnyHeader) {
  EXPECT_EQ(messageOf([] { TableSet("Nagy, 7\n"); }), "Tabla nelkuli rekord: Nagy, 7");
  EXPECT_EQ(messageOf([] { TableSet(" \n"); }), "Tabla nelkuli rekord:  ");
  EXPECT_EQ(messageOf([] { TableSet("\n \n"); }), "Nev nelkuli tabla nem hozhato letre!");
}

TEST(TableSet, EvaluatesBareNamesWithOrWithoutBrackets) {
  TableSet tables(kTables);
  const std::string emp = "emp(name char(20), age int)\nNagy,7\n'Zova Bela',42\n";
  EXPECT_EQ(resultOf(tables, "emp"), emp);
  EXPECT_EQ(resultOf(tables, " ( ( e mp ) ) "), emp);
  EXPECT_EQ(resultOf(tables, "emp(x, y)"), emp);
  EXPECT_EQ(tables.result(), tables.getTableByName("emp"));
}

TEST(TableSet, ReportsTheFirstFailureInEvaluationOrder) {
  TableSet tables(kTables);
  EXPECT_EQ(messageOf([&] { tables.evaluate("union(a, b)"); }), "Nincs a nevu tabla.");
  EXPECT_EQ(messageOf([&] { tables.evaluate("union(a, union(b))"); }), "Nincs a nevu tabla.");
  EXPECT_EQ(messageOf([&] { tables.evaluate("union(emp, union(b))"); }),
            "Helytelen zarojelezes: union(b)");
  EXPECT_THROW(tables.evaluate("union"), std::out_of_range);
  EXPECT_THROW(tables.evaluate("union(,emp)"), std::out_of_range);
  EXPECT_THROW(tables.evaluate(""), std::out_of_range);
  EXPECT_EQ(tables.result(), nullptr);
  EXPECT_EQ(messageOf([&] { tables.write_result(nullptr); }), "Meg nincs letrehozva eredmenytabla!");
}

TEST(TableSet, RenameChangesTheCataloguedTableUnderItsOldName) {
  TableSet tables(kTables);
  EXPECT_EQ(resultOf(tables, "union(rename(emp, staff(n, a)), emp)"),
            "result(n char(20), a int)\nNagy,7\n'Zova Bela',42\n");
  EXPECT_EQ(tables.getTableByName("emp")->getName(), "staff");
  EXPECT_EQ(messageOf([&] { tables.evaluate("staff"); }), "Nincs staff nevu tabla.");
}

TEST(TableSet, RenameOfANewTableBecomesTheResult) {
  TableSet tables(kTables);
  EXPECT_EQ(resultOf(tables, "rename(project(emp, age), r(years))"), "r(years int)\n7\n42\n");
}

TEST(TableSet, FollowsDeeplyNestedExpressions) {
  TableSet tables("\nt(a int)\n1\n2\n");
  std::string expression;
  constexpr int kDepth = 100000;
  for (int k = 0; k < kDepth; ++k) expression += "union(t,";
  expression += "t" + std::string(kDepth, ')');
  EXPECT_EQ(resultOf(tables, expression), "result(a int)\n1\n2\n");
  expression.clear();
  for (int k = 0; k < kDepth; ++k) expression += "project(";
  expression += "t";
  for (int k = 0; k < kDepth; ++k) expression += ",a)";
  EXPECT_EQ(resultOf(tables, expression), "result(a int)\n1\n2\n");
}

}  // namespace
