#include "trace/TableChecks.h"

#include <string>

#include "language/StringTokenizer.h"
#include "storage/HeaderLine.h"
#include "trace/TextMatch.h"

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

void checkHeader(const BlockPlan& block, std::string_view previousTable,
                 std::vector<Diagnostic>& diagnostics) {
  const std::string_view line = block.header;
  const HeaderLine header(line);
  const size_t number = block.headerLine;
  if (!previousTable.empty() && (isPlainInteger(header.name) || header.name.starts_with('\''))) {
    diagnostics.push_back({Diagnostic::kWarning, number, offsetIn(line, header.name) + 1,
                           header.name.size(),
                           "this line starts a new table named " + std::string(header.name) +
                               ", because an empty line ends a table: is it a record of " +
                               std::string(previousTable) + "?"});
  }
  noteTab(line, number, diagnostics);
  for (const HeaderLine::Column& column : header.columns) {
    if (column.integer || column.type.empty() || !looksNumeric(column.type)) continue;
    diagnostics.push_back(
        {Diagnostic::kWarning, number, offsetIn(line, column.type) + 1, column.type.size(),
         "'" + std::string(column.type) +
             "' makes a string column, compared byte by byte: only int (in lower case) makes an "
             "integer column"});
  }
}

}  // namespace

void checkTables(const TablePlan& plan, const InputPlace& failure, std::string_view failingLine,
                 std::vector<Diagnostic>& diagnostics) {
  std::string_view previousTable;
  for (const BlockPlan& block : plan.blocks) {
    if (failure.line != 0 && block.headerLine >= failure.line) return;
    checkHeader(block, previousTable, diagnostics);
    previousTable = HeaderLine(block.header).name;
    const bool failsInBlock =
        failure.line != 0 && failure.line > block.headerLine &&
        (&block == &plan.blocks.back() || failure.line < (&block + 1)->headerLine);
    if (!failsInBlock) continue;
    size_t values = 0;
    for (StringTokenizer tokens(failingLine); tokens.hasMoreTokens(); tokens.nextView()) ++values;
    if (values != HeaderLine(block.header).columns.size()) {
      noteTab(failingLine, failure.line, diagnostics);
    }
  }
}

}  // namespace relalg
