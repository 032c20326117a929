#include "language/RelAlgExpr.h"

#include <algorithm>
#include <stdexcept>

#include "base/AdbException.h"
#include "base/Messages.h"

namespace relalg {

namespace {

constexpr size_t npos = std::string_view::npos;

// Whether dropping the blanks outside apostrophes could change the text of source: not when it
// has no blank, nor when it starts outside quotes in a text whose blanks all lie inside them.
bool mayHoldLooseBlanks(const ExprSource& source) {
  const ExprText& text = *source.text();
  if (!text.hasBlank(source.begin(), source.end())) return false;
  return !text.cleaned() || text.oddQuotesBefore(source.begin());
}

ExprSource withoutLooseBlanks(const ExprSource& source) {
  std::string kept;
  kept.reserve(source.size());
  bool inQuotes = false;
  for (char c : source.view()) {
    if (c == ' ' && !inQuotes) continue;
    if (c == '\'') inQuotes = !inQuotes;
    kept.push_back(c);
  }
  size_t size = kept.size();
  return ExprSource(std::make_shared<const ExprText>(std::move(kept), true), 0, size);
}

}  // namespace

ExprSource clean(const ExprSource& source) {
  ExprSource kept = mayHoldLooseBlanks(source) ? withoutLooseBlanks(source) : source;
  std::string_view text = kept.view();
  if (text.empty()) throw std::out_of_range("clean: empty expression");
  size_t pairs = 0;
  while (text[pairs] == '(' && text[text.size() - 1 - pairs] == ')') ++pairs;
  return ExprSource(kept.text(), kept.begin() + pairs, kept.end() - pairs);
}

std::string clean(std::string text) { return clean(ExprSource(std::move(text))).str(); }

RelAlgExpr::RelAlgExpr(std::string text) : RelAlgExpr(ExprSource(std::move(text))) {}

RelAlgExpr::RelAlgExpr(const ExprSource& source) : node_(clean(source)) {
  bracketPos_ = node_.view().find('(');
  if (bracketPos_ == npos) {
    bracketPos_ = node_.size();
    return;
  }
  findComma(source.view());
}

// Scans from the node's opening bracket for the first comma outside inner brackets. An inner
// bracket pair is skipped whole: nothing inside it can be such a comma or close the node.
void RelAlgExpr::findComma(std::string_view argument) {
  const bool isNot = command() == kConditionKeywords[kNot].word;
  const std::string_view text = node_.view();
  long depth = 0;
  size_t pos = bracketPos_ + 1;
  while (pos < text.size()) {
    char c = text[pos];
    if (depth == 0 && c == ',') {
      commaPos_ = pos;
      break;
    }
    if (c == '(' && depth >= 0) {
      size_t close = node_.text()->closingBracket(node_.begin() + pos);
      if (close == npos || close >= node_.end()) break;  // the rest is nested deeper
      pos = close - node_.begin() + 1;
      continue;
    }
    if (c == '(') ++depth;
    if (c == ')' && --depth < 0 && !isNot) {
      throw AdbException(message(MessageId::kBadBracketing, {argument}));
    }
    ++pos;
  }
  if (commaPos_ == npos && !isNot) {
    throw AdbException(message(MessageId::kBadExpression, {argument}));
  }
}

int RelAlgExpr::getType() const {
  const std::string_view word = command();
  for (const OperatorKeyword& keyword : kOperatorKeywords) {
    if (word == keyword.word) return keyword.code;
  }
  return kTable;
}

int RelAlgExpr::getLogType() const {
  const std::string_view word = command();
  for (const ConditionKeyword& keyword : kConditionKeywords) {
    if (word == keyword.word) return keyword.code;
  }
  return kUnknownCondition;
}

ExprSource RelAlgExpr::leftSource() const {
  if (bracketPos_ >= node_.size()) throw std::out_of_range("RelAlgExpr: no operand");
  size_t begin = node_.begin() + bracketPos_ + 1;
  size_t end = commaPos_ != npos ? node_.begin() + commaPos_ : node_.end() - 1;
  return ExprSource(node_.text(), begin, std::max(begin, end));
}

ExprSource RelAlgExpr::rightSource() const {
  size_t end = node_.size() == 0 ? node_.end() : node_.end() - 1;
  size_t begin = commaPos_ != npos ? node_.begin() + commaPos_ + 1 : node_.begin();
  return ExprSource(node_.text(), begin, std::max(begin, end));
}

}  // namespace relalg
