#include "grading/Grader.h"

#include <chrono>
#include <cstdio>
#include <utility>

#include "base/Messages.h"
#include "base/Threads.h"
#include "diagnostics/TraceAnalysis.h"
#include "forms/TraceReport.h"
#include "grading/Counterexamples.h"
#include "notation/Notation.h"
#include "notation/NotationError.h"
#include "notation/NotationPlaces.h"
#include "run/RunSequence.h"

namespace relalg {

namespace {

double secondsSince(Clock::time_point start) {
  return std::chrono::duration<double>(Clock::now() - start).count();
}

// relalgrun's report of a failure in words, as UTF-8, saying when it ran out of memory.
std::string failureWords(const Outcome& outcome, std::string_view line) {
  std::string words = failureMessage(outcome, line);
  if (outcome.outOfMemory) words += " (" + message(MessageId::kCheckOutOfMemory) + ")";
  return words;
}

// What relalgtrace says of line 1, the expression line, of the submission over data; placed in
// the notation program where the line is the lowering of one.
std::vector<Diagnostic> expressionDiagnostics(const std::string& line, const DataSet& data,
                                              const NotationPlaces* places) {
  const std::string input = line + "\n" + data.text();
  TraceAnalysis analysis(0);
  const RunOutcome outcome =
      runSequence(analysis.reader([&] { return input; }), nullptr, &analysis);
  analysis.finish(outcome);
  std::vector<Diagnostic> kept;
  for (const Diagnostic& diagnostic : analysis.diagnostics()) {
    if (diagnostic.line == 1) kept.push_back(diagnostic);
  }
  return places != nullptr ? places->place(kept, failureMeaning(outcome)) : kept;
}

// The lines of a submission before its first empty line, each ended by a line feed.
std::string programOf(std::string_view bytes) {
  std::string program(bytes.substr(0, programEnd(bytes)));
  if (!program.empty() && program.back() != '\n') program += '\n';
  return program;
}

// The counterexample shrunk from source: a given data set (a teacher's, whose records that leave
// the reference's result as it is go first) or a generated one.
Counterexample makeCounterexample(const Judge& judge, const DataSet& source, bool given,
                                  const std::string& line, const DataGenerator& generator,
                                  Clock::time_point deadline) {
  // The values written out again read as the file's lines did, almost always; where they do not,
  // the data set stays as it was given.
  DataSet written(source.name(), source.tables());
  const DataSet shrunk =
      judge.tellsApart(written) ? shrink(judge, written, generator, deadline, given) : source;
  Counterexample example;
  example.source = source.name().substr(source.name().find_last_of('/') + 1);
  example.input = line + "\n" + shrunk.text();
  example.records = shrunk.recordCount();
  example.recordsBefore = source.recordCount();
  judge.tellsApart(shrunk, &example.expected, &example.got);
  example.emptyPart = judge.emptyPart(shrunk);
  example.onlyWhenEmpty = !given && !example.emptyPart.empty();
  example.generated = !given;
  return example;
}

}  // namespace

std::string secondsText(double seconds) {
  char text[32];
  std::snprintf(text, sizeof text, "%g", seconds);
  return text;
}

std::string_view verdictName(Verdict verdict) {
  switch (verdict) {
    case Verdict::kRight:
      return "right";
    case Verdict::kWrong:
      return "wrong";
    case Verdict::kFailed:
      return "failed";
    default:
      return "not graded";
  }
}

Exercise::Exercise(std::string referenceLine, std::vector<DataSet> given, CompareMode mode,
                   Constraints constraints, Allowlist allow, bool notation)
    : reference_(std::move(referenceLine)),
      given_(std::move(given)),
      mode_(mode),
      constraints_(std::move(constraints)),
      allow_(allow),
      notation_(notation) {
  for (const DataSet& data : given_) expected_.push_back(evaluateOn(reference_, data));
}

std::optional<size_t> Exercise::failingDataSet() const {
  for (size_t k = 0; k < expected_.size(); ++k) {
    if (!expected_[k].succeeded()) return k;
  }
  return std::nullopt;
}

SubmissionReport grade(const Exercise& exercise, std::string file, std::string_view bytes,
                       const GradeSettings& settings) {
  const Clock::time_point start = Clock::now();
  const Clock::time_point deadline = after(start, settings.budgetSeconds);
  SubmissionReport report;
  report.file = std::move(file);
  // The program is lowered against the exercise's tables: the lowering depends on their widths.
  const std::string notationFile = programOf(bytes) + exercise.given().front().text();
  std::optional<LoweredInput> lowered;
  try {
    lowered = lowerNotation(notationFile, exercise.allow());
  } catch (const NotationError& error) {
    report.program = programOf(bytes);
    report.verdict = Verdict::kFailed;
    report.diagnostics = {notationDiagnostic(error, notationFile)};
    report.reason = report.diagnostics.front().message;
    report.seconds = secondsSince(start);
    return report;
  }
  std::optional<NotationPlaces> places;
  if (lowered->passedThrough) {
    report.expression = firstLine(bytes);
  } else {
    report.expression = lowered->coreLine;
    report.program = programOf(bytes);
    places.emplace(*lowered, notationFile);
  }
  const NotationPlaces* placed = places ? &*places : nullptr;
  const SyntaxTree submission(report.expression);
  const Judge judge(exercise.reference(), submission, exercise.mode());
  const std::vector<DataSet>& given = exercise.given();

  // The given data sets, each to its end unless the budget runs out.
  std::optional<size_t> differing;
  for (size_t k = 0; k < given.size(); ++k) {
    Outcome got;
    bool cancelled = false;
    try {
      got = evaluateOn(submission, given[k]);
    } catch (const Cancelled&) {
      cancelled = true;  // the caller's limit, which lies past the budget, ended it
    }
    ++report.tried;
    if (cancelled || Clock::now() > deadline) {
      report.verdict = Verdict::kFailed;
      report.reason = message(MessageId::kCheckOverBudget,
                              {secondsText(settings.budgetSeconds), given[k].name()});
      report.seconds = secondsSince(start);
      return report;
    }
    const Verdict verdict = !got.succeeded() ? Verdict::kFailed
                            : sameResult(exercise.mode(), exercise.expected()[k], got)
                                ? Verdict::kRight
                                : Verdict::kWrong;
    report.dataSets.push_back({given[k].name(), verdict, got.status, got.errorText});
    if (verdict != Verdict::kRight && !differing) differing = k;
    if (k == 0 && verdict == Verdict::kFailed) {
      report.reason = failureWords(got, report.expression);
      report.meaning = failureMeaning(got.errorText);
    }
  }

  size_t generatedTries = 0;
  bool searching = false;
  try {
    if (report.dataSets.front().verdict == Verdict::kFailed) {
      report.verdict = Verdict::kFailed;
      report.diagnostics = expressionDiagnostics(report.expression, given.front(), placed);
    } else {
      DataGenerator generator(given, exercise.constraints(), {&exercise.reference(), &submission},
                              settings.edgeValues, settings.seed);
      std::optional<DataSet> generated;
      if (!differing) {
        searching = true;
        generated =
            searchDifference(judge, generator, {settings.maxTries, deadline}, generatedTries);
        searching = false;
        report.searchCut = !generated && generatedTries < settings.maxTries;
      }
      if (differing || generated) {
        const DataSet& source = differing ? given[*differing] : *generated;
        report.verdict = Verdict::kWrong;
        report.counterexample =
            makeCounterexample(judge, source, differing.has_value(), report.expression, generator,
                               after(Clock::now(), settings.budgetSeconds / 2));
        report.diagnostics = expressionDiagnostics(report.expression, given.front(), placed);
      }
    }
  } catch (const Cancelled&) {
    // The caller's limit ended the work: what was found stands, and a search it ended was cut.
    report.searchCut = report.searchCut || searching;
  }
  report.tried += generatedTries;
  report.seconds = secondsSince(start);
  return report;
}

}  // namespace relalg
