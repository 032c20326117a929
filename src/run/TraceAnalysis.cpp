#include "run/TraceAnalysis.h"

#include <algorithm>
#include <cctype>

#include "base/Messages.h"
#include "base/Windows1250.h"
#include "evaluation/RecordOrder.h"
#include "evaluation/TableSet.h"
#include "files/LineReader.h"
#include "language/RelAlgExpr.h"
#include "language/StringTokenizer.h"
#include "run/JsonWriter.h"
#include "run/TraceReport.h"
#include "storage/Table.h"

namespace relalg {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
// JSON nodes deeper than this are left out (marked "more"), so that every parser reads the JSON.
constexpr int kMaxJsonLevels = 200;
// A run reports at most this many diagnostics.
constexpr size_t kMaxDiagnostics = 100;
// Source lines longer than this are shown around the caret only.
constexpr size_t kShownBefore = 100;
constexpr size_t kShownAfter = 60;

bool equalIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

bool isPlainInteger(std::string_view text) {
  if (text.starts_with('-')) text.remove_prefix(1);
  return !text.empty() &&
         std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Orders diagnostics by their place in the input.
bool placedBefore(const Diagnostic& a, const Diagnostic& b) {
  return a.line != b.line ? a.line < b.line : a.column < b.column;
}

// Type words that read as numbers to a person but make a string column.
bool looksNumeric(std::string_view word) {
  static constexpr std::string_view kWords[] = {
      "integer", "number", "numeric", "decimal", "smallint", "bigint", "tinyint",
      "long",    "short",  "float",   "double",  "real",     "int32",  "int64"};
  if (equalIgnoringCase(word, "int")) return true;
  for (std::string_view numeric : kWords) {
    if (equalIgnoringCase(word, numeric)) return true;
  }
  return false;
}

// The offset in line of a view into it.
size_t offsetIn(std::string_view line, std::string_view part) {
  return static_cast<size_t>(part.data() - line.data());
}

std::string_view severityName(Diagnostic::Severity severity) {
  switch (severity) {
    case Diagnostic::kError:
      return "error";
    case Diagnostic::kWarning:
      return "warning";
    default:
      return "note";
  }
}

}  // namespace

TraceAnalysis::TraceAnalysis(size_t limit, EvalObserver* next) : limit_(limit), next_(next) {}

TraceAnalysis::~TraceAnalysis() = default;

std::function<std::string()> TraceAnalysis::reader(std::function<std::string()> readInput) {
  return [this, readInput = std::move(readInput)] {
    input_ = readInput();
    inputRead_ = true;
    std::string_view text = input_;
    if (text.starts_with(kByteOrderMark)) {
      markLength_ = kByteOrderMark.size();
      text.remove_prefix(markLength_);
    }
    std::string_view expression;
    LineReader(text).next(expression);
    tree_ = std::make_unique<SyntaxTree>(expression);
    results_.assign(tree_->nodes().size(), Result{});
    for (const SyntaxTree::Finding& finding : tree_->findings()) {
      addInExpression(Diagnostic::kWarning, finding.begin, finding.length, finding.message);
    }
    checkTables();
    return input_;
  };
}

void TraceAnalysis::evaluationStarted(const TableSet& catalogue) {
  evaluated_ = true;
  tableNames_ = catalogue.tableNames();
  if (next_ != nullptr) next_->evaluationStarted(catalogue);
}

void TraceAnalysis::nodeStarted(std::string_view text, int depth) {
  if (next_ != nullptr) next_->nodeStarted(text, depth);
  if (tree_ == nullptr || !inStep_) return;
  const std::vector<int>& order = tree_->expressionOrder();
  if (started_ >= order.size() || tree_->node(order[started_]).depth != depth) {
    inStep_ = false;  // never expected; the results stop rather than go to the wrong nodes
    return;
  }
  const int node = order[started_++];
  if (startedAt_.size() <= static_cast<size_t>(depth)) startedAt_.resize(depth + 1);
  startedAt_[depth] = node;
  results_[node].started = true;
}

void TraceAnalysis::nodeFinished(std::string_view text, int depth, int kind, const Table& table) {
  if (next_ != nullptr) next_->nodeFinished(text, depth, kind, table);
  if (tree_ == nullptr || !inStep_) return;
  const int node = startedAt_[depth];
  Result& result = results_[node];
  result.finished = true;
  result.name = table.getName();
  for (const auto& column : table.columns()) {
    result.columns.push_back({column->name(), column->getType() == relalg::Column::INTEGER
                                                  ? "int"
                                                  : "char(" + asStrings(*column).maxWidth() + ")"});
  }
  result.count = static_cast<size_t>(table.recordCount());
  for (size_t row = 0; row < std::min(result.count, limit_); ++row) {
    result.records.emplace_back();
    table.appendRecordText(result.records.back(), row);
  }
  result.table = &table;
  if (kind == kUnion || kind == kMinus) checkMerge(node, table);
}

void TraceAnalysis::nodeFailed(std::string_view text, int depth) {
  if (next_ != nullptr) next_->nodeFailed(text, depth);
  if (tree_ == nullptr || !inStep_ || static_cast<size_t>(depth) >= startedAt_.size()) return;
  failedNode_ = startedAt_[depth];
  results_[failedNode_].failed = true;
}

void TraceAnalysis::finish(const RunOutcome& outcome) {
  outcome_ = outcome;
  if (tree_ != nullptr && inStep_) {
    for (int node : tree_->expressionOrder()) {
      const int code = tree_->node(node).code;
      if (code == kSelect) checkConditions(node);
    }
  }
  if (outcome.status != RunOutcome::kSuccess) placeFailure();
  std::stable_sort(diagnostics_.begin(), diagnostics_.end(), placedBefore);
  if (diagnostics_.size() > kMaxDiagnostics) {
    // Past this many, more of the same helps nobody; the errors are kept, the rest counted.
    std::stable_partition(diagnostics_.begin(), diagnostics_.end(),
                          [](const Diagnostic& d) { return d.severity == Diagnostic::kError; });
    const size_t left = diagnostics_.size() - kMaxDiagnostics;
    diagnostics_.resize(kMaxDiagnostics);
    std::stable_sort(diagnostics_.begin(), diagnostics_.end(), placedBefore);
    const Diagnostic& last = diagnostics_.back();
    addAt(Diagnostic::kNote, last.line, last.column, last.length,
          std::to_string(left) + " more diagnostics are not shown");
  }
}

void TraceAnalysis::addAt(Diagnostic::Severity severity, size_t line, size_t column, size_t length,
                          std::string message) {
  diagnostics_.push_back({severity, line, column, std::max<size_t>(length, 1), std::move(message)});
}

void TraceAnalysis::addInExpression(Diagnostic::Severity severity, size_t begin, size_t length,
                                    std::string message) {
  addAt(severity, 1, markLength_ + begin + 1, length, std::move(message));
}

// The table blocks, read as the catalogue reads them: type words that look numeric, header lines
// that look like records, tabs, and where a line that the catalogue rejects stops matching.
void TraceAnalysis::checkTables() {
  std::string_view text = input_;
  text.remove_prefix(markLength_);
  LineReader lines(text);
  std::string_view line;
  lines.next(line);
  size_t number = 1;
  bool headerExpected = false;
  std::string previousTable;
  std::vector<bool> integers;  // the kinds of the current table's columns
  bool inTable = false;
  bool failed = false;
  auto fail = [&](size_t column, size_t length, MessageId id) {
    if (failed) return;
    failed = true;
    addAt(Diagnostic::kError, number, column, length,
          windows1250ToUtf8(std::string(messageInfo(id).meaning)));
  };
  // The catalogue stops at the first line it rejects; so does this check.
  while (!failed && lines.next(line)) {
    ++number;
    if (line.empty()) {
      headerExpected = true;
      continue;
    }
    size_t tab = std::string_view::npos;
    bool quoted = false;
    for (size_t k = 0; k < line.size() && tab == std::string_view::npos; ++k) {
      if (line[k] == '\'') quoted = !quoted;
      if (line[k] == '\t' && !quoted) tab = k;
    }
    // A tab in a header, or in a record that does not fit its table, was meant as a separator.
    auto noteTab = [&] {
      if (tab == std::string_view::npos) return;
      addAt(Diagnostic::kWarning, number, tab + 1, 1,
            "a tab is no separator: it stays part of the value or name around it");
    };
    StringTokenizer tokens(line);
    if (headerExpected) {
      headerExpected = false;
      inTable = true;
      integers.clear();
      if (!tokens.hasMoreTokens()) {
        fail(1, line.size(), MessageId::kNamelessTable);
        continue;
      }
      const std::string_view name = tokens.nextView();
      if (!previousTable.empty() && (isPlainInteger(name) || name.starts_with('\''))) {
        addAt(Diagnostic::kWarning, number, offsetIn(line, name) + 1, name.size(),
              "this line starts a new table named " + std::string(name) +
                  ", because an empty line ends a table: is it a record of " + previousTable + "?");
      }
      previousTable = name;
      noteTab();
      while (tokens.hasMoreTokens()) {
        tokens.nextView();
        const std::string_view type = tokens.nextView();
        integers.push_back(type == "int");
        if (type != "int") {
          if (!type.empty() && looksNumeric(type)) {
            addAt(Diagnostic::kWarning, number, offsetIn(line, type) + 1, type.size(),
                  "'" + std::string(type) +
                      "' makes a string column, compared byte by byte: only int (in lower case) "
                      "makes an integer column");
          }
          tokens.nextView();
        }
      }
      continue;
    }
    if (!inTable) {
      fail(1, line.size(), MessageId::kRecordWithoutTable);
      continue;
    }
    size_t values = 0;
    for (StringTokenizer counter(line); counter.hasMoreTokens(); counter.nextView()) ++values;
    if (values != integers.size()) noteTab();
    for (bool integer : integers) {
      if (!tokens.hasMoreTokens()) {
        fail(line.size() + 1, 1, MessageId::kTooFewValues);
        break;
      }
      const std::string_view token = tokens.nextView();
      if (!integer) continue;
      try {
        relalg::stoi(token);
      } catch (const std::exception&) {
        fail(offsetIn(line, token) + 1, token.size(), MessageId::kNotANumber);
        break;
      }
    }
    if (tokens.hasMoreTokens() && !failed) {
      const std::string_view extra = tokens.nextView();
      fail(offsetIn(line, extra) + 1, line.size() - offsetIn(line, extra),
           MessageId::kTooManyValues);
    }
  }
  // A reading failure is placed by placeFailure, with the message the run reports.
  if (failed) diagnostics_.back().message.clear();
}

// The node, within the failing one, that the failure concerns: the malformed or the comparison
// that the message names; otherwise the failing node itself.
int TraceAnalysis::failingNodeWithin(int failing) const {
  const std::string_view message = outcome_->message;
  std::vector<int> pending{failing};
  while (!pending.empty()) {
    const int index = pending.back();
    pending.pop_back();
    const SyntaxTree::Node& node = tree_->node(index);
    if (node.role == SyntaxTree::Role::kExpression && index != failing) continue;
    if (node.role == SyntaxTree::Role::kCondition) {
      if (node.malformed || node.code == kUnknownCondition) {
        if (outcome_->status != RunOutcome::kFailure || message.ends_with(tree_->text(index))) {
          return index;
        }
      }
      if (isComparison(node.code) && node.children.size() == 2) {
        const std::string a = tree_->text(node.children[0]);
        const std::string b = tree_->text(node.children[1]);
        if (message.ends_with(": " + a + " " + b) || message.ends_with(": " + b + " " + a)) {
          return index;
        }
      }
    }
    for (auto child = node.children.rbegin(); child != node.children.rend(); ++child) {
      pending.push_back(*child);
    }
  }
  return failing;
}

void TraceAnalysis::placeFailure() {
  const std::string printed = outcome_->status == RunOutcome::kFailure
                                  ? windows1250ToUtf8(outcome_->message)
                                  : std::string(messageInfo(MessageId::kUnknownFailure).pattern);
  // A reading failure: checkTables left an error without a message at the line it found.
  for (Diagnostic& diagnostic : diagnostics_) {
    if (diagnostic.severity == Diagnostic::kError && diagnostic.message.empty()) {
      diagnostic.message = printed;
      return;
    }
  }
  if (tree_ == nullptr || !evaluated_) return;
  const int failing = failedNode_ >= 0 ? failingNodeWithin(failedNode_) : 0;
  const size_t begin = tree_->begin(failing);
  addInExpression(Diagnostic::kError, begin, tree_->end(failing) - begin, printed);
  const MessageInfo* info = findMessage(outcome_->message);
  if (info != nullptr && info->id == MessageId::kNoSuchTable) {
    const std::string missing = tree_->node(failing).command;
    for (const std::string& name : tableNames_) {
      if (equalIgnoringCase(name, missing)) {
        addInExpression(Diagnostic::kNote, begin, missing.size(),
                        "table names are case-sensitive: did you mean " + name + "?");
      }
    }
  }
}

// The comparisons of a selection whose operand is known: constants that were meant otherwise.
void TraceAnalysis::checkConditions(int select) {
  const SyntaxTree::Node& node = tree_->node(select);
  if (node.children.size() < 2 || !results_[node.children[0]].finished) return;
  const std::vector<Column>& columns = results_[node.children[0]].columns;
  std::vector<int> pending{node.children[1]};
  while (!pending.empty()) {
    const SyntaxTree::Node& condition = tree_->node(pending.back());
    pending.pop_back();
    if (isComparison(condition.code) && condition.children.size() == 2) {
      checkComparand(condition.children[0], condition.children[1], columns);
      checkComparand(condition.children[1], condition.children[0], columns);
      continue;
    }
    for (int child : condition.children) pending.push_back(child);
  }
}

void TraceAnalysis::checkComparand(int comparand, int other, const std::vector<Column>& columns) {
  const std::string text = tree_->text(comparand);
  const std::string otherText = tree_->text(other);
  // A comparand holding commas or brackets is cut from a broken node, reported as such.
  if (text.find_first_of(",()") != std::string::npos) return;
  auto columnNamed = [&](std::string_view name) {
    return std::find_if(columns.begin(), columns.end(),
                        [&](const Column& column) { return column.name == name; });
  };
  const size_t begin = tree_->begin(comparand);
  const size_t length = tree_->end(comparand) - begin;
  const auto self = columnNamed(text);
  if (self != columns.end()) {
    if (std::count_if(columns.begin(), columns.end(),
                      [&](const Column& column) { return column.name == text; }) > 1) {
      addInExpression(Diagnostic::kWarning, begin, length,
                      "the table has two columns named " + text + ": this compares the first");
    }
    return;
  }
  const auto partner = columnNamed(otherText);
  std::string unquoted = text;
  std::erase(unquoted, '\'');
  if (partner == columns.end()) {
    // Two constants, which the run reports; the note tells which column was meant.
    for (const Column& column : columns) {
      if (equalIgnoringCase(column.name, text)) {
        addInExpression(Diagnostic::kNote, begin, length,
                        "column names are case-sensitive: did you mean " + column.name + "?");
      } else if (text.find('\'') != std::string::npos && column.name == unquoted) {
        addInExpression(
            Diagnostic::kNote, begin, length,
            "a column name is written without apostrophes: did you mean " + column.name + "?");
      }
    }
    return;
  }
  std::string unquotedDouble = text;
  std::erase(unquotedDouble, '"');
  const std::string_view written = tree_->line().substr(begin, length);
  bool looseBlank = false;
  bool quoted = false;
  for (char c : written) {
    if (c == '\'') quoted = !quoted;
    looseBlank |= c == ' ' && !quoted;
  }
  for (const Column& column : columns) {
    if (column.name != text && equalIgnoringCase(column.name, text)) {
      addInExpression(Diagnostic::kWarning, begin, length,
                      text +
                          " is no column (names are case-sensitive), so it is compared as a "
                          "constant; did you mean " +
                          column.name + "?");
      return;
    }
    if (text.find('\'') != std::string::npos && column.name == unquoted) {
      addInExpression(Diagnostic::kWarning, begin, length,
                      text + " is a constant because of its apostrophes; the column is " +
                          column.name + ", without them");
      return;
    }
  }
  if (text.find('"') != std::string::npos) {
    addInExpression(
        Diagnostic::kWarning, begin, length,
        "double quotes are ordinary characters here and blanks outside apostrophes "
        "are dropped: this compares with " +
            text + "; write '" +
            std::string(written.substr(1, written.size() > 1 ? written.size() - 2 : 0)) + "'");
    return;
  }
  if (looseBlank) {
    addInExpression(Diagnostic::kWarning, begin, length,
                    "blanks outside apostrophes are dropped: this compares with " + text +
                        "; write '" + std::string(written) + "'");
    return;
  }
  if (partner->type == "int" && !isPlainInteger(text)) {
    addInExpression(Diagnostic::kWarning, begin, length,
                    text + " is compared with the int column " + partner->name + " as " +
                        std::to_string(atoiValue(text)) +
                        ": only a sign and the digits at its start count");
  }
}

// A merge gives the set union or difference when its operands are sorted and free of repeats;
// otherwise it may not. Warns when this result is not the set one: a union whose result holds
// repeats, a difference whose result holds repeats or records of its right operand.
void TraceAnalysis::checkMerge(int merge, const Table& result) {
  const SyntaxTree::Node& node = tree_->node(merge);
  if (node.children.size() != 2) return;
  const Table* right = results_[node.children[1]].table;
  const RecordOrder order(columnHandles(result.columns()));
  const std::vector<uint32_t> distinct =
      order.sortedDistinctRows(static_cast<size_t>(result.recordCount()));
  std::string wrong;
  if (distinct.size() != static_cast<size_t>(result.recordCount())) {
    wrong = "its result holds repeats";
  } else if (node.code == kMinus && right != nullptr && right->recordCount() > 0 &&
             right->sameSchema(result)) {
    const RecordOrder across(columnHandles(result.columns()), columnHandles(right->columns()));
    const std::vector<uint32_t> others =
        RecordOrder(columnHandles(right->columns())).sortedDistinctRows(right->recordCount());
    for (size_t i = 0, j = 0; i < distinct.size() && j < others.size() && wrong.empty();) {
      const int sign = across.compare(distinct[i], others[j]);
      if (sign == 0) wrong = "its result keeps records of its right operand";
      if (sign <= 0) ++i;
      if (sign >= 0) ++j;
    }
  }
  if (wrong.empty()) return;
  addInExpression(Diagnostic::kWarning, tree_->begin(merge), node.command.size(),
                  node.command + " merges its operands as they are, and " + wrong +
                      " because an operand is not sorted or holds repeats: project(E, all "
                      "columns) of each operand sorts it and removes repeats");
}

std::string_view TraceAnalysis::lineText(size_t number) const {
  LineReader lines(input_);
  std::string_view line;
  for (size_t k = 0; k < number && lines.next(line);) ++k;
  return line;
}

std::string TraceAnalysis::diagnosticsText(std::string_view path) const {
  std::string text;
  for (const Diagnostic& diagnostic : diagnostics_) {
    text += std::string(path) + ":" + std::to_string(diagnostic.line) + ":" +
            std::to_string(diagnostic.column) + ": " +
            std::string(severityName(diagnostic.severity)) + ": " + diagnostic.message + "\n";
    const std::string_view line = lineText(diagnostic.line);
    const size_t at = std::min(diagnostic.column - 1, line.size());
    const size_t from = at > kShownBefore ? at - kShownBefore : 0;
    const size_t to = std::min(line.size(), at + std::max(diagnostic.length, kShownAfter));
    const std::string lead = from > 0 ? "..." : "";
    text +=
        lead + std::string(line.substr(from, to - from)) + (to < line.size() ? "..." : "") + "\n";
    std::string caret(lead.size(), ' ');
    for (size_t k = from; k < at; ++k) caret.push_back(line[k] == '\t' ? '\t' : ' ');
    caret.push_back('^');
    caret.append(std::min(diagnostic.length, to > at ? to - at : 1) - 1, '~');
    text += caret + "\n";
  }
  return text;
}

void TraceAnalysis::writeNode(JsonWriter& json, int index, int levels) const {
  const SyntaxTree::Node& node = tree_->node(index);
  const Result& result = results_[index];
  const size_t begin = tree_->begin(index);
  json.beginObject();
  json.key("text").text(shortenedText(tree_->text(index)));
  json.key("line").number(1);
  json.key("column").number(static_cast<int64_t>(markLength_ + begin + 1));
  json.key("length").number(static_cast<int64_t>(std::max<size_t>(tree_->end(index) - begin, 1)));
  json.key("kind").text(operatorWord(node.code));
  if (result.finished) {
    json.key("name").text(result.name);
    json.key("columns").beginArray();
    for (const Column& column : result.columns) {
      json.beginObject().key("name").text(column.name).key("type").text(column.type).endObject();
    }
    json.endArray();
    json.key("count").number(static_cast<int64_t>(result.count));
    json.key("records").beginArray();
    for (const std::string& record : result.records) json.text(record);
    json.endArray();
  }
  if (result.failed) json.key("failed").boolean(true);
  json.key("children").beginArray();
  if (levels > 0) {
    for (int child : node.children) {
      if (tree_->node(child).role == SyntaxTree::Role::kExpression) {
        writeNode(json, child, levels - 1);
      }
    }
  }
  json.endArray();
  if (levels == 0 && !node.children.empty()) json.key("more").boolean(true);
  json.endObject();
}

std::string TraceAnalysis::json() const {
  JsonWriter json;
  json.beginObject();
  json.key("status").number(outcome_ ? outcome_->status : 0);
  json.key("stderr").text(outcome_ ? outcome_->errorText() : "", JsonWriter::kWindows1250);
  json.key("diagnostics").beginArray();
  for (const Diagnostic& diagnostic : diagnostics_) {
    json.beginObject();
    json.key("severity").text(severityName(diagnostic.severity));
    json.key("line").number(static_cast<int64_t>(diagnostic.line));
    json.key("column").number(static_cast<int64_t>(diagnostic.column));
    json.key("length").number(static_cast<int64_t>(diagnostic.length));
    json.key("message").text(diagnostic.message);
    json.endObject();
  }
  json.endArray();
  json.key("root");
  if (tree_ == nullptr) {
    json.null();
  } else {
    writeNode(json, 0, kMaxJsonLevels);
  }
  json.endObject();
  return json.str() + "\n";
}

namespace {

// A text as a Graphviz label: UTF-8 kept, other bytes read as Windows-1250, quotes and
// backslashes escaped.
std::string dotLabel(std::string_view bytes) {
  const std::string utf8 = isUtf8(bytes) ? std::string(bytes) : windows1250ToUtf8(bytes);
  std::string label;
  for (char c : utf8) {
    if (c == '"' || c == '\\') label.push_back('\\');
    if (c == '\n') {
      label += "\\n";
    } else if (static_cast<unsigned char>(c) >= 0x20) {
      label.push_back(c);
    }
  }
  return label;
}

}  // namespace

// Each expression node is a box: its operator, the table it produced and its record count; the
// failing node is drawn red and a node with warnings orange. Edges lead to the operands.
std::string TraceAnalysis::dot() const {
  std::string out =
      "digraph relalg {\n"
      "  node [shape=box, fontname=\"monospace\"];\n";
  if (tree_ == nullptr) return out + "}\n";
  auto warnedWithin = [&](int index) {
    const size_t begin = markLength_ + tree_->begin(index) + 1;
    const size_t end = markLength_ + tree_->end(index) + 1;
    for (const Diagnostic& diagnostic : diagnostics_) {
      if (diagnostic.severity != Diagnostic::kWarning || diagnostic.line != 1) continue;
      if (diagnostic.column < begin || diagnostic.column >= std::max(end, begin + 1)) continue;
      bool inChild = false;
      for (int child : tree_->node(index).children) {
        if (tree_->node(child).role != SyntaxTree::Role::kExpression) continue;
        inChild |= diagnostic.column >= markLength_ + tree_->begin(child) + 1 &&
                   diagnostic.column < markLength_ + tree_->end(child) + 1;
      }
      if (!inChild) return true;
    }
    return false;
  };
  for (int index : tree_->expressionOrder()) {
    const SyntaxTree::Node& node = tree_->node(index);
    const Result& result = results_[index];
    std::string label = std::string(operatorWord(node.code));
    if (node.code == kTable || node.code == kProject || node.code == kRename ||
        node.code == kSelect) {
      std::string argument = node.code == kTable ? node.command : "";
      if (node.code != kTable && node.children.size() > 1) argument = tree_->text(node.children[1]);
      label += " " + shortenedText(argument);
    }
    if (result.finished) {
      std::string schema = result.name + "(";
      for (size_t k = 0; k < result.columns.size(); ++k) {
        schema += (k > 0 ? ", " : "") + result.columns[k].name + " " + result.columns[k].type;
      }
      label += "\n" + shortenedText(schema + ")") + "\n" + std::to_string(result.count) +
               (result.count == 1 ? " record" : " records");
    } else if (result.failed) {
      label += "\nfailed";
    } else {
      label += "\nnot evaluated";
    }
    std::string style;
    if (result.failed) {
      style = ", color=red, penwidth=2";
    } else if (warnedWithin(index)) {
      style = ", color=orange, penwidth=2";
    } else if (!result.finished) {
      style = ", style=dashed";
    }
    out += "  n" + std::to_string(index) + " [label=\"" + dotLabel(label) + "\"" + style + "];\n";
    for (int child : node.children) {
      if (tree_->node(child).role == SyntaxTree::Role::kExpression) {
        out += "  n" + std::to_string(index) + " -> n" + std::to_string(child) + ";\n";
      }
    }
  }
  return out + "}\n";
}

}  // namespace relalg
