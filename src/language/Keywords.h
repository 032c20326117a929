// The keywords of the expression language and the kinds they name: the six operators (lower case)
// and the nine condition words (upper case). A word names a kind only when it equals the keyword
// byte for byte. The kinds keep fixed numbers (union 1 to select 6, EQ 0 to NOT 8) that callers
// may store or print.
#ifndef RELALG_LANGUAGE_KEYWORDS_H
#define RELALG_LANGUAGE_KEYWORDS_H

#include <cstddef>
#include <cstdint>
#include <iterator>
#include <string_view>

namespace relalg {

// The kind of an expression node: an operator, or kTable for a word that names a stored table.
enum class ExprType : uint8_t { kTable = 0, kUnion, kMinus, kProduct, kProject, kRename, kSelect };
// The kind of a condition node; kUnknown for a word that is no condition word. The first six
// are the comparisons.
enum class LogType : uint8_t { kEq = 0, kNeq, kLt, kLte, kGt, kGte, kAnd, kOr, kNot, kUnknown };

inline constexpr std::string_view kOperatorWords[] = {"union",   "minus",  "product",
                                                      "project", "rename", "select"};
inline constexpr std::string_view kConditionWords[] = {"EQ",  "NEQ", "LT", "LTE", "GT",
                                                       "GTE", "AND", "OR", "NOT"};
static_assert(std::size(kOperatorWords) == static_cast<size_t>(ExprType::kSelect));
static_assert(std::size(kConditionWords) == static_cast<size_t>(LogType::kUnknown));

constexpr ExprType exprTypeOf(std::string_view word) {
  for (size_t k = 0; k < std::size(kOperatorWords); ++k) {
    if (word == kOperatorWords[k]) return static_cast<ExprType>(k + 1);
  }
  return ExprType::kTable;
}

constexpr LogType logTypeOf(std::string_view word) {
  for (size_t k = 0; k < std::size(kConditionWords); ++k) {
    if (word == kConditionWords[k]) return static_cast<LogType>(k);
  }
  return LogType::kUnknown;
}

// The keyword of an operator, or "table" for kTable.
constexpr std::string_view operatorWord(ExprType type) {
  return type == ExprType::kTable ? "table" : kOperatorWords[static_cast<size_t>(type) - 1];
}

constexpr bool isComparison(LogType type) { return type <= LogType::kGte; }

// The comparison that holds for (b, a) exactly when type holds for (a, b): a < b is b > a.
constexpr LogType mirrored(LogType type) {
  switch (type) {
    case LogType::kLt:
      return LogType::kGt;
    case LogType::kLte:
      return LogType::kGte;
    case LogType::kGt:
      return LogType::kLt;
    case LogType::kGte:
      return LogType::kLte;
    default:
      return type;
  }
}

// union, minus and product: the operators whose both operands are expressions.
constexpr bool takesTwoTables(ExprType type) {
  return type == ExprType::kUnion || type == ExprType::kMinus || type == ExprType::kProduct;
}

static_assert(exprTypeOf("union") == ExprType::kUnion && exprTypeOf("select") == ExprType::kSelect);
static_assert(exprTypeOf("Union") == ExprType::kTable);
static_assert(logTypeOf("EQ") == LogType::kEq && logTypeOf("NOT") == LogType::kNot);
static_assert(logTypeOf("GTE") == LogType::kGte && logTypeOf("eq") == LogType::kUnknown);

}  // namespace relalg

#endif  // RELALG_LANGUAGE_KEYWORDS_H
