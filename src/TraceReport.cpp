#include "TraceReport.h"

#include <algorithm>
#include <array>
#include <ostream>

#include "RelAlgExpr.h"
#include "Table.h"
#include "TableSet.h"

namespace {

// Deeper nodes are indented as deep as this, with their depth written out, and longer node texts
// are shortened, so that the trace of a deeply nested expression grows in proportion to it.
constexpr int kMaxIndentLevels = 20;
constexpr size_t kMaxTextBytes = 200;
constexpr size_t kShortenedTextBytes = 160;

struct Explanation {
  std::string_view prefix;
  std::string_view suffix;
  std::string_view meaning;
};

// The first row whose prefix and suffix both fit the message explains it.
constexpr Explanation kExplanations[] = {
    {"Ismeretlen hiba", "",
     "a failure without a message: an empty expression or operand, as in union(,b), an operator "
     "word or a condition without brackets, or a lack of memory"},
    {"Nincs annyi nev az atnevezeshez, mint ahany oszlop van.", "",
     "rename lists fewer column names than its operand has columns"},
    {"Tobb nev az atnevezeshez, mint a tabla oszlopainak szama!", "",
     "rename lists more column names than its operand has columns"},
    {"Az atnevez\xE9s nem lehetseges erre: ", "",
     "rename needs a new table name and a bracketed list of column names, such as "
     "rename(emp, staff(who, years))"},
    {"Nincs ", " nevu tabla.",
     "no table of this name is defined in the input file (names are case-sensitive)"},
    {"Nincs ", " nevu oszlop.", "the table has no column of this name (names are case-sensitive)"},
    {"Hibas projektalas: ", "",
     "project lists a column that its operand does not have (names are case-sensitive)"},
    {"Helytelen zarojelezes: ", "",
     "an operator or condition got one operand where it needs two: its bracket closes before "
     "any comma, as in union(a)"},
    {"HIBA: helytelen kifejezes: ", "",
     "a bracket opens but no comma follows at its level: a closing bracket or a comma is "
     "missing, as in union(a"},
    {"Nem sikerult kiertekelni a kifejezest: ", "",
     "this is not a condition: a condition is EQ, NEQ, LT, LTE, GT, GTE, AND, OR or NOT, in "
     "upper case"},
    {"Ket konstans osszehasonlitasa: ", "",
     "neither operand of a comparison is a column of the table: usually a misspelt column name "
     "or one in the wrong case"},
    {"Nem azonos tipusu oszlopok: ", "", "a comparison sets an int column against a string column"},
    {"Nem azonos semaju tablak osszehasonlitasa: ", "",
     "union and minus need operands with the same schema: the same column names, types and "
     "widths in the same order"},
    {"Nem azonos semaju tablak kozti masolas: ", "",
     "the operands of a union whose left operand is empty differ in column names, types, "
     "widths or order"},
    {"A szorzat tul sok rekordot adna: ", "",
     "the product would hold more records than a table can (2147483647)"},
    {"Tul sok rekord a tablaban: ", "",
     "the table would hold more records than a table can (2147483647)"},
    {"Nem alakithato szamma: ", "",
     "an int column needs a whole number from -2147483648 to 2147483647, without blanks or "
     "other characters"},
    {"Kevesebb adat a rekordban, mint ahany oszlop van.", "",
     "a record line has fewer values than its table has columns (an apostrophe without a "
     "partner takes the rest of the line)"},
    {"Tobb adat mint a tabla oszlopainak szama!", "",
     "a record line has more values than its table has columns; a value holding blanks, commas "
     "or brackets must be written in apostrophes"},
    {"Nev nelkuli tabla nem hozhato letre!", "",
     "the line after an empty line is a header line and must begin with the table's name"},
    {"Tabla nelkuli rekord: ", "",
     "a record line stands before any header line; each table starts with an empty line and a "
     "header line"},
    {"Tul hosszu kifejezes.", "", "the expression line is too long to evaluate (4 GiB or more)"},
    {"Hiba a fajl megnyitasa soran: ", "",
     "the file could not be opened: it does not exist, is a directory, or may not be read"},
    {"Hiba a fajl olvasasa soran: ", "", "reading the file failed part way through"},
    {"Hiba a fajl irasa soran: ", "", "writing the file failed, for instance on a full disk"},
    {"StrColumn::getVal: t\xFAlindexel\xE9s", "",
     "a record was read past the end of a string column"},
    {"IntColumn::getVal: t\xFAlindexel\xE9s", "",
     "a record was read past the end of an int column"},
    {"Meg nincs letrehozva eredmenytabla!", "",
     "a result was asked for before any expression was evaluated"},
};

constexpr std::array<std::string_view, 7> kKindNames = {"table",   "union",  "minus", "product",
                                                        "project", "rename", "select"};

std::string_view kindName(int kind) {
  return kind >= 0 && static_cast<size_t>(kind) < kKindNames.size() ? kKindNames[kind] : "node";
}

std::string indentFor(int depth) {
  return std::string(2 * static_cast<size_t>(std::clamp(depth, 0, kMaxIndentLevels)), ' ');
}

// The text as a heading shows it: whole when short, else its start and its length.
std::string shownText(std::string_view text) {
  if (text.empty()) return "(empty operand)";
  if (text.size() <= kMaxTextBytes) return std::string(text);
  return std::string(text.substr(0, kShortenedTextBytes)) + " ... (" + std::to_string(text.size()) +
         " bytes)";
}

std::string countText(size_t count, std::string_view noun) {
  return std::to_string(count) + " " + std::string(noun) + (count == 1 ? "" : "s");
}

// The first line of the table's text as relalgrun writes it.
std::string headerOf(const Table& table) {
  return table.columns().empty() ? table.getName() : table.getName() + table.fingerPrint();
}

}  // namespace

