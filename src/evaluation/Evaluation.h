// Evaluation yields the table of one expression node of a SyntaxTree over a catalogue. It keeps
// its own stack of the operator nodes whose operands are being evaluated instead of recursing, so
// that the depth of nesting is bounded by memory alone. The first operand of a node is evaluated
// completely, failures included, before its second.
//
// Without an observer, the second operand of union, minus or product is evaluated on a thread of
// its own beside the first when neither operand holds a rename (which changes a table in place
// that the other might read) and a thread is free. Such a parallel step reports what one thread
// would report: a failing first operand cancels the second, whose failure counts only once the
// first is done; a step that runs out of memory is evaluated again on one thread before the run
// gives up; and the stored tables it reaches are borrowed while it runs (so that it can be
// evaluated again) and released once it is done.
#ifndef RELALG_EVALUATION_EVALUATION_H
#define RELALG_EVALUATION_EVALUATION_H

#include <memory>
#include <unordered_map>
#include <vector>

#include "evaluation/EvalObserver.h"
#include "evaluation/TableHandle.h"
#include "language/SyntaxTree.h"

namespace relalg {

class TableSet;

class Evaluation {
 public:
  // The catalogue, the tree and the observer (which may be null) outlive the evaluation.
  Evaluation(TableSet& catalogue, const SyntaxTree& tree, EvalObserver* observer);
  Evaluation(const Evaluation&) = delete;
  Evaluation& operator=(const Evaluation&) = delete;
  ~Evaluation();

  // The table of an expression node. Throws what the evaluation of the node raises.
  TableHandle run(int node);

 private:
  class OperandTask;
  // An operator node whose operands are being evaluated.
  struct Pending {
    explicit Pending(int operatorNode);
    Pending(Pending&&) noexcept;
    Pending& operator=(Pending&&) noexcept;
    ~Pending();

    int node;
    TableHandle left;  // the first operand's table, once a two-operand node has it
    bool leftDone = false;
    bool parallel = false;               // a second operand was started on a thread of its own
    std::unique_ptr<OperandTask> right;  // that operand, until its table is taken
  };

  Evaluation(TableSet& catalogue, const SyntaxTree& tree, EvalObserver* observer, bool insideStep);
  // Starts the nodes from node down their first operands to a stored table's name, leaving each
  // operator node on the stack, and returns that stored table.
  TableHandle descend(int node);
  // Takes the first operand of the innermost pending node and turns to its second.
  TableHandle turnToSecond(TableHandle first);
  // Applies the operator of the innermost pending node to its operands and takes it off.
  TableHandle apply(TableHandle operand);
  TableHandle applyOperator(Pending& pending, TableHandle& operand);
  void startSecondOperand(Pending& pending);
  // After running out of memory: evaluates the outermost parallel step again from its first
  // operand, on one thread. Returns false when no step is running in parallel.
  bool fallBackToOneThread(int& restart);
  void popPending();
  // Drops the stack place of a first operand that is a stored table.
  void forgetStoredLeft(size_t place);
  // Before a rename changes table in place: a first operand already evaluated to that very table
  // keeps the table as it was, by a copy of its own.
  void keepEarlierOperands(const Table* table);
  // Releases the stored tables reached once within node's subtree, except those kept.
  void releaseStepTables(int node, const Table* kept1, const Table* kept2);
  bool mayTakeTables() const { return !insideStep_ && runningTasks_ == 0; }

  TableSet& catalogue_;
  const SyntaxTree& tree_;
  EvalObserver* observer_;
  const bool insideStep_;  // a side of a parallel step: every table is borrowed
  bool oneThread_ = false;
  int runningTasks_ = 0;  // second operands started and not yet taken
  int current_ = 0;       // the node at work, for the observer's failure report
  std::vector<Pending> stack_;
  // The stack places of first operands that are stored tables, by table.
  std::unordered_map<const Table*, std::vector<size_t>> storedLefts_;
};

}  // namespace relalg

#endif  // RELALG_EVALUATION_EVALUATION_H
