#include "forms/TraceJson.h"

#include <vector>

#include "base/JsonWriter.h"
#include "forms/TraceReport.h"
#include "language/Keywords.h"
#include "run/RunSequence.h"

namespace relalg {

namespace {

// JSON nodes deeper than this are left out (marked "more"), so that every parser reads the JSON.
constexpr int kMaxJsonLevels = 200;

// The values joined as in a record line.
std::string recordLine(const std::vector<std::string>& values) {
  std::string line;
  for (size_t k = 0; k < values.size(); ++k) line.append(k > 0 ? "," : "").append(values[k]);
  return line;
}

// The expression operand k of a node, or kNoNode.
int expressionOperand(const SyntaxTree& tree, int node, int k) {
  const int operand = tree.operand(node, k);
  return operand != SyntaxTree::kNoNode && tree.isExpression(operand) ? operand
                                                                      : SyntaxTree::kNoNode;
}

void writePlace(JsonWriter& json, const SourcePlace& place) {
  json.key("line").number(static_cast<int64_t>(place.line));
  json.key("column").number(static_cast<int64_t>(place.column));
  json.key("length").number(static_cast<int64_t>(place.length));
  json.key("letterColumn").number(static_cast<int64_t>(place.letterColumn));
  json.key("letterLength").number(static_cast<int64_t>(place.letterLength));
}

void writeSource(JsonWriter& json, const SourceView& view, const SyntaxTree& tree, int node) {
  const SourceStretch* stretch = view.nodes.of(tree.begin(node), tree.end(node));
  if (stretch == nullptr) return;
  json.key("source").beginObject();
  json.key("group").number(stretch->group);
  json.key("user").boolean(stretch->user);
  writePlace(json, stretch->place);
  json.endObject();
}

void writeNotation(JsonWriter& json, const SourceView* view) {
  json.key("notation").beginObject().key("core");
  if (view == nullptr) {
    json.null();
  } else {
    json.text(view->coreLine, JsonWriter::kInputText);
  }
  json.key("groups").beginArray();
  static const std::vector<SourceGroup> kNone;
  for (const SourceGroup& group : view != nullptr ? view->nodes.groups() : kNone) {
    json.beginObject().key("text").text(group.text).key("step");
    if (group.step.empty()) {
      json.null();
    } else {
      json.text(group.step);
    }
    writePlace(json, group.place);
    json.endObject();
  }
  json.endArray().endObject();
}

// Writes the node's own fields, up to and including the opening of its "children".
void openNode(JsonWriter& json, const TraceAnalysis& analysis, int node, bool withValues,
              const SourceView* view) {
  const SyntaxTree& tree = *analysis.tree();
  const TraceAnalysis::Result& result = analysis.result(node);
  const size_t begin = tree.begin(node);
  json.beginObject();
  json.key("text").text(shortenedText(tree.text(node)), JsonWriter::kInputText);
  json.key("line").number(1);
  json.key("column").number(static_cast<int64_t>(analysis.markLength() + begin + 1));
  json.key("length").number(static_cast<int64_t>(std::max<size_t>(tree.end(node) - begin, 1)));
  json.key("kind").text(operatorWord(tree.exprType(node)));
  if (view != nullptr) writeSource(json, *view, tree, node);
  if (result.finished) {
    json.key("name").text(result.name, JsonWriter::kInputText);
    json.key("columns").beginArray();
    for (const ShownColumn& column : result.columns) {
      json.beginObject().key("name").text(column.name, JsonWriter::kInputText);
      json.key("type").text(column.type, JsonWriter::kInputText).endObject();
    }
    json.endArray();
    json.key("count").number(static_cast<int64_t>(result.count));
    json.key("records").beginArray();
    for (const std::vector<std::string>& values : result.records) {
      json.text(recordLine(values), JsonWriter::kInputText);
    }
    json.endArray();
    if (withValues) {
      json.key("values").beginArray();
      for (const std::vector<std::string>& values : result.records) {
        json.beginArray();
        for (const std::string& value : values) json.text(value, JsonWriter::kInputText);
        json.endArray();
      }
      json.endArray();
    }
  }
  if (result.failed) json.key("failed").boolean(true);
  json.key("children").beginArray();
}

// Writes the tree from the root down, a node's operands inside its "children", with a stack of
// its own: each entry is a node whose object is open and the operand to write next.
void writeTree(JsonWriter& json, const TraceAnalysis& analysis, bool withValues,
               const SourceView* view) {
  const SyntaxTree& tree = *analysis.tree();
  struct Open {
    int node;
    int next;  // the operand to write next
  };
  std::vector<Open> open{{SyntaxTree::root(), 0}};
  openNode(json, analysis, SyntaxTree::root(), withValues, view);
  while (!open.empty()) {
    Open& top = open.back();
    const bool deeper = static_cast<int>(open.size()) <= kMaxJsonLevels;
    int child = SyntaxTree::kNoNode;
    while (deeper && child == SyntaxTree::kNoNode && top.next < 2) {
      child = expressionOperand(tree, top.node, top.next++);
    }
    if (child != SyntaxTree::kNoNode) {
      openNode(json, analysis, child, withValues, view);
      open.push_back({child, 0});
      continue;
    }
    json.endArray();
    if (!deeper && tree.operand(top.node, 0) != SyntaxTree::kNoNode) json.key("more").boolean(true);
    json.endObject();
    open.pop_back();
  }
}

}  // namespace

void writeDiagnostics(JsonWriter& json, const std::vector<Diagnostic>& diagnostics) {
  json.beginArray();
  for (const Diagnostic& diagnostic : diagnostics) {
    json.beginObject();
    json.key("severity").text(severityName(diagnostic.severity));
    json.key("line").number(static_cast<int64_t>(diagnostic.line));
    json.key("column").number(static_cast<int64_t>(diagnostic.column));
    json.key("length").number(static_cast<int64_t>(diagnostic.length));
    json.key("letterColumn").number(static_cast<int64_t>(diagnostic.letterColumn));
    json.key("letterLength").number(static_cast<int64_t>(diagnostic.letterLength));
    json.key("message").text(diagnostic.message);
    if (!diagnostic.fix.empty()) json.key("fix").text(diagnostic.fix);
    json.endObject();
  }
  json.endArray();
}

std::string traceJson(const TraceAnalysis& analysis, bool withValues, const SourceView* view) {
  JsonWriter json;
  json.beginObject();
  json.key("status").number(analysis.outcome().status);
  json.key("stderr").text(analysis.errorTextAsUtf8());
  json.key("diagnostics");
  writeDiagnostics(json, view != nullptr ? view->diagnostics : analysis.diagnostics());
  if (view != nullptr) writeNotation(json, view);
  json.key("root");
  if (analysis.tree() == nullptr) {
    json.null();
  } else {
    writeTree(json, analysis, withValues, view);
  }
  json.endObject();
  return json.str() + "\n";
}

std::string rejectedJson(int status, std::string_view stderrText,
                         const std::vector<Diagnostic>& diagnostics) {
  JsonWriter json;
  json.beginObject();
  json.key("status").number(status);
  json.key("stderr").text(stderrText);
  json.key("diagnostics");
  writeDiagnostics(json, diagnostics);
  writeNotation(json, nullptr);
  json.key("root").null();
  json.endObject();
  return json.str() + "\n";
}

std::string traceJson(const std::function<std::string()>& readInput, size_t limit,
                      bool withValues) {
  TraceAnalysis analysis(limit);
  const RunOutcome outcome = runSequence(analysis.reader(readInput), nullptr, &analysis);
  analysis.finish(outcome);
  return traceJson(analysis, withValues);
}

std::string outOfMemoryJson() {
  const RunOutcome outcome{RunOutcome::kUnknownFailure, {}, {}};
  JsonWriter json;
  json.beginObject();
  json.key("status").number(outcome.status);
  json.key("stderr").text(outcome.errorText(), JsonWriter::kWindows1250);
  json.key("diagnostics").beginArray().endArray();
  json.key("root").null();
  json.endObject();
  return json.str() + "\n";
}

}  // namespace relalg
