// SyntaxTree is the one parse of an expression line (or of a selection condition): every node that
// evaluating the line can reach, with its kind, its operands and where its bytes stand in the
// line. Evaluation, conditions, the look-ahead over the tables a run uses, the SQL script and the
// trace all walk these nodes; none of them reads a node's text to learn what it is.
//
// A node is split exactly as the evaluator splits the text it is handed:
//  - its text is cleaned: blanks outside apostrophes dropped, counted from the text's own start,
//    then as many bracket pairs stripped as enclose it at both ends;
//  - its command word is the text before the first opening bracket;
//  - its operands are split at the first comma outside inner brackets (apostrophes do not
//    protect it), and the last operand ends before the node's last character, which is taken to
//    close the node without being looked at.
// Operands of expressions and conditions are nodes of their own, cleaned afresh; comparands of a
// comparison and the name lists of project and rename are kept as their parent cut them.
//
// The tree never throws for what the line says: a node that the evaluator would reject keeps the
// reason as its fault, raised by raiseFault() when an evaluation reaches it, and has no operands.
// It is built without recursion, in time and memory proportional to the line; node numbers are
// the pre-order, so a node's operands come after it, the first before the second, and the nodes
// that an evaluation starts come in the order in which it starts them. Every text the tree hands
// out is a view into the tree, valid while the tree lives; a tree neither moves nor copies.
#ifndef RELALG_LANGUAGE_SYNTAXTREE_H
#define RELALG_LANGUAGE_SYNTAXTREE_H

#include <cassert>
#include <cstddef>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "language/Keywords.h"

namespace relalg {

// The standard range error that the evaluator raises for an empty node or a word without
// operands, carrying the number of that node, as an AdbException raised at a node carries it.
class NodeRangeError : public std::out_of_range {
 public:
  NodeRangeError(const char* what, int node) : std::out_of_range(what), node_(node) {}
  int node() const { return node_; }

 private:
  int node_;
};

class SyntaxTree {
 public:
  enum class Role : uint8_t { kExpression, kCondition, kComparand, kList };
  // Why the evaluator rejects a node; each stands for the failure that raiseFault() throws.
  enum class Fault : uint8_t {
    kNone,
    kEmpty,          // nothing is left once the blanks are dropped
    kBadBracketing,  // a closing bracket ends the node's bracket before any comma (NOT aside)
    kBadExpression,  // a bracket opens, but no comma follows at its level (NOT aside)
    kNoOperand,      // an operator or condition word without brackets
    kTooLong,        // a line of 4 GiB or more, which is not parsed at all
  };
  static constexpr int kNoNode = -1;

  explicit SyntaxTree(std::string line, Role rootRole = Role::kExpression);
  SyntaxTree(const SyntaxTree&) = delete;
  SyntaxTree& operator=(const SyntaxTree&) = delete;

  const std::string& line() const { return line_; }
  static constexpr int root() { return 0; }
  int size() const { return static_cast<int>(nodes_.size()); }

  Role role(int node) const { return at(node).role; }
  bool isExpression(int node) const { return at(node).role == Role::kExpression; }
  bool isCondition(int node) const { return at(node).role == Role::kCondition; }
  ExprType exprType(int node) const {
    assert(isExpression(node));
    return static_cast<ExprType>(at(node).kind);
  }
  LogType logType(int node) const {
    assert(isCondition(node));
    return static_cast<LogType>(at(node).kind);
  }
  Fault fault(int node) const { return at(node).fault; }
  // Throws what the evaluator throws for this node: AdbException with the node's text as its
  // parent gave it, or std::out_of_range (a NodeRangeError) for an empty node or one without
  // operands; either carries the node.
  [[noreturn]] void raiseFault(int node) const;

