#include "forms/TraceReport.h"

#include <algorithm>
#include <ostream>

#include "base/Messages.h"
#include "base/Windows1250.h"
#include "evaluation/TableSet.h"
#include "run/RunSequence.h"
#include "storage/Table.h"

namespace relalg {

namespace {

// Deeper nodes are indented as deep as this, with their depth written out, and longer node texts
// are shortened, so that the trace of a deeply nested expression grows in proportion to it.
constexpr int kMaxIndentLevels = 20;
constexpr size_t kMaxTextBytes = 200;
constexpr size_t kShortenedTextBytes = 160;

std::string indentFor(int depth) {
  return std::string(2 * static_cast<size_t>(std::clamp(depth, 0, kMaxIndentLevels)), ' ');
}

// The text as a heading shows it: whole when short, else its start and its length.
std::string shownText(std::string_view text) {
  return text.empty() ? "(empty operand)" : shortenedText(text);
}

std::string countText(size_t count, std::string_view noun) {
  return std::to_string(count) + " " + std::string(noun) + (count == 1 ? "" : "s");
}

// The first line of the table's text as relalgrun writes it.
std::string headerOf(const Table& table) {
  return table.columns().empty() ? table.getName() : table.getName() + table.fingerPrint();
}

}  // namespace

std::string shortenedText(std::string_view text) {
  if (text.size() <= kMaxTextBytes) return std::string(text);
  return std::string(cutOnCharacter(text, kShortenedTextBytes)) + " ... (" +
         std::to_string(text.size()) + " bytes)";
}

std::string_view explainFailure(std::string_view message) {
  const MessageInfo* info = findMessage(message);
  return info != nullptr ? info->meaning : "no explanation is known for this message";
}

std::string_view failureMeaning(const RunOutcome& outcome) {
  if (outcome.status == RunOutcome::kSuccess) return {};
  return explainFailure(outcome.status == RunOutcome::kFailure
                            ? std::string_view(outcome.message)
                            : messageInfo(MessageId::kUnknownFailure).pattern);
}

void TraceReport::evaluationStarted(const TableSet& catalogue) { catalogue_ = &catalogue; }

void TraceReport::nodeStarted(const SyntaxTree&, int) {}

void TraceReport::nodeFinished(const SyntaxTree& tree, int node, const Table& table) {
  const int depth = tree.depth(node);
  const ExprType type = tree.exprType(node);
  const std::string indent = indentFor(depth);
  writeHeading(tree.rawText(node), depth);
  out_ << indent << "  " << operatorWord(type) << ": "
       << countText(static_cast<size_t>(table.recordCount()), "record") << ", " << headerOf(table)
       << '\n';
  writeRenameNote(tree, node, table, indent);
  writeRecords(table, indent);
}

void TraceReport::nodeFailed(const SyntaxTree& tree, int node) {
  nodeHasFailed_ = true;
  failedText_ = shownText(tree.rawText(node));
  failedDepth_ = tree.depth(node);
}

void TraceReport::reportFailure(const RunOutcome& outcome) {
  const bool adbFailure = outcome.status == RunOutcome::kFailure;
  const std::string_view message = adbFailure ? std::string_view(outcome.message)
                                              : messageInfo(MessageId::kUnknownFailure).pattern;
  const int depth = nodeHasFailed_ ? failedDepth_ : 0;
  const std::string indent = indentFor(depth);
  if (nodeHasFailed_) {
    writeHeading(failedText_, depth);
  } else {
    out_ << "reading the input file\n";
  }
  out_ << indent << "  failed; relalgrun prints:\n";
  if (adbFailure)
    out_ << indent << "    " << messageInfo(MessageId::kFailureHeading).pattern << '\n';
  out_ << indent << "    " << message << '\n';
  out_ << indent << "  meaning: " << explainFailure(message) << '\n';
}

void TraceReport::writeHeading(std::string_view text, int depth) {
  out_ << indentFor(depth);
  if (depth > kMaxIndentLevels) out_ << "[depth " << depth << "] ";
  out_ << shownText(text) << '\n';
}

// Tells that a rename changed its operand itself and, for a catalogued table, that the name it
// was read under still reaches it; a later bare name reaching such a table gets a note too.
void TraceReport::writeRenameNote(const SyntaxTree& tree, int node, const Table& table,
                                  const std::string& indent) {
  const ExprType type = tree.exprType(node);
  if (type != ExprType::kRename && !(type == ExprType::kTable && renamed_.contains(&table))) return;
  if (sources_ != nullptr && type == ExprType::kRename) {
    const SourceStretch* stretch = sources_->of(tree.begin(node), tree.end(node));
    if (stretch != nullptr && !stretch->user) return;
  }
  const std::string* key = catalogue_ != nullptr ? catalogue_->keyOf(&table) : nullptr;
  if (type == ExprType::kTable) {
    out_ << indent << "  renamed earlier in this expression: " << *key
         << " reaches the renamed table\n";
  } else if (key == nullptr) {
    out_ << indent << "  renamed in place: the operand's own table got the new names\n";
  } else {
    renamed_.insert(&table);
    out_ << indent << "  renamed in place: the table read as " << *key << ", which the name "
         << *key << " still reaches\n";
  }
}

void TraceReport::writeRecords(const Table& table, const std::string& indent) {
  const size_t count = static_cast<size_t>(table.recordCount());
  const size_t shown = std::min(count, limit_);
  std::string line;
  for (size_t row = 0; row < shown; ++row) {
    line.assign(indent).append("  | ");
    table.getRecord(row, line);
    line.push_back('\n');
    out_ << line;
  }
  if (shown > 0 && shown < count) {
    out_ << indent << "  | ... and " << countText(count - shown, "more record") << '\n';
  }
}

}  // namespace relalg
