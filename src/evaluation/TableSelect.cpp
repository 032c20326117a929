// Selection: the records of a table for which a condition holds, and the two evaluators of
// conditions that the table offers, l_eval over a whole condition and lt over one comparison.
#include <algorithm>
#include <new>
#include <utility>
#include <vector>

#include "base/Threads.h"
#include "evaluation/Condition.h"
#include "language/SyntaxTree.h"
#include "storage/Table.h"

namespace relalg {

std::unique_ptr<Table> Table::make_select(std::string condition) const {
  const SyntaxTree tree(std::move(condition), SyntaxTree::Role::kCondition);
  return make_select(tree, SyntaxTree::root());
}

namespace {

constexpr size_t kMinPieceRecords = size_t{1} << 14;
constexpr size_t kRecordsBetweenChecks = size_t{1} << 16;

}  // namespace

// The result keeps this table's name and columns and the chosen records in their order.
std::unique_ptr<Table> Table::make_select(const SyntaxTree& tree, int condition) const {
  auto result = emptyLike(name_);
  result->gatherRows(*this, selectedRows(tree, condition));
  return result;
}

// Long tables are tested a piece of consecutive records per thread, each piece with a condition
// of its own; a faulty part of the condition fails at the first record that reaches it, as one
// pass in record order would meet it. Pieces that run out of memory together are tested again
// as one.
std::vector<uint32_t> Table::selectedRows(const SyntaxTree& tree, int condition) const {
  const size_t count = static_cast<size_t>(recordCount());
  const size_t pieces = std::clamp<size_t>(count / kMinPieceRecords, 1, threadCount());
  try {
    return selectedRows(tree, condition, pieces);
  } catch (const std::bad_alloc&) {
    if (pieces == 1) throw;
  }
  return selectedRows(tree, condition, 1);
}

std::vector<uint32_t> Table::selectedRows(const SyntaxTree& tree, int condition,
                                          size_t pieces) const {
  const EvenCut cut{static_cast<size_t>(recordCount()), pieces};
  std::vector<std::vector<uint32_t>> chosen(pieces);
  auto test = [&](size_t piece) {
    Condition holds(*this, tree, condition);
    std::vector<uint32_t>& rows = chosen[piece];
    rows.reserve(cut.begin(piece + 1) - cut.begin(piece));
    for (size_t row = cut.begin(piece); row < cut.begin(piece + 1); ++row) {
      if (row % kRecordsBetweenChecks == 0) throwIfCancelled();
      if (holds.holds(row)) rows.push_back(static_cast<uint32_t>(row));
    }
  };
  runPieces(pieces, test);
  for (size_t piece = 1; piece < pieces; ++piece) {
    chosen[0].insert(chosen[0].end(), chosen[piece].begin(), chosen[piece].end());
    std::vector<uint32_t>().swap(chosen[piece]);
  }
  return std::move(chosen[0]);
}

bool Table::l_eval(int i, std::string condition) const {
  const SyntaxTree tree(std::move(condition), SyntaxTree::Role::kCondition);
  return Condition(*this, tree, SyntaxTree::root()).holds(static_cast<size_t>(i));
}

bool Table::lt(int i, std::string a, std::string b) const {
  return Condition::lessThan(*this, static_cast<size_t>(i), a, b);
}

}  // namespace relalg
