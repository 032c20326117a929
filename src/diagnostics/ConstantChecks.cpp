#include "diagnostics/ConstantChecks.h"

#include <algorithm>
#include <functional>
#include <optional>
#include <string>

#include "base/Windows1250.h"
#include "diagnostics/TextMatch.h"

namespace relalg {

namespace {

// Quote marks that people type for apostrophes: double quotes, and the typographic quotes in
// UTF-8 and in Windows-1250.
constexpr std::string_view kQuoteMarks[] = {
    "\"",   "\xE2\x80\x9C", "\xE2\x80\x9D", "\xE2\x80\x9E", "\xE2\x80\x98", "\xE2\x80\x99",
    "\x84", "\x91",         "\x92",         "\x93",         "\x94"};
// Blanks that look like a blank: the no-break, figure, thin and narrow no-break spaces in UTF-8,
// and the no-break space of Windows-1250.
constexpr std::string_view kLookAlikeBlanks[] = {"\xC2\xA0", "\xE2\x80\x87", "\xE2\x80\x89",
                                                 "\xE2\x80\xAF", "\xA0"};

std::string records(size_t count) {
  return std::to_string(count) + (count == 1 ? " record" : " records");
}

std::string holdIt(size_t count) {
  return records(count) + (count == 1 ? " holds it" : " hold it");
}

// The text with every look-alike blank made a plain one: the UTF-8 ones in UTF-8 text, the
// Windows-1250 no-break space in other text.
std::string plainBlanks(std::string_view text) {
  const bool utf8 = isUtf8(text);
  std::string plain;
  for (size_t k = 0; k < text.size();) {
    const auto blank = std::find_if(
        std::begin(kLookAlikeBlanks), std::end(kLookAlikeBlanks), [&](std::string_view b) {
          return (b.size() > 1) == utf8 && text.substr(k).starts_with(b);
        });
    if (blank != std::end(kLookAlikeBlanks)) {
      plain.push_back(' ');
      k += blank->size();
    } else {
      plain.push_back(text[k++]);
    }
  }
  return plain;
}

bool equalIgnoringAsciiCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           const auto lower = [](char c) { return c >= 'A' && c <= 'Z' ? char(c - 'A' + 'a') : c; };
           return lower(x) == lower(y);
         });
}

// The text between a pair of quote marks around all of it, or nothing.
std::optional<std::string_view> insideQuoteMarks(std::string_view text) {
  for (std::string_view open : kQuoteMarks) {
    if (!text.starts_with(open)) continue;
    for (std::string_view close : kQuoteMarks) {
      if (text.size() >= open.size() + close.size() && text.ends_with(close)) {
        return text.substr(open.size(), text.size() - open.size() - close.size());
      }
    }
  }
  return std::nullopt;
}

class ConstantCheck {
 public:
  ConstantCheck(const SyntaxTree& tree, const Table& operand, bool resultIsEmpty,
                std::vector<ConditionSlip>& slips)
      : tree_(tree), operand_(operand), resultIsEmpty_(resultIsEmpty), slips_(slips) {}

  void check(int comparison);

 private:
  size_t countWhere(const StrColumn& column,
                    const std::function<bool(std::string_view)>& holds) const {
    size_t count = 0;
    for (size_t row = 0; row < static_cast<size_t>(column.getSize()); ++row) {
      count += holds(column.getVal(row)) ? 1 : 0;
    }
    return count;
  }
  size_t countEqual(const StrColumn& column, std::string_view value) const {
    return countWhere(column, [&](std::string_view v) { return v == value; });
  }
  void add(bool warning, std::string message) {
    slips_.push_back({warning, begin_, length_, std::move(message)});
  }
  // The first of these forms that some value of column equals, and how many records hold it.
  std::optional<std::pair<std::string, size_t>> firstHeld(const StrColumn& column,
                                                          const std::vector<std::string>& forms) {
    for (const std::string& form : forms) {
      if (const size_t count = countEqual(column, form); count > 0) return {{form, count}};
    }
    return std::nullopt;
  }
  bool checkQuotes(const StrColumn& column, const std::string& constant, std::string_view written);
  bool checkLetters(const StrColumn& column, const std::string& constant);
  bool checkColumnName(const StrColumn& column, const std::string& constant);
  void checkCase(const StrColumn& column, const std::string& constant);

  const SyntaxTree& tree_;
  const Table& operand_;
  bool resultIsEmpty_;
  std::vector<ConditionSlip>& slips_;
  size_t begin_ = 0;
  size_t length_ = 0;
};

void ConstantCheck::check(int comparison) {
  const LogType type = tree_.logType(comparison);
  if (type != LogType::kEq && type != LogType::kNeq) return;
  const int a = tree_.operand(comparison, 0);
  const int b = tree_.operand(comparison, 1);
  const Column* columnA = operand_.getColumnByName(tree_.text(a));
  const Column* columnB = operand_.getColumnByName(tree_.text(b));
  if ((columnA == nullptr) == (columnB == nullptr)) return;
  const Column& column = columnA != nullptr ? *columnA : *columnB;
  const int constantNode = columnA != nullptr ? b : a;
  const std::string constant(tree_.text(constantNode));
  if (column.getType() != Column::STRING || constant.find_first_of(",()") != std::string::npos) {
    return;
  }
  const StrColumn& strings = asStrings(column);
  if (countEqual(strings, constant) > 0 || operand_.recordCount() == 0) return;
  begin_ = tree_.begin(constantNode);
  length_ = tree_.end(constantNode) - begin_;
  const std::string_view written = std::string_view(tree_.line()).substr(begin_, length_);
  if (checkQuotes(strings, constant, written) || checkLetters(strings, constant) ||
      checkColumnName(strings, constant)) {
    return;
  }
  checkCase(strings, constant);
}

