#include "evaluation/TableSet.h"

#include <cassert>
#include <ostream>

#include "base/AdbException.h"
#include "base/Messages.h"
#include "files/InputSource.h"

namespace relalg {

TableSet::TableSet(std::string_view text) : TableSet(TextInput::viewing(text), 0) {}

TableSet::TableSet(const InputSource& source, size_t begin, size_t firstLine,
                   EvalObserver* observer, ReadHashes* hashes) {
  const TablePlan plan = planBlocks(source, begin, firstLine, hashes);
  if (observer != nullptr) observer->tablesPlanned(plan);
  for (const BlockPlan& block : plan.blocks) {
    std::unique_ptr<Table> table = readBlock(source, block);
    std::string name = table->getName();
    const auto [entry, added] = tables_.try_emplace(std::move(name), std::move(table));
    if (added) namesAsRead_.push_back(&entry->first);
  }
  if (plan.stray) rejectStrayLine(*plan.stray);
}

Table* TableSet::getTableByName(std::string_view name) const {
  auto found = tables_.find(name);
  if (found == tables_.end()) throw AdbException(message(MessageId::kNoSuchTable, {name}));
  return found->second.get();
}

TableHandle TableSet::useTable(std::string_view name, bool mayTake) {
  auto found = tables_.find(name);
  if (found == tables_.end()) throw AdbException(message(MessageId::kNoSuchTable, {name}));
  // Only this evaluation's one use of the name reads this entry, so no other thread touches it.
  assert(found->second != nullptr);
  if (!mayTake || !reachedOnce_.contains(name)) return TableHandle::borrowed(found->second.get());
  return TableHandle::owned(std::move(found->second));
}

void TableSet::releaseIfReachedOnce(std::string_view name, const Table* kept1, const Table* kept2) {
  if (!reachedOnce_.contains(name)) return;
  auto found = tables_.find(name);
  if (found == tables_.end()) return;
  const Table* const table = found->second.get();
  if (table != kept1 && table != kept2) found->second.reset();
}

// The tables that an evaluation reaches only once: the stored tables of the expression nodes,
// which an evaluation that does not fail starts one by one.
void TableSet::findTablesReachedOnce(const SyntaxTree& tree) {
  reachedOnce_.clear();
  if (!releaseTablesAsUsed_ || observer_ != nullptr) return;
  std::map<std::string_view, int> uses;
  for (int node = 0; node < tree.size(); ++node) {
    if (tree.isExpression(node) && tree.fault(node) == SyntaxTree::Fault::kNone &&
        tree.exprType(node) == ExprType::kTable) {
      ++uses[tree.command(node)];
    }
  }
  for (const auto& [name, count] : uses) {
    auto found = tables_.find(name);
    if (count == 1 && found != tables_.end() && found->second != nullptr) {
      reachedOnce_.emplace(name);
    }
  }
}

const std::string* TableSet::keyOf(const Table* table) const {
  for (const auto& [key, catalogued] : tables_) {
    if (catalogued.get() == table) return &key;
  }
  return nullptr;
}

std::vector<std::string> TableSet::tableNames() const {
  std::vector<std::string> names;
  for (const auto& entry : tables_) names.push_back(entry.first);
  return names;
}

void TableSet::write_result(std::ostream* out) const {
  if (!resultTable_) throw AdbException(message(MessageId::kNoResultYet));
  resultTable_->toString(*out);
}

}  // namespace relalg
