#include "TableSet.h"

#include <ostream>
#include <vector>

#include "AdbException.h"
#include "LineReader.h"
#include "RelAlgExpr.h"

TableSet::TableSet(std::string_view text) {
  LineReader lines(text);
  std::string_view line;
  bool headerExpected = false;
  while (lines.next(line)) {
    if (line.empty()) {
      headerExpected = true;
    } else if (headerExpected) {
      readBlock(line, lines);
      headerExpected = false;
    } else {
      throw AdbException("Tabla nelkuli rekord: " + std::string(line));
    }
  }
}

// Reads one table: its header line, then record lines up to the next empty line. A table whose
// name is already catalogued is read and checked in full, then dropped.
void TableSet::readBlock(std::string_view header, LineReader& lines) {
  auto table = std::make_unique<Table>(std::string(header));
  const LineReader::Extent extent = lines.blockExtent();
  table->reserveRecords(extent.lines, extent.bytes);
  std::string_view line;
  for (size_t k = 0; k < extent.lines; ++k) {
    lines.next(line);
    table->appendRecord(line);
  }
  std::string name = table->getName();
  tables.try_emplace(std::move(name), std::move(table));
}

Table* TableSet::getTableByName(std::string_view name) const {
  auto found = tables.find(name);
  if (found == tables.end()) {
    throw AdbException("Nincs " + std::string(name) + " nevu tabla.");
  }
  return found->second.get();
}

bool TableSet::evaluate(std::string expression) {
  TableHandle result = r_eval(std::move(expression));
  resultTable = result.table;
  ownedResult = std::move(result.owned);
  return resultTable != nullptr;
}

TableHandle TableSet::r_eval(std::string text) { return r_eval(ExprSource(std::move(text))); }

namespace {

// An operator node whose operands are being evaluated.
struct PendingNode {
  RelAlgExpr node;
  ExprSource source;
  TableHandle left;
  bool leftDone = false;
};

TableHandle owning(std::unique_ptr<Table> table) {
  Table* raw = table.get();
  return TableHandle{raw, std::move(table)};
}

// Applies the node's operator once its operands are evaluated; intermediate operands are
// released on return.
TableHandle apply(PendingNode& pending, TableHandle operand) {
  const RelAlgExpr& node = pending.node;
  const Table* left = pending.left.table;
  switch (node.getType()) {
    case kUnion:
      return owning(left->make_union(operand.table));
    case kMinus:
      return owning(left->make_minus(operand.table));
    case kProduct:
      return owning(left->make_product(operand.table));
    case kProject:
      return owning(operand.table->make_project(node.extractRight()));
    case kRename:
      operand.table->make_rename(node.extractRight());
      return operand;
    default:
      return owning(operand.table->make_select(node.rightSource()));
  }
}

}  // namespace

// Evaluates without recursion, so that the depth of nesting is bounded by memory alone. The
// first operand of a node is evaluated completely before the text of its second is looked at.
TableHandle TableSet::r_eval(const ExprSource& text) {
  std::vector<PendingNode> stack;
  ExprSource next = text;
  TableHandle value;
  bool applying = false;
  try {
    for (;;) {
      for (;;) {
        const int depth = static_cast<int>(stack.size());
        if (observer_ != nullptr) observer_->nodeStarted(next.view(), depth);
        RelAlgExpr node(next);
        if (node.getType() == kTable) {
          value = TableHandle{getTableByName(node.command()), nullptr};
          if (observer_ != nullptr)
            observer_->nodeFinished(next.view(), depth, kTable, *value.table);
          break;
        }
        ExprSource left = node.leftSource();
        stack.push_back(PendingNode{std::move(node), next, {}});
        next = left;
      }
      for (applying = true;; stack.pop_back()) {
        if (stack.empty()) return value;
        PendingNode& pending = stack.back();
        if (pending.node.getType() <= kProduct && !pending.leftDone) {
          pending.left = std::move(value);
          pending.leftDone = true;
          next = pending.node.rightSource();
          break;
        }
        value = apply(pending, std::move(value));
        if (observer_ != nullptr) {
          observer_->nodeFinished(pending.source.view(), static_cast<int>(stack.size() - 1),
                                  pending.node.getType(), *value.table);
        }
      }
      applying = false;
    }
  } catch (...) {
    if (observer_ != nullptr) {
      if (applying) {
        observer_->nodeFailed(stack.back().source.view(), static_cast<int>(stack.size() - 1));
      } else {
        observer_->nodeFailed(next.view(), static_cast<int>(stack.size()));
      }
    }
    throw;
  }
}

const std::string* TableSet::catalogueKeyOf(const Table* table) const {
  for (const auto& [key, catalogued] : tables) {
    if (catalogued.get() == table) return &key;
  }
  return nullptr;
}

void TableSet::write_result(std::ostream* out) const {
  if (resultTable == nullptr) throw AdbException("Meg nincs letrehozva eredmenytabla!");
  resultTable->writeText(*out);
}
