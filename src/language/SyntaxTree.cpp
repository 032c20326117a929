#include "language/SyntaxTree.h"

#include <algorithm>
#include <cctype>
#include <limits>

#include "language/RelAlgExpr.h"

namespace relalg {

namespace {

constexpr uint32_t kNone = std::numeric_limits<uint32_t>::max();

// The keyword that word spells in another case, or empty.
template <class Keywords>
std::string_view keywordInOtherCase(std::string_view word, const Keywords& keywords) {
  for (const auto& keyword : keywords) {
    if (keyword.word.size() != word.size() || keyword.word == word) continue;
    bool same = true;
    for (size_t k = 0; k < word.size() && same; ++k) {
      same = std::tolower(static_cast<unsigned char>(word[k])) ==
             std::tolower(static_cast<unsigned char>(keyword.word[k]));
    }
    if (same) return keyword.word;
  }
  return {};
}

}  // namespace

SyntaxTree::SyntaxTree(std::string_view line) : line_(line) {
  bool quoted = false;
  for (uint32_t k = 0; k < line.size(); ++k) {
    if (line[k] == ' ' && !quoted) continue;
    if (line[k] == '\'') quoted = !quoted;
    kept_.push_back(k);
  }
  match_.assign(kept_.size(), kNone);
  std::vector<uint32_t> open;
  for (uint32_t k = 0; k < kept_.size(); ++k) {
    if (at(k) == '(') open.push_back(k);
    if (at(k) == ')' && !open.empty()) {
      match_[open.back()] = k;
      match_[k] = open.back();
      open.pop_back();
    }
  }
  std::vector<Work> pending{{Role::kExpression, 0, static_cast<uint32_t>(kept_.size()), -1}};
  while (!pending.empty()) {
    const Work work = pending.back();
    pending.pop_back();
    parse(work, pending);
  }
  checkBrackets();
  checkTabs();
}

void SyntaxTree::note(size_t begin, size_t length, std::string message) {
  findings_.push_back({begin, length == 0 ? 1 : length, std::move(message)});
}

std::string SyntaxTree::text(int index) const {
  const Node& n = node(index);
  std::string text;
  text.reserve(n.hi - n.lo);
  for (uint32_t k = n.lo; k < n.hi; ++k) text.push_back(at(k));
  return text;
}

size_t SyntaxTree::begin(int index) const {
  const Node& n = node(index);
  if (n.lo < n.hi) return kept_[n.lo];
  return n.lo < kept_.size() ? kept_[n.lo] : line_.size();
}

size_t SyntaxTree::end(int index) const {
  const Node& n = node(index);
  return n.lo < n.hi ? kept_[n.hi - 1] + 1 : begin(index);
}

int SyntaxTree::parse(const Work& work, std::vector<Work>& pending) {
  Node n;
  n.role = work.role;
  n.parent = work.parent;
  n.depth = work.parent < 0 ? 0 : node(work.parent).depth + 1;
  n.lo = work.lo;
  n.hi = work.hi;
  while (n.hi - n.lo >= 2 && at(n.lo) == '(' && at(n.hi - 1) == ')') {
    ++n.lo;
    --n.hi;
  }
  uint32_t bracket = n.lo;
  while (bracket < n.hi && at(bracket) != '(') ++bracket;
  n.bracketed = bracket < n.hi;
  for (uint32_t k = n.lo; k < bracket; ++k) n.command.push_back(at(k));
  n.malformed = n.lo == n.hi;
  if (n.role == Role::kExpression) {
    n.code = kTable;
    for (const OperatorKeyword& keyword : kOperatorKeywords) {
      if (n.command == keyword.word) n.code = keyword.code;
    }
  } else if (n.role == Role::kCondition) {
    n.code = kUnknownCondition;
    for (const ConditionKeyword& keyword : kConditionKeywords) {
      if (n.command == keyword.word) n.code = keyword.code;
    }
    n.malformed |= !n.bracketed;
  }
  const int index = static_cast<int>(nodes_.size());
  nodes_.push_back(std::move(n));
  if (work.role == Role::kExpression) expressionOrder_.push_back(index);
  if (work.parent >= 0) nodes_[static_cast<size_t>(work.parent)].children.push_back(index);
  const Node& added = node(index);
  if (added.role == Role::kExpression || added.role == Role::kCondition) checkCommandWord(added);
  const bool descends = (added.role == Role::kExpression && added.code != kTable) ||
                        (added.role == Role::kCondition && added.code != kUnknownCondition);
  if (descends && added.bracketed) splitOperands(index, pending);
  return index;
}

// The kept index of the node's first comma outside inner brackets, as the evaluator finds it,
// or kNone. broken tells that a bracket closes the node's own bracket before any such comma.
size_t SyntaxTree::findComma(const Node& n, bool isNot, bool& broken) const {
  broken = false;
  long depth = 0;
  uint32_t pos = n.lo + static_cast<uint32_t>(n.command.size()) + 1;
  while (pos < n.hi) {
    const char c = at(pos);
    if (depth == 0 && c == ',') return pos;
    if (c == '(' && depth >= 0) {
      if (match_[pos] == kNone || match_[pos] >= n.hi) return kNone;
      pos = match_[pos] + 1;
      continue;
    }
    if (c == '(') ++depth;
    if (c == ')' && --depth < 0 && !isNot) {
      broken = true;
      return kNone;
    }
    ++pos;
  }
  return kNone;
}

// Splits a node at its first comma and queues the operands that the node's kind reads, the first
// operand to be parsed first.
void SyntaxTree::splitOperands(int index, std::vector<Work>& pending) {
  Node& n = nodes_[static_cast<size_t>(index)];
  const bool isNot = n.role == Role::kCondition && n.code == kNot;
  bool broken = false;
  const size_t comma = findComma(n, isNot, broken);
  if (broken || (comma == kNone && !isNot)) {
    n.malformed = true;
    return;
  }
  const uint32_t bracket = n.lo + static_cast<uint32_t>(n.command.size());
  const uint32_t last = n.hi - 1;
  if (at(last) != ')') {
    uint32_t token = last;
    while (token > bracket + 1 &&
           std::string_view(" ,()").find(at(token - 1)) == std::string::npos) {
      --token;
    }
    std::string taken;
    for (uint32_t k = token; k <= last; ++k) taken.push_back(at(k));
    note(kept_[last], 1,
         "')' is missing: the '" + std::string(1, at(last)) + "' of \"" + taken +
             "\" is taken as the closing bracket of " + n.command);
    missingClose_ = true;
  }
  // As in the evaluator, an operand that would end before it starts is empty.
  const uint32_t leftEnd =
      std::max(bracket + 1, comma != kNone ? static_cast<uint32_t>(comma) : last);
  const uint32_t rightLo = comma != kNone ? std::min(static_cast<uint32_t>(comma) + 1, last) : last;
  const Role role = n.role;
  const int code = n.code;
  std::vector<Work> operands;
  if (role == Role::kExpression) {
    operands.push_back({Role::kExpression, bracket + 1, leftEnd, index});
    if (code == kUnion || code == kMinus || code == kProduct) {
      checkExtraOperands(n, rightLo, last, "two operands");
      operands.push_back({Role::kExpression, rightLo, last, index});
    } else if (code == kSelect) {
      checkExtraOperands(n, rightLo, last, "one condition");
      operands.push_back({Role::kCondition, rightLo, last, index});
    } else {
      operands.push_back({Role::kList, rightLo, last, index});
    }
  } else if (code == kAnd || code == kOr) {
    checkExtraOperands(n, rightLo, last, "two conditions");
    operands.push_back({Role::kCondition, bracket + 1, leftEnd, index});
    operands.push_back({Role::kCondition, rightLo, last, index});
  } else if (code == kNot) {
    if (comma != kNone) {
      note(kept_[comma], kept_[last] - kept_[comma],
           "NOT takes one condition: what follows this comma is ignored");
    }
    operands.push_back({Role::kCondition, bracket + 1, leftEnd, index});
  } else {
    checkExtraOperands(n, rightLo, last, "two operands");
    operands.push_back({Role::kComparand, bracket + 1, leftEnd, index});
    operands.push_back({Role::kComparand, rightLo, last, index});
  }
  for (auto operand = operands.rbegin(); operand != operands.rend(); ++operand) {
    pending.push_back(*operand);
  }
}

// A comma outside brackets and apostrophes in the last operand starts operands that nothing reads.
void SyntaxTree::checkExtraOperands(const Node& n, uint32_t lo, uint32_t hi,
                                    std::string_view takes) {
  long depth = 0;
  bool quoted = false;
  for (uint32_t k = lo; k < hi; ++k) {
    const char c = at(k);
    if (c == '\'') quoted = !quoted;
    if (quoted) continue;
    if (c == '(') ++depth;
    if (c == ')' && --depth < 0) return;  // the operand is cut from a broken one, reported above
    if (c == ',' && depth == 0) {
      note(kept_[k], kept_[hi - 1] + 1 - kept_[k],
           n.command + " takes " + std::string(takes) + ": what follows this comma is ignored");
      return;
    }
  }
}

void SyntaxTree::checkCommandWord(const Node& n) {
  if (!n.bracketed) return;
  const bool isOperator = n.role == Role::kExpression;
  if (isOperator && n.code != kTable) return;
  const std::string_view other = isOperator ? keywordInOtherCase(n.command, kOperatorKeywords)
                                            : keywordInOtherCase(n.command, kConditionKeywords);
  if (other.empty()) return;
  note(kept_[n.lo], n.command.size(),
       n.command +
           (isOperator ? " is no operator: operators are written in lower case"
                       : " is no condition: conditions are written in upper case") +
           "; did you mean " + std::string(other) + "?");
}

// Brackets outside apostrophes that do not pair up: each closing bracket without an opening one,
// and (unless a missing closing bracket was reported already) each opening one never closed. An
// odd number of apostrophes is reported instead, at the last one.
void SyntaxTree::checkBrackets() {
  const size_t quotes = static_cast<size_t>(std::count(line_.begin(), line_.end(), '\''));
  if (quotes % 2 != 0) {
    // Then "outside apostrophes" means nothing: the unclosed apostrophe is the slip.
    note(line_.rfind('\''), 1,
         "this apostrophe is never closed: the rest of the line is one quoted stretch");
    return;
  }
  std::vector<size_t> open;
  bool quoted = false;
  for (size_t k = 0; k < line_.size(); ++k) {
    const char c = line_[k];
    if (c == '\'') quoted = !quoted;
    if (quoted) continue;
    if (c == '(') open.push_back(k);
    if (c == ')') {
      if (open.empty()) {
        note(k, 1, "this ')' closes no bracket");
      } else {
        open.pop_back();
      }
    }
  }
  if (missingClose_) return;
  for (size_t k : open) note(k, 1, "this '(' is never closed");
}

void SyntaxTree::checkTabs() {
  bool quoted = false;
  for (size_t k = 0; k < line_.size(); ++k) {
    if (line_[k] == '\'') quoted = !quoted;
    if (line_[k] == '\t' && !quoted) {
      note(k, 1, "a tab is no blank: it stays part of the name or constant around it");
    }
  }
}

}  // namespace relalg
