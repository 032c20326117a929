// Checks submissions, each in a process of its own (ChildProcess), so that no submission can take
// the grader down with it: one evaluation thread, a memory ceiling of --max-memory above what the
// grader itself holds, and a budget of processor time, so that a verdict does not depend on how
// many checks share the machine. A check's work is cancelled at twice its budget of processor
// time, the kernel stops its process a few seconds of processor time later, and a process that
// uses no processor time at all for long is stopped as stuck.
//
// What goes wrong for the grader's own reasons is never a submission's fault: a check that cannot
// start (no process, pipe or thread to be had) is tried again with fewer checks at once, and when
// it cannot start even alone, or its process ends without a report for a reason other than the
// submission's memory or processor time, the submission is not graded (Verdict::kNotGraded).
//
// Reports are passed on in the order of the submissions, each as soon as it and those before it
// are finished, and not kept after that.
#ifndef RELALG_PROGRAMS_CHECKPROCESSES_H
#define RELALG_PROGRAMS_CHECKPROCESSES_H

#include <chrono>
#include <cstddef>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "grading/GradeReport.h"
#include "grading/Grader.h"
#include "programs/CheckChild.h"
#include "programs/ChildProcess.h"

namespace relalg {

// A submission's report: its verdict, its text paragraph and its JSON object, and the input
// file of its counterexample where a generated data set found it (else empty).
struct Finished {
  Verdict verdict = Verdict::kFailed;
  std::string text;
  std::string json;
  std::string generatedCounterexample;
};

// The bytes of a file that the grader reads, or in words why it does not read them: only a
// regular file (symbolic links followed) is read, opened without waiting, so that a pipe or a
// device never holds the grader up; and at most limit bytes of it, or with programOnly its
// program: the lines before its first empty line (a core expression line, or the steps of a
// notation program), which are then at most limit bytes long.
struct GradedFile {
  enum Problem { kNone, kUnreadable, kNotRegular, kTooLarge };
  Problem problem = kNone;
  std::string bytes;
};
GradedFile readGradedFile(const std::string& path, size_t limit, bool programOnly = false);

// How much of a file the grader reads: a whole exercise or data set, a submission's program.
inline constexpr size_t kMaxDataSetBytes = size_t{256} << 20;
inline constexpr size_t kMaxSubmissionProgramBytes = size_t{16} << 20;
// A size as the messages write it: 256 MiB.
std::string sizeText(size_t bytes);

class CheckProcesses {
 public:
  CheckProcesses(const CheckSettings& settings, const Exercise& exercise,
                 const std::vector<std::string>& submissions);
  ~CheckProcesses();

  // Checks every submission; onFinished(report) is called for each in order, as soon as it and
  // those before it are finished.
  template <class OnFinished>
  void run(OnFinished onFinished) {
    while (shown_ < finished_.size()) {
      startWhatFits();
      wait();
      for (; shown_ < finished_.size() && finished_[shown_]; ++shown_) {
        onFinished(*finished_[shown_]);
        finished_[shown_].reset();
      }
    }
  }

 private:
  using WallClock = std::chrono::steady_clock;
  struct Running;

  void startWhatFits();
  // Starts the check of submission k; false, with errno set, when it could not start.
  bool start(size_t k);
  // The check of submission k could not start; errorText says why.
  void notStarted(size_t k, const std::string& errorText);
  void wait();
  void checkProgress(Running& check);
  void end(Running& check);
  // The report of a submission that the grader gives itself, its check having given none.
  void finishWithout(size_t k, Verdict verdict, const std::string& reason);

  const CheckSettings& settings_;
  const Exercise& exercise_;
  const std::vector<std::string>& submissions_;
  size_t jobs_;
  std::vector<std::string> saveNames_;                 // per submission, unique
  std::vector<std::optional<GradedFile>> firstLines_;  // per submission waiting or running
  std::vector<unsigned> failedAlone_;  // per submission: starts failed with nothing else running
  std::deque<size_t> waiting_;
  std::vector<std::unique_ptr<Running>> running_;
  std::vector<std::optional<Finished>> finished_;
  size_t shown_ = 0;
  WallClock::time_point retryAt_;  // no start before this, after a failed one
};

}  // namespace relalg

#endif  // RELALG_PROGRAMS_CHECKPROCESSES_H
