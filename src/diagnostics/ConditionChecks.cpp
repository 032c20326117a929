#include "diagnostics/ConditionChecks.h"

#include <algorithm>
#include <string_view>

#include "diagnostics/TextMatch.h"
#include "language/StringTokenizer.h"

namespace relalg {

namespace {

class ComparandCheck {
 public:
  ComparandCheck(const SyntaxTree& tree, const std::vector<ShownColumn>& columns,
                 std::vector<ConditionSlip>& slips)
      : tree_(tree), columns_(columns), slips_(slips) {}

  void check(int comparand, int other);

 private:
  const ShownColumn* columnNamed(std::string_view name) const {
    auto found = std::find_if(columns_.begin(), columns_.end(),
                              [&](const ShownColumn& column) { return column.name == name; });
    return found == columns_.end() ? nullptr : &*found;
  }
  void add(bool warning, std::string message) {
    slips_.push_back({warning, begin_, length_, std::move(message)});
  }
  void checkTwoConstants(const std::string& text);
  void checkConstant(const std::string& text, const ShownColumn& partner);

  const SyntaxTree& tree_;
  const std::vector<ShownColumn>& columns_;
  std::vector<ConditionSlip>& slips_;
  size_t begin_ = 0;
  size_t length_ = 0;
};

void ComparandCheck::check(int comparand, int other) {
  const std::string text(tree_.text(comparand));
  // A comparand holding commas or brackets is cut from a broken node, reported as such.
  if (text.find_first_of(",()") != std::string::npos) return;
  begin_ = tree_.begin(comparand);
  length_ = tree_.end(comparand) - begin_;
  if (columnNamed(text) != nullptr) {
    const auto named =
        std::count_if(columns_.begin(), columns_.end(),
                      [&](const ShownColumn& column) { return column.name == text; });
    if (named > 1)
      add(true, "the table has two columns named " + text + ": this compares the first");
    return;
  }
  const ShownColumn* partner = columnNamed(tree_.text(other));
  if (partner == nullptr) {
    checkTwoConstants(text);
  } else {
    checkConstant(text, *partner);
  }
}

// Two constants, which the run reports; the note tells which column was meant.
void ComparandCheck::checkTwoConstants(const std::string& text) {
  const ShownColumn* meant = meantColumn(text, columns_);
  if (meant == nullptr) return;
  std::string unquoted = text;
  std::erase(unquoted, '\'');
  if (equalIgnoringCase(meant->name, text)) {
    add(false, "column names are case-sensitive: did you mean " + meant->name + "?");
  } else if (meant->name == unquoted) {
    add(false, "a column name is written without apostrophes: did you mean " + meant->name + "?");
  } else {
    add(false, "no column is named " + text + ": did you mean " + meant->name + "?");
  }
}

void ComparandCheck::checkConstant(const std::string& text, const ShownColumn& partner) {
  std::string unquoted = text;
  std::erase(unquoted, '\'');
  for (const ShownColumn& column : columns_) {
    if (column.name != text && equalIgnoringCase(column.name, text)) {
      add(true, text +
                    " is no column (names are case-sensitive), so it is compared as a constant; "
                    "did you mean " +
                    column.name + "?");
      return;
    }
    if (text.find('\'') != std::string::npos && column.name == unquoted) {
      add(true, text + " is a constant because of its apostrophes; the column is " + column.name +
                    ", without them");
      return;
    }
  }
  if (partner.type == "int" && !isPlainInteger(text)) {
    add(true, text + " is compared with the int column " + partner.name + " as " +
                  std::to_string(atoiValue(text)) +
                  ": only a sign and the digits at its start count");
  }
}

std::string lowerCase(std::string_view text) {
  std::string lower(text);
  for (char& c : lower) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return lower;
}

}  // namespace

const ShownColumn* meantColumn(std::string_view text, const std::vector<ShownColumn>& columns) {
  std::string unquoted(text);
  std::erase(unquoted, '\'');
  const ShownColumn* closest = nullptr;
  size_t closestDistance = 3;
  for (const ShownColumn& column : columns) {
    if (equalIgnoringCase(column.name, text) ||
        (text.find('\'') != std::string_view::npos && column.name == unquoted)) {
      return &column;
    }
    // A short name is one or two letters from too many others to be a guess worth making.
    const size_t distance = editDistance(lowerCase(text), lowerCase(column.name));
    if (text.size() >= 3 && distance < closestDistance &&
        2 * distance < std::max(text.size(), column.name.size())) {
      closest = &column;
      closestDistance = distance;
    }
  }
  return closest;
}

std::vector<ConditionSlip> checkCondition(const SyntaxTree& tree, int select,
                                          const std::vector<ShownColumn>& columns) {
  std::vector<ConditionSlip> slips;
  const int condition = tree.operand(select, 1);
  if (condition == SyntaxTree::kNoNode) return slips;
  ComparandCheck check(tree, columns, slips);
  for (int node = condition; node < tree.subtreeEnd(condition); ++node) {
    if (!tree.isCondition(node) || tree.operand(node, 0) == SyntaxTree::kNoNode ||
        !isComparison(tree.logType(node))) {
      continue;
    }
    check.check(tree.operand(node, 0), tree.operand(node, 1));
    check.check(tree.operand(node, 1), tree.operand(node, 0));
  }
  return slips;
}

}  // namespace relalg
