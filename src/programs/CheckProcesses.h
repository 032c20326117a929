// Checks submissions, each in a process of its own: one evaluation thread, a memory ceiling,
// its work cancelled at twice the budget and the process killed 5 s after that, so that no
// submission can take the grader down with it. Reports come back in the order of the
// submissions, whatever order the processes end in.
#ifndef RELALG_PROGRAMS_CHECKPROCESSES_H
#define RELALG_PROGRAMS_CHECKPROCESSES_H

#include <sys/types.h>

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "grading/Grader.h"

namespace relalg {

struct CheckSettings {
  GradeSettings grade;
  size_t maxMemory = size_t{1} << 30;
  unsigned jobs = 0;    // submissions checked at once; 0: as many as threadCount()
  std::string saveDir;  // where counterexamples are saved; empty: nowhere
};

// A submission's report: its verdict, its text paragraph and its JSON object.
struct Finished {
  Verdict verdict = Verdict::kFailed;
  std::string text;
  std::string json;
};

// The bytes of a file, or nothing when it cannot be read.
std::optional<std::string> readWhole(const std::string& path);

class CheckProcesses {
 public:
  CheckProcesses(const CheckSettings& settings, const Exercise& exercise,
                 const std::vector<std::string>& submissions);

  // Checks every submission, at most settings.jobs at once; onFinished(k) is called as soon as
  // submissions 0 .. k are finished.
  template <class OnFinished>
  void run(OnFinished onFinished) {
    size_t next = 0;
    size_t shown = 0;
    while (next < finished_.size() || !running_.empty()) {
      while (next < finished_.size() && running_.size() < jobs_) start(next++);
      wait();
      while (shown < finished_.size() && finished_[shown]) onFinished(shown++);
    }
  }

  const Finished& finished(size_t k) const { return *finished_[k]; }

 private:
  struct Running {
    size_t index;
    pid_t process;
    int descriptor;
    std::chrono::steady_clock::time_point killAt;
    std::string received;
    bool killed = false;
  };

  void start(size_t k);
  void wait();
  static bool receive(Running& check);
  void end(Running& check);

  const CheckSettings& settings_;
  const unsigned jobs_;
  const Exercise& exercise_;
  const std::vector<std::string>& submissions_;
  std::vector<std::optional<Finished>> finished_;
  std::vector<Running> running_;
};

}  // namespace relalg

#endif  // RELALG_PROGRAMS_CHECKPROCESSES_H
