#include <gtest/gtest.h>

#include <sstream>
#include <stdexcept>

#include "TestSupport.h"
#include "evaluation/TableSet.h"

using namespace relalg;

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
  EXPECT_EQ(messageOf([&] { tables.write_result(nullptr); }),
            "Meg nincs letrehozva eredmenytabla!");
}

// A result stays only as long as the evaluation that made it: once a later one fails, there is
// nothing to write, rather than the earlier table.
TEST(TableSet, FailedEvaluationLeavesNoResultBehind) {
  TableSet tables(kTables);
  EXPECT_EQ(resultOf(tables, "dept"), "dept(d char(5))\n");
  EXPECT_EQ(messageOf([&] { tables.evaluate("nosuch"); }), "Nincs nosuch nevu tabla.");
  EXPECT_EQ(tables.result(), nullptr);
  std::ostringstream out;
  EXPECT_EQ(messageOf([&] { tables.write_result(&out); }), "Meg nincs letrehozva eredmenytabla!");
  EXPECT_EQ(out.str(), "");
}

TEST(TableSet, RenameChangesTheCataloguedTableUnderItsOldName) {
  TableSet tables(kTables);
  EXPECT_EQ(resultOf(tables, "union(rename(emp, staff(n, a)), emp)"),
            "result(n char(20), a int)\nNagy,7\n'Zova Bela',42\n");
  EXPECT_EQ(tables.getTableByName("emp")->getName(), "staff");
  EXPECT_EQ(messageOf([&] { tables.evaluate("staff"); }), "Nincs staff nevu tabla.");
}

// A rename in a later operand renames the catalogued table for what follows, but an operand that
// was already evaluated keeps the table it produced: a copy is made only then.
TEST(TableSet, EarlierOperandsKeepTheirTableThroughALaterRename) {
  TableSet tables("\nt(a int)\n1\n2\n");
  EXPECT_EQ(resultOf(tables, "product(t, rename(t, u(b)))"),
            "result(a int, b int)\n1,1\n1,2\n2,1\n2,2\n");
  EXPECT_EQ(resultOf(tables, "t"), "u(b int)\n1\n2\n");
  TableSet fresh("\nt(a int)\n1\n");
  EXPECT_EQ(resultOf(fresh, "product(rename(t, s1(x)), product(t, rename(t, s2(y))))"),
            "result(x int, x int, y int)\n1,1,1\n");
  TableSet again("\nt(a int)\n1\n");
  EXPECT_EQ(messageOf([&] { again.evaluate("union(t, project(rename(t, u(b)), b))"); }),
            "Nem azonos semaju tablak osszehasonlitasa: t es result");
  TableSet same("\nt(a int)\n1\n");
  EXPECT_EQ(resultOf(same, "product(rename(t, s(x)), t)"), "result(x int, x int)\n1,1\n");
}

TEST(TableSet, RenameOfANewTableBecomesTheResult) {
  TableSet tables(kTables);
  EXPECT_EQ(resultOf(tables, "rename(project(emp, age), r(years))"), "r(years int)\n7\n42\n");
}

// A catalogue that may release its tables takes those that the evaluation reaches once (a
// selection then keeps their records in place) and still lends those it reaches more than once,
// however their names are written.
TEST(TableSet, ReleasesOnlyTablesReachedOnce) {
  const std::string text = "\nw(a int)\n1\n2\n3\n\nw2(a int)\n2\n5\n\nk(a int)\n4\n";
  const std::string expressions[] = {
      "select(w, GT(a, 1))",
      "union(select(w, GT(a, 1)), w)",
      "union(select(k, EQ(a, 4)), select(w, LT(a, 3)))",
      "minus(select( w, GT(a, 1)), select(w 2, GT(a, 2)))",
      "union(select(w, GT(a, 1)), select(((w)), LT(a, 2)))",
      "union(select(w, GT(a, 1)), select(w (x, y), LT(a, 2)))",
      "product(select(w, GT(a, 2)), rename(w, u(b)))",
      "product(select(rename(k, v(c)), GT(c, 2)), select(w, GT(a, 2)))"};
  for (const std::string& expression : expressions) {
    TableSet lending(text);
    const std::string expected = resultOf(lending, expression);
    TableSet releasing(text);
    releasing.releaseTablesAsUsed();
    EXPECT_EQ(resultOf(releasing, expression), expected) << expression;
  }
  TableSet tables(text);
  tables.releaseTablesAsUsed();
  EXPECT_EQ(resultOf(tables, "union(select(k, GT(a, 1)), select(w2, GT(a, 4)))"),
            "result(a int)\n4\n5\n");
  EXPECT_EQ(tables.getTableByName("k"), nullptr);
  EXPECT_EQ(tables.getTableByName("w2"), nullptr);
  EXPECT_NE(tables.getTableByName("w"), nullptr);
  EXPECT_EQ(resultOf(tables, "select(w, LT(a, 2))"), "w(a int)\n1\n");
  EXPECT_EQ(tables.getTableByName("w"), nullptr);
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

namespace {

// Writes each step as one line: "+depth text", "=depth text kind name", "!depth text".
class RecordingObserver : public EvalObserver {
 public:
  void nodeStarted(const SyntaxTree& tree, int node) override {
    log += "+" + std::to_string(tree.depth(node)) + " " + std::string(tree.rawText(node)) + "\n";
  }
  void nodeFinished(const SyntaxTree& tree, int node, const Table& table) override {
    log += "=" + std::to_string(tree.depth(node)) + " " + std::string(tree.rawText(node)) + " " +
           std::to_string(static_cast<int>(tree.exprType(node))) + " " + table.getName() + "\n";
  }
  void nodeFailed(const SyntaxTree& tree, int node) override {
    log += "!" + std::to_string(tree.depth(node)) + " " + std::string(tree.rawText(node)) + "\n";
  }
  std::string log;
};

TEST(TableSet, ObserverSeesEveryNodeInEvaluationOrder) {
  TableSet tables(kTables);
  RecordingObserver observer;
  tables.setObserver(&observer);
  tables.evaluate("product(emp, rename(emp, s(a, b)))");
  EXPECT_EQ(observer.log,
            "+0 product(emp, rename(emp, s(a, b)))\n"
            "+1 emp\n=1 emp 0 emp\n"
            "+1 rename(emp,s(a,b))\n+2 emp\n=2 emp 0 emp\n=1 rename(emp,s(a,b)) 5 s\n"
            "=0 product(emp, rename(emp, s(a, b))) 3 result\n");
  EXPECT_EQ(*tables.keyOf(tables.getTableByName("emp")), "emp");
  EXPECT_EQ(tables.keyOf(tables.result()), nullptr);
}

TEST(TableSet, ObserverSeesTheFailingNode) {
  TableSet tables(kTables);
  RecordingObserver observer;
  tables.setObserver(&observer);
  EXPECT_THROW(tables.evaluate("project(union(emp, dept), x)"), AdbException);
  EXPECT_EQ(observer.log,
            "+0 project(union(emp, dept), x)\n+1 union(emp,dept)\n+2 emp\n=2 emp 0 emp\n"
            "+2 dept\n=2 dept 0 dept\n=1 union(emp,dept) 1 result\n"
            "!0 project(union(emp, dept), x)\n");
  observer.log.clear();
  EXPECT_THROW(tables.evaluate("minus(emp, nosuch)"), AdbException);
  EXPECT_EQ(observer.log, "+0 minus(emp, nosuch)\n+1 emp\n=1 emp 0 emp\n+1 nosuch\n!1 nosuch\n");
}

}  // namespace
