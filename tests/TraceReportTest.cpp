#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <set>
#include <sstream>

#include "FileTools.h"
#include "TableSet.h"
#include "TestSupport.h"
#include "TraceReport.h"

namespace {

const char* kTables =
    "\nemp(name char(20), age int)\nNagy, 7\n'Zova Bela', 42\nKiss, 30\n"
    "\nd(x char(5))\na\n"
    "\ne0(y int)\n";

// The trace of one evaluation. The layout of whole traces and of failures is checked by the
// end-to-end cases trace-*; these tests cover what those do not reach.
std::string traceOf(const std::string& expression, size_t limit) {
  TableSet tables(kTables);
  std::ostringstream out;
  TraceReport report(out, limit);
  report.follow(tables);
  tables.evaluate(expression);
  return out.str();
}

TEST(TraceReport, LimitZeroCountsOnlyAndColumnlessTablesShowTheirName) {
  EXPECT_EQ(traceOf("rename(project(d, ), r)", 0),
            "    d\n"
            "      table: 1 record, d(x char(5))\n"
            "  project(d,)\n"
            "    project: 0 records, result\n"
            "rename(project(d, ), r)\n"
            "  rename: 0 records, r\n"
            "  renamed in place: the operand's own table got the new names\n");
  EXPECT_EQ(traceOf("d", 1), "d\n  table: 1 record, d(x char(5))\n  | a\n");
}

// Deep nodes stay at a bounded indentation with their depth written out, and long texts are
// shortened, so that a trace grows in proportion to the expression.
TEST(TraceReport, BoundsIndentationAndTextLengthOfDeepExpressions) {
  std::string expression = "emp";
  for (int k = 0; k < 30; ++k) expression = "project(" + expression + ",age)";
  const std::string trace = traceOf(expression, 0);
  EXPECT_EQ(trace.substr(0, trace.find('\n')), std::string(40, ' ') + "[depth 30] emp");
  const std::string rootHeading =
      expression.substr(0, 160) + " ... (" + std::to_string(expression.size()) + " bytes)\n";
  EXPECT_NE(trace.find("\n" + rootHeading + "  project: 3 records, result(age int)\n"),
            std::string::npos);
}

// Every message the core raises, each produced by the code that raises it, except the two that
// need billions of records or bytes.
std::vector<std::string> raisedMessages() {
  auto evaluated = [](const std::string& expression) {
    return messageOf([&] { TableSet(kTables).evaluate(expression); });
  };
  auto read = [](const std::string& lines) { return messageOf([&] { TableSet tables(lines); }); };
  std::string big = "\nl(a int)\n";
  for (int k = 0; k < 46341; ++k) big += "1\n";
  TableSet bigTables(big);
  std::unique_ptr<Table> strings = makeTable("t(s char(1))");
  std::unique_ptr<Table> ints = makeTable("t(i int)");
  return {
      evaluated("nosuch"),
      messageOf([&] { strings->getval_s("x", 0); }),
      evaluated("union(emp)"),
      evaluated("union(emp"),
      evaluated("select(emp, FOO(age, 1))"),
      evaluated("select(emp, EQ(1, 2))"),
      evaluated("select(emp, EQ(name, age))"),
      evaluated("union(emp, d)"),
      evaluated("union(e0, d)"),
      evaluated("project(emp, x)"),
      evaluated("rename(emp, )"),
      evaluated("rename(emp, s(a))"),
      evaluated("rename(emp, s(a, b, c))"),
      messageOf([&] { bigTables.evaluate("product(l, l)"); }),
      "Tul sok rekord a tablaban: result",
      "Tul hosszu kifejezes.",
      read("\nt(a int)\nx\n"),
      read("\nt(a int, b int)\n1\n"),
      read("\nt(a int)\n1, 2\n"),
      read("\n \n"),
      read("x\n"),
      messageOf([] { read_file("/nonexistent/in.txt"); }),
      messageOf([] { read_file("/proc/self/mem"); }),
      messageOf([] {
        std::ostringstream failed;
        failed.setstate(std::ios::badbit);
        check_written(failed, "out.txt");
      }),
      messageOf([&] { strings->getRecord(0); }),
      messageOf([&] { ints->getRecord(0); }),
      messageOf([] { TableSet(kTables).write_result(nullptr); }),
      "Ismeretlen hiba",
  };
}

TEST(ExplainFailure, EveryRaisedMessageHasAnExplanationOfItsOwn) {
  const std::string unknown(explainFailure("Valami mas"));
  std::set<std::string> explanations;
  for (const std::string& message : raisedMessages()) {
    const std::string explanation(explainFailure(message));
    EXPECT_NE(explanation, unknown) << message;
    EXPECT_TRUE(explanations.insert(explanation).second) << "shared explanation: " << message;
  }
  EXPECT_EQ(unknown, "no explanation is known for this message");
}

// The string literal that starts at text[pos], just after its opening quote, with its \xHH
// escapes decoded.
std::string literalAt(const std::string& text, size_t pos) {
  std::string literal;
  while (pos < text.size() && text[pos] != '"') {
    if (text[pos] == '\\' && pos + 3 < text.size() && text[pos + 1] == 'x') {
      literal.push_back(static_cast<char>(std::stoi(text.substr(pos + 2, 2), nullptr, 16)));
      pos += 4;
    } else if (text[pos] == '\\' && pos + 1 < text.size()) {
      literal.push_back(text[pos + 1]);
      pos += 2;
    } else {
      literal.push_back(text[pos++]);
    }
  }
  return literal;
}

// A literal that opens an AdbException message in src/.
std::vector<std::string> messageLiteralsOfTheSources() {
  const std::string opening = "AdbException(\"";
  std::vector<std::string> literals;
  for (const auto& entry : std::filesystem::directory_iterator(RELALG_SOURCE_DIR)) {
    std::ifstream in(entry.path());
    const std::string text((std::istreambuf_iterator<char>(in)), {});
    for (size_t pos = text.find(opening); pos != std::string::npos;
         pos = text.find(opening, pos + 1)) {
      literals.push_back(literalAt(text, pos + opening.size()));
    }
  }
  return literals;
}

TEST(ExplainFailure, TheRaisedMessagesCoverEveryMessageOfTheSources) {
  const std::vector<std::string> messages = raisedMessages();
  const std::vector<std::string> literals = messageLiteralsOfTheSources();
  EXPECT_GE(literals.size(), 25u);
  for (const std::string& literal : literals) {
    bool covered = false;
    for (const std::string& message : messages) covered |= message.starts_with(literal);
    EXPECT_TRUE(covered) << "no explained message starts with: " << literal;
  }
}

}  // namespace
