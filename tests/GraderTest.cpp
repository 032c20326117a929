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

}  // namespace
