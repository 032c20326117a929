// Condition is a selection condition, such as AND(GTE(age,30),NEQ(dept,Sales)), prepared for
// evaluation over the records of one table, which it borrows, from the condition's nodes in a
// SyntaxTree. Each part of the condition is checked, and its column names looked up, when the
// evaluation of a record first reaches it; after that every record reuses the prepared part. So
// a part that no record reaches raises nothing, and a faulty part fails at the first record
// that reaches it, as if the text were read anew for every record; its failure carries the
// part's node.
#ifndef RELALG_EVALUATION_CONDITION_H
#define RELALG_EVALUATION_CONDITION_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "language/Keywords.h"
#include "language/SyntaxTree.h"
#include "storage/Column.h"
#include "storage/ColumnIndex.h"
#include "storage/Table.h"

namespace relalg {

class Condition {
 public:
  // The condition at node condition of tree, over table; both outlive the condition.
  Condition(const Table& table, const SyntaxTree& tree, int condition);

  // Whether the condition holds for record row. Throws what the condition's parts raise.
  bool l_eval(size_t row);

  // Prepares the comparison of a with b over table and tells whether a < b holds for record row.
  static bool lt(const Table& table, size_t row, std::string_view a, std::string_view b);

 private:
  enum class Kind : uint8_t { kPending, kAnd, kOr, kNot, kCompare };

  // A comparison of a column with a column of the same kind or with a constant. The column
  // operand comes first: a constant on the left is moved right and the comparison mirrored.
  struct Comparison {
    LogType op = LogType::kEq;  // EQ to GTE
    Column::attr_type type = Column::STRING;
    const IntColumn* leftInts = nullptr;  // the columns, for an integer comparison
    const IntColumn* rightInts = nullptr;
    const StrColumn* leftStrings = nullptr;  // the columns, for a string comparison
    const StrColumn* rightStrings = nullptr;
    int64_t number = 0;  // the constant, for an integer column without a right column
    std::string text;    // the constant, for a string column without a right column
    // For a coded string column without a right column: the outcome for each code.
    std::vector<uint8_t> outcomeOfCode;
  };

  Kind& kindOf(int node) { return kinds_[static_cast<size_t>(node - root_)]; }
  // Prepares the nodes from node down the first operands to a comparison, and returns it.
  int descend(int node);
  void prepare(int node);
  bool compare(int node, size_t row) const;
  // Throws the failure of a comparison that cannot be made, at node.
  static Comparison prepareComparison(const ColumnIndex& columns, LogType op, std::string_view a,
                                      std::string_view b, int node);
  static bool apply(const Comparison& comparison, size_t row);
  static bool compareStrings(LogType op, std::string_view a, std::string_view b);

  const ColumnIndex columns_;
  size_t recordCount_;
  const SyntaxTree& tree_;
  const int root_;
  // Per node of the condition, from root_ on: its kind once prepared, and for a comparison its
  // place in comparisons_.
  std::vector<Kind> kinds_;
  std::vector<int32_t> comparisonOf_;
  std::vector<Comparison> comparisons_;
};

}  // namespace relalg

#endif  // RELALG_EVALUATION_CONDITION_H
