// TraceAnalysis follows one run for relalgtrace and the browser page: it keeps the parsed
// expression, the plan of the table blocks and what every expression node produced (as an
// EvalObserver, passing each event on to another observer if given), and after the run places
// the failure and the slips it can see as diagnostics at the bytes concerned. The text, JSON and
// DOT forms of relalgtrace read it.
//
// Use: wrap the run's input reader with reader(), pass the analysis as the run's observer, then
// call finish() with the run's outcome before asking for anything else.
#ifndef RELALG_DIAGNOSTICS_TRACEANALYSIS_H
#define RELALG_DIAGNOSTICS_TRACEANALYSIS_H

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/Messages.h"
#include "base/TextList.h"
#include "diagnostics/ConditionChecks.h"
#include "diagnostics/Diagnostics.h"
#include "evaluation/EvalObserver.h"
#include "language/SyntaxTree.h"
#include "run/RunSequence.h"
#include "storage/TableBlocks.h"

namespace relalg {

class TraceAnalysis : public EvalObserver {
 public:
  // What an expression node produced.
  struct Result {
    bool started = false;
    bool finished = false;
    bool failed = false;
    std::string name;
    size_t count = 0;
    std::vector<TextList> records;  // the first ones' values
    const Table* table = nullptr;   // alive until the node's parent has finished
    // Column k's name is columnTexts[2k], its type ("int" or "char(W)") columnTexts[2k + 1]:
    // a few bytes a column, as a trace of wide tables at every node of a deep nesting needs.
    TextList columnTexts;

    size_t columnCount() const { return columnTexts.size() / 2; }
    std::string_view columnName(size_t k) const { return columnTexts[2 * k]; }
    std::string_view columnType(size_t k) const { return columnTexts[2 * k + 1]; }
    // Every column, for the checks.
    std::vector<ShownColumn> columns() const;
  };

  // Shows at most limit records of each table; passes every event on to next, when given.
  explicit TraceAnalysis(size_t limit, EvalObserver* next = nullptr);
  ~TraceAnalysis() override;

  // A reader that reads the input with readInput and keeps a copy for the analysis.
  std::function<std::string()> reader(std::function<std::string()> readInput);

  void expressionParsed(const std::shared_ptr<const SyntaxTree>& tree) override;
  void tablesPlanned(const TablePlan& plan) override;
  void evaluationStarted(const TableSet& catalogue) override;
  void nodeStarted(const SyntaxTree& tree, int node) override;
  void nodeFinished(const SyntaxTree& tree, int node, const Table& table) override;
  void nodeFailed(const SyntaxTree& tree, int node) override;

  // Places the outcome's failure and checks what only the evaluated tables tell.
  void finish(const RunOutcome& outcome);

  // The parsed expression, or null when the input was not read.
  const SyntaxTree* tree() const { return tree_.get(); }
  // What node produced (never evaluated: nothing started).
  const Result& result(int node) const;
  // The diagnostics in the order of their place in the input.
  const std::vector<Diagnostic>& diagnostics() const { return diagnostics_; }
  const RunOutcome& outcome() const { return outcome_; }
  // The input as read, and the bytes of a byte order mark before its expression.
  std::string_view input() const { return input_; }
  size_t markLength() const { return markLength_; }
  // What relalgrun prints on standard error, as UTF-8: its words read as Windows-1250, the
  // input's text it quotes as the letters of its line (UTF-8 where the line is, else
  // Windows-1250).
  std::string errorTextAsUtf8() const;

 private:
  void placeFailure();
  // The failure's diagnostic where the failure is a node's, and the fix that its node shows.
  Diagnostic nodeFailure(int failing, MessageId id, std::string printed) const;
  std::string_view firstMissingColumn(int project) const;
  Diagnostic namesRunTogether(std::string_view missing, Diagnostic placed) const;
  Diagnostic missingComma(int node, Diagnostic placed) const;
  std::string meantColumnsFix(int comparison) const;
  void noteSchemaDifference(int merge);
  void noteRenamedInPlace();
  void checkMerge(int merge, const Table& result);
  int failingNode() const;
  // A diagnostic at bytes of the expression line.
  void addInExpression(Diagnostic::Severity severity, size_t begin, size_t length,
                       std::string message);
  std::string_view lineOfInput(size_t number) const;
  // Text of the input as UTF-8: as it is where it is UTF-8, else read as Windows-1250.
  std::string asShown(std::string_view bytes) const;
  bool lineIsUtf8(size_t number) const;
  // The line whose letters the failure's message quotes: its place, or the expression line.
  size_t failureLine() const;
  std::string failureAsUtf8() const;

  size_t limit_;
  EvalObserver* next_;
  std::string input_;
  size_t markLength_ = 0;
  std::shared_ptr<const SyntaxTree> tree_;
  std::optional<TablePlan> plan_;
  std::vector<int> resultOf_;    // per node of the tree: its place in results_, or -1
  std::vector<Result> results_;  // per expression node
  int failedNode_ = -1;
  std::vector<std::string> tableNames_;
  bool evaluated_ = false;
  RunOutcome outcome_;
  std::string tablesFix_;  // the fix of a failure in the table blocks that their checks found
  std::vector<Diagnostic> diagnostics_;
};

}  // namespace relalg

#endif  // RELALG_DIAGNOSTICS_TRACEANALYSIS_H
