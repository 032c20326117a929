#include "grading/Mutants.h"

#include <algorithm>
#include <set>
#include <string_view>

#include "language/StringTokenizer.h"
#include "storage/HeaderLine.h"

namespace relalg {

namespace {

// The names of a header line's columns.
std::vector<std::string> columnNames(const std::string& header) {
  std::vector<std::string> names;
  for (const HeaderLine::Column& column : HeaderLine(header).columns)
    names.emplace_back(column.name);
  return names;
}

bool holdsAll(const std::vector<std::string>& names, const std::vector<std::string>& wanted) {
  return std::all_of(wanted.begin(), wanted.end(), [&](const std::string& name) {
    return std::find(names.begin(), names.end(), name) != names.end();
  });
}

class MutantMaker {
 public:
  MutantMaker(const SyntaxTree& tree, const std::vector<TableData>& tables)
      : tree_(tree), tables_(tables) {
    seen_.insert(tree.line());
  }

  std::vector<Mutant> make() {
    for (int node = 0; node < tree_.size(); ++node) {
      if (tree_.fault(node) != SyntaxTree::Fault::kNone) continue;
      if (tree_.isCondition(node)) {
        condition(node);
      } else if (tree_.isExpression(node)) {
        expression(node);
      }
    }
    return std::move(mutants_);
  }

 private:
  // The node's bytes as the line holds them.
  std::string written(int node) const {
    return tree_.line().substr(tree_.begin(node), tree_.end(node) - tree_.begin(node));
  }
  bool has(int node, int k) const { return tree_.operand(node, k) != SyntaxTree::kNoNode; }
  std::string operand(int node, int k) const { return written(tree_.operand(node, k)); }
  bool is(int node, ExprType type) const {
    return node != SyntaxTree::kNoNode && tree_.isExpression(node) &&
           tree_.fault(node) == SyntaxTree::Fault::kNone && tree_.exprType(node) == type;
  }

  void add(size_t begin, size_t end, const std::string& text, std::string slip) {
    std::string line = tree_.line().substr(0, begin) + text + tree_.line().substr(end);
    if (seen_.insert(line).second) mutants_.push_back({std::move(line), std::move(slip)});
  }
  void replaceNode(int node, const std::string& text, const std::string& slip) {
    add(tree_.begin(node), tree_.end(node), text, slip + " in " + written(node));
  }
  // Puts word in place of the node's command word, where the line holds that word as it is.
  void replaceWord(int node, std::string_view word) {
    const std::string_view command = tree_.command(node);
    const size_t at = tree_.lineOffset(command);
    if (tree_.line().compare(at, command.size(), command) != 0) return;
    add(at, at + command.size(), std::string(word),
        std::string(word) + " for " + std::string(command) + " in " + written(node));
  }

  void condition(int node) {
    const LogType type = tree_.logType(node);
    static constexpr std::string_view kSwaps[][2] = {{"NEQ", ""},   {"EQ", ""},    {"LTE", "GT"},
                                                     {"LT", "GTE"}, {"GTE", "LT"}, {"GT", "LTE"}};
    if (isComparison(type)) {
      for (std::string_view word : kSwaps[static_cast<size_t>(type)]) {
        if (!word.empty()) replaceWord(node, word);
      }
    } else if ((type == LogType::kAnd || type == LogType::kOr) && has(node, 0) && has(node, 1)) {
      replaceWord(node, type == LogType::kAnd ? "OR" : "AND");
      replaceNode(node, operand(node, 0), "the second condition dropped");
      replaceNode(node, operand(node, 1), "the first condition dropped");
    } else if (type == LogType::kNot && has(node, 0)) {
      replaceNode(node, operand(node, 0), "NOT dropped");
    }
    if (type != LogType::kUnknown) replaceNode(node, "NOT(" + written(node) + ")", "negated");
  }

