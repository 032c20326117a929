#include "diagnostics/ExpressionChecks.h"

#include <algorithm>
#include <cctype>
#include <limits>
#include <string_view>

#include "diagnostics/TextMatch.h"
#include "language/Keywords.h"

namespace relalg {

namespace {

constexpr uint32_t kNone = std::numeric_limits<uint32_t>::max();

// The keyword that word spells in another case, or empty.
template <size_t N>
std::string_view keywordInOtherCase(std::string_view word, const std::string_view (&keywords)[N]) {
  for (std::string_view keyword : keywords) {
    if (keyword.size() != word.size() || keyword == word) continue;
    bool same = true;
    for (size_t k = 0; k < word.size() && same; ++k) {
      same = std::tolower(static_cast<unsigned char>(word[k])) ==
             std::tolower(static_cast<unsigned char>(keyword[k]));
    }
    if (same) return keyword;
  }
  return {};
}

class ExpressionChecks {
 public:
  explicit ExpressionChecks(const SyntaxTree& tree) : tree_(tree), line_(tree.line()) {}

  std::vector<Finding> run();

 private:
  void checkCommandWord(int node);
  void checkSplit(int node);
  void checkMissingClose(int node);
  void checkInfixConnective(int node);
  void checkOperatorSign(int node);
  void checkExtraOperands(int node, int operand, std::string_view takes);
  void checkBrackets();
  void checkTabs();
  void pairMeantBrackets();
  void note(size_t begin, size_t length, std::string message) {
    findings_.push_back({begin, length == 0 ? 1 : length, std::move(message)});
  }

