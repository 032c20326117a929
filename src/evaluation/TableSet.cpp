#include "evaluation/TableSet.h"

#include <optional>
#include <ostream>
#include <vector>

#include "base/AdbException.h"
#include "base/Messages.h"
#include "files/LineReader.h"
#include "language/RelAlgExpr.h"

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
      throw AdbException(message(MessageId::kRecordWithoutTable, {line}));
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
  tables_.try_emplace(std::move(name), std::move(table));
}

Table* TableSet::getTableByName(std::string_view name) const {
  auto found = tables_.find(name);
  if (found == tables_.end()) throw AdbException(message(MessageId::kNoSuchTable, {name}));
  return found->second.get();
}

bool TableSet::evaluate(std::string expression) {
  resultTable_ = {};
  if (observer_ != nullptr) observer_->evaluationStarted(*this);
  resultTable_ = r_eval(std::move(expression));
  return static_cast<bool>(resultTable_);
}

TableHandle TableSet::r_eval(std::string text) { return r_eval(ExprSource(std::move(text))); }

namespace {

// An operator node whose operands are being evaluated.
struct PendingNode {
  RelAlgExpr node;
  ExprSource source;  // the node's text as its parent gave it
  TableHandle left;   // the first operand's table, once a two-operand node has it
  bool leftDone = false;
};

bool needsSecondOperand(const PendingNode& pending) {
  const int type = pending.node.getType();
  return (type == kUnion || type == kMinus || type == kProduct) && !pending.leftDone;
}

// One evaluation of an expression text. It keeps its own stack of pending operator nodes instead
// of recursing, so that the depth of nesting is bounded by memory alone. The first operand of a
// node is evaluated completely before the text of its second is looked at.
class Evaluation {
 public:
  Evaluation(const TableSet& catalogue, EvalObserver* observer)
      : catalogue_(catalogue), observer_(observer) {}

  TableHandle run(const ExprSource& text);

 private:
  // Parses the nodes from text down their first operands to a stored table's name, leaving each
  // operator node on the stack, and returns that stored table.
  TableHandle descend(ExprSource text);
  // Applies the operator of the innermost pending node to its operands and takes it off.
  TableHandle apply(TableHandle operand);
  // Before a rename changes table in place: a first operand already evaluated to that very table
  // keeps the table as it was, by a copy of its own.
  void keepEarlierOperands(const Table* table);
  void noteCurrent(const ExprSource& text, size_t depth) {
    current_ = text;
    currentDepth_ = static_cast<int>(depth);
  }

  const TableSet& catalogue_;
  EvalObserver* observer_;
  std::vector<PendingNode> stack_;
  std::optional<ExprSource> current_;  // the node at work, for the observer's failure report
  int currentDepth_ = 0;
};

TableHandle Evaluation::run(const ExprSource& text) {
  try {
    TableHandle value = descend(text);
    while (!stack_.empty()) {
      PendingNode& top = stack_.back();
      if (needsSecondOperand(top)) {
        top.left = std::move(value);
        top.leftDone = true;
        value = descend(top.node.rightSource());
      } else {
        value = apply(std::move(value));
      }
    }
    return value;
  } catch (...) {
    if (observer_ != nullptr) observer_->nodeFailed(current_->view(), currentDepth_);
    throw;
  }
}

TableHandle Evaluation::descend(ExprSource text) {
  for (;;) {
    noteCurrent(text, stack_.size());
    if (observer_ != nullptr) observer_->nodeStarted(text.view(), currentDepth_);
    RelAlgExpr node(text);
    if (node.getType() == kTable) {
      TableHandle table = TableHandle::borrowed(catalogue_.getTableByName(node.command()));
      if (observer_ != nullptr) observer_->nodeFinished(text.view(), currentDepth_, kTable, *table);
      return table;
    }
    ExprSource first = node.leftSource();
    stack_.push_back(PendingNode{std::move(node), std::move(text), {}});
    text = std::move(first);
  }
}

void Evaluation::keepEarlierOperands(const Table* table) {
  for (PendingNode& pending : stack_) {
    if (pending.leftDone && pending.left.get() == table) {
      pending.left = TableHandle::owned(std::make_unique<Table>(*table));
    }
  }
}

TableHandle Evaluation::apply(TableHandle operand) {
  PendingNode& pending = stack_.back();
  noteCurrent(pending.source, stack_.size() - 1);
  const RelAlgExpr& node = pending.node;
  const Table* left = pending.left.get();
  TableHandle result;
  switch (node.getType()) {
    case kUnion:
      result = TableHandle::owned(left->make_union(operand.get()));
      break;
    case kMinus:
      result = TableHandle::owned(left->make_minus(operand.get()));
      break;
    case kProduct:
      result = TableHandle::owned(left->make_product(operand.get()));
      break;
    case kProject:
      result = TableHandle::owned(operand->make_project(node.extractRight()));
      break;
    case kRename:
      keepEarlierOperands(operand.get());
      operand->make_rename(node.extractRight());
      result = std::move(operand);
      break;
    default:
      result = TableHandle::owned(operand->make_select(node.rightSource()));
  }
  if (observer_ != nullptr) {
    observer_->nodeFinished(pending.source.view(), currentDepth_, node.getType(), *result);
  }
  stack_.pop_back();  // releases the operands that the node owned
  return result;
}

}  // namespace

TableHandle TableSet::r_eval(const ExprSource& text) {
  return Evaluation(*this, observer_).run(text);
}

const std::string* TableSet::catalogueKeyOf(const Table* table) const {
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
  resultTable_->writeText(*out);
}
