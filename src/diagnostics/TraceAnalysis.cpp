#include "diagnostics/TraceAnalysis.h"

#include <algorithm>
#include <map>

#include "base/Messages.h"
#include "base/Windows1250.h"
#include "diagnostics/ConstantChecks.h"
#include "diagnostics/ExpressionChecks.h"
#include "diagnostics/TableChecks.h"
#include "diagnostics/TextMatch.h"
#include "evaluation/RecordOrder.h"
#include "evaluation/TableSet.h"
#include "files/LineReader.h"
#include "language/StringTokenizer.h"
#include "storage/Table.h"

namespace relalg {

namespace {

// A run reports at most this many diagnostics.
constexpr size_t kMaxDiagnostics = 100;

// The name and type text of each column, in room made for them at once.
void keepColumns(const Table& table, TextList& texts) {
  size_t bytes = 0;
  for (const auto& column : table.columns()) {
    bytes += column->getName().size() + 3;
    if (column->getType() == Column::STRING) bytes += asStrings(*column).getMaxWidth().size() + 3;
  }
  texts.reserve(2 * table.columns().size(), bytes);
  for (const auto& column : table.columns()) {
    texts.push_back(column->getName());
    if (column->getType() == Column::INTEGER) {
      texts.push_back("int");
    } else {
      texts.push_back(columnTypeText(*column));
    }
  }
}

// The values of a record as relalgrun writes them.
void keepValues(const Table& table, size_t row, TextList& values) {
  values.reserve(table.columns().size(), 0);
  char digits[kMostDecimalChars];
  for (const auto& column : table.columns()) {
    if (column->getType() == Column::INTEGER) {
      const char* end = writeDecimal(digits, asInts(*column).getVal(row));
      values.push_back(std::string_view(digits, static_cast<size_t>(end - digits)));
    } else {
      values.push_back(asStrings(*column).getVal(row));
    }
  }
}

}  // namespace

TraceAnalysis::TraceAnalysis(size_t limit, EvalObserver* next) : limit_(limit), next_(next) {}

TraceAnalysis::~TraceAnalysis() = default;

std::function<std::string()> TraceAnalysis::reader(std::function<std::string()> readInput) {
  return [this, readInput = std::move(readInput)] {
    input_ = readInput();
    markLength_ = byteOrderMarkLength(input_);
    return input_;
  };
}

void TraceAnalysis::expressionParsed(const std::shared_ptr<const SyntaxTree>& tree) {
  if (next_ != nullptr) next_->expressionParsed(tree);
  tree_ = tree;
  resultOf_.assign(static_cast<size_t>(tree->size()), -1);
  int expressions = 0;
  for (int node = 0; node < tree->size(); ++node) {
    if (tree->isExpression(node)) resultOf_[static_cast<size_t>(node)] = expressions++;
  }
  results_.assign(static_cast<size_t>(expressions), Result{});
  for (const Finding& finding : checkExpression(*tree)) {
    addInExpression(Diagnostic::kWarning, finding.begin, finding.length, finding.message);
  }
}

void TraceAnalysis::tablesPlanned(const TablePlan& plan) {
  if (next_ != nullptr) next_->tablesPlanned(plan);
  plan_ = plan;
}

void TraceAnalysis::evaluationStarted(const TableSet& catalogue) {
  evaluated_ = true;
  tableNames_ = catalogue.tableNames();
  if (next_ != nullptr) next_->evaluationStarted(catalogue);
}

std::vector<ShownColumn> TraceAnalysis::Result::columns() const {
  std::vector<ShownColumn> all;
  all.reserve(columnCount());
  for (size_t k = 0; k < columnCount(); ++k) {
    all.push_back({std::string(columnName(k)), std::string(columnType(k))});
  }
  return all;
}

const TraceAnalysis::Result& TraceAnalysis::result(int node) const {
  static const Result kNothing;
  const int index = resultOf_.empty() ? -1 : resultOf_[static_cast<size_t>(node)];
  return index < 0 ? kNothing : results_[static_cast<size_t>(index)];
}

void TraceAnalysis::nodeStarted(const SyntaxTree& tree, int node) {
  if (next_ != nullptr) next_->nodeStarted(tree, node);
  if (&tree != tree_.get()) return;
  results_[static_cast<size_t>(resultOf_[static_cast<size_t>(node)])].started = true;
}

void TraceAnalysis::nodeFinished(const SyntaxTree& tree, int node, const Table& table) {
  if (next_ != nullptr) next_->nodeFinished(tree, node, table);
  if (&tree != tree_.get()) return;
  Result& result = results_[static_cast<size_t>(resultOf_[static_cast<size_t>(node)])];
  result.finished = true;
  result.name = table.getName();
  keepColumns(table, result.columnTexts);
  result.count = static_cast<size_t>(table.recordCount());
  result.records.resize(std::min(result.count, limit_));
  for (size_t row = 0; row < result.records.size(); ++row) {
    keepValues(table, row, result.records[row]);
  }
  result.table = &table;
  const ExprType type = tree.exprType(node);
  if (type == ExprType::kUnion || type == ExprType::kMinus) checkMerge(node, table);
  if (type == ExprType::kSelect) {  // its operand's table is alive until the select has finished
    const Table* operand = this->result(tree.operand(node, 0)).table;
    if (operand == nullptr) return;
    for (const ConditionSlip& slip :
         checkConstants(tree, node, *operand, table.recordCount() == 0)) {
      addInExpression(slip.warning ? Diagnostic::kWarning : Diagnostic::kNote, slip.begin,
                      slip.length, slip.message);
    }
  }
}

void TraceAnalysis::nodeFailed(const SyntaxTree& tree, int node) {
  if (next_ != nullptr) next_->nodeFailed(tree, node);
  if (&tree != tree_.get()) return;
  failedNode_ = node;
  results_[static_cast<size_t>(resultOf_[static_cast<size_t>(node)])].failed = true;
}

void TraceAnalysis::finish(const RunOutcome& outcome) {
  outcome_ = outcome;
  if (plan_) {
    tablesFix_ = checkTables(*plan_, outcome.place, lineOfInput(outcome.place.line), diagnostics_);
  }
  checkByteOrderMarks(input_, diagnostics_);
  if (tree_ != nullptr) {
    for (int node = 0; node < tree_->size(); ++node) {
      if (!tree_->isExpression(node) || tree_->exprType(node) != ExprType::kSelect) continue;
      const int operand = tree_->operand(node, 0);
      if (operand == SyntaxTree::kNoNode || !result(operand).finished) continue;
      for (const ConditionSlip& slip : checkCondition(*tree_, node, result(operand).columns())) {
        addInExpression(slip.warning ? Diagnostic::kWarning : Diagnostic::kNote, slip.begin,
                        slip.length, slip.message);
      }
    }
  }
  // The checks quote the bytes of the line they place a diagnostic on: where that line is no
  // UTF-8, its bytes are Windows-1250 letters. Sorted, the diagnostics meet the lines in order,
  // so that each line is read once whatever the number of diagnostics.
  std::stable_sort(diagnostics_.begin(), diagnostics_.end(), placedBefore);
  messagesToUtf8(diagnostics_, input_);
  if (outcome.status != RunOutcome::kSuccess) {
    placeFailure();
    std::stable_sort(diagnostics_.begin(), diagnostics_.end(), placedBefore);
  }
  if (diagnostics_.size() > kMaxDiagnostics) {
    // Past this many, more of the same helps nobody; the errors are kept, the rest counted.
    std::stable_partition(diagnostics_.begin(), diagnostics_.end(),
                          [](const Diagnostic& d) { return d.severity == Diagnostic::kError; });
    const size_t left = diagnostics_.size() - kMaxDiagnostics;
    diagnostics_.resize(kMaxDiagnostics);
    std::stable_sort(diagnostics_.begin(), diagnostics_.end(), placedBefore);
    const Diagnostic& last = diagnostics_.back();
    diagnostics_.push_back({Diagnostic::kNote, last.line, last.column, last.length,
                            std::to_string(left) + " more diagnostics are not shown"});
  }
  placeInLetters(diagnostics_, input_);
}

std::string TraceAnalysis::errorTextAsUtf8() const {
  return relalg::errorTextAsUtf8(outcome_.errorText(), lineIsUtf8(failureLine()));
}

size_t TraceAnalysis::failureLine() const {
  return outcome_.place.line != 0 ? outcome_.place.line : 1;
}

std::string TraceAnalysis::failureAsUtf8() const {
  return messageAsUtf8(outcome_.message, lineIsUtf8(failureLine()));
}

bool TraceAnalysis::lineIsUtf8(size_t number) const { return isUtf8(lineOfInput(number)); }

void TraceAnalysis::addInExpression(Diagnostic::Severity severity, size_t begin, size_t length,
                                    std::string message) {
  diagnostics_.push_back(
      {severity, 1, markLength_ + begin + 1, std::max<size_t>(length, 1), std::move(message)});
}

std::string TraceAnalysis::asShown(std::string_view bytes) const {
  return isUtf8(bytes) ? std::string(bytes) : windows1250ToUtf8(bytes);
}

std::string_view TraceAnalysis::lineOfInput(size_t number) const {
  LineReader lines(input_);
  std::string_view line;
  for (size_t k = 0; k < number && lines.next(line);) ++k;
  return number == 0 ? std::string_view() : line;
}

// The node that the failure concerns: the part of the failing node that the failure names (a
// faulty part of a condition, a comparison that cannot be made), else the failing node itself.
int TraceAnalysis::failingNode() const {
  if (failedNode_ < 0) return 0;
  const int named = outcome_.node;
  return named >= failedNode_ && named < tree_->subtreeEnd(failedNode_) ? named : failedNode_;
}

void TraceAnalysis::placeFailure() {
  const std::string printed = outcome_.status == RunOutcome::kFailure
                                  ? failureAsUtf8()
                                  : std::string(messageInfo(MessageId::kUnknownFailure).pattern);
  if (outcome_.place.line != 0) {  // a line of the table blocks
    const InputPlace& place = outcome_.place;
    diagnostics_.push_back({Diagnostic::kError, place.line, place.column,
                            std::max<size_t>(place.length, 1), printed, asShown(tablesFix_)});
    return;
  }
  if (tree_ == nullptr || !evaluated_) return;
  const int failing = failingNode();
  const MessageInfo* info = findMessage(outcome_.message);
  const MessageId id = info != nullptr ? info->id : MessageId::kUnknownFailure;
  diagnostics_.push_back(nodeFailure(failing, id, printed));
  const size_t begin = tree_->begin(failing);
  if (id == MessageId::kNoSuchTable) {
    const std::string_view missing = tree_->command(failing);
    for (const std::string& name : tableNames_) {
      if (equalIgnoringCase(name, missing)) {
        addInExpression(Diagnostic::kNote, begin, missing.size(),
                        "table names are case-sensitive: did you mean " + asShown(name) + "?");
      }
    }
  }
  if (id == MessageId::kCompareSchemaMismatch || id == MessageId::kCopySchemaMismatch) {
    noteSchemaDifference(failing);
  }
  noteRenamedInPlace();
}

// A rename of a stored table renames that table itself: where the failing node reads the table
// after such a rename, the failure began at the rename, and a note there says so.
void TraceAnalysis::noteRenamedInPlace() {
  if (failedNode_ < 0) return;
  // The renames of stored tables, by the node after their subtree: a table read there or later
  // (outside the rename) is the renamed one.
  std::vector<std::pair<int, int>> renames;
  for (int node = 0; node < tree_->subtreeEnd(failedNode_); ++node) {
    if (!tree_->isExpression(node) || tree_->exprType(node) != ExprType::kRename) continue;
    const int operand = tree_->operand(node, 0);
    if (operand != SyntaxTree::kNoNode && tree_->exprType(operand) == ExprType::kTable &&
        result(node).finished) {
      renames.emplace_back(tree_->subtreeEnd(node), node);
    }
  }
  std::sort(renames.begin(), renames.end());
  std::map<std::string_view, int> renamed;  // a table's name, the first rename of it done
  auto next = renames.begin();
  for (int leaf = failedNode_; leaf < tree_->subtreeEnd(failedNode_); ++leaf) {
    for (; next != renames.end() && next->first <= leaf; ++next) {
      renamed.emplace(tree_->text(tree_->operand(next->second, 0)), next->second);
    }
    if (!tree_->isExpression(leaf) || tree_->exprType(leaf) != ExprType::kTable) continue;
    const auto found = renamed.find(tree_->text(leaf));
    if (found == renamed.end()) continue;
    const int rename = found->second;
    const std::string name(tree_->text(leaf));
    std::string before;
    std::string after;
    for (const ShownColumn& column : result(tree_->operand(rename, 0)).columns()) {
      before += (before.empty() ? "" : ", ") + column.name;
    }
    for (const ShownColumn& column : result(rename).columns()) {
      after += (after.empty() ? "" : ", ") + column.name;
    }
    addInExpression(Diagnostic::kNote, tree_->begin(rename), tree_->command(rename).size(),
                    asShown("rename renames the stored table " + name + " itself, here: read " +
                            "after it, " + name + " has the columns " + after));
    diagnostics_.back().fix = asShown("Rename a copy, `rename(project(" + name + ", " + before +
                                      "), ...)`, so that " + name + " keeps its columns.");
    return;
  }
}

Diagnostic TraceAnalysis::nodeFailure(int failing, MessageId id, std::string printed) const {
  const size_t begin = tree_->begin(failing);
  Diagnostic placed{Diagnostic::kError, 1, markLength_ + begin + 1,
                    std::max<size_t>(tree_->end(failing) - begin, 1), std::move(printed)};
  switch (id) {
    case MessageId::kBadProjection:
      return namesRunTogether(firstMissingColumn(failing), std::move(placed));
    case MessageId::kBadBracketing:
      return missingComma(failing, std::move(placed));
    case MessageId::kTwoConstants:
      placed.fix = meantColumnsFix(failing);
      return placed;
    default:
      return placed;
  }
}

// A projection's name that is no column, placed at its bytes as written; where blanks stand among
// them, the names ran together for want of a comma, and the fix says so.
Diagnostic TraceAnalysis::namesRunTogether(std::string_view missing, Diagnostic placed) const {
  if (missing.empty()) return placed;
  const std::string& line = tree_->line();
  const size_t begin = tree_->lineOffset(missing);
  size_t end = begin;
  for (size_t matched = 0; matched < missing.size() && end < line.size(); ++end) {
    if (line[end] != ' ') ++matched;
  }
  placed.column = markLength_ + begin + 1;
  placed.length = end - begin;
  const std::string_view written(line.data() + begin, end - begin);
  if (written.find(' ') == std::string_view::npos) return placed;
  std::string names;
  for (size_t at = 0; at < written.size();) {
    const size_t blank = std::min(written.find(' ', at), written.size());
    if (blank > at)
      names += (names.empty() ? "" : ", ") + std::string(written.substr(at, blank - at));
    at = blank + 1;
  }
  placed.fix = asShown("Blanks are dropped, so `" + std::string(written) + "` is read as `" +
                       std::string(missing) + "`: put commas between the names, `" + names + "`.");
  return placed;
}

// An operator or condition whose two operands stand without a comma between them (as in
// minus(a b)): placed at the blanks between them, or at the second's first byte, with the line
// the comma gives as its fix where that line is short enough to show.
Diagnostic TraceAnalysis::missingComma(int node, Diagnostic placed) const {
  const std::string_view line = tree_->line();
  const size_t end = tree_->end(node);
  size_t k = tree_->begin(node);
  while (k < end && line[k] != '(') ++k;
  long depth = 0;
  bool quoted = false;
  size_t operandEnd = std::string_view::npos;  // just past the first operand, once it has ended
  for (++k; k < end; ++k) {
    const char c = line[k];
    const bool startsOperand =
        c == '\'' || std::string_view(" ,()").find(c) == std::string_view::npos;
    if (depth == 0 && !quoted && startsOperand && operandEnd != std::string_view::npos &&
        (k > operandEnd || line[k - 1] == ')')) {
      break;  // a second operand, with no comma before it
    }
    if (c == '\'') {
      quoted = !quoted;
      if (!quoted && depth == 0) operandEnd = k + 1;
    } else if (quoted) {
      continue;
    } else if (c == ',' && depth == 0) {
      return placed;  // the comma is there
    } else if (c == '(') {
      ++depth;
    } else if (c == ')') {
      if (--depth < 0) return placed;  // one operand only
      if (depth == 0) operandEnd = k + 1;
    } else if (c != ' ' && depth == 0) {
      operandEnd = k + 1;
    }
  }
  if (k >= end || operandEnd == std::string_view::npos) return placed;
  const size_t gap = std::min(operandEnd, k);
  placed.column = markLength_ + gap + 1;
  placed.length = std::max<size_t>(k - gap, 1);
  const std::string_view command = tree_->command(node);
  constexpr size_t kShownNode = 80;
  const size_t begin = tree_->begin(node);
  placed.fix = asShown(
      tree_->end(node) - begin > kShownNode
          ? "Put a comma between the operands of `" + std::string(command) + "`, here."
          : "Put a comma between the operands: `" + std::string(line.substr(begin, gap - begin)) +
                ", " + std::string(line.substr(k, tree_->end(node) - k)) + "`.");
  return placed;
}

// For a comparison of two constants: the columns that its comparands surely meant.
std::string TraceAnalysis::meantColumnsFix(int comparison) const {
  int select = comparison;
  while (select != SyntaxTree::kNoNode &&
         !(tree_->isExpression(select) && tree_->exprType(select) == ExprType::kSelect)) {
    select = tree_->parent(select);
  }
  if (select == SyntaxTree::kNoNode || !tree_->isCondition(comparison)) return "";
  const Result& operand = result(tree_->operand(select, 0));
  const std::vector<ShownColumn> columns = operand.columns();
  std::string fix;
  for (int k = 0; k < 2 && operand.finished; ++k) {
    const int comparand = tree_->operand(comparison, k);
    if (comparand == SyntaxTree::kNoNode) continue;
    const std::string_view text = tree_->text(comparand);
    if (const ShownColumn* meant = meantColumn(text, columns)) {
      fix += (fix.empty() ? "Write the column `" : "; the column `") + meant->name +
             "` instead of `" + std::string(text) + "`";
    }
  }
  return fix.empty() ? fix : asShown(fix + ".");
}

// The first name of a project node's list that is no column of its operand, or nothing.
std::string_view TraceAnalysis::firstMissingColumn(int project) const {
  if (!tree_->isExpression(project) || tree_->exprType(project) != ExprType::kProject) return {};
  const Result& operand = result(tree_->operand(project, 0));
  if (!operand.finished) return {};
  for (StringTokenizer tokens(tree_->text(tree_->operand(project, 1))); tokens.hasMoreTokens();) {
    const std::string_view name = tokens.nextToken();
    bool named = false;
    for (size_t k = 0; k < operand.columnCount() && !named; ++k) {
      named = operand.columnName(k) == name;
    }
    if (!named) return name;
  }
  return {};
}

// Where the operands of a failed union or minus differ in their columns.
void TraceAnalysis::noteSchemaDifference(int merge) {
  if (!tree_->isExpression(merge) || !takesTwoTables(tree_->exprType(merge))) return;
  const Result& left = result(tree_->operand(merge, 0));
  const Result& right = result(tree_->operand(merge, 1));
  if (!left.finished || !right.finished) return;
  auto shown = [](const Result& operand, size_t k) {
    return std::string(operand.columnName(k)) + " " + std::string(operand.columnType(k));
  };
  std::string difference;
  const size_t common = std::min(left.columnCount(), right.columnCount());
  for (size_t k = 0; k < common && difference.empty(); ++k) {
    if (shown(left, k) != shown(right, k)) {
      difference = "column " + std::to_string(k + 1) + " is " + shown(left, k) +
                   " on the left and " + shown(right, k) + " on the right";
    }
  }
  if (difference.empty()) {
    difference = "the left has " + std::to_string(left.columnCount()) + " columns, the right " +
                 std::to_string(right.columnCount());
  }
  const std::string_view command = tree_->command(merge);
  addInExpression(Diagnostic::kNote, tree_->begin(merge), command.size(),
                  "the operands' columns differ: " + asShown(difference) +
                      " (names, types, widths and order must agree)");
}

// A merge gives the set union or difference when its operands are sorted and free of repeats;
// otherwise it may not. Warns when this result is not the set one: a union whose result holds
// repeats, a difference whose result holds repeats or records of its right operand.
void TraceAnalysis::checkMerge(int merge, const Table& result) {
  const Table* right = this->result(tree_->operand(merge, 1)).table;
  const RecordOrder order(columnHandles(result.columns()));
  const std::vector<uint32_t> distinct =
      order.sortedDistinctRows(static_cast<size_t>(result.recordCount()));
  std::string wrong;
  if (distinct.size() != static_cast<size_t>(result.recordCount())) {
    wrong = "its result holds repeats";
  } else if (tree_->exprType(merge) == ExprType::kMinus && right != nullptr &&
             right->recordCount() > 0 && right->sameSchema(result)) {
    const RecordOrder across(columnHandles(result.columns()), columnHandles(right->columns()));
    const std::vector<uint32_t> others =
        RecordOrder(columnHandles(right->columns())).sortedDistinctRows(right->recordCount());
    for (size_t i = 0, j = 0; i < distinct.size() && j < others.size() && wrong.empty();) {
      const int sign = across.compareRecord(distinct[i], others[j]);
      if (sign == 0) wrong = "its result keeps records of its right operand";
      if (sign <= 0) ++i;
      if (sign >= 0) ++j;
    }
  }
  if (wrong.empty()) return;
  const std::string command(tree_->command(merge));
  addInExpression(Diagnostic::kWarning, tree_->begin(merge), command.size(),
                  command + " merges its operands as they are, and " + wrong +
                      " because an operand is not sorted or holds repeats: project(E, all "
                      "columns) of each operand sorts it and removes repeats");
}

}  // namespace relalg
