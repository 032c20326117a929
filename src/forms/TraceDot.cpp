#include "forms/TraceDot.h"

#include <vector>

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
  DotWriter(const TraceAnalysis& analysis, const SourceView* view)
      : analysis_(analysis), tree_(*analysis.tree()), view_(view) {}

  std::string graph();

 private:
  // One occurrence of a source group: the nodes of the group that hang together in the tree.
  struct Cluster {
    int group;
    std::vector<int> nodes;
    std::vector<size_t> inner;
  };
  std::string nodeLine(int node) const;
  std::string clusters() const;
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
  const SourceView* view_;
};

std::string DotWriter::graph() {
  std::string out =
      "digraph relalg {\n"
      "  node [shape=box, fontname=\"monospace\"];\n";
  const bool grouped = view_ != nullptr && !view_->nodes.empty();
  if (grouped) out += clusters();
  for (int node = 0; node < tree_.size(); ++node) {
    if (!tree_.isExpression(node)) continue;
    if (!grouped) out += nodeLine(node);
    for (int k = 0; k < 2; ++k) {
      const int operand = tree_.operand(node, k);
      if (operand != SyntaxTree::kNoNode && tree_.isExpression(operand)) {
        out += "  n" + std::to_string(node) + " -> n" + std::to_string(operand) + ";\n";
      }
    }
  }
  return out + "}\n";
}

std::string DotWriter::nodeLine(int node) const {
  std::string line =
      "  n" + std::to_string(node) + " [label=\"" + dotLabel(label(node)) + "\"" + style(node);
  if (view_ != nullptr) {
    const SourceStretch* stretch = view_->nodes.of(tree_.begin(node), tree_.end(node));
    if (stretch != nullptr && !stretch->user) line += ", fontcolor=gray35, color=gray60";
  }
  return line + "];\n";
}

// The core nodes grouped under the notation that produced them: a node whose group differs from
// its parent's opens a cluster inside its parent's, so that the clusters nest as the program
// does, once per use of a step.
std::string DotWriter::clusters() const {
  std::vector<Cluster> made;
  std::vector<size_t> clusterOf(static_cast<size_t>(tree_.size()), 0);
  std::vector<size_t> roots;
  for (int node = 0; node < tree_.size(); ++node) {
    if (!tree_.isExpression(node)) continue;
    const SourceStretch* stretch = view_->nodes.of(tree_.begin(node), tree_.end(node));
    const int group = stretch != nullptr ? stretch->group : -1;
    const int parent = tree_.parent(node);
    const bool inParent = parent != SyntaxTree::kNoNode &&
                          made[clusterOf[static_cast<size_t>(parent)]].group == group;
    if (inParent) {
      clusterOf[static_cast<size_t>(node)] = clusterOf[static_cast<size_t>(parent)];
    } else {
      clusterOf[static_cast<size_t>(node)] = made.size();
      (parent == SyntaxTree::kNoNode ? roots : made[clusterOf[static_cast<size_t>(parent)]].inner)
          .push_back(made.size());
      made.push_back({group, {}, {}});
    }
    made[clusterOf[static_cast<size_t>(node)]].nodes.push_back(node);
  }
  // Written from the outside in, with a stack of clusters whose subgraph is open.
  std::string out;
  struct Open {
    size_t cluster;
    size_t next;  // the inner cluster to write next
  };
  std::vector<Open> open;
  auto enter = [&](size_t index) {
    const Cluster& cluster = made[index];
    const std::string indent(2 * (open.size() + 1), ' ');
    std::string title;
    if (cluster.group >= 0) {
      const SourceGroup& group = view_->nodes.groups()[static_cast<size_t>(cluster.group)];
      title = group.step.empty() ? group.text : group.step + " := " + group.text;
      title = std::to_string(group.place.line) + ": " + title;
    }
    out += indent + "subgraph cluster_" + std::to_string(index) + " {\n" + indent + "  label=\"" +
           dotLabel(title) + "\"; style=rounded; color=gray70;\n";
    for (int node : cluster.nodes) out += indent + nodeLine(node);
    open.push_back({index, 0});
  };
  for (size_t root : roots) {
    enter(root);
    while (!open.empty()) {
      Open& top = open.back();
      const Cluster& cluster = made[top.cluster];
      if (top.next < cluster.inner.size()) {
        enter(cluster.inner[top.next++]);
        continue;
      }
      out += std::string(2 * open.size(), ' ') + "}\n";
      open.pop_back();
    }
  }
  return out;
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

std::string traceDot(const TraceAnalysis& analysis, const SourceView* view) {
  if (analysis.tree() == nullptr) {
    return "digraph relalg {\n  node [shape=box, fontname=\"monospace\"];\n}\n";
  }
  return DotWriter(analysis, view).graph();
}

}  // namespace relalg
