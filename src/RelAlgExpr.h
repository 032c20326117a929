// RelAlgExpr is one node of an expression or condition: a command word and up to two operand
// texts, as in union(E1,E2), select(E,K) or EQ(A,B). It builds no tree: evaluators build a node
// for the text at hand, ask for its kind and operand texts, and recurse on those texts.
//
// Also here: clean, which drops the blanks outside apostrophes and strips enclosing brackets.
#ifndef RELALG_RELALGEXPR_H
#define RELALG_RELALGEXPR_H

#include <string>
#include <string_view>

#include "ExprText.h"

// Operator codes of getType().
enum ExprType {
  kTable = 0,
  kUnion = 1,
  kMinus = 2,
  kProduct = 3,
  kProject = 4,
  kRename = 5,
  kSelect = 6
};
// Condition codes of getLogType().
enum LogType {
  kEq = 0,
  kNeq = 1,
  kLt = 2,
  kLte = 3,
  kGt = 4,
  kGte = 5,
  kAnd = 6,
  kOr = 7,
  kNot = 8,
  kUnknownCondition = 9
};

// Drops every blank outside apostrophes, then as many enclosing bracket pairs as stand at both
// ends. Throws std::out_of_range when nothing is left to look at.
std::string clean(std::string text);
ExprSource clean(const ExprSource& source);

class RelAlgExpr {
 public:
  // Cleans the text and splits it at the first comma outside inner brackets. Throws
  // AdbException when a bracketed node is badly bracketed or has no such comma (NOT aside).
  explicit RelAlgExpr(std::string text);
  explicit RelAlgExpr(const ExprSource& source);

  int getType() const;
  int getLogType() const;
  // The text before the first opening bracket: the whole text when there is none.
  std::string extractCommand() const { return std::string(command()); }
  std::string extractLeft() const { return leftSource().str(); }
  std::string extractRight() const { return rightSource().str(); }

  std::string_view command() const { return node_.view().substr(0, bracketPos_); }
  // The first operand; throws std::out_of_range for a node without brackets.
  ExprSource leftSource() const;
  // The text after the comma, less the node's last character, which is taken to close the node.
  ExprSource rightSource() const;

 private:
  void findComma(std::string_view argument);

  ExprSource node_;  // the cleaned text
  size_t bracketPos_;
  size_t commaPos_ = std::string_view::npos;
};

#endif  // RELALG_RELALGEXPR_H
