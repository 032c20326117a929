#include <gtest/gtest.h>

#include <string>

#include "sql/SqlScript.h"
#include "sql/SqlText.h"

using namespace relalg;

namespace {

// The tables below every expression of these tests: emp in input order (not sorted), dept
// sorted without repeats.
const std::string kTables =
    "\nemp(name char(20), age int)\n'Zova Bela', 42\nNagy, 7\nNagy, 7\n"
    "\ndept(name char(20), age int)\nKiss, 1\nNagy, 7\n";

SqlScript scriptOf(const std::string& expression, const std::string& tables = kTables) {
  return sqlScript([&] { return expression + "\n" + tables; });
}

bool contains(const std::string& text, const std::string& part) {
  return text.find(part) != std::string::npos;
}

// The rows themselves are checked on sqlite3 by tests/sql_agreement.py; these tests pin the
// choices that the script makes for the input at hand.
TEST(SqlScript, AFailedRunHasNoScriptAndRelalgrunsOutcome) {
  const SqlScript sql = scriptOf("union(emp, nosuch)");
  EXPECT_EQ(sql.outcome.status, RunOutcome::kFailure);
  EXPECT_EQ(sql.outcome.message, "Nincs nosuch nevu tabla.");
  EXPECT_EQ(sql.script, "");
  EXPECT_EQ(scriptOf("").outcome.status, RunOutcome::kUnknownFailure);
}

TEST(SqlScript, MergesAreSetOperationsOnlyOverSortedOperandsWithoutRepeats) {
  const SqlScript sorted = scriptOf("minus(project(emp, name, age), dept)");
  EXPECT_TRUE(contains(sorted.script, " EXCEPT SELECT "));
  EXPECT_FALSE(contains(sorted.script, "RECURSIVE"));
  // emp is neither sorted nor free of repeats; dept is both.
  for (const char* walked : {"union(emp, dept)", "minus(dept, emp)", "union(dept, dept)"}) {
    const SqlScript sql = scriptOf(walked);
    EXPECT_EQ(contains(sql.script, "WITH RECURSIVE"), std::string(walked) != "union(dept, dept)")
        << walked;
  }
}

TEST(SqlScript, OperandsOfAnotherSchemaLeaveTheLeftOperand) {
  // Valid only because the right operand is empty: the merge copies the left one.
  const SqlScript sql = scriptOf("union(emp, select(project(dept, name), EQ(name, x)))");
  ASSERT_EQ(sql.outcome.status, RunOutcome::kSuccess);
  EXPECT_TRUE(contains(sql.script, "n5(o, c1, c2) AS (SELECT * FROM n1)"));
}

TEST(SqlScript, ConstantsAreReadAsTheEvaluatorReadsThem) {
  const SqlScript sql = scriptOf("select(emp, OR(GT(age, 5x), OR(LT(+9, age), EQ(age, '40'))))");
  // Digits up to the first other character, a sign; '40' in apostrophes reads as 0.
  EXPECT_TRUE(contains(sql.script, "WHERE (c2 > 5 OR (9 < c2 OR c2 = 0))"));
  EXPECT_TRUE(contains(scriptOf("select(emp, EQ(name, 'Zova Bela'))").script,
                       "WHERE c1 = '''Zova Bela'''"));
}

TEST(SqlScript, PartsThatNoRecordReachedBecomeFalse) {
  // nosuch and the word FOO would fail, but AND never reaches them.
  const SqlScript sql =
      scriptOf("select(emp, OR(GT(age, 0), AND(EQ(age, 5), OR(EQ(nosuch, 1), FOO(a, b)))))");
  ASSERT_EQ(sql.outcome.status, RunOutcome::kSuccess);
  EXPECT_TRUE(contains(sql.script, "WHERE (c2 > 0 OR (c2 = 5 AND (1 = 0 OR 1 = 0)))"));
  // A condition over a table without records is never read at all.
  EXPECT_TRUE(contains(scriptOf("select(select(emp, LT(age, 0)), FOO)").script, "WHERE 1 = 0)"));
}

TEST(SqlScript, NulBytesMakeTheScriptInexact) {
  EXPECT_EQ(scriptOf("emp").inexactReason, "");
  const std::string withNul = std::string("\nr(a char(3))\nx") + '\0' + "y\n";
  const SqlScript value = scriptOf("r", withNul);
  EXPECT_TRUE(value.script.starts_with("-- inexact: a value of table r holds a NUL byte"));
  EXPECT_TRUE(contains(value.script, "VALUES (1, 'x');"));
  const SqlScript constant = scriptOf(std::string("select(emp, EQ(name, a") + '\0' + "))");
  EXPECT_TRUE(constant.script.starts_with("-- inexact: a constant of a condition holds a NUL"));
}

// No name of the input reaches the database: tables are t_NAME, or numbered where that is no plain
// name or differs from another only in case, and columns are c1, c2, ...
TEST(SqlScript, TablesAndColumnsGetNamesOfTheScriptsOwn) {
  const std::string longName(62, 'x');
  const SqlScript sql =
      scriptOf("product(product(pg_authid, E), product(e, " + longName + "))",
               "\npg_authid(ctid int)\n1\n\nE(a int, A int)\n1, 2\n\ne(x int)\n3\n\n" + longName +
                   "(oid int)\n4\n");
  EXPECT_TRUE(contains(sql.script,
                       "-- the stored table pg_authid(ctid)\n"
                       "CREATE TABLE t_pg_authid (ord INTEGER NOT NULL, c1 INTEGER);"));
  EXPECT_TRUE(
      contains(sql.script, "CREATE TABLE t_E (ord INTEGER NOT NULL, c1 INTEGER, c2 INTEGER);"));
  EXPECT_TRUE(contains(sql.script, "CREATE TABLE t_3 (ord INTEGER NOT NULL, c1 INTEGER);"));
  EXPECT_TRUE(contains(sql.script, "CREATE TABLE t_4 (ord INTEGER NOT NULL, c1 INTEGER);"));
}

TEST(SqlScript, OperandsWithoutColumnsGiveNoRecords) {
  const SqlScript sql = scriptOf("product(project(emp, ), dept)");
  ASSERT_EQ(sql.outcome.status, RunOutcome::kSuccess);
  EXPECT_TRUE(contains(sql.script, "n2(o) AS (SELECT 0 WHERE 1 = 0)"));
  EXPECT_TRUE(contains(sql.script,
                       "n4(o, c1, c2) AS (SELECT 0, CAST(NULL AS TEXT), CAST(NULL AS INTEGER) "
                       "WHERE 1 = 0)"));
}

// Conditions nested 100,000 deep and record comparisons over 20,000 columns are written
// without recursion.
TEST(SqlScript, WritesDeepConditionsAndWideRecordOrdersWithoutRecursion) {
  constexpr int kDepth = 100000;
  std::string condition;
  for (int k = 0; k < kDepth; ++k) condition += "NOT(";
  condition += "EQ(age, 7)" + std::string(kDepth, ')');
  const SqlScript deep = scriptOf("select(emp, " + condition + ")");
  std::string expected;
  for (int k = 0; k < kDepth; ++k) expected += "NOT (";
  expected += "c2 = 7" + std::string(kDepth, ')');
  EXPECT_TRUE(contains(deep.script, " WHERE " + expected + ")")) << deep.script.substr(0, 300);

  constexpr int kWidth = 20000;
  std::string header = "t(";
  std::string record;
  for (int k = 0; k < kWidth; ++k) {
    header += (k > 0 ? ", c" : "c") + std::to_string(k) + " int";
    record += (k > 0 ? ", " : "") + std::to_string(k % 3);
  }
  // Not in order, so that the union's script walks the merge, comparing whole records.
  const std::string tables = "\n" + header + ")\n1" + record.substr(1) + "\n" + record + "\n";
  const SqlScript wide = scriptOf("union(t, t)", tables);
  EXPECT_EQ(wide.outcome.status, RunOutcome::kSuccess);
  EXPECT_TRUE(contains(wide.script, "(l.c1 < r.c1 OR (l.c1 = r.c1 AND (l.c2 < r.c2 OR"));
  EXPECT_TRUE(contains(wide.script, "l.c20000 < r.c20000" + std::string(2 * (kWidth - 1), ')')));
}

// Whether an engine reads a backslash in a literal as it is or as an escape, every value stays
// in its literal and reads as itself.
TEST(SqlScript, KeepsEveryValueInsideItsLiteral) {
  const SqlScript sql = scriptOf("t", "\nt(a char(9))\na\\b'c\n\\\n");
  EXPECT_TRUE(contains(sql.script, "VALUES (1, ('a' || SUBSTR('\\\\', 1, 1) || 'b''c'));"))
      << sql.script;
  EXPECT_TRUE(contains(sql.script, "VALUES (2, ('' || SUBSTR('\\\\', 1, 1) || ''));"));
  EXPECT_EQ(stringLiteral("it's"), "'it''s'");
}

}  // namespace
