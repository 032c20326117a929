// RelAlgExpr is one node of an expression or condition: a command word and up to two operand
// texts, as in union(E1,E2), select(E,K) or EQ(A,B). It builds no tree: evaluators build a node
// for the text at hand, ask for its kind and operand texts, and recurse on those texts.
//
// Also here: clean, which drops the blanks outside apostrophes and strips enclosing brackets.
#ifndef RELALG_LANGUAGE_RELALGEXPR_H
#define RELALG_LANGUAGE_RELALGEXPR_H

#include <iterator>
#include <string>
#include <string_view>

#include "language/ExprText.h"

namespace relalg {

// Operator codes of getType(): kTable for a command word that is no operator keyword.
enum ExprType { kTable = 0, kUnion, kMinus, kProduct, kProject, kRename, kSelect };
// Condition codes of getLogType(): kUnknownCondition for a word that is no condition keyword.
// The first six are the comparisons.
enum LogType { kEq = 0, kNeq, kLt, kLte, kGt, kGte, kAnd, kOr, kNot, kUnknownCondition };

// The keywords and their codes, in the order in which a command word is compared with them.
struct OperatorKeyword {
  std::string_view word;
  ExprType code;
};
inline constexpr OperatorKeyword kOperatorKeywords[] = {
    {"union", kUnion},     {"minus", kMinus},   {"product", kProduct},
    {"project", kProject}, {"rename", kRename}, {"select", kSelect}};
struct ConditionKeyword {
  std::string_view word;
  LogType code;
};
inline constexpr ConditionKeyword kConditionKeywords[] = {
    {"EQ", kEq},   {"NEQ", kNeq}, {"LT", kLt}, {"LTE", kLte}, {"GT", kGt},
    {"GTE", kGte}, {"AND", kAnd}, {"OR", kOr}, {"NOT", kNot}};

// The codes are fixed numbers (union 1 to select 6, EQ 0 to NOT 8) that callers may store; each
// table lists every code once, in ascending order, so a word and its code cannot drift apart.
constexpr bool keywordCodesAscend() {
  for (size_t k = 0; k < std::size(kOperatorKeywords); ++k) {
    if (kOperatorKeywords[k].code != static_cast<int>(k) + 1) return false;
  }
  for (size_t k = 0; k < std::size(kConditionKeywords); ++k) {
    if (kConditionKeywords[k].code != static_cast<int>(k)) return false;
  }
  return std::size(kOperatorKeywords) == kSelect &&
         std::size(kConditionKeywords) == kUnknownCondition;
}
static_assert(keywordCodesAscend());
static_assert(kUnion == 1 && kSelect == 6 && kEq == 0 && kGte == 5 && kNot == 8);

constexpr bool isComparison(int code) { return code >= kEq && code <= kGte; }

// The keyword of an operator code, or "table" for kTable.
constexpr std::string_view operatorWord(int code) {
  return code > kTable && code <= kSelect ? kOperatorKeywords[code - 1].word : "table";
}

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

}  // namespace relalg

#endif  // RELALG_LANGUAGE_RELALGEXPR_H
