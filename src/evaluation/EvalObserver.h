// EvalObserver follows an evaluation node by node, for tools that show each step. The evaluator
// calls it only when one is attached, so that plain runs pay nothing for it.
#ifndef RELALG_EVALUATION_EVALOBSERVER_H
#define RELALG_EVALUATION_EVALOBSERVER_H

#include <string_view>

namespace relalg {

class Table;
class TableSet;

class EvalObserver {
 public:
  virtual ~EvalObserver() = default;

  // The catalogue is read and about to evaluate; it lives until the evaluation has ended.
  virtual void evaluationStarted(const TableSet& /*catalogue*/) {}
  // A node is about to be evaluated: its text as its parent gave it, and its depth (0 for the
  // whole expression).
  virtual void nodeStarted(std::string_view text, int depth) = 0;
  // The node yielded table. kind is the node's operator code, 0 for a stored table.
  virtual void nodeFinished(std::string_view text, int depth, int kind, const Table& table) = 0;
  // The node failed; the exception travels on once this returns.
  virtual void nodeFailed(std::string_view text, int depth) = 0;
};

}  // namespace relalg

#endif  // RELALG_EVALUATION_EVALOBSERVER_H
