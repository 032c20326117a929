// NotationProgram is the one parse of the program of a notation file: its statements, each a
// tree of nodes of the notation's own (textbook operators, core prefix forms over notation
// operands, conditions), every node placed at its bytes of the file. Names are not resolved here:
// a name leaf is a table or a step, which the lowering decides.
//
// Grammar (from the weakest binding): statements are "Name := E" (also "<-", "←") or, last, the
// query E, one per line or separated by ';'; a line continues inside brackets, after an operator,
// and where the next line starts with an infix operator. In E, ∪ − (union, minus, '-') bind
// weakest, then ∩ (intersect), then × ⋈ ⋉ ▷ ÷ (cross, join, semijoin, antijoin, divide; ⋈[cond]
// is the θ-join), then the prefix operators σ π ρ (sigma, pi, rho) with their argument in [...]
// or _{...}; all are left-associative. union(E1, E2), minus, product take two relations;
// project(E, list), rename(E, list) and select(E, condition) keep their parameter as written
// (core syntax). In conditions ¬ (not, NOT) binds tightest, then ∧ (and, AND), then ∨ (or, OR);
// EQ(a, b) and the other core comparisons, AND(K1, K2), OR(K1, K2) and NOT(K) are comparisons and
// connectives too.
//
// The parse keeps its own stacks (no recursion): a nesting 100,000 brackets deep costs what a
// flat program of the same length costs. It throws NotationError at the first fault, or at the
// first operator that the allowlist forbids.
#ifndef RELALG_NOTATION_NOTATIONPROGRAM_H
#define RELALG_NOTATION_NOTATIONPROGRAM_H

#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "language/Keywords.h"
#include "notation/Allowlist.h"

namespace relalg {

enum class NodeKind : uint8_t {
  kName,  // a table or a step
  kSelect,
  kProject,
  kRename,
  kCross,
  kUnion,
  kMinus,
  kIntersect,
  kJoin,  // natural, or θ with a condition
  kSemijoin,
  kAntijoin,
  kDivide,
  kCoreUnion,
  kCoreMinus,
  kCoreProduct,
  kCoreProject,
  kCoreRename,
  kCoreSelect,
  // conditions
  kCompare,
  kAnd,
  kOr,
  kNot,
};

// ρ[S(a, b)], ρ[S] and ρ[new←old, ...].
enum class RenameForm : uint8_t { kTableAndColumns, kTable, kColumns };

// A word of a list or a comparison, or (in the parameters of core forms) any token, as written.
struct NotationWord {
  size_t begin;
  size_t end;
  bool spaced;  // blanks, a comment or a line end stand before it
};

struct NotationNode {
  NodeKind kind;
  LogType compare = LogType::kUnknown;  // kCompare
  RenameForm renameForm = RenameForm::kTableAndColumns;
  int operands[2] = {-1, -1};  // relations, or conditions of kAnd, kOr and kNot
  int condition = -1;          // kSelect, and kJoin as a θ-join
  uint32_t firstWord = 0;      // the node's words: lists, comparands, core parameters
  uint32_t wordCount = 0;
  size_t begin = 0;  // the node's bytes in the file
  size_t end = 0;
  size_t opBegin = 0;  // its operator (for a name: the name), where messages point
  size_t opEnd = 0;
};

struct Statement {
  int root;
  size_t nameBegin;  // the step's name; equal to nameEnd for the query
  size_t nameEnd;
  size_t begin;
};

// Made by parseNotation (NotationParser.h).
class NotationProgram {
 public:
  std::string_view text() const { return text_; }
  const std::vector<Statement>& statements() const { return statements_; }
  const std::vector<NotationNode>& nodes() const { return nodes_; }
  const NotationNode& node(int id) const { return nodes_[static_cast<size_t>(id)]; }
  int size() const { return static_cast<int>(nodes_.size()); }
  const NotationWord& word(const NotationNode& node, uint32_t k) const {
    return words_[node.firstWord + k];
  }
  std::string_view wordText(const NotationWord& word) const {
    return text_.substr(word.begin, word.end - word.begin);
  }
  std::string_view opText(const NotationNode& node) const {
    return text_.substr(node.opBegin, node.opEnd - node.opBegin);
  }
  std::string_view nameText(const Statement& statement) const {
    return text_.substr(statement.nameBegin, statement.nameEnd - statement.nameBegin);
  }
  // The line of a byte of the text, from 1.
  size_t lineOf(size_t offset) const;

 private:
  friend class NotationParser;
  friend NotationProgram parseNotation(std::string_view text, size_t begin, size_t end,
                                       const Allowlist& allow);
  NotationProgram(std::string_view text, size_t end);  // the line starts; the parser adds the rest

  std::string_view text_;
  std::vector<NotationNode> nodes_;
  std::vector<NotationWord> words_;
  std::vector<Statement> statements_;
  std::vector<size_t> lineStarts_;  // the first byte of every line of the text
};

}  // namespace relalg

#endif  // RELALG_NOTATION_NOTATIONPROGRAM_H
