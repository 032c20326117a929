// SyntaxTree is the expression line parsed once into nodes that know where they stand in the
// line, for tools that point at bytes (relalgtrace's diagnostics, its JSON and DOT forms). It
// splits every node as the evaluator does (blanks outside apostrophes dropped, enclosing bracket
// pairs stripped, operands split at the first comma outside inner brackets, the last character
// taken as the closing bracket), so its expression nodes, in pre-order, are the nodes that an
// evaluation starts, in the same order. It never throws and never recurses: a node that the
// evaluator would reject is kept as a leaf marked malformed, and nesting is bounded by memory.
//
// Along the way it collects findings: constructs that the evaluator accepts but that almost
// surely mean something else (a missing closing bracket, operands that nothing reads, brackets
// that do not pair up, tabs, keywords in the wrong case).
#ifndef RELALG_LANGUAGE_SYNTAXTREE_H
#define RELALG_LANGUAGE_SYNTAXTREE_H

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace relalg {

class SyntaxTree {
 public:
  enum class Role { kExpression, kCondition, kComparand, kList };

  struct Node {
    Role role;
    int parent = -1;
    int depth = 0;
    // The node's cleaned text is kept bytes lo .. hi-1 of the line (see keptOffset).
    uint32_t lo = 0;
    uint32_t hi = 0;
    std::string command;  // the text before the first bracket
    int code = -1;        // ExprType for expressions, LogType for conditions, else -1
    bool bracketed = false;
    bool malformed = false;     // the evaluator rejects this node
    std::vector<int> children;  // operands in order, comparands and lists included
  };

  // A construct that the evaluator accepts but that almost surely means something else.
  struct Finding {
    size_t begin;  // offset in the line of the first byte concerned
    size_t length;
    std::string message;
  };

  explicit SyntaxTree(std::string_view line);

  std::string_view line() const { return line_; }
  const std::vector<Node>& nodes() const { return nodes_; }
  const Node& node(int index) const { return nodes_[static_cast<size_t>(index)]; }
  // The expression nodes in pre-order: the k-th is the k-th node an evaluation starts.
  const std::vector<int>& expressionOrder() const { return expressionOrder_; }
  const std::vector<Finding>& findings() const { return findings_; }

  // The cleaned text of a node (blanks inside apostrophes kept).
  std::string text(int index) const;
  // The span of the line from the node's first to its last byte; empty nodes stand where
  // their text would have been.
  size_t begin(int index) const;
  size_t end(int index) const;

 private:
  struct Work {
    SyntaxTree::Role role;
    uint32_t lo, hi;
    int parent;
  };

  int parse(const Work& work, std::vector<Work>& pending);
  void splitOperands(int index, std::vector<Work>& pending);
  size_t findComma(const Node& node, bool isNot, bool& broken) const;
  void checkExtraOperands(const Node& node, uint32_t lo, uint32_t hi, std::string_view takes);
  void checkCommandWord(const Node& node);
  void checkBrackets();
  void checkTabs();
  char at(uint32_t kept) const { return line_[kept_[kept]]; }
  void note(size_t begin, size_t length, std::string message);

  std::string_view line_;
  std::vector<uint32_t> kept_;   // offsets of the bytes that cleaning keeps
  std::vector<uint32_t> match_;  // per kept byte: the kept index of its partner bracket, or none
  std::vector<Node> nodes_;
  std::vector<int> expressionOrder_;
  std::vector<Finding> findings_;
  bool missingClose_ = false;
};

}  // namespace relalg

#endif  // RELALG_LANGUAGE_SYNTAXTREE_H
