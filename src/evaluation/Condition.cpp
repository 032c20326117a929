#include "evaluation/Condition.h"

#include <algorithm>
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

// The comparison that holds for (b, a) exactly when op holds for (a, b).
constexpr LogType mirrored(LogType op) {
  switch (op) {
    case kLt:
      return kGt;
    case kLte:
      return kGte;
    case kGt:
      return kLt;
    case kGte:
      return kLte;
    default:
      return op;
  }
}

bool holdsFor(LogType op, int order) {
  switch (op) {
    case kEq:
      return order == 0;
    case kNeq:
      return order != 0;
    case kLt:
      return order < 0;
    case kLte:
      return order <= 0;
    case kGt:
      return order > 0;
    default:
      return order >= 0;
  }
}

}  // namespace

Condition::Condition(const Table& table, const ExprSource& text)
    : columns_(table), recordCount_(static_cast<size_t>(table.recordCount())) {
  addPending(-1, text);
}

int Condition::addPending(int parent, const ExprSource& source) {
  nodes_.push_back(Node{Kind::kPending, parent, source});
  return static_cast<int>(nodes_.size() - 1);
}

// Evaluates the first comparison down the left operands, then climbs towards the whole
// condition, turning into a right operand only where AND or OR needs it.
bool Condition::holds(size_t row) {
  int node = descend(0);
  bool value = compare(node, row);
  for (int parent = nodes_[node].parent; parent >= 0; parent = nodes_[node].parent) {
    const Node& above = nodes_[parent];
    if (above.kind == Kind::kNot) {
      value = !value;
    } else if (node == above.left && value == (above.kind == Kind::kAnd)) {
      const int right = above.right;  // descending may move the nodes
      node = descend(right);
      value = compare(node, row);
      continue;
    }
    node = parent;
  }
  return value;
}

int Condition::descend(int index) {
  for (;;) {
    if (nodes_[index].kind == Kind::kPending) prepare(index);
    if (nodes_[index].kind == Kind::kCompare) return index;
    index = nodes_[index].left;
  }
}

void Condition::prepare(int index) {
  const ExprSource source = nodes_[index].source;
  RelAlgExpr expr(source);
  const ExprSource left = expr.leftSource();
  const ExprSource right = expr.rightSource();
  const int code = expr.getLogType();
  if (isComparison(code)) {
    comparisons_.push_back(
        prepareComparison(columns_, static_cast<LogType>(code), left.view(), right.view()));
    nodes_[index].kind = Kind::kCompare;
    nodes_[index].comparison = static_cast<int>(comparisons_.size() - 1);
    return;
  }
  switch (code) {
    case kAnd:
    case kOr: {
      const int leftNode = addPending(index, left);
      const int rightNode = addPending(index, right);
      nodes_[index].kind = code == kAnd ? Kind::kAnd : Kind::kOr;
      nodes_[index].left = leftNode;
      nodes_[index].right = rightNode;
      return;
    }
    case kNot: {
      const int leftNode = addPending(index, left);
      nodes_[index].kind = Kind::kNot;
      nodes_[index].left = leftNode;
      return;
    }
    default:
      throw AdbException(message(MessageId::kNotACondition, {source.view()}));
  }
}

bool Condition::compare(int index, size_t row) const {
  const Comparison& comparison = comparisons_[nodes_[index].comparison];
  if (row >= recordCount_) Column::throwIndexError(comparison.type);
  return apply(comparison, row);
}

// LTE and GT are evaluated as "not b < a" and "b < a", so their failures name b first.
Condition::Comparison Condition::prepareComparison(const ColumnIndex& columns, LogType op,
                                                   std::string_view a, std::string_view b) {
  const Column* columnA = columns.find(a);
  const Column* columnB = columns.find(b);
  const bool swapped = op == kLte || op == kGt;
  const std::string_view first = swapped ? b : a;
  const std::string_view second = swapped ? a : b;
  if (columnA == nullptr && columnB == nullptr) {
    throw AdbException(message(MessageId::kTwoConstants, {first, second}));
  }
  if (columnA != nullptr && columnB != nullptr && columnA->getType() != columnB->getType()) {
    throw AdbException(message(MessageId::kColumnTypesDiffer, {first, second}));
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
  if (op == kEq) return a == b;
  if (op == kNeq) return a != b;
  return holdsFor(op, threeWay(a, b));
}

bool Condition::apply(const Comparison& comparison, size_t row) {
  if (comparison.type == Column::INTEGER) {
    const int64_t a = comparison.leftInts->value(row);
    const int64_t b =
        comparison.rightInts != nullptr ? comparison.rightInts->value(row) : comparison.number;
    return holdsFor(comparison.op, threeWay(a, b));
  }
  if (!comparison.outcomeOfCode.empty()) {
    return comparison.outcomeOfCode[comparison.leftStrings->code(row)] != 0;
  }
  const std::string_view a = comparison.leftStrings->view(row);
  const std::string_view b =
      comparison.rightStrings != nullptr ? comparison.rightStrings->view(row) : comparison.text;
  return compareStrings(comparison.op, a, b);
}

bool Condition::lessThan(const Table& table, size_t row, std::string_view a, std::string_view b) {
  const Comparison comparison = prepareComparison(ColumnIndex(table), kLt, a, b);
  if (row >= static_cast<size_t>(table.recordCount())) Column::throwIndexError(comparison.type);
  return apply(comparison, row);
}

}  // namespace relalg
