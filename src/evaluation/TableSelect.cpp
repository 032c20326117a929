#include "evaluation/TableSelect.h"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <new>
#include <utility>
#include <vector>

#include "base/Threads.h"
#include "evaluation/Condition.h"

namespace relalg {

namespace {

constexpr size_t kMinPieceRecords = size_t{1} << 14;
constexpr size_t kRecordsBetweenChecks = size_t{1} << 16;

// The records of table for which the condition holds, with the records cut into that many
// pieces, tested on as many threads. Each piece marks its records in a bit per record (pieces
// are cut at whole words, so that no two threads write one word); the marks then become the list
// of rows. A bit per record instead of a row per chosen record keeps a piece's own memory small.
std::vector<uint32_t> selectedRowsIn(const Table& table, const SyntaxTree& tree, int condition,
                                     size_t pieces) {
  const size_t count = static_cast<size_t>(table.recordCount());
  std::vector<uint64_t> marks((count + 63) / 64, 0);
  const EvenCut cut{marks.size(), pieces};
  auto test = [&](size_t piece) {
    Condition prepared(table, tree, condition);
    const size_t end = std::min(count, 64 * cut.begin(piece + 1));
    for (size_t row = 64 * cut.begin(piece); row < end; ++row) {
      if (row % kRecordsBetweenChecks == 0) throwIfCancelled();
      marks[row / 64] |= uint64_t{prepared.l_eval(row)} << (row % 64);
    }
  };
  runPieces(pieces, test);
  size_t chosen = 0;
  for (uint64_t word : marks) chosen += static_cast<size_t>(std::popcount(word));
  std::vector<uint32_t> rows;
  rows.reserve(chosen);
  for (size_t k = 0; k < marks.size(); ++k) {
    for (uint64_t word = marks[k]; word != 0; word &= word - 1) {
      rows.push_back(static_cast<uint32_t>(64 * k + static_cast<size_t>(std::countr_zero(word))));
    }
  }
  return rows;
}

}  // namespace

std::unique_ptr<Table> make_select(const Table& table, std::string condition) {
  const SyntaxTree tree(std::move(condition), SyntaxTree::Role::kCondition);
  return make_select(table, tree, SyntaxTree::root());
}

// The result keeps the table's name and columns and the chosen records in their order.
std::unique_ptr<Table> make_select(const Table& table, const SyntaxTree& tree, int condition) {
  auto result = table.emptyLike(table.getName());
  result->gatherRows(table, selectedRows(table, tree, condition));
  return result;
}

// Long tables are tested a piece of consecutive records per thread, each piece with a condition
// of its own; a faulty part of the condition fails at the first record that reaches it, as one
// pass in record order would meet it. Pieces that run out of memory together are tested again
// as one.
std::vector<uint32_t> selectedRows(const Table& table, const SyntaxTree& tree, int condition) {
  const size_t count = static_cast<size_t>(table.recordCount());
  const size_t pieces = std::clamp<size_t>(count / kMinPieceRecords, 1, threadCount());
  try {
    return selectedRowsIn(table, tree, condition, pieces);
  } catch (const std::bad_alloc&) {
    if (pieces == 1) throw;
  }
  return selectedRowsIn(table, tree, condition, 1);
}

bool l_eval(const Table& table, int i, std::string condition) {
  const SyntaxTree tree(std::move(condition), SyntaxTree::Role::kCondition);
  return Condition(table, tree, SyntaxTree::root()).l_eval(static_cast<size_t>(i));
}

bool lt(const Table& table, int i, std::string a, std::string b) {
  return Condition::lt(table, static_cast<size_t>(i), a, b);
}

}  // namespace relalg
