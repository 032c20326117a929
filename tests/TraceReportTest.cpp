#include <gtest/gtest.h>

#include <set>
#include <sstream>

#include "TestSupport.h"
#include "base/Messages.h"
#include "base/Windows1250.h"
#include "diagnostics/TraceAnalysis.h"
#include "evaluation/TableSet.h"
#include "files/FileTools.h"
#include "files/InputSource.h"
#include "forms/TraceDot.h"
#include "forms/TraceReport.h"
#include "run/RunSequence.h"

using namespace relalg;

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
  tables.setObserver(&report);
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

// Shortened texts end on a whole character, UTF-8 or Windows-1250, and say that they were cut;
// DOT labels write & as an entity, so that Graphviz draws the text as it is.
TEST(TraceForms, CutOnWholeCharactersAndEscapeLabelMarkup) {
  std::string letters;
  for (int k = 0; k < 120; ++k) letters += "\xC3\xA9";  // é in UTF-8
  const std::string utf8 = "x" + letters;
  EXPECT_EQ(shortenedText(utf8), "x" + letters.substr(0, 158) + " ... (241 bytes)");
  EXPECT_EQ(shortenedText(std::string(250, '\xE9')), std::string(160, '\xE9') + " ... (250 bytes)");
  EXPECT_EQ(cutOnCharacter("ab\xF0\x9F\x98\x80", 5), "ab");
  EXPECT_EQ(cutOnCharacter("ab\xF0\x9F\x98\x80", 6), "ab\xF0\x9F\x98\x80");

  TraceAnalysis analysis(10);
  const RunOutcome outcome =
      runSequence(analysis.reader([] { return std::string("a&lt;b\n\na&lt;b(x int)\n1\n"); }),
                  nullptr, &analysis);
  analysis.finish(outcome);
  const std::string dot = traceDot(analysis);
  EXPECT_NE(dot.find("label=\"table a&amp;lt;b\\na&amp;lt;b(x int)\\n1 record\""),
            std::string::npos)
      << dot;
}

// Every message the core raises, each produced by the code that raises it and paired with the
// entry of the message table it must fit, except the two that need billions of records or bytes.
std::vector<std::pair<MessageId, std::string>> raisedMessages() {
  auto evaluated = [](const std::string& expression) {
    return messageOf([&] { TableSet(kTables).evaluate(expression); });
  };
  auto read = [](const std::string& lines) { return messageOf([&] { TableSet tables(lines); }); };
  std::string big = "\nl(a int)\n";
  for (int k = 0; k < 46341; ++k) big += "1\n";
  TableSet bigTables(big);
  std::unique_ptr<Table> strings = makeTable("t(s char(1))");
  std::unique_ptr<Table> ints = makeTable("t(i int)", {"1"});
  using enum MessageId;
  return {
      {kNoSuchTable, evaluated("nosuch")},
      {kNoSuchColumn, messageOf([&] { strings->getval_s("x", 0); })},
      {kBadBracketing, evaluated("union(emp)")},
      {kBadExpression, evaluated("union(emp")},
      {kNotACondition, evaluated("select(emp, FOO(age, 1))")},
      {kTwoConstants, evaluated("select(emp, EQ(1, 2))")},
      {kColumnTypesDiffer, evaluated("select(emp, EQ(name, age))")},
      {kCompareSchemaMismatch, evaluated("union(emp, d)")},
      {kCopySchemaMismatch, evaluated("union(e0, d)")},
      {kBadProjection, evaluated("project(emp, x)")},
      {kRenameImpossible, evaluated("rename(emp, )")},
      {kTooFewNames, evaluated("rename(emp, s(a))")},
      {kTooManyNames, evaluated("rename(emp, s(a, b, c))")},
      {kProductTooLarge, messageOf([&] { bigTables.evaluate("product(l, l)"); })},
      {kNotANumber, read("\nt(a int)\nx\n")},
      {kTooFewValues, read("\nt(a int, b int)\n1\n")},
      {kTooManyValues, read("\nt(a int)\n1, 2\n")},
      {kNamelessTable, read("\n \n")},
      {kRecordWithoutTable, read("x\n")},
      {kOpenFailed, messageOf([] { readFile("/nonexistent/in.txt"); })},
      {kReadFailed, messageOf([] { readFile("/proc/self/mem"); })},
      {kInputChanged, messageOf([] { TextInput::viewing("").failChanged(); })},
      {kWriteFailed, messageOf([] {
         std::ostringstream failed;
         failed.setstate(std::ios::badbit);
         checkWritten(failed, "out.txt");
       })},
      {kStrColumnIndex, messageOf([&] { strings->getRecord(0); })},
      {kIntColumnIndex, messageOf([&] { ints->getRecord(1); })},
      {kColumnAddedToFilledTable, messageOf([&] { ints->add_column("x", Column::INTEGER, ""); })},
      {kNoResultYet, messageOf([] { TableSet(kTables).write_result(nullptr); })},
  };
}

TEST(ExplainFailure, EveryRaisedMessageFitsItsOwnEntryAndExplanation) {
  std::set<std::string_view> explanations;
  for (const auto& [id, raised] : raisedMessages()) {
    const MessageInfo* info = findMessage(raised);
    ASSERT_NE(info, nullptr) << raised;
    EXPECT_EQ(info->id, id) << raised;
    EXPECT_EQ(explainFailure(raised), info->meaning);
    EXPECT_TRUE(explanations.insert(info->meaning).second) << "shared explanation: " << raised;
  }
  EXPECT_EQ(explainFailure("Valami mas"), "no explanation is known for this message");
  EXPECT_EQ(explainFailure("Ismeretlen hiba"), messageInfo(MessageId::kUnknownFailure).meaning);
}

}  // namespace
