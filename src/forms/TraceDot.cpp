#include "forms/TraceDot.h"

#include "base/Windows1250.h"
#include "forms/TraceReport.h"
#include "language/Keywords.h"

namespace relalg {

namespace {

// A text as a Graphviz label: UTF-8 kept, other bytes read as Windows-1250; quotes and
// backslashes escaped, and & written as the entity it would otherwise start.
std::string dotLabel(std::string_view bytes) {
  const std::string utf8 = isUtf8(bytes) ? std::string(bytes) : windows1250ToUtf8(bytes);
  std::string label;
  for (char c : utf8) {
    if (c == '"' || c == '\\') label.push_back('\\');
    if (c == '\n') {
      label += "\\n";
    } else if (c == '&') {
      label += "&amp;";
    } else if (static_cast<unsigned char>(c) >= 0x20) {
      label.push_back(c);
    }
  }
  return label;
}

class DotWriter {
 public:
  explicit DotWriter(const TraceAnalysis& analysis)
      : analysis_(analysis), tree_(*analysis.tree()) {}

  std::string graph();

 private:
  std::string label(int node) const;
  std::string style(int node) const;
  // Whether a warning stands within the node's bytes but outside those of its operands.
  bool warnedWithin(int node) const;
  bool within(int node, size_t column) const {
    const size_t begin = analysis_.markLength() + tree_.begin(node) + 1;
    const size_t end = analysis_.markLength() + tree_.end(node) + 1;
    return column >= begin && column < std::max(end, begin + 1);
  }

  const TraceAnalysis& analysis_;
  const SyntaxTree& tree_;
};

std::string DotWriter::graph() {
  std::string out =
      "digraph relalg {\n"
      "  node [shape=box, fontname=\"monospace\"];\n";
  for (int node = 0; node < tree_.size(); ++node) {
    if (!tree_.isExpression(node)) continue;
    out += "  n" + std::to_string(node) + " [label=\"" + dotLabel(label(node)) + "\"" +
           style(node) + "];\n";
    for (int k = 0; k < 2; ++k) {
      const int operand = tree_.operand(node, k);
      if (operand != SyntaxTree::kNoNode && tree_.isExpression(operand)) {
        out += "  n" + std::to_string(node) + " -> n" + std::to_string(operand) + ";\n";
      }
    }
  }
  return out + "}\n";
}

std::string DotWriter::label(int node) const {
  const TraceAnalysis::Result& result = analysis_.result(node);
  const ExprType type = tree_.exprType(node);
  std::string label(operatorWord(type));
  if (type == ExprType::kTable) {
    label += " " + shortenedText(tree_.command(node));
  } else if (!takesTwoTables(type)) {
    const int parameter = tree_.operand(node, 1);
    label += " " + shortenedText(parameter != SyntaxTree::kNoNode ? tree_.text(parameter) : "");
  }
  if (result.finished) {
    std::string schema = result.name + "(";
    for (size_t k = 0; k < result.columnCount(); ++k) {
      schema.append(k > 0 ? ", " : "").append(result.columnName(k)).append(" ");
      schema.append(result.columnType(k));
    }
    label += "\n" + shortenedText(schema + ")") + "\n" + std::to_string(result.count) +
             (result.count == 1 ? " record" : " records");
  } else if (result.failed) {
    label += "\nfailed";
  } else {
    label += "\nnot evaluated";
  }
  return label;
}

std::string DotWriter::style(int node) const {
  const TraceAnalysis::Result& result = analysis_.result(node);
  if (result.failed) return ", color=red, penwidth=2";
  if (warnedWithin(node)) return ", color=orange, penwidth=2";
  if (!result.finished) return ", style=dashed";
  return "";
}

bool DotWriter::warnedWithin(int node) const {
  for (const Diagnostic& diagnostic : analysis_.diagnostics()) {
    if (diagnostic.severity != Diagnostic::kWarning || diagnostic.line != 1) continue;
    if (!within(node, diagnostic.column)) continue;
    bool inOperand = false;
    for (int k = 0; k < 2; ++k) {
      const int operand = tree_.operand(node, k);
      if (operand == SyntaxTree::kNoNode || !tree_.isExpression(operand)) continue;
      const size_t begin = analysis_.markLength() + tree_.begin(operand) + 1;
      const size_t end = analysis_.markLength() + tree_.end(operand) + 1;
      inOperand |= diagnostic.column >= begin && diagnostic.column < end;
    }
    if (!inOperand) return true;
  }
  return false;
}

}  // namespace

std::string traceDot(const TraceAnalysis& analysis) {
  if (analysis.tree() == nullptr) {
    return "digraph relalg {\n  node [shape=box, fontname=\"monospace\"];\n}\n";
  }
  return DotWriter(analysis).graph();
}

}  // namespace relalg
