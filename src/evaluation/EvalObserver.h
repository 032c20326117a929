// EvalObserver follows a run node by node, for tools that show each step. The run calls it only
// when one is attached, so that plain runs pay nothing for it; an evaluation with an observer
// runs on one thread and borrows every stored table.
#ifndef RELALG_EVALUATION_EVALOBSERVER_H
#define RELALG_EVALUATION_EVALOBSERVER_H

#include <memory>

#include "language/SyntaxTree.h"
#include "storage/TableBlocks.h"

namespace relalg {

class Table;
class TableSet;

class EvalObserver {
 public:
  virtual ~EvalObserver() = default;

  // The expression line is parsed, before the tables are read; the observer may keep the tree.
  virtual void expressionParsed(const std::shared_ptr<const SyntaxTree>& /*tree*/) {}
  // The table blocks below the expression line are planned and about to be read.
  virtual void tablesPlanned(const TablePlan& /*plan*/) {}
  // The tables are read; the run is about to write the copy of the input.
  virtual void tablesRead() {}
  // The catalogue is read and about to evaluate; it lives until the evaluation has ended.
  virtual void evaluationStarted(const TableSet& /*catalogue*/) {}
  // An expression node is about to be evaluated.
  virtual void nodeStarted(const SyntaxTree& tree, int node) = 0;
  // The node yielded table. The tables of its operands are alive until it returns, as they were
  // when their own nodes finished, except that a product may have taken the columns of an
  // operand that the evaluation made for it (an operator's table, never a stored one).
  virtual void nodeFinished(const SyntaxTree& tree, int node, const Table& table) = 0;
  // The node failed; the exception travels on once this returns.
  virtual void nodeFailed(const SyntaxTree& tree, int node) = 0;
};

}  // namespace relalg

#endif  // RELALG_EVALUATION_EVALOBSERVER_H
