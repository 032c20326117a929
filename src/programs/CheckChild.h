// The side of a check that runs in its own process, started by CheckProcesses: the settings it
// keeps to, the limits it sets itself, the grading of one submission on one thread, and the report
// it writes to its pipe. Its exit status (ChildExit) tells the grader whether the report was sent,
// or why not; the report is sent whole or the status says otherwise.
#ifndef RELALG_PROGRAMS_CHECKCHILD_H
#define RELALG_PROGRAMS_CHECKCHILD_H

#include <cstddef>
#include <optional>
#include <string>

#include "grading/GradeReport.h"
#include "grading/Grader.h"

namespace relalg {

struct CheckSettings {
  GradeSettings grade;
  size_t maxMemory = size_t{1} << 30;  // for a check, above what the grader holds
  unsigned jobs = 0;                   // submissions checked at once; 0: as many as threadCount()
  std::string saveDir;                 // where counterexamples are saved; empty: nowhere
  std::optional<Points> points;        // what each verdict scores, when asked for
};

// How a check's process ends, by its exit status.
enum ChildExit : int {
  kReportSent = 0,
  kReportNotSent = 1,
  kInternalError = 3,
  kOutOfMemory = 4,
  kCouldNotStart = 5,
};

// Processor time past twice the budget before the kernel stops a check whose work did not end
// when it was cancelled.
inline constexpr double kCpuGraceSeconds = 3;

// What a check's process does: grades the submission on one thread under the memory ceiling,
// its work cancelled at twice the budget of processor time, and writes the report to descriptor.
// With failThread its watchdog thread fails to start, as a limit on threads would make it.
[[noreturn]] void checkInChild(const CheckSettings& settings, const Exercise& exercise,
                               const std::string& file, const std::string& bytes,
                               const std::string& saveName, bool failThread, int descriptor);

}  // namespace relalg

#endif  // RELALG_PROGRAMS_CHECKCHILD_H
