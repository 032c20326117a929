#include "diagnostics/TableChecks.h"

#include <string>

#include "base/Windows1250.h"
#include "diagnostics/TextMatch.h"
#include "files/LineReader.h"
#include "language/StringTokenizer.h"
#include "storage/HeaderLine.h"

namespace relalg {

namespace {

// Type words that read as numbers to a person but make a string column.
bool looksNumeric(std::string_view word) {
  static constexpr std::string_view kWords[] = {
      "int",  "integer", "number", "numeric", "decimal", "smallint", "bigint", "tinyint",
      "long", "short",   "float",  "double",  "real",    "int32",    "int64"};
  return std::any_of(std::begin(kWords), std::end(kWords),
                     [&](std::string_view numeric) { return equalIgnoringCase(word, numeric); });
}

size_t offsetIn(std::string_view line, std::string_view part) {
  return static_cast<size_t>(part.data() - line.data());
}

// A tab outside apostrophes in a header, or in a record that does not fit its table, was meant
// as a separator.
void noteTab(std::string_view line, size_t number, std::vector<Diagnostic>& diagnostics) {
  bool quoted = false;
  for (size_t k = 0; k < line.size(); ++k) {
    if (line[k] == '\'') quoted = !quoted;
    if (line[k] == '\t' && !quoted) {
      diagnostics.push_back(
          {Diagnostic::kWarning, number, k + 1, 1,
           "a tab is no separator: it stays part of the value or name around it"});
      return;
    }
  }
}

bool isTypeWord(std::string_view word) {
  static constexpr std::string_view kWords[] = {"int", "char", "varchar", "text", "string"};
  return std::any_of(std::begin(kWords), std::end(kWords),
                     [&](std::string_view type) { return equalIgnoringCase(word, type); });
}

// A header line that looks like a record of the table before it: an empty line ended that table.
bool looksLikeRecord(const HeaderLine& header, std::string_view line, size_t previousColumns) {
  if (isPlainInteger(header.name) || header.name.starts_with('\'')) return true;
  if (line.find('(') != std::string_view::npos || previousColumns < 2) return false;
  size_t tokens = 0;
  for (StringTokenizer count(line); count.hasMoreTokens(); count.nextToken()) ++tokens;
  return tokens == previousColumns &&
         std::none_of(header.columns.begin(), header.columns.end(),
                      [](const HeaderLine::Column& column) { return isTypeWord(column.type); });
}

// The first byte after part in line that is no blank, or 0.
char nextAfter(std::string_view line, std::string_view part) {
  const size_t at = line.find_first_not_of(' ', offsetIn(line, part) + part.size());
  return at == std::string_view::npos ? '\0' : line[at];
}

// Type words that read as numbers, and widths written as the type does not take them.
void checkTypes(const HeaderLine& header, std::string_view line, size_t number,
                std::vector<Diagnostic>& diagnostics) {
  auto warn = [&](std::string_view part, std::string message) {
    diagnostics.push_back(
        {Diagnostic::kWarning, number, offsetIn(line, part) + 1, part.size(), std::move(message)});
  };
  for (const HeaderLine::Column& column : header.columns) {
    if (column.integer) {
      if (nextAfter(line, column.type) == '(') {
        warn(column.type,
             "int takes no width: what follows in brackets is read as the name of "
             "another column, and the records then have too few values");
        return;  // the columns after it are shifted
      }
      continue;
    }
    if (column.type.empty()) continue;
    if (looksNumeric(column.type)) {
      warn(column.type, "'" + std::string(column.type) +
                            "' makes a string column, compared byte by byte: only int (in lower "
                            "case) makes an integer column");
    } else if (!column.width.empty() && !isPlainInteger(column.width) &&
               nextAfter(line, column.type) != '(') {
      warn(column.type, std::string(column.type) + " has no width in brackets, so " +
                            std::string(column.width) +
                            " is read as its width and the columns after it shift: write " +
                            std::string(column.type) + "(20)");
      return;  // the columns after it are shifted
    }
  }
}

// Checks the header line of block; returns whether it looks like a record of the table before.
bool checkHeader(const BlockPlan& block, const BlockPlan* previous,
                 std::vector<Diagnostic>& diagnostics) {
  const std::string_view line = block.header;
  const HeaderLine header(line);
  const size_t number = block.headerLine;
  if (previous != nullptr) {
    const HeaderLine before(previous->header);
    if (looksLikeRecord(header, line, before.columns.size())) {
      diagnostics.push_back({Diagnostic::kWarning, number, offsetIn(line, header.name) + 1,
                             header.name.size(),
                             "this line starts a new table named " + std::string(header.name) +
                                 ", because an empty line ends a table: is it a record of " +
                                 std::string(before.name) + "?"});
      return true;  // what it says of its columns would only mislead
    }
  }
  noteTab(line, number, diagnostics);
  checkTypes(header, line, number, diagnostics);
  return false;
}

}  // namespace

std::string checkTables(const TablePlan& plan, const InputPlace& failure,
                        std::string_view failingLine, std::vector<Diagnostic>& diagnostics) {
  std::string fix;
  const BlockPlan* previous = nullptr;
  for (const BlockPlan& block : plan.blocks) {
    if (failure.line != 0 && block.headerLine >= failure.line) break;
    const bool recordAsHeader = checkHeader(block, previous, diagnostics);
    const std::string previousName(previous != nullptr ? HeaderLine(previous->header).name : "");
    previous = &block;
    const bool failsInBlock =
        failure.line != 0 && failure.line > block.headerLine &&
        (&block == &plan.blocks.back() || failure.line < (&block + 1)->headerLine);
    if (!failsInBlock) continue;
    if (recordAsHeader) {
      const size_t empty = block.headerLine - 1;
      fix = "Remove the empty line " + std::to_string(empty) + ": it ends the table " +
            previousName + ", so line " + std::to_string(block.headerLine) +
            " is read as the header line of a table of its own, whose columns this record does "
            "not fit.";
    }
    size_t values = 0;
    for (StringTokenizer tokens(failingLine); tokens.hasMoreTokens(); tokens.nextToken()) ++values;
    if (values != HeaderLine(block.header).columns.size()) {
      noteTab(failingLine, failure.line, diagnostics);
    }
  }
  if (failure.line != 0 && !failingLine.empty() &&
      failingLine.find_first_not_of(' ') == std::string_view::npos) {
    diagnostics.push_back({Diagnostic::kNote, failure.line, 1, failingLine.size(),
                           "this line holds only blanks, so it is no empty line: an empty line, "
                           "which ends a table, must hold nothing"});
  }
  return fix;
}

void checkByteOrderMarks(std::string_view input, std::vector<Diagnostic>& diagnostics) {
  LineReader lines(input);
  std::string_view line;
  for (size_t number = 1; lines.next(line); ++number) {
    for (size_t at = line.find(kByteOrderMark); at != std::string_view::npos;
         at = line.find(kByteOrderMark, at + 1)) {
      if (number == 1 && at == 0) continue;  // the mark of the file, which is no part of it
      diagnostics.push_back(
          {Diagnostic::kWarning, number, at + 1, kByteOrderMark.size(),
           "a byte order mark stands here, within the file (as where files are joined): it is "
           "read as part of the line"});
    }
  }
}

}  // namespace relalg