  int parent(int node) const { return at(node).parent; }
  // Operand k (0 or 1) of a node, or kNoNode. Expressions and conditions have their operands
  // as nodes when they are free of faults: union, minus and product two expressions; project and
  // rename an expression and a list; select an expression and a condition; AND and OR two
  // conditions, NOT one; a comparison two comparands; a table name and an unknown word none.
  int operand(int node, int k) const { return at(node).operands[k]; }
  // The number of expression nodes above the node (0 for the whole expression).
  int depth(int node) const { return static_cast<int>(at(node).depth); }
  // One past the last node of the node's subtree: its subtree is the nodes node .. end - 1.
  int subtreeEnd(int node) const { return at(node).subtreeEnd; }
  // Whether a rename node lies in the node's subtree (the node itself included).
  bool holdsRename(int node) const { return at(node).holdsRename; }

  // The node's cleaned text.
  std::string_view text(int node) const;
  // The node's text as its parent handed it over, before cleaning: what messages quote.
  std::string_view rawText(int node) const;
  // The text before the first opening bracket: the whole text when there is none.
  std::string_view command(int node) const { return text(node).substr(0, bracketPos(node)); }
  bool bracketed(int node) const { return at(node).bracket < at(node).end; }
  // The place of the first opening bracket in text(), or its size when there is none.
  size_t bracketPos(int node) const { return at(node).bracket - at(node).begin; }
  // The place of the first comma outside inner brackets in text(), or npos (only for a node
  // with brackets that is free of faults, or a NOT node).
  size_t commaPos(int node) const;

  // The bytes of the line from the node's first to its last byte (a node that lost blanks spans
  // them too); an empty node stands where its text would have been.
  size_t begin(int node) const;
  size_t end(int node) const;
  // The offset in the line of the first byte of part, a view into a text of this tree (a
  // node's text or raw text, or the line); the end of part when it is empty.
  size_t lineOffset(std::string_view part) const;

 private:
  static constexpr uint32_t kNone = UINT32_MAX;
  static constexpr uint8_t kLineSpace = 2;  // raw text of the root: the line itself

  struct Node {
    Role role;
    uint8_t kind = 0;  // ExprType or LogType by role
    Fault fault = Fault::kNone;
    uint8_t space = 0;     // which cleaned text holds text()
    uint8_t rawSpace = 0;  // which holds rawText(): the parent's, or the line for the root
    bool holdsRename = false;
    int32_t parent = kNoNode;
    int32_t operands[2] = {kNoNode, kNoNode};
    int32_t subtreeEnd = 0;
    uint32_t depth = 0;
    uint32_t rawBegin = 0, rawEnd = 0;  // rawText() in its space
    uint32_t begin = 0, end = 0;        // text() in its space
    uint32_t bracket = 0;               // the first '(' of text(), or end
    uint32_t comma = kNone;             // the first comma outside inner brackets, or kNone
  };

  // The line less some of its blanks: space 0 lacks the blanks outside apostrophes, counted from
  // the line's start; space 1 lacks every blank. Space 1 is made only when an operand needs it.
  struct Cleaned {
    std::string bytes;
    std::vector<uint32_t> lineOffsets;  // per byte: its offset in the line
    std::vector<uint32_t> partners;     // per '(': the ')' that closes it, or kNone
    std::vector<uint32_t> blanks;       // the places of the blanks left, ascending
    std::vector<bool> oddQuotesBefore;  // per place: whether an odd number of apostrophes precede
  };
  struct Work {
    Role role;
    uint8_t rawSpace;
    uint32_t rawBegin, rawEnd;
    int32_t parent;
    int slot;
  };

  const Node& at(int node) const {
    assert(node >= 0 && node < size());
    return nodes_[static_cast<size_t>(node)];
  }
  std::string_view spaceText(uint8_t space) const;
  void makeCleaned(Cleaned& cleaned, bool dropEveryBlank) const;
  void parse(const Work& work, std::vector<Work>& pending);
  void cleanNode(Node& node);
  void splitNode(Node& node);
  void queueOperands(int index, std::vector<Work>& pending);
  void noteSubtrees();

  std::string line_;
  Cleaned cleaned_[2];
  bool haveSpaceOne_ = false;
  std::vector<Node> nodes_;
};

}  // namespace relalg

#endif  // RELALG_LANGUAGE_SYNTAXTREE_H
