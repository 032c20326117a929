// ExprText is one expression text shared by every node cut from it, with the positions of its
// brackets, apostrophes and blanks. A node looks these up instead of scanning the text again, so
// parsing an expression costs time in proportion to its length, however deeply it is nested.
// ExprSource is one stretch of such a text: the text of an expression or of one of its operands.
#ifndef RELALG_LANGUAGE_EXPRTEXT_H
#define RELALG_LANGUAGE_EXPRTEXT_H

#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

namespace relalg {

class ExprText {
 public:
  static constexpr size_t npos = std::string_view::npos;

  // cleaned tells that every blank of the text lies inside apostrophes, counted from its start.
  ExprText(std::string text, bool cleaned);

  std::string_view text() const { return text_; }
  bool cleaned() const { return cleaned_; }
  // The position of the bracket that closes the one opened at open, or npos when none does.
  size_t closingBracket(size_t open) const;
  // Whether an odd number of apostrophes stands before pos.
  bool oddQuotesBefore(size_t pos) const;
  bool hasBlank(size_t begin, size_t end) const;

 private:
  void indexBrackets() const;

  std::string text_;
  bool cleaned_;
  std::vector<uint32_t> quotes_;            // positions of apostrophes, ascending
  std::vector<uint32_t> blanks_;            // positions of blanks, ascending
  mutable std::once_flag bracketsIndexed_;  // nodes on several threads may ask at once
  mutable std::vector<uint32_t> opens_;     // positions of opening brackets, ascending
  mutable std::vector<uint32_t> closes_;    // closes_[k] closes opens_[k], or kUnmatched
};

class ExprSource {
 public:
  // A text of its own, as written by the user.
  explicit ExprSource(std::string text);
  ExprSource(std::shared_ptr<const ExprText> text, size_t begin, size_t end)
      : text_(std::move(text)), begin_(begin), end_(end) {}

  std::string_view view() const { return text_->text().substr(begin_, end_ - begin_); }
  std::string str() const { return std::string(view()); }
  size_t size() const { return end_ - begin_; }
  const std::shared_ptr<const ExprText>& text() const { return text_; }
  size_t begin() const { return begin_; }
  size_t end() const { return end_; }

 private:
  std::shared_ptr<const ExprText> text_;
  size_t begin_;
  size_t end_;
};

}  // namespace relalg

#endif  // RELALG_LANGUAGE_EXPRTEXT_H
