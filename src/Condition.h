// Condition is a selection condition, such as AND(GTE(age,30),NEQ(dept,Sales)), prepared for
// evaluation over the records of one table. Each part of the condition is parsed, and its column
// names looked up, when the evaluation of a record first reaches it; after that every record
// reuses the prepared part. So a part that no record reaches raises nothing, and a faulty part
// fails at the first record that reaches it, as if the text were read anew for every record.
#ifndef RELALG_CONDITION_H
#define RELALG_CONDITION_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "Column.h"
#include "ExprText.h"
#include "Table.h"

class Condition {
 public:
  Condition(const Table& table, const ExprSource& text);

  // Whether the condition holds for record row. Throws what the condition's parts raise.
  bool holds(size_t row);

  // Prepares the comparison lt(a, b) and tells whether a < b holds for record row.
  static bool lessThan(const Table& table, size_t row, std::string_view a, std::string_view b);

 private:
  enum class Kind { kPending, kAnd, kOr, kNot, kCompare };
  enum class Op { kEq, kNeq, kLt, kLte, kGt, kGte };

  // A comparison of a column with a column of the same kind or with a constant.
  struct Comparison {
    Op op;
    Column::attr_type type;
    const Column* left;
    const Column* right;  // null when comparing with the constant
    int64_t number = 0;   // the constant, for an integer column
    std::string text;     // the constant, for a string column
  };

  struct Node {
    Kind kind;
    int parent;
    ExprSource source;
    int left = -1;
    int right = -1;
    int comparison = -1;
  };

  void prepare(int index);
  int addPending(int parent, const ExprSource& source);
  static Comparison prepareComparison(const ColumnIndex& columns, Op op, std::string_view a,
                                      std::string_view b);
  static bool evaluate(const Comparison& comparison, size_t row);

  const ColumnIndex columns_;
  size_t recordCount_;
  std::vector<Node> nodes_;  // nodes_[0] is the whole condition
  std::vector<Comparison> comparisons_;
};

#endif  // RELALG_CONDITION_H
