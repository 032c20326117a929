#include "Condition.h"

#include <utility>

#include "AdbException.h"
#include "RelAlgExpr.h"
#include "Table.h"

namespace {

// The value that C's atoi reads from text: leading white space, an optional sign, decimal digits
// up to the first other character, 0 without digits. The value is exact for every text that
// names a 32-bit value and saturates far beyond that range instead of wrapping.
int64_t atoiValue(std::string_view text) {
  size_t pos = 0;
  auto isSpace = [](char c) { return c == ' ' || (c >= '\t' && c <= '\r'); };
  while (pos < text.size() && isSpace(text[pos])) ++pos;
  bool negative = false;
  if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) negative = text[pos++] == '-';
  constexpr int64_t kSaturation = int64_t{1} << 40;
  int64_t value = 0;
  for (; pos < text.size() && text[pos] >= '0' && text[pos] <= '9'; ++pos) {
    value = std::min(value * 10 + (text[pos] - '0'), kSaturation);
  }
  return negative ? -value : value;
}

int threeWay(int64_t a, int64_t b) { return (a > b) - (a < b); }

int threeWay(std::string_view a, std::string_view b) {
  int order = a.compare(b);
  return (order > 0) - (order < 0);
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

// Walks the condition without recursion: down the left operands to a comparison, then up
// through the parents, turning into a right operand only where AND or OR needs it.
bool Condition::holds(size_t row) {
  int node = 0;
  for (;;) {
    for (;;) {
      if (nodes_[node].kind == Kind::kPending) prepare(node);
      if (nodes_[node].kind == Kind::kCompare) break;
      node = nodes_[node].left;
    }
    const Comparison& comparison = comparisons_[nodes_[node].comparison];
    if (row >= recordCount_) Column::throwIndexError(comparison.type);
    bool value = evaluate(comparison, row);
    for (;;) {
      const int parent = nodes_[node].parent;
      if (parent < 0) return value;
      const Node& above = nodes_[parent];
      if (above.kind == Kind::kNot) {
        value = !value;
      } else if (node == above.left && value == (above.kind == Kind::kAnd)) {
        node = above.right;
        break;
      }
      node = parent;
    }
  }
}

void Condition::prepare(int index) {
  const ExprSource source = nodes_[index].source;
  RelAlgExpr expr(source);
  const ExprSource left = expr.leftSource();
  const ExprSource right = expr.rightSource();
  const int code = expr.getLogType();
  switch (code) {
    case kAnd:
    case kOr: {
      int leftNode = addPending(index, left);
      int rightNode = addPending(index, right);
      nodes_[index].kind = code == kAnd ? Kind::kAnd : Kind::kOr;
      nodes_[index].left = leftNode;
      nodes_[index].right = rightNode;
      return;
    }
    case kNot: {
      int leftNode = addPending(index, left);
      nodes_[index].kind = Kind::kNot;
      nodes_[index].left = leftNode;
      return;
    }
    case kUnknownCondition:
      throw AdbException("Nem sikerult kiertekelni a kifejezest: " + source.str());
    default:
      comparisons_.push_back(
          prepareComparison(columns_, static_cast<Op>(code), left.view(), right.view()));
      nodes_[index].kind = Kind::kCompare;
      nodes_[index].comparison = static_cast<int>(comparisons_.size() - 1);
  }
}

// LTE and GT are evaluated as "not b < a" and "b < a", so their failures name b first.
Condition::Comparison Condition::prepareComparison(const ColumnIndex& columns, Op op,
                                                   std::string_view a, std::string_view b) {
  const Column* columnA = columns.find(a);
  const Column* columnB = columns.find(b);
  const bool swapped = op == Op::kLte || op == Op::kGt;
  const std::string named =
      swapped ? std::string(b) + " " + std::string(a) : std::string(a) + " " + std::string(b);
  if (columnA == nullptr && columnB == nullptr) {
    throw AdbException("Ket konstans osszehasonlitasa: " + named);
  }
  if (columnA != nullptr && columnB != nullptr) {
    if (columnA->getType() != columnB->getType()) {
      throw AdbException("Nem azonos tipusu oszlopok: " + named);
    }
    return Comparison{op, columnA->getType(), columnA, columnB, 0, {}};
  }
  if (columnA == nullptr) {
    // Put the column first: a constant on the left mirrors the comparison.
    static constexpr Op kMirror[] = {Op::kEq, Op::kNeq, Op::kGt, Op::kGte, Op::kLt, Op::kLte};
    std::swap(a, b);
    std::swap(columnA, columnB);
    op = kMirror[static_cast<int>(op)];
  }
  Comparison comparison{op, columnA->getType(), columnA, nullptr, 0, {}};
  if (comparison.type == Column::INTEGER) {
    comparison.number = atoiValue(b);
  } else {
    comparison.text = b;
  }
  return comparison;
}

bool Condition::evaluate(const Comparison& comparison, size_t row) {
  int order;
  if (comparison.type == Column::INTEGER) {
    int64_t a = static_cast<const IntColumn*>(comparison.left)->value(row);
    int64_t b = comparison.right != nullptr
                    ? static_cast<const IntColumn*>(comparison.right)->value(row)
                    : comparison.number;
    order = threeWay(a, b);
  } else {
    std::string_view a = static_cast<const StrColumn*>(comparison.left)->view(row);
    std::string_view b = comparison.right != nullptr
                             ? static_cast<const StrColumn*>(comparison.right)->view(row)
                             : comparison.text;
    // Equality needs no ordering: values of different lengths differ.
    if (comparison.op == Op::kEq) return a == b;
    if (comparison.op == Op::kNeq) return a != b;
    order = threeWay(a, b);
  }
  switch (comparison.op) {
    case Op::kEq:
      return order == 0;
    case Op::kNeq:
      return order != 0;
    case Op::kLt:
      return order < 0;
    case Op::kLte:
      return order <= 0;
    case Op::kGt:
      return order > 0;
    case Op::kGte:
      return order >= 0;
  }
  return false;
}

bool Condition::lessThan(const Table& table, size_t row, std::string_view a, std::string_view b) {
  Comparison comparison = prepareComparison(ColumnIndex(table), Op::kLt, a, b);
  if (row >= static_cast<size_t>(table.recordCount())) Column::throwIndexError(comparison.type);
  return evaluate(comparison, row);
}