std::string_view explainFailure(std::string_view message) {
  for (const Explanation& row : kExplanations) {
    if (message.size() >= row.prefix.size() + row.suffix.size() &&
        message.starts_with(row.prefix) && message.ends_with(row.suffix)) {
      return row.meaning;
    }
  }
  return "no explanation is known for this message";
}

void TraceReport::follow(TableSet& catalogue) {
  catalogue_ = &catalogue;
  catalogue.setObserver(this);
}

void TraceReport::nodeStarted(std::string_view, int) {}

void TraceReport::nodeFinished(std::string_view text, int depth, int kind, const Table& table) {
  const std::string indent = indentFor(depth);
  writeHeading(text, depth);
  out_ << indent << "  " << kindName(kind) << ": "
       << countText(static_cast<size_t>(table.recordCount()), "record") << ", " << headerOf(table)
       << '\n';
  writeRenameNote(kind, table, indent);
  writeRecords(table, indent);
}

void TraceReport::nodeFailed(std::string_view text, int depth) {
  nodeHasFailed_ = true;
  failedText_ = shownText(text);
  failedDepth_ = depth;
}

void TraceReport::reportFailure(std::string_view message, bool adbFailure) {
  const int depth = nodeHasFailed_ ? failedDepth_ : 0;
  const std::string indent = indentFor(depth);
  if (nodeHasFailed_) {
    writeHeading(failedText_, depth);
  } else {
    out_ << "reading the input file\n";
  }
  out_ << indent << "  failed; relalgrun prints:\n";
  if (adbFailure) out_ << indent << "    Hiba tortent: \n";
  out_ << indent << "    " << message << '\n';
  out_ << indent << "  meaning: " << explainFailure(message) << '\n';
}

void TraceReport::writeHeading(std::string_view text, int depth) {
  out_ << indentFor(depth);
  if (depth > kMaxIndentLevels) out_ << "[depth " << depth << "] ";
  out_ << shownText(text) << '\n';
}

// Tells that a rename changed its operand itself and, for a catalogued table, that the name it
// was read under still reaches it; a later bare name reaching such a table gets a note too.
void TraceReport::writeRenameNote(int kind, const Table& table, const std::string& indent) {
  if (kind != kRename && !(kind == kTable && renamed_.contains(&table))) return;
  const std::string* key = catalogue_ != nullptr ? catalogue_->catalogueKeyOf(&table) : nullptr;
  if (kind == kTable) {
    out_ << indent << "  renamed earlier in this expression: " << *key
         << " reaches the renamed table\n";
  } else if (key == nullptr) {
    out_ << indent << "  renamed in place: the operand's own table got the new names\n";
  } else {
    renamed_.insert(&table);
    out_ << indent << "  renamed in place: the table read as " << *key << ", which the name "
         << *key << " still reaches\n";
  }
}

void TraceReport::writeRecords(const Table& table, const std::string& indent) {
  const size_t count = static_cast<size_t>(table.recordCount());
  const size_t shown = std::min(count, limit_);
  std::string line;
  for (size_t row = 0; row < shown; ++row) {
    line.assign(indent).append("  | ");
    table.appendRecordText(line, row);
    line.push_back('\n');
    out_ << line;
  }
  if (shown > 0 && shown < count) {
    out_ << indent << "  | ... and " << countText(count - shown, "more record") << '\n';
  }
}