  const SyntaxTree& tree_;
  std::string_view line_;
  // A guess at what the writer meant, not the evaluator's reading: the line's brackets paired as
  // if apostrophes protected them (the evaluator pairs every bracket of a node, quoted or not).
  // Per byte of the line: whether an odd number of apostrophes precede it; per '(' outside
  // apostrophes, the ')' outside apostrophes that closes it, or kNone; and the brackets outside
  // apostrophes that pair with none, in the order of the line.
  std::vector<bool> oddQuotesBefore_;
  std::vector<uint32_t> partners_;
  std::vector<uint32_t> closingNothing_;
  std::vector<uint32_t> neverClosed_;
  bool missingClose_ = false;
  std::vector<Finding> findings_;
};

std::vector<Finding> ExpressionChecks::run() {
  if (tree_.fault(SyntaxTree::root()) == SyntaxTree::Fault::kTooLong) return {};
  pairMeantBrackets();
  for (int node = 0; node < tree_.size(); ++node) {
    if (!tree_.isExpression(node) && !tree_.isCondition(node)) continue;
    checkCommandWord(node);
    if (tree_.fault(node) == SyntaxTree::Fault::kNone &&
        tree_.operand(node, 0) != SyntaxTree::kNoNode) {
      checkSplit(node);
    }
    if (tree_.isCondition(node) && tree_.fault(node) == SyntaxTree::Fault::kNoOperand) {
      checkOperatorSign(node);
    }
  }
  checkBrackets();
  checkTabs();
  return std::move(findings_);
}

void ExpressionChecks::pairMeantBrackets() {
  oddQuotesBefore_.assign(line_.size() + 1, false);
  partners_.assign(line_.size(), kNone);
  std::vector<uint32_t> open;
  bool quoted = false;
  for (uint32_t k = 0; k < line_.size(); ++k) {
    oddQuotesBefore_[k] = quoted;
    const char c = line_[k];
    if (c == '\'') quoted = !quoted;
    if (quoted || c == '\'') continue;
    if (c == '(') open.push_back(k);
    if (c == ')' && open.empty()) closingNothing_.push_back(k);
    if (c == ')' && !open.empty()) {
      partners_[open.back()] = k;
      open.pop_back();
    }
  }
  oddQuotesBefore_[line_.size()] = quoted;
  neverClosed_ = std::move(open);
}

void ExpressionChecks::checkCommandWord(int node) {
  if (!tree_.bracketed(node)) return;
  const bool isOperator = tree_.isExpression(node);
  if (isOperator && tree_.exprType(node) != ExprType::kTable) return;
  const std::string_view command = tree_.command(node);
  const std::string_view other = isOperator ? keywordInOtherCase(command, kOperatorWords)
                                            : keywordInOtherCase(command, kConditionWords);
  if (other.empty()) return;
  note(tree_.begin(node), command.size(),
       std::string(command) +
           (isOperator ? " is no operator: operators are written in lower case"
                       : " is no condition: conditions are written in upper case") +
           "; did you mean " + std::string(other) + "?");
}

// A node that is split into operands: its closing bracket, and the operands that nothing reads.
void ExpressionChecks::checkSplit(int node) {
  checkMissingClose(node);
  if (tree_.isExpression(node)) {
    const ExprType type = tree_.exprType(node);
    if (takesTwoTables(type)) checkExtraOperands(node, 1, "two operands");
    if (type == ExprType::kSelect) checkExtraOperands(node, 1, "one condition");
    return;
  }
  const LogType type = tree_.logType(node);
  if (type == LogType::kAnd || type == LogType::kOr) checkExtraOperands(node, 1, "two conditions");
  if (isComparison(type)) {
    checkExtraOperands(node, 1, "two operands");
    checkInfixConnective(node);
  }
  if (type == LogType::kNot && tree_.commaPos(node) != std::string_view::npos) {
    const std::string_view text = tree_.text(node);
    const size_t comma = tree_.lineOffset(text.substr(tree_.commaPos(node)));
    note(comma, tree_.lineOffset(text.substr(text.size() - 1)) - comma,
         "NOT takes one condition: what follows this comma is ignored");
  }
}

// A connective written between two comparisons, as in EQ(a, 1) AND GT(b, 2): the first comparison
// takes all the rest as its second operand.
void ExpressionChecks::checkInfixConnective(int node) {
  const std::string_view text = tree_.text(node);
  for (std::string_view word : {"AND", "OR"}) {
    for (size_t at = text.find(')'); at != std::string_view::npos; at = text.find(')', at + 1)) {
      // The word, then a condition: a bracket, or a word and its bracket.
      const std::string_view after = text.substr(at + 1);
      const std::string_view rest = after.substr(std::min(word.size(), after.size()));
      const size_t bracket = rest.find_first_of("(,)");
      if (after.size() <= word.size() || !equalIgnoringCase(after.substr(0, word.size()), word) ||
          bracket == std::string_view::npos || rest[bracket] != '(') {
        continue;
      }
      note(tree_.lineOffset(after), word.size(),
           std::string(after.substr(0, word.size())) +
               " between two conditions is read as part of a constant: write " + std::string(word) +
               "(" + std::string(text.substr(0, at + 1)) + ", " +
               std::string(after.substr(word.size())) + ")");
      return;
    }
  }
}

// A comparison written with an operator sign, as in szak = Informatika: a condition without
// brackets, which the run rejects without a message.
void ExpressionChecks::checkOperatorSign(int node) {
  static constexpr struct {
    std::string_view sign;
    std::string_view word;
  } kSigns[] = {{"<>", "NEQ"}, {"!=", "NEQ"}, {"<=", "LTE"}, {">=", "GTE"},
                {"=", "EQ"},   {"<", "LT"},   {">", "GT"}};
  const std::string_view text = tree_.text(node);
  for (const auto& [sign, word] : kSigns) {
    const size_t at = text.find(sign);
    if (at == std::string_view::npos || at == 0 || at + sign.size() == text.size()) continue;
    note(tree_.lineOffset(text.substr(at)), sign.size(),
         "a condition is written with its word in front: " + std::string(word) + "(" +
             std::string(text.substr(0, at)) + ", " + std::string(text.substr(at + sign.size())) +
             ")");
    return;
  }
}

void ExpressionChecks::checkMissingClose(int node) {
  const std::string_view text = tree_.text(node);
  const size_t last = text.size() - 1;
  if (text[last] == ')') return;
  size_t token = last;
  while (token > tree_.bracketPos(node) + 1 &&
         std::string_view(" ,()").find(text[token - 1]) == std::string_view::npos) {
    --token;
  }
  note(tree_.lineOffset(text.substr(last)), 1,
       "')' is missing: the '" + std::string(1, text[last]) + "' of \"" +
           std::string(text.substr(token, last + 1 - token)) +
           "\" is taken as the closing bracket of " + std::string(tree_.command(node)));
  missingClose_ = true;
}

// A comma outside brackets and apostrophes in the node's last operand starts operands that
// nothing reads. A guess at what the writer meant: the evaluator splits at commas inside
// apostrophes too, but a writer who put a comma in apostrophes meant it as part of a constant. A
// bracket pair is passed over whole where the operand's apostrophes pair up as the line's do.
void ExpressionChecks::checkExtraOperands(int node, int operand, std::string_view takes) {
  const std::string_view text = tree_.rawText(tree_.operand(node, operand));
  if (text.empty()) return;
  const size_t begin = tree_.lineOffset(text);
  const size_t end = tree_.lineOffset(text.substr(text.size() - 1)) + 1;
  const bool quotesAsInLine = !oddQuotesBefore_[begin];
  long depth = 0;
  bool quoted = false;
  for (size_t k = begin; k < end; ++k) {
    const char c = line_[k];
    if (c == '\'') quoted = !quoted;
    if (quoted) continue;
    if (c == '(' && quotesAsInLine && depth == 0) {
      if (partners_[k] == kNone || partners_[k] >= end) return;  // nested to the end
      k = partners_[k];
      continue;
    }
    if (c == '(') ++depth;
    if (c == ')' && --depth < 0) return;  // the operand is cut from a broken one
    if (c == ',' && depth == 0) {
      note(k, end - k,
           std::string(tree_.command(node)) + " takes " + std::string(takes) +
               ": what follows this comma is ignored");
      return;
    }
  }
}

// Brackets outside apostrophes that do not pair up in the meant pairing: each closing bracket
// without an opening one, and (unless a missing closing bracket was reported already) each
// opening one never closed. An odd number of apostrophes is reported instead, at the last one.
void ExpressionChecks::checkBrackets() {
  if (oddQuotesBefore_[line_.size()]) {
    // Then "outside apostrophes" means nothing: the unclosed apostrophe is the slip.
    note(line_.rfind('\''), 1,
         "this apostrophe is never closed: the rest of the line is one quoted stretch");
    return;
  }
  for (size_t k : closingNothing_) note(k, 1, "this ')' closes no bracket");
  if (missingClose_) return;
  for (size_t k : neverClosed_) note(k, 1, "this '(' is never closed");
}

void ExpressionChecks::checkTabs() {
  bool quoted = false;
  for (size_t k = 0; k < line_.size(); ++k) {
    if (line_[k] == '\'') quoted = !quoted;
    if (line_[k] == '\t' && !quoted) {
      note(k, 1, "a tab is no blank: it stays part of the name or constant around it");
    }
  }
}

}  // namespace

std::vector<Finding> checkExpression(const SyntaxTree& tree) {
  return ExpressionChecks(tree).run();
}

}  // namespace relalg
