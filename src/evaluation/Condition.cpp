#include "evaluation/Condition.h"

#include <algorithm>
#include <cassert>
#include <utility>

#include "base/AdbException.h"
#include "base/Messages.h"
#include "language/StringTokenizer.h"

namespace relalg {

namespace {

int threeWay(int64_t a, int64_t b) { return (a > b) - (a < b); }

int threeWay(std::string_view a, std::string_view b) {
  int order = a.compare(b);
  return (order > 0) - (order < 0);
}

bool holdsFor(LogType op, int order) {
  switch (op) {
    case LogType::kEq:
      return order == 0;
    case LogType::kNeq:
      return order != 0;
    case LogType::kLt:
      return order < 0;
    case LogType::kLte:
      return order <= 0;
    case LogType::kGt:
      return order > 0;
    default:
      return order >= 0;
  }
}

}  // namespace

Condition::Condition(const Table& table, const SyntaxTree& tree, int condition)
    : columns_(table),
      recordCount_(static_cast<size_t>(table.recordCount())),
      tree_(tree),
      root_(condition),
      kinds_(static_cast<size_t>(tree.subtreeEnd(condition) - condition), Kind::kPending),
      comparisonOf_(kinds_.size(), -1) {
  assert(tree.isCondition(condition));
}

// Evaluates the first comparison down the first operands, then climbs towards the whole
// condition, turning into a second operand only where AND or OR needs it.
bool Condition::l_eval(size_t row) {
  int node = descend(root_);
  bool value = compare(node, row);
  while (node != root_) {
    const int parent = tree_.parent(node);
    const Kind kind = kindOf(parent);
    if (kind == Kind::kNot) {
      value = !value;
    } else if (node == tree_.operand(parent, 0) && value == (kind == Kind::kAnd)) {
      node = descend(tree_.operand(parent, 1));
      value = compare(node, row);
      continue;
    }
    node = parent;
  }
  return value;
}

int Condition::descend(int node) {
  for (;;) {
    if (kindOf(node) == Kind::kPending) prepare(node);
    if (kindOf(node) == Kind::kCompare) return node;
    node = tree_.operand(node, 0);
  }
}

void Condition::prepare(int node) {
  if (tree_.fault(node) != SyntaxTree::Fault::kNone) tree_.raiseFault(node);
  const LogType type = tree_.logType(node);
  if (isComparison(type)) {
    comparisons_.push_back(prepareComparison(columns_, type, tree_.text(tree_.operand(node, 0)),
                                             tree_.text(tree_.operand(node, 1)), node));
    comparisonOf_[static_cast<size_t>(node - root_)] =
        static_cast<int32_t>(comparisons_.size() - 1);
    kindOf(node) = Kind::kCompare;
    return;
  }
  switch (type) {
    case LogType::kAnd:
      kindOf(node) = Kind::kAnd;
      return;
    case LogType::kOr:
      kindOf(node) = Kind::kOr;
      return;
    case LogType::kNot:
      kindOf(node) = Kind::kNot;
      return;
    default:
      throw AdbException(message(MessageId::kNotACondition, {tree_.rawText(node)}), node);
  }
}

bool Condition::compare(int node, size_t row) const {
  const Comparison& comparison =
      comparisons_[static_cast<size_t>(comparisonOf_[static_cast<size_t>(node - root_)])];
  if (row >= recordCount_) Column::throwIndexError(comparison.type);
  return apply(comparison, row);
}

// LTE and GT are evaluated as "not b < a" and "b < a", so their failures name b first.
Condition::Comparison Condition::prepareComparison(const ColumnIndex& columns, LogType op,
                                                   std::string_view a, std::string_view b,
                                                   int node) {
  const Column* columnA = columns.getColumnByName(a);
  const Column* columnB = columns.getColumnByName(b);
  const bool swapped = op == LogType::kLte || op == LogType::kGt;
  const std::string_view first = swapped ? b : a;
  const std::string_view second = swapped ? a : b;
  if (columnA == nullptr && columnB == nullptr) {
    throw AdbException(message(MessageId::kTwoConstants, {first, second}), node);
  }
  if (columnA != nullptr && columnB != nullptr && columnA->getType() != columnB->getType()) {
    throw AdbException(message(MessageId::kColumnTypesDiffer, {first, second}), node);
  }
  if (columnA == nullptr) {
    std::swap(a, b);
    std::swap(columnA, columnB);
    op = mirrored(op);
  }
  Comparison comparison;
  comparison.op = op;
  comparison.type = columnA->getType();
  if (comparison.type == Column::INTEGER) {
    comparison.leftInts = &asInts(*columnA);
    comparison.rightInts = columnB != nullptr ? &asInts(*columnB) : nullptr;
    if (columnB == nullptr) comparison.number = atoiValue(b);
  } else {
    comparison.leftStrings = &asStrings(*columnA);
    comparison.rightStrings = columnB != nullptr ? &asStrings(*columnB) : nullptr;
    if (columnB == nullptr) comparison.text = b;
    if (columnB == nullptr && comparison.leftStrings->coded()) {
      // Every record of one value has the same outcome: it is worked out once per value.
      const ValueCodes& values = comparison.leftStrings->distinctValues();
      for (size_t code = 0; code < values.size(); ++code) {
        comparison.outcomeOfCode.push_back(compareStrings(op, values.value(code), comparison.text));
      }
    }
  }
  return comparison;
}

bool Condition::compareStrings(LogType op, std::string_view a, std::string_view b) {
  // Equality needs no ordering: values of different lengths differ.
  if (op == LogType::kEq) return a == b;
  if (op == LogType::kNeq) return a != b;
  return holdsFor(op, threeWay(a, b));
}

bool Condition::apply(const Comparison& comparison, size_t row) {
  if (comparison.type == Column::INTEGER) {
    const int64_t a = comparison.leftInts->getVal(row);
    const int64_t b =
        comparison.rightInts != nullptr ? comparison.rightInts->getVal(row) : comparison.number;
    return holdsFor(comparison.op, threeWay(a, b));
  }
  if (!comparison.outcomeOfCode.empty()) {
    return comparison.outcomeOfCode[comparison.leftStrings->code(row)] != 0;
  }
  const std::string_view a = comparison.leftStrings->getVal(row);
  const std::string_view b =
      comparison.rightStrings != nullptr ? comparison.rightStrings->getVal(row) : comparison.text;
  return compareStrings(comparison.op, a, b);
}

bool Condition::lt(const Table& table, size_t row, std::string_view a, std::string_view b) {
  const Comparison comparison =
      prepareComparison(ColumnIndex(table), LogType::kLt, a, b, SyntaxTree::kNoNode);
  if (row >= static_cast<size_t>(table.recordCount())) Column::throwIndexError(comparison.type);
  return apply(comparison, row);
}

}  // namespace relalg
