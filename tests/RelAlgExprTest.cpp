#include <gtest/gtest.h>

#include <stdexcept>
#include <string>

#include "RelAlgExpr.h"
#include "base/AdbException.h"

using namespace relalg;

namespace {

TEST(Clean, DropsLooseBlanksAndEnclosingBracketPairs) {
  struct {
    std::string text;
    std::string expected;
  } cases[] = {
      {"emp", "emp"},       {"(emp)", "emp"}, {"((emp))", "emp"},
      {" ( emp ) ", "emp"}, {"em p", "emp"},  {"EQ(name, 'Zova Bela')", "EQ(name,'Zova Bela')"},
      {"(a)x(b)", "a)x(b"}, {"()", ""},       {"(())", ""},
      {"(", "("},           {"a\tb", "a\tb"}, {"' a ' b ' c '", "' a 'b' c '"},
  };
  for (const auto& c : cases) EXPECT_EQ(clean(c.text), c.expected) << c.text;
}

TEST(Clean, EmptyTextIsAStandardRangeError) {
  EXPECT_THROW(clean(""), std::out_of_range);
  EXPECT_THROW(clean("   "), std::out_of_range);
}

TEST(RelAlgExpr, SplitsCommandAndOperands) {
  struct {
    std::string text;
    std::string command;
    std::string left;
    std::string right;
  } cases[] = {
      {"union(a,b)", "union", "a", "b"},
      {"union( a , b )", "union", "a", "b"},
      {"union((a),(b))", "union", "(a)", "(b)"},
      {"union(a,b))", "union", "a", "b)"},
      {"project(emp, name, age)", "project", "emp", "name,age"},
      {"project(emp, name);", "project", "emp", "name)"},
      {"NOT(EQ(a,1))", "NOT", "EQ(a,1)", "NOT(EQ(a,1)"},
      {"NOT(EQ(a,1),x)", "NOT", "EQ(a,1)", "x"},
      {"NOT()", "NOT", "", "NOT("},
      {"NOT(", "NOT", "", "NOT"},
      {"EQ('a,b',d)", "EQ", "'a", "b',d"},
      {"f(a,)", "f", "a", ""},
      {"select(emp, AND(GTE(age, 30), NEQ(dept, 'Sales Dept')))", "select", "emp",
       "AND(GTE(age,30),NEQ(dept,'Sales Dept'))"},
      {"NOT(a)(,b)", "NOT", "a)(", "b"},
  };
  for (const auto& c : cases) {
    RelAlgExpr expr(c.text);
    EXPECT_EQ(expr.extractCommand(), c.command) << c.text;
    EXPECT_EQ(expr.extractLeft(), c.left) << c.text;
    EXPECT_EQ(expr.extractRight(), c.right) << c.text;
  }
}

TEST(RelAlgExpr, BareWordHasNoOperands) {
  RelAlgExpr expr("( emp )");
  EXPECT_EQ(expr.extractCommand(), "emp");
  EXPECT_EQ(expr.getType(), ExprType::kTable);
  EXPECT_THROW(expr.extractLeft(), std::out_of_range);
  EXPECT_EQ(expr.extractRight(), "em");
  EXPECT_THROW(RelAlgExpr("union").extractLeft(), std::out_of_range);
}

TEST(RelAlgExpr, RejectsBadBracketingNamingTheTextAsGiven) {
  struct {
    std::string text;
    std::string message;
  } cases[] = {
      {"union(a)", "Helytelen zarojelezes: union(a)"},
      {"project( emp )", "Helytelen zarojelezes: project( emp )"},
      {"not(EQ(a,1))", "Helytelen zarojelezes: not(EQ(a,1))"},
      {"union(a", "HIBA: helytelen kifejezes: union(a"},
      {"union(f(a,b)", "HIBA: helytelen kifejezes: union(f(a,b)"},
      {"x(()", "HIBA: helytelen kifejezes: x(()"},
  };
  for (const auto& c : cases) {
    try {
      RelAlgExpr expr(c.text);
      ADD_FAILURE() << "accepted " << c.text;
    } catch (const AdbException& error) {
      EXPECT_EQ(error.getMessage(), c.message);
    }
  }
}

TEST(RelAlgExpr, CodesMatchKeywordsExactly) {
  const char* operators[] = {"x(a,b)",       "union(a,b)",  "minus(a,b)", "product(a,b)",
                             "project(a,b)", "rename(a,b)", "select(a,b)"};
  for (int code = 0; code < 7; ++code) {
    EXPECT_EQ(static_cast<int>(RelAlgExpr(operators[code]).getType()), code);
  }
  EXPECT_EQ(RelAlgExpr("Union(a,b)").getType(), ExprType::kTable);
  const char* conditions[] = {"EQ(a,b)",  "NEQ(a,b)", "LT(a,b)", "LTE(a,b)", "GT(a,b)",
                              "GTE(a,b)", "AND(a,b)", "OR(a,b)", "NOT(a)",   "eq(a,b)"};
  for (int code = 0; code < 10; ++code) {
    EXPECT_EQ(static_cast<int>(RelAlgExpr(conditions[code]).getLogType()), code);
  }
}

}  // namespace
