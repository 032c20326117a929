// The grader of one exercise: a reference expression, the data sets it is given (the exercise's
// own first) with the reference's outcome on each, and a compare mode. grade() decides one
// submission: right, wrong with a small counterexample, or failed with relalgrun's message.
// Submissions are untrusted: a caller that must survive any of them runs grade() in a process of
// its own under a memory ceiling, and cancels its thread's work (base/Threads.h) some time after
// the budget; grade() itself keeps to the budget between evaluations.
#ifndef RELALG_GRADING_GRADER_H
#define RELALG_GRADING_GRADER_H

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "diagnostics/Diagnostics.h"
#include "grading/Constraints.h"
#include "grading/DataSet.h"
#include "grading/Outcome.h"
#include "language/SyntaxTree.h"
#include "notation/Allowlist.h"

namespace relalg {

// Not graded: the grader failed on the submission for reasons of its own (it could not start its
// check, or the check crashed), so that the submission has no verdict.
enum class Verdict { kRight, kWrong, kFailed, kNotGraded };
std::string_view verdictName(Verdict verdict);

struct GradeSettings {
  uint64_t seed = 1;
  size_t maxTries = 10000;    // generated data sets, at most
  double budgetSeconds = 10;  // for the given data sets and the search together
  // Boundary values and the constants of both expressions among the generated values.
  bool edgeValues = true;
};

class Exercise {
 public:
  // given holds the exercise's own data set first; every data set holds the same tables and
  // meets the constraints. A submission whose program is written in the notation is lowered
  // against the tables of the first under allow, which limits core submissions too. notation
  // tells that the exercise is set in the notation: its reference was, or allow limits what a
  // submission uses.
  Exercise(std::string referenceLine, std::vector<DataSet> given, CompareMode mode,
           Constraints constraints = {}, Allowlist allow = {}, bool notation = false);

  const SyntaxTree& reference() const { return reference_; }
  const std::vector<DataSet>& given() const { return given_; }
  // The reference's outcome on each given data set.
  const std::vector<Outcome>& expected() const { return expected_; }
  CompareMode mode() const { return mode_; }
  const Constraints& constraints() const { return constraints_; }
  const Allowlist& allow() const { return allow_; }
  bool notation() const { return notation_; }
  // The first given data set on which the reference fails, if any.
  std::optional<size_t> failingDataSet() const;

 private:
  SyntaxTree reference_;
  std::vector<DataSet> given_;
  std::vector<Outcome> expected_;
  CompareMode mode_;
  Constraints constraints_;
  Allowlist allow_;
  bool notation_;
};

struct DataSetVerdict {
  std::string name;
  Verdict verdict;
  int status;             // relalgrun's exit status for the submission
  std::string errorText;  // relalgrun's standard error for it
};

struct Counterexample {
  std::string source;        // the given data set it was shrunk from, or the generated one
  std::string input;         // an input file: the submission's expression line, then the tables
  size_t records = 0;        // in its tables
  size_t recordsBefore = 0;  // in the data set it was shrunk from
  Outcome expected;          // the reference's
  Outcome got;               // the submission's
  // The first part of the reference that is empty on it, in words (Judge::emptyPart), and
  // whether no counterexample without an empty part was found: the two differ only there.
  std::string emptyPart;
  bool onlyWhenEmpty = false;
  bool generated = false;  // shrunk from a generated data set, not from a given one
};

struct SubmissionReport {
  std::string file;
  // The expression line graded: the first line of the submission, or the lowering of its
  // program (empty when the program cannot be lowered).
  std::string expression;
  // The submission's program (its lines before the first empty line) when it is written in the
  // notation, else empty. Its diagnostics are placed in it.
  std::string program;
  Verdict verdict = Verdict::kRight;
  std::vector<DataSetVerdict> dataSets;
  std::optional<Counterexample> counterexample;
  // For a failed submission, or one not graded: why, in words (UTF-8), and what relalgrun's
  // message there means, in English, where the message table does not tell from the words.
  std::string reason;
  std::string meaning;
  // What relalgtrace says of the expression line over the exercise's data: the failure placed,
  // or the warnings of a wrong submission.
  std::vector<Diagnostic> diagnostics;
  std::string savedAs;     // the file that holds the counterexample's bytes, if saved
  std::string saveError;   // why it could not be saved, if it was to be
  size_t tried = 0;        // data sets tried, given and generated
  bool searchCut = false;  // the budget ended the search before its tries ran out
  double seconds = 0;
};

// Grades the submission held in bytes (its first line is the expression, or its lines before the
// first empty line a notation program; a byte order mark before it is skipped, every other line
// ignored). A program that the exercise's allowlist forbids, or that cannot be lowered, fails
// with the notation's error. Cancelled work ends the step at hand: the
// report then says what was found until then.
SubmissionReport grade(const Exercise& exercise, std::string file, std::string_view bytes,
                       const GradeSettings& settings);

// A number of seconds as a person writes it: 10, 2.5.
std::string secondsText(double seconds);

}  // namespace relalg

#endif  // RELALG_GRADING_GRADER_H