// Apostrophes where the values have none or the reverse, other quote marks, and blanks dropped
// because they stood outside apostrophes.
bool ConstantCheck::checkQuotes(const StrColumn& column, const std::string& constant,
                                std::string_view written) {
  const std::string name = column.getName();
  if (const std::optional<std::string_view> inside = insideQuoteMarks(written)) {
    std::vector<std::string> forms{"'" + std::string(*inside) + "'"};
    if (inside->find(' ') == std::string_view::npos)
      forms.insert(forms.begin(), std::string(*inside));
    if (const auto held = firstHeld(column, forms)) {
      add(true,
          "quotes other than apostrophes are ordinary characters here, and blanks outside "
          "apostrophes are dropped: this compares with " +
              constant + "; write " + held->first + " (" + holdIt(held->second) + ")");
      return true;
    }
    return false;
  }
  bool looseBlank = false;
  bool quoted = false;
  for (char c : written) {
    if (c == '\'') quoted = !quoted;
    looseBlank |= c == ' ' && !quoted;
  }
  if (looseBlank) {
    if (const auto held = firstHeld(column, {"'" + std::string(written) + "'"})) {
      add(true, "blanks outside apostrophes are dropped: this compares with " + constant +
                    "; write " + held->first + " (" + holdIt(held->second) + ")");
      return true;
    }
  }
  const bool inApostrophes = constant.size() >= 2 && constant.front() == '\'' &&
                             constant.back() == '\'' &&
                             std::count(constant.begin(), constant.end(), '\'') == 2;
  const std::string other =
      inApostrophes ? constant.substr(1, constant.size() - 2) : "'" + constant + "'";
  if (const size_t count = countEqual(column, other); count > 0) {
    add(true, constant + " matches no value of " + name + ", whose values are written " +
                  (inApostrophes ? "without" : "in") + " apostrophes; " + other + " matches " +
                  records(count));
    return true;
  }
  return false;
}

// Letters in the other encoding, and blanks that only look like blanks.
bool ConstantCheck::checkLetters(const StrColumn& column, const std::string& constant) {
  const bool ascii = std::all_of(constant.begin(), constant.end(),
                                 [](char c) { return static_cast<unsigned char>(c) < 0x80; });
  if (!ascii) {
    const bool utf8 = isUtf8(constant);
    const std::optional<std::string> converted =
        utf8 ? utf8ToWindows1250(constant) : std::optional(windows1250ToUtf8(constant));
    if (converted) {
      if (const size_t count = countEqual(column, *converted); count > 0) {
        add(true, std::string("the constant is written in ") + (utf8 ? "UTF-8" : "Windows-1250") +
                      " and the values of " + column.getName() + " in " +
                      (utf8 ? "Windows-1250" : "UTF-8") +
                      ", so it matches none of them; in their encoding it matches " +
                      records(count) + ": save the expression line and the tables alike");
        return true;
      }
    }
  }
  const std::string plain = plainBlanks(constant);
  const size_t count =
      countWhere(column, [&](std::string_view value) { return plainBlanks(value) == plain; });
  if (count > 0) {
    add(true, constant + " matches no value of " + column.getName() +
                  " because of a no-break space (or a blank that looks like one) in it or in the "
                  "values; with plain blanks it matches " +
                  records(count));
    return true;
  }
  return false;
}

// A constant that misspells the name of another column of the same kind (the closest such name),
// where comparing with that column holds for some records.
bool ConstantCheck::checkColumnName(const StrColumn& column, const std::string& constant) {
  const StrColumn* closest = nullptr;
  size_t closestDistance = 3;
  for (const auto& other : operand_.columns()) {
    if (other.get() == &column || other->getType() != Column::STRING) continue;
    const size_t distance = editDistance(constant, other->getName());
    if (distance > 0 && distance < closestDistance && constant.size() >= 3) {
      closest = &asStrings(*other);
      closestDistance = distance;
    }
  }
  if (closest == nullptr) return false;
  size_t count = 0;
  for (size_t row = 0; row < static_cast<size_t>(column.getSize()); ++row) {
    count += column.getVal(row) == closest->getVal(row) ? 1 : 0;
  }
  if (count == 0) return false;
  add(true, constant + " is no column, so it is compared as a constant, which no value of " +
                column.getName() + " equals; did you mean the column " + closest->getName() +
                "? Comparing with it holds for " + records(count));
  return true;
}

void ConstantCheck::checkCase(const StrColumn& column, const std::string& constant) {
  std::optional<std::string_view> example;
  const size_t count = countWhere(column, [&](std::string_view value) {
    const bool same = equalIgnoringAsciiCase(value, constant);
    if (same && !example) example = value;
    return same;
  });
  if (count == 0) return;
  // Over an empty result the other case is most likely what was meant.
  add(resultIsEmpty_, "no value of " + column.getName() + " is " + constant + "; " + holdIt(count) +
                          " in another case, such as " + std::string(*example) +
                          " (values are compared byte by byte)");
}

}  // namespace

std::vector<ConditionSlip> checkConstants(const SyntaxTree& tree, int select, const Table& operand,
                                          bool resultIsEmpty) {
  std::vector<ConditionSlip> slips;
  const int condition = tree.operand(select, 1);
  if (condition == SyntaxTree::kNoNode) return slips;
  ConstantCheck check(tree, operand, resultIsEmpty, slips);
  for (int node = condition; node < tree.subtreeEnd(condition); ++node) {
    if (tree.isCondition(node) && tree.operand(node, 0) != SyntaxTree::kNoNode &&
        isComparison(tree.logType(node))) {
      check.check(node);
    }
  }
  return slips;
}

}  // namespace relalg
