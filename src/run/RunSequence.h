// The run sequence: one whole run of relalgrun, shared by every front end (relalgrun, relalgtrace,
// the fuzzer, the browser). In order:
//   1. open the input;
//   2. take the first line as the expression and read every table block below it;
//   3. open the output, write the copy of the input and one empty line, and flush it;
//   4. evaluate the expression;
//   5. write the result table's text and close the output.
// So the output is opened only once every table was read, and the copy is complete before the
// evaluation starts. A failure ends the run where it happens; its outcome says what relalgrun
// prints and with which exit status. Nothing is printed here.
#ifndef RELALG_RUN_RUNSEQUENCE_H
#define RELALG_RUN_RUNSEQUENCE_H

#include <functional>
#include <memory>
#include <string>

#include "base/AdbException.h"

namespace relalg {

class EvalObserver;
class InputSource;
class OutputTarget;
class Table;

struct RunOutcome {
  enum Status { kSuccess = 0, kFailure = 1, kUnknownFailure = 3 };

  int status = kSuccess;
  // For kFailure, the message that follows "Hiba tortent: "; empty otherwise.
  std::string message;
  // For a failure found in a line below the expression line: where.
  InputPlace place;
  // For a failure found at a node of the expression line's tree that names its node (a part of
  // a selection condition, a faulty node): that node; -1 otherwise.
  int node = -1;
  // For kUnknownFailure: whether the failure was a lack of memory.
  bool outOfMemory = false;

  // The bytes that relalgrun writes to standard error: nothing on success, "Hiba tortent: ", a
  // line feed, the message and a line feed on kFailure, "Ismeretlen hiba" and a line feed on
  // kUnknownFailure.
  std::string errorText() const;
};

// The outcome of a run that failed with the exception being handled; call it in a catch block.
// An AdbException is kFailure with its message, place and node; any other exception is
// kUnknownFailure, with the node of a NodeRangeError and the note of a lack of memory.
RunOutcome failureOutcome();

// What a front end may see of the result table of a successful run, once it is written.
using ResultViewer = std::function<void(const Table&)>;

// Opens the input with openInput (whose AdbException is the run's failure, as for a file that
// cannot be opened) and runs it. output may be null: then nothing is copied or written, as for a
// trace. observer, when given, follows the evaluation; viewResult, when given, sees the result.
RunOutcome runSequence(const std::function<std::unique_ptr<InputSource>()>& openInput,
                       OutputTarget* output, EvalObserver* observer = nullptr,
                       const ResultViewer& viewResult = {});
// The same for an input that readInput reads whole.
RunOutcome runSequence(const std::function<std::string()>& readInput, OutputTarget* output,
                       EvalObserver* observer = nullptr, const ResultViewer& viewResult = {});

// The usage line of relalgrun, with its line feed.
std::string usageText();

}  // namespace relalg

#endif  // RELALG_RUN_RUNSEQUENCE_H
