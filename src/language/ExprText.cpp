#include "language/ExprText.h"

#include <algorithm>
#include <limits>

#include "base/AdbException.h"
#include "base/Messages.h"

namespace relalg {

namespace {

constexpr uint32_t kUnmatched = std::numeric_limits<uint32_t>::max();

}  // namespace

ExprText::ExprText(std::string text, bool cleaned) : text_(std::move(text)), cleaned_(cleaned) {
  if (text_.size() >= kUnmatched) throw AdbException(message(MessageId::kExpressionTooLong));
  for (uint32_t pos = 0; pos < text_.size(); ++pos) {
    if (text_[pos] == '\'') quotes_.push_back(pos);
    if (text_[pos] == ' ') blanks_.push_back(pos);
  }
}

// Pairs the brackets when a node first asks: a text that is only cleaned into another one
// never needs its pairs.
void ExprText::indexBrackets() const {
  std::vector<uint32_t> pending;  // ordinals of the brackets still open
  for (uint32_t pos = 0; pos < text_.size(); ++pos) {
    if (text_[pos] == '(') {
      pending.push_back(static_cast<uint32_t>(opens_.size()));
      opens_.push_back(pos);
      closes_.push_back(kUnmatched);
    } else if (text_[pos] == ')' && !pending.empty()) {
      closes_[pending.back()] = pos;
      pending.pop_back();
    }
  }
}

size_t ExprText::closingBracket(size_t open) const {
  std::call_once(bracketsIndexed_, [this] { indexBrackets(); });
  auto it = std::lower_bound(opens_.begin(), opens_.end(), open);
  if (it == opens_.end() || *it != open) return npos;
  uint32_t close = closes_[static_cast<size_t>(it - opens_.begin())];
  return close == kUnmatched ? npos : close;
}

bool ExprText::oddQuotesBefore(size_t pos) const {
  return (std::lower_bound(quotes_.begin(), quotes_.end(), pos) - quotes_.begin()) % 2 != 0;
}

bool ExprText::hasBlank(size_t begin, size_t end) const {
  auto it = std::lower_bound(blanks_.begin(), blanks_.end(), begin);
  return it != blanks_.end() && *it < end;
}

ExprSource::ExprSource(std::string text)
    : ExprSource(std::make_shared<const ExprText>(std::move(text), false), 0, 0) {
  end_ = text_->text().size();
}

}  // namespace relalg
