// Selection: the records of a table for which a condition holds, and the two evaluators of
// conditions that the table offers, l_eval over a whole condition and lt over one comparison.
#include "evaluation/Condition.h"
#include "language/ExprText.h"
#include "storage/Table.h"

std::unique_ptr<Table> Table::make_select(std::string condition) const {
  return make_select(ExprSource(std::move(condition)));
}

// The result keeps this table's name and columns and the chosen records in their order.
std::unique_ptr<Table> Table::make_select(const ExprSource& condition) const {
  Condition test(*this, condition);
  std::vector<uint32_t> rows;
  const size_t count = static_cast<size_t>(recordCount());
  for (size_t row = 0; row < count; ++row) {
    if (test.holds(row)) rows.push_back(static_cast<uint32_t>(row));
  }
  auto result = emptyLike(name_);
  result->gatherRows(*this, rows);
  return result;
}

bool Table::l_eval(int i, std::string condition) const {
  return Condition(*this, ExprSource(std::move(condition))).holds(static_cast<size_t>(i));
}

bool Table::lt(int i, std::string a, std::string b) const {
  return Condition::lessThan(*this, static_cast<size_t>(i), a, b);
}
