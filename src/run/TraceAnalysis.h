// TraceAnalysis follows one run for relalgtrace and the browser page: it parses the expression
// line into a SyntaxTree, checks the table blocks, records what every node of the expression
// produced (as an EvalObserver, passing each event on to another observer if given), and after
// the run places the failure and the slips it can see as diagnostics at the bytes concerned.
// It also renders the whole as JSON (the schema is in run/TraceJson.h) and as a Graphviz graph.
//
// Use: wrap the run's input reader with reader(), pass the analysis as the run's observer, then
// call finish() with the run's outcome before asking for diagnostics, JSON or DOT.
#ifndef RELALG_RUN_TRACEANALYSIS_H
#define RELALG_RUN_TRACEANALYSIS_H

#include <cstddef>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "evaluation/EvalObserver.h"
#include "language/SyntaxTree.h"
#include "run/RunSequence.h"

namespace relalg {

struct Diagnostic {
  enum Severity { kError, kWarning, kNote };
  Severity severity;
  size_t line;          // from 1
  size_t column;        // from 1, in bytes of the line as stored
  size_t length;        // bytes, at least 1
  std::string message;  // UTF-8
};

class TraceAnalysis : public EvalObserver {
 public:
  // Shows at most limit records of each table; passes every event on to next, when given.
  explicit TraceAnalysis(size_t limit, EvalObserver* next = nullptr);
  ~TraceAnalysis() override;

  // A reader that reads the input with readInput and keeps a copy for the analysis.
  std::function<std::string()> reader(std::function<std::string()> readInput);

  void evaluationStarted(const TableSet& catalogue) override;
  void nodeStarted(std::string_view text, int depth) override;
  void nodeFinished(std::string_view text, int depth, int kind, const Table& table) override;
  void nodeFailed(std::string_view text, int depth) override;

  // Places the outcome's failure and checks what only the evaluated tables tell.
  void finish(const RunOutcome& outcome);

  // The diagnostics in the order of their place in the input.
  const std::vector<Diagnostic>& diagnostics() const { return diagnostics_; }
  // The diagnostics as compilers print them: "path:line:column: severity: message", then the
  // line and a caret under the bytes concerned.
  std::string diagnosticsText(std::string_view path) const;
  std::string json() const;
  std::string dot() const;

 private:
  struct Column {
    std::string name;
    std::string type;  // "int" or "char(W)"
  };
  // What a node of the expression produced.
  struct Result {
    bool started = false;
    bool finished = false;
    bool failed = false;
    std::string name;
    std::vector<Column> columns;
    size_t count = 0;
    std::vector<std::string> records;
    const Table* table = nullptr;  // alive until the parent node has finished
  };

  void checkTables();
  void placeFailure();
  void checkConditions(int select);
  void checkComparand(int comparand, int other, const std::vector<Column>& columns);
  void checkMerge(int merge, const Table& result);
  int failingNodeWithin(int node) const;
  void addAt(Diagnostic::Severity severity, size_t line, size_t column, size_t length,
             std::string message);
  // A diagnostic at bytes of the expression line.
  void addInExpression(Diagnostic::Severity severity, size_t begin, size_t length,
                       std::string message);
  void writeNode(class JsonWriter& json, int node, int levels) const;
  std::string_view lineText(size_t line) const;

  size_t limit_;
  EvalObserver* next_;
  std::string input_;
  bool inputRead_ = false;
  size_t markLength_ = 0;  // bytes of a byte order mark before the expression
  std::unique_ptr<SyntaxTree> tree_;
  std::vector<Result> results_;  // per syntax node
  std::vector<int> startedAt_;   // per depth: the node started last at that depth
  size_t started_ = 0;           // nodes started so far
  bool inStep_ = true;           // whether the started nodes match the tree so far
  int failedNode_ = -1;
  std::vector<std::string> tableNames_;
  bool evaluated_ = false;
  std::optional<RunOutcome> outcome_;
  std::vector<Diagnostic> diagnostics_;
};

}  // namespace relalg

#endif  // RELALG_RUN_TRACEANALYSIS_H
