// RelAlgExpr is one node of an expression or condition seen on its own: a command word and up to
// two operand texts, as in union(E1,E2), select(E,K) or EQ(A,B), taken apart one node at a time.
// It is a view over the root of a SyntaxTree parsed from its text, kept for the tests and the
// parser fuzzer, which hold the tree's root against this reading of one node; the evaluators
// walk the tree itself.
//
// Also here: clean, which drops the blanks outside apostrophes and strips enclosing brackets.
#ifndef RELALG_TESTS_RELALGEXPR_H
#define RELALG_TESTS_RELALGEXPR_H

#include <memory>
#include <string>
#include <string_view>

#include "language/Keywords.h"
#include "language/SyntaxTree.h"

namespace relalg {

// The text with every blank outside apostrophes dropped and then as many enclosing bracket pairs
// as stand at both ends. Throws std::out_of_range when nothing is left to look at.
std::string clean(std::string text);

class RelAlgExpr {
 public:
  // Cleans the text and splits it at the first comma outside inner brackets. Throws
  // AdbException when a bracketed node is badly bracketed or has no such comma (NOT aside), and
  // std::out_of_range for a text of blanks only.
  explicit RelAlgExpr(std::string text);

  ExprType getType() const { return exprTypeOf(extractCommand()); }
  LogType getLogType() const { return logTypeOf(extractCommand()); }
  // The text before the first opening bracket: the whole text when there is none.
  std::string_view extractCommand() const { return tree_->command(SyntaxTree::root()); }
  // The first operand; throws std::out_of_range for a node without brackets.
  std::string extractLeft() const;
  // The text after the comma, less the node's last character, which is taken to close the node;
  // for a node without such a comma, its whole text less the last character.
  std::string extractRight() const;

 private:
  std::unique_ptr<const SyntaxTree> tree_;
};

}  // namespace relalg

#endif  // RELALG_TESTS_RELALGEXPR_H
