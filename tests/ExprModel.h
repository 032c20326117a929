// The expression language read the plain way, for tests and the parser fuzzer to hold the
// syntax tree to: each node is cleaned from the text its parent cut for it, its brackets are
// counted one by one, and each operand is cut out as a text of its own and read afresh.
#ifndef RELALG_TESTS_EXPRMODEL_H
#define RELALG_TESTS_EXPRMODEL_H

#include <algorithm>
#include <string>
#include <string_view>
#include <vector>

#include "language/Keywords.h"
#include "language/SyntaxTree.h"

namespace relalg {

// A node as the evaluator reads it, built straight from its text the way the evaluator takes a
// text apart: each operand is cut out as text and read afresh, brackets are counted one by one.
struct ModelNode {
  SyntaxTree::Role role;
  std::string raw;   // as the parent cut it
  std::string text;  // cleaned
  SyntaxTree::Fault fault = SyntaxTree::Fault::kNone;
  std::vector<ModelNode> operands;
};

inline ModelNode model(const std::string& raw, SyntaxTree::Role role) {
  using Role = SyntaxTree::Role;
  using Fault = SyntaxTree::Fault;
  ModelNode node{role, raw, raw, Fault::kNone, {}};
  if (role == Role::kComparand || role == Role::kList) return node;
  std::string kept;
  bool quoted = false;
  for (char c : raw) {
    if (c == ' ' && !quoted) continue;
    if (c == '\'') quoted = !quoted;
    kept.push_back(c);
  }
  node.text.clear();
  if (kept.empty()) {
    node.fault = Fault::kEmpty;
    return node;
  }
  size_t pairs = 0;
  while (kept[pairs] == '(' && kept[kept.size() - 1 - pairs] == ')') ++pairs;
  const std::string text = kept.substr(pairs, kept.size() - 2 * pairs);
  node.text = text;
  const size_t bracket = text.find('(');
  const std::string command = text.substr(0, bracket);
  if (bracket == std::string::npos) {
    if (role == Role::kCondition || exprTypeOf(command) != ExprType::kTable) {
      node.fault = Fault::kNoOperand;
    }
    return node;
  }
  const bool isNot = command == "NOT";
  size_t comma = std::string::npos;
  long depth = 0;
  for (size_t pos = bracket + 1; pos < text.size() && comma == std::string::npos; ++pos) {
    if (depth == 0 && text[pos] == ',') comma = pos;
    if (text[pos] == '(') ++depth;
    if (text[pos] == ')' && --depth < 0 && !isNot) {
      node.fault = Fault::kBadBracketing;
      return node;
    }
  }
  if (comma == std::string::npos && !isNot) {
    node.fault = Fault::kBadExpression;
    return node;
  }
  const size_t leftEnd =
      std::max(bracket + 1, comma != std::string::npos ? comma : text.size() - 1);
  const std::string left = text.substr(bracket + 1, leftEnd - bracket - 1);
  const size_t rightBegin = comma != std::string::npos ? comma + 1 : 0;
  const std::string right =
      text.substr(rightBegin, std::max(rightBegin, text.size() - 1) - rightBegin);
  if (role == Role::kExpression) {
    const ExprType type = exprTypeOf(command);
    if (type == ExprType::kTable) return node;
    node.operands.push_back(model(left, Role::kExpression));
    node.operands.push_back(model(right, takesTwoTables(type)        ? Role::kExpression
                                         : type == ExprType::kSelect ? Role::kCondition
                                                                     : Role::kList));
    return node;
  }
  const LogType type = logTypeOf(command);
  if (type == LogType::kUnknown) return node;
  const Role operandRole = isComparison(type) ? Role::kComparand : Role::kCondition;
  node.operands.push_back(model(left, operandRole));
  if (type != LogType::kNot) node.operands.push_back(model(right, operandRole));
  return node;
}

namespace internal {

inline int compareNode(const SyntaxTree& tree, int node, const ModelNode& expected,
                       std::string& found) {
  auto differ = [&](const std::string& what) {
    if (found.empty()) found = what + " of '" + expected.raw + "'";
  };
  if (tree.role(node) != expected.role) differ("the role");
  if (tree.rawText(node) != expected.raw) differ("the raw text " + std::string(tree.rawText(node)));
  if (tree.text(node) != expected.text) differ("the text " + std::string(tree.text(node)));
  if (tree.fault(node) != expected.fault) differ("the fault");
  // The node's bytes stand in the line in order, between its first and last byte.
  if (tree.begin(node) > tree.end(node) || tree.end(node) > tree.line().size()) {
    differ("the place");
    return tree.size();
  }
  const std::string_view span =
      std::string_view(tree.line()).substr(tree.begin(node), tree.end(node) - tree.begin(node));
  size_t at = 0;
  for (char c : expected.text) {
    at = span.find(c, at);
    if (at == std::string_view::npos) {
      differ("the place");
      break;
    }
    ++at;
  }
  int next = node + 1;
  for (size_t k = 0; k < 2; ++k) {
    const int operand = tree.operand(node, static_cast<int>(k));
    if ((operand != SyntaxTree::kNoNode) != (k < expected.operands.size())) differ("the operands");
    if (operand == SyntaxTree::kNoNode || k >= expected.operands.size()) continue;
    if (operand != next || tree.parent(operand) != node) differ("the numbering");
    next = compareNode(tree, operand, expected.operands[k], found);
  }
  if (tree.subtreeEnd(node) != next) differ("the subtree end");
  return next;
}

}  // namespace internal

// How the tree differs from the model of its line (empty when it does not): the first node
// found to differ, and in what.
inline std::string differences(const SyntaxTree& tree, const ModelNode& expected) {
  std::string found;
  if (internal::compareNode(tree, SyntaxTree::root(), expected, found) != tree.size() &&
      found.empty()) {
    found = "the node count";
  }
  return found;
}

}  // namespace relalg

#endif  // RELALG_TESTS_EXPRMODEL_H