  void expression(int node) {
    if (!has(node, 0) || !has(node, 1)) return;
    const std::string first = operand(node, 0);
    const std::string second = operand(node, 1);
    const int inner = tree_.operand(node, 0);
    switch (tree_.exprType(node)) {
      case ExprType::kSelect:
        replaceNode(node, first, "the condition dropped");
        break;
      case ExprType::kMinus:
        replaceNode(node, "minus(" + second + ", " + first + ")", "the operands swapped");
        replaceNode(node, first, "the right operand dropped");
        replaceNode(node, "minus(" + first + ", minus(" + first + ", " + second + "))",
                    "the records in both in place of the difference");
        divisionAsJoin(node);
        break;
      case ExprType::kUnion:
        replaceNode(node, first, "the right operand dropped");
        replaceNode(node, second, "the left operand dropped");
        break;
      case ExprType::kProject:
        if (is(inner, ExprType::kTable)) otherTable(inner, tree_.operand(node, 1));
        if (is(inner, ExprType::kSelect) && has(inner, 0) && has(inner, 1)) {
          replaceNode(node,
                      "select(project(" + operand(inner, 0) + ", " + second + "), " +
                          operand(inner, 1) + ")",
                      "the projection before the select");
        }
        break;
      case ExprType::kRename:
        if (is(inner, ExprType::kProject) && is(tree_.operand(inner, 0), ExprType::kTable)) {
          replaceNode(inner, operand(inner, 0), "the stored table renamed in place of a copy");
        }
        break;
      default:
        break;
    }
  }

  // A stored table projected on list, swapped for each other that has the listed columns.
  void otherTable(int table, int list) {
    std::vector<std::string> wanted;
    for (StringTokenizer names(tree_.text(list)); names.hasMoreTokens();) {
      wanted.emplace_back(names.nextToken());
    }
    for (const TableData& other : tables_) {
      if (other.name != tree_.text(table) && holdsAll(columnNames(other.header), wanted)) {
        replaceNode(table, other.name, "another table projected");
      }
    }
  }

  // minus(X, project(minus(Y, R), L)), a division: its join form keeps the records of Y that R
  // holds, project(minus(Y, minus(Y, R)), L), those with some partner in place of every one.
  void divisionAsJoin(int minus) {
    const int project = tree_.operand(minus, 1);
    if (!is(project, ExprType::kProject) || !has(project, 1)) return;
    const int pairs = tree_.operand(project, 0);
    if (!is(pairs, ExprType::kMinus) || !has(pairs, 0) || !has(pairs, 1)) return;
    const std::string all = operand(pairs, 0);
    replaceNode(minus,
                "project(minus(" + all + ", minus(" + all + ", " + operand(pairs, 1) + ")), " +
                    operand(project, 1) + ")",
                "the division done as a join");
  }

  const SyntaxTree& tree_;
  const std::vector<TableData>& tables_;
  std::vector<Mutant> mutants_;
  std::set<std::string> seen_;
};

}  // namespace

std::vector<Mutant> mutantsOf(const SyntaxTree& reference, const std::vector<TableData>& tables) {
  return MutantMaker(reference, tables).make();
}

std::vector<Mutant> hardCodedAnswers(const DataSet& own, const Outcome& answer) {
  constexpr size_t kMostValues = 10;
  std::vector<Mutant> mutants;
  if (!answer.succeeded() || answer.records.empty()) return mutants;
  const std::vector<std::string> wanted = columnNames(answer.header);
  const std::set<std::string> answered(answer.records.begin(), answer.records.end());
  for (const TableData& table : own.tables()) {
    const std::vector<std::string> names = columnNames(table.header);
    if (!holdsAll(names, wanted)) continue;
    std::vector<size_t> places;
    for (const std::string& name : wanted) {
      places.push_back(
          static_cast<size_t>(std::find(names.begin(), names.end(), name) - names.begin()));
    }
    std::string projected;
    for (const std::string& name : wanted) projected += ", " + name;
    for (size_t c = 0; c < names.size(); ++c) {
      std::vector<std::string> values;
      for (const auto& record : table.records) {
        std::string text;
        for (size_t place : places) text += (text.empty() ? "" : ",") + record[place];
        if (answered.contains(text) &&
            std::find(values.begin(), values.end(), record[c]) == values.end()) {
          values.push_back(record[c]);
        }
      }
      const bool writable = std::none_of(values.begin(), values.end(), [](const std::string& v) {
        return v.find_first_of(",()") != std::string::npos;
      });
      if (values.empty() || values.size() > kMostValues || !writable) continue;
      std::string condition = "EQ(" + names[c] + ", " + values.back() + ")";
      for (size_t k = values.size() - 1; k-- > 0;) {
        condition = "OR(EQ(" + names[c] + ", " + values[k] + "), " + condition + ")";
      }
      mutants.push_back({"project(select(" + table.name + ", " + condition + ")" + projected + ")",
                         "the answer hard-coded by " + table.name + "." + names[c]});
    }
  }
  return mutants;
}

}  // namespace relalg
