#include <gtest/gtest.h>

#include <chrono>
#include <string>
#include <thread>

#include "base/Threads.h"
#include "grading/GradeReport.h"
#include "grading/Grader.h"

using namespace relalg;

namespace {

Exercise exerciseOf(const std::string& reference, const std::string& tables) {
  return Exercise(reference, {DataSet::read("ex.txt", reference + "\n" + tables)},
                  CompareMode::kSet);
}

// Work that the caller cancels (its limit lies past the budget) ran over the budget, whatever
// the budget's own clock says.
TEST(Grade, WorkCancelledOnAGivenDataSetRanOverTheBudget) {
  const Exercise exercise = exerciseOf("select(t, GT(x, 2))", "\nt(x int)\n1\n3\n");
  CancelToken token;
  token.cancel();
  const CancelScope scope(&token);
  const SubmissionReport report = grade(exercise, "s.txt", "select(t, GT(x, 2))\n", {});
  EXPECT_EQ(report.verdict, Verdict::kFailed);
  EXPECT_EQ(report.reason, "ran longer than its budget of 10 s on ex.txt");
  EXPECT_TRUE(report.diagnostics.empty());
}

TEST(Grade, ASearchThatCancellingEndsIsReportedCut) {
  const Exercise exercise = exerciseOf("select(t, GT(x, 2))", "\nt(x int)\n1\n3\n");
  GradeSettings settings;
  settings.maxTries = size_t{1} << 40;
  settings.budgetSeconds = 1000;
  CancelToken token;
  const CancelScope scope(&token);
  std::thread canceller([&token] {
    std::this_thread::sleep_for(std::chrono::milliseconds(200));
    token.cancel();
  });
  const SubmissionReport report = grade(exercise, "s.txt", "select(t, GT(x, 2))\n", settings);
  canceller.join();
  EXPECT_EQ(report.verdict, Verdict::kRight);
  EXPECT_TRUE(report.searchCut);
  EXPECT_GT(report.tried, 1u);
}

// The classic slip at a boundary that no given record holds is found by default, for every
// comparison, and only by the boundary values: without them the submission passes.
TEST(Grade, FindsTheBoundarySlipOfEveryComparisonByDefault) {
  const struct {
    const char* reference;
    const char* slip;
  } cases[] = {{"LT(x, 30)", "LTE(x, 30)"}, {"LTE(x, 30)", "LT(x, 30)"},
               {"GT(x, 30)", "GTE(x, 30)"}, {"GTE(x, 30)", "GT(x, 30)"},
               {"EQ(x, 30)", "EQ(x, 31)"},  {"NEQ(x, 30)", "NEQ(x, 29)"}};
  for (const auto& c : cases) {
    const std::string reference = std::string("select(t, ") + c.reference + ")";
    const Exercise exercise = exerciseOf(reference, "\nt(x int)\n10\n50\n");
    const std::string slip = std::string("select(t, ") + c.slip + ")\n";
    EXPECT_EQ(grade(exercise, "s.txt", slip, {}).verdict, Verdict::kWrong) << c.slip;
    GradeSettings without;
    without.edgeValues = false;
    EXPECT_EQ(grade(exercise, "s.txt", slip, without).verdict, Verdict::kRight) << c.slip;
  }
}

// A report shows the first records of a result and counts the rest, and writes every control
// character that a file name, an expression or a value holds as \xHH: no line of it is forged,
// nothing reaches the terminal.
TEST(GradeReport, ShowsFewRecordsOfAResultAndNoControlCharacters) {
  SubmissionReport report;
  report.file = "a.txt: right\n\x1b[2Jb.txt";
  report.expression = "select(t, EQ(x, '\x1b]0;x\x07'))";
  report.verdict = Verdict::kWrong;
  report.counterexample.emplace();
  report.counterexample->source = "ex.txt";
  report.counterexample->input = report.expression + "\n\nt(x char(9))\n'\x1b]0;x\x07'\n";
  report.counterexample->expected.header = report.counterexample->got.header = "t(x char(9))";
  for (int k = 0; k < 100; ++k) report.counterexample->got.records.push_back(std::to_string(k));
  const std::string text = reportText(report);
  EXPECT_EQ(text.find('\x1b'), std::string::npos);
  EXPECT_EQ(text.find('\x07'), std::string::npos);
  EXPECT_TRUE(text.starts_with("a.txt: right\\x0A\\x1B[2Jb.txt: wrong: a counterexample of"));
  EXPECT_NE(text.find("\n                             19\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\n                             ... 80 more records\n\n"), std::string::npos);
  EXPECT_EQ(text.find("\n                             20\n"), std::string::npos);
  JsonWriter json;
  writeReportJson(json, report);
  EXPECT_NE(json.str().find("\"got\":[\"t(x char(9))\",\"0\",\"1\","), std::string::npos);
  EXPECT_NE(json.str().find("\"19\"],\"gotRecords\":100"), std::string::npos);
}

// A result of other columns shows both headers, and a failure says what it means in English.
TEST(GradeReport, JsonShowsBothHeadersAndTheMeaningOfFailures) {
  const Exercise exercise = exerciseOf("project(t, x)", "\nt(x int, y char(4))\n1, a\n");
  JsonWriter wrong;
  writeReportJson(wrong, grade(exercise, "s.txt", "project(t, y)\n", {}), Points{5, 1, 0});
  EXPECT_NE(wrong.str().find("\"expected\":[\"result(x int)\",\"1\"],\"expectedRecords\":1,"
                             "\"got\":[\"result(y char(4))\",\"a\"]"),
            std::string::npos)
      << wrong.str();
  EXPECT_NE(wrong.str().find("\"verdict\":\"wrong\",\"points\":1,"), std::string::npos);
  JsonWriter failed;
  writeReportJson(failed, grade(exercise, "s.txt", "project(t, z)\n", {}));
  EXPECT_NE(failed.str().find("\"reason\":\"Hibas projektalas: z\",\"meaning\":\"project lists "
                              "a column that its operand does not have"),
            std::string::npos)
      << failed.str();
}

TEST(GradeReport, ReadsPointsOfVerdicts) {
  EXPECT_EQ(parsePoints("right=5,wrong=1.5"), (Points{5, 1.5, 0}));
  EXPECT_EQ(parsePoints("failed=0.25,right=1"), (Points{1, 0, 0.25}));
  for (const char* bad : {"", "right", "right=", "right=1,right=2", "good=1", "right=-1",
                          "right=1.234", "right=1e3", "right=1,", "right=.", "right=1..2"}) {
    EXPECT_FALSE(parsePoints(bad).has_value()) << bad;
  }
}

}  // namespace
