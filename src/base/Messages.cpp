#include "base/Messages.h"

#include <cassert>
#include <vector>

#include "base/Windows1250.h"

namespace relalg {

namespace {

using enum MessageId;
using enum MessageGroup;

constexpr MessageInfo kMessages[] = {
    {kUsage, kRun, "Hasznalat: relalgrun <input_file> <output_file>",
     "fewer than two arguments were given", "Name the input file and the output file."},
    {kFailureHeading, kRun, "Hiba tortent: ",
     "an error occurred: the first line of every report of a failure with a message, which "
     "follows on the next line",
     "See the message."},
    {kUnknownFailure, kRun, "Ismeretlen hiba",
     "a failure without a message: an empty expression or operand, as in union(,b), an operator "
     "word or a condition without brackets, or a lack of memory",
     "Write the expression completely on line 1."},
    {kOpenFailed, kRun, "Hiba a fajl megnyitasa soran: {PATH}",
     "the file could not be opened: it does not exist, is a directory, or may not be read",
     "Check the path and the permissions."},
    {kReadFailed, kRun, "Hiba a fajl olvasasa soran: {PATH}",
     "reading the file failed part way through", "Check the file and the device it lies on."},
    {kWriteFailed, kRun, "Hiba a fajl irasa soran: {PATH}",
     "writing the file failed, for instance on a full disk", "Free space, or write elsewhere."},
    {kInputChanged, kRun, "A bemeneti fajl megvaltozott olvasas kozben: {PATH}",
     "the input file was changed while relalgrun read it (cut short, or bytes it had already "
     "read were rewritten), so its tables and its copy would not agree; the output file is left "
     "empty, or as it was when the change showed before it was opened",
     "Run again once nothing writes to the file, or run on a copy of it. Appending to the file "
     "meanwhile is no change: the run reads the file as it was when opened."},
    {kBadMemoryCeiling, kRun, "Ervenytelen memoriakorlat: RELALG_MAX_MEMORY={VALUE}",
     "the memory ceiling in the environment variable RELALG_MAX_MEMORY is no size: digits, then "
     "optionally K, M or G",
     "Write the ceiling as `512M` or `2G`, or unset the variable."},

    {kRecordWithoutTable, kReading, "Tabla nelkuli rekord: {LINE}",
     "a record line stands before any header line; each table starts with an empty line and a "
     "header line",
     "Leave line 2 truly empty, before the first header line."},
    {kNamelessTable, kReading, "Nev nelkuli tabla nem hozhato letre!",
     "the line after an empty line is a header line and must begin with the table's name",
     "Remove the line, or give the table a name. A line of blanks after an empty line counts as a "
     "header line."},
    {kTooFewValues, kReading, "Kevesebb adat a rekordban, mint ahany oszlop van.",
     "a record line has fewer values than its table has columns (an apostrophe without a "
     "partner takes the rest of the line)",
     "Give every column a value; separate blocks with truly empty lines; write an apostrophe "
     "inside a value only in pairs."},
    {kTooManyValues, kReading, "Tobb adat mint a tabla oszlopainak szama!",
     "a record line has more values than its table has columns; a value holding blanks, commas "
     "or brackets must be written in apostrophes",
     "Quote such values: `'Nagy Bela'`."},
    {kNotANumber, kReading, "Nem alakithato szamma: {TOKEN}",
     "an int column needs a whole number from -2147483648 to 2147483647, without blanks or "
     "other characters",
     "Write the number plainly (no `+`, decimal point or apostrophes), quote string values that "
     "hold blanks, or make the column a string column."},
    {kTooManyRecords, kReading, "Tul sok rekord a tablaban: {NAME}",
     "the table would hold more records than a table can (2147483647)", "Split the data."},

    {kNoSuchTable, kExpressions, "Nincs {NAME} nevu tabla.",
     "no table of this name is defined in the input file (names are case-sensitive)",
     "Define the table in the input file, or fix the name."},
    {kBadBracketing, kExpressions, "Helytelen zarojelezes: {TEXT}",
     "an operator or condition got one operand where it needs two: its bracket closes before "
     "any comma, as in union(a)",
     "Give the operator both operands; write `NOT` in upper case."},
    {kBadExpression, kExpressions, "HIBA: helytelen kifejezes: {TEXT}",
     "a bracket opens but no comma follows at its level: a closing bracket or a comma is "
     "missing, as in union(a",
     "Count the brackets; put a comma between the operands."},
    {kExpressionTooLong, kExpressions, "Tul hosszu kifejezes.",
     "the expression line is too long to evaluate (4 GiB or more)", "Shorten the expression."},

    {kCompareSchemaMismatch, kOperators,
     "Nem azonos semaju tablak osszehasonlitasa: {LEFT} es {RIGHT}",
     "union and minus need operands with the same schema: the same column names, types and "
     "widths in the same order",
     "Make the column lists equal (same names, types and widths, same order), with `project` and "
     "`rename` if needed."},
    {kCopySchemaMismatch, kOperators,
     "Nem azonos semaju tablak kozti masolas: {RIGHT} \xE9s {RESULT}",
     "the operands of a union whose left operand is empty differ in column names, types, "
     "widths or order",
     "As above."},
    {kProductTooLarge, kOperators, "A szorzat tul sok rekordot adna: {P} * {Q}",
     "the product would hold more records than a table can (2147483647)",
     "Reduce the operands with `select` or `project` first."},
    {kBadProjection, kOperators, "Hibas projektalas: {LIST}",
     "project lists a column that its operand does not have (names are case-sensitive)",
     "Fix the column name."},
    {kRenameImpossible, kOperators, "Az atnevez\xE9s nem lehetseges erre: {LIST}",
     "rename needs a new table name and a bracketed list of column names, such as "
     "rename(emp, staff(who, years))",
     "Give the new table name and the new column names."},
    {kTooFewNames, kOperators, "Nincs annyi nev az atnevezeshez, mint ahany oszlop van.",
     "rename lists fewer column names than its operand has columns",
     "Give one new name per column after the table name."},
    {kTooManyNames, kOperators, "Tobb nev az atnevezeshez, mint a tabla oszlopainak szama!",
     "rename lists more column names than its operand has columns",
     "The list is the new table name and one name per column, no more."},

    {kColumnTypesDiffer, kConditions, "Nem azonos tipusu oszlopok: {FIRST} {SECOND}",
     "a comparison sets an int column against a string column",
     "Compare columns of one type, or compare with a constant."},
    {kTwoConstants, kConditions, "Ket konstans osszehasonlitasa: {FIRST} {SECOND}",
     "neither operand of a comparison is a column of the table: usually a misspelt column name "
     "or one in the wrong case",
     "Fix the column name."},
    {kNotACondition, kConditions, "Nem sikerult kiertekelni a kifejezest: {TEXT}",
     "this is not a condition: a condition is EQ, NEQ, LT, LTE, GT, GTE, AND, OR or NOT, in "
     "upper case",
     "Write the condition words in upper case and `NOT(...)` with brackets."},

    {kStrColumnIndex, kInternal, "StrColumn::getVal: t\xFAlindexel\xE9s",
     "a record was read past the end of a string column",
     "Report it with the input file: it is a fault of the tool."},
    {kIntColumnIndex, kInternal, "IntColumn::getVal: t\xFAlindexel\xE9s",
     "a record was read past the end of an int column",
     "Report it with the input file: it is a fault of the tool."},
    {kNoSuchColumn, kInternal, "Nincs {NAME} nevu oszlop.",
     "the table has no column of this name (names are case-sensitive)",
     "Report it with the input file: it is a fault of the tool."},
    {kNoResultYet, kInternal, "Meg nincs letrehozva eredmenytabla!",
     "a result was asked for before any expression was evaluated",
     "Report it with the input file: it is a fault of the tool."},
    {kColumnAddedToFilledTable, kInternal,
     "Rekordokat tartalmazo tablahoz nem adhato oszlop: {NAME}",
     "a column was added to a table that already holds records, which would leave the new "
     "column shorter than the others",
     "Report it with the input file: it is a fault of the tool."},

    {kTraceMissingInput, kTraceCommandLine, "relalgtrace: missing input file",
     "relalgtrace was started without an input file", "Name the input file."},
    {kTraceExtraOperand, kTraceCommandLine, "relalgtrace: extra operand '{OPERAND}'",
     "relalgtrace takes one input file", "Name one input file; options start with --."},
    {kTraceInvalidOption, kTraceCommandLine, "relalgtrace: invalid option -- '{LETTER}'",
     "relalgtrace has no short options", "Use the long options of relalgtrace --help."},
    {kTraceUnknownOption, kTraceCommandLine, "relalgtrace: unrecognized option '{OPTION}'",
     "relalgtrace has no such option", "Use the long options of relalgtrace --help."},
    {kTraceOptionWithoutArgument, kTraceCommandLine,
     "relalgtrace: option '--{OPTION}' doesn't allow an argument", "this option takes no value",
     "Leave out the = and what follows it."},
    {kTraceOptionNeedsArgument, kTraceCommandLine,
     "relalgtrace: option '--{OPTION}' requires an argument", "this option needs a value",
     "Give the value after = or as the next argument."},
    {kTraceInvalidLimit, kTraceCommandLine, "relalgtrace: invalid limit: '{VALUE}'",
     "the limit is a count of records: decimal digits only", "Write the limit as digits."},
    {kTraceInvalidMaxMemory, kTraceCommandLine, "relalgtrace: invalid memory ceiling: '{VALUE}'",
     "the memory ceiling (--max-memory or RELALG_MAX_MEMORY) is a size: digits, then "
     "optionally K, M or G",
     "Write the ceiling as `512M` or `2G`."},
    {kTraceTryHelp, kTraceCommandLine, "Try 'relalgtrace --help' for more information.",
     "the second line of every command-line error of relalgtrace", "See the line above it."},
    {kTraceWriteError, kTraceCommandLine, "relalgtrace: write error",
     "standard output could not be written, for instance to a full disk or a closed pipe",
     "Write the trace elsewhere."},
    {kTraceSqlInexact, kTraceCommandLine, "relalgtrace: note: the SQL script is inexact: {REASON}",
     "the script of --sql cannot give exactly relalgrun's records for this input; its first line "
     "says why",
     "Keep NUL bytes out of the values and constants that the expression uses."},

    {kCheckMissingOperand, kCheck, "relalgcheck: missing {WHAT} file",
     "relalgcheck takes an exercise file and at least one submission file",
     "Name the exercise file, then the submissions."},
    {kCheckUnknownOption, kCheck, "relalgcheck: unrecognized option '{OPTION}'",
     "relalgcheck has no such option", "Use the options of relalgcheck --help."},
    {kCheckOptionNeedsArgument, kCheck, "relalgcheck: option '--{OPTION}' requires an argument",
     "this option of relalgcheck needs a value", "Give the value after = or as the next argument."},
    {kCheckInvalidValue, kCheck, "relalgcheck: invalid value of --{OPTION}: '{VALUE}'",
     "the value is not one that the option takes",
     "See relalgcheck --help for the values of each option."},
    {kCheckTryHelp, kCheck, "Try 'relalgcheck --help' for more information.",
     "the second line of every command-line error of relalgcheck", "See the line above it."},
    {kCheckCannotRead, kCheck, "relalgcheck: cannot read {PATH}",
     "the exercise or a data set could not be opened or read", "Check the path."},
    {kCheckBadDataSet, kCheck, "relalgcheck: {PATH}: {MESSAGE}",
     "relalgrun rejects a line of the tables of the exercise or a data set",
     "Fix the tables as relalgtrace shows."},
    {kCheckOtherTables, kCheck, "relalgcheck: {PATH} does not hold the exercise's tables: {WHERE}",
     "every data set holds the tables of the exercise, with the same header lines",
     "Give the data set the exercise's tables."},
    {kCheckReferenceFails, kCheck,
     "relalgcheck: the reference expression fails on {PATH}: {MESSAGE}",
     "the first line of the exercise fails on one of the data sets, so nothing can be graded",
     "Fix the reference expression or the data set."},
    {kCheckWriteError, kCheck, "relalgcheck: write error", "standard output could not be written",
     "Write the report elsewhere."},
    {kCheckUnreadableSubmission, kCheck, "cannot read the submission",
     "the submission file could not be opened or read", "Check the path."},
    {kCheckOverBudget, kCheck, "ran longer than its budget of {SECONDS} s on {DATASET}",
     "the submission took longer than --budget allows on a given data set",
     "Simplify the expression: select before product."},
    {kCheckOutOfMemory, kCheck, "out of memory",
     "the submission needed more memory than --max-memory allows",
     "Simplify the expression: select before product."},
    {kCheckEndedAbnormally, kCheck, "its check ended abnormally: {WHAT}",
     "the process that checked the submission ended without a report: out of memory or past its "
     "processor time (the submission fails), or made no progress, a signal or an internal error "
     "(it is not graded)",
     "Simplify the expression; report it if it persists."},
    {kCheckNotRegularFile, kCheck, "relalgcheck: {PATH} is not a regular file",
     "the exercise or a data set is a folder, a pipe or a device, which the grader does not read",
     "Give a file."},
    {kCheckFileTooLarge, kCheck, "relalgcheck: {PATH} is larger than {SIZE}",
     "the exercise or a data set is larger than the grader reads", "Grade on smaller data."},
    {kCheckSubmissionNotRegular, kCheck, "the submission is not a regular file",
     "the submission is a folder, a pipe or a device, which the grader does not read",
     "Hand in a file."},
    {kCheckFirstLineTooLong, kCheck, "its first line is longer than {SIZE}",
     "the submission's expression line is longer than the grader reads", "Shorten the expression."},
    {kCheckCannotSaveIn, kCheck, "relalgcheck: cannot save counterexamples in {DIR}: {REASON}",
     "the folder of --save does not exist, is no folder, or no file can be made in it",
     "Create the folder, or name another."},
    {kCheckNotSaved, kCheck, "could not save the counterexample as {PATH}: {REASON}",
     "writing the counterexample's file failed; the report still shows the counterexample",
     "Free space in the folder of --save, or remove what stands in the way."},
    {kCheckCouldNotStart, kCheck, "could not start its check: {REASON}",
     "the grader could not start a process, a pipe or a thread for the check even alone, for lack "
     "of processes, file descriptors or memory; the submission is not graded",
     "Grade again with fewer --jobs, or raise the limits (ulimit -u, ulimit -n, --max-memory)."},
    {kCheckNotGraded, kCheck, "relalgcheck: {COUNT} not graded",
     "the grader failed on some submissions for reasons of its own (their reports say why), so "
     "they have no verdict; the exit status is 2",
     "Grade those submissions again, with fewer --jobs."},
};

constexpr bool inIdOrder() {
  for (size_t k = 0; k < std::size(kMessages); ++k) {
    if (static_cast<size_t>(kMessages[k].id) != k) return false;
  }
  return std::size(kMessages) == static_cast<size_t>(MessageId::kCount);
}
static_assert(inIdOrder(), "kMessages must list every MessageId once, in the order of the enum");

// Calls piece(text) for each stretch of pattern between placeholders and hole() for each
// placeholder, in order.
template <class Piece, class Hole>
void walkPattern(std::string_view pattern, Piece piece, Hole hole) {
  for (;;) {
    const size_t open = pattern.find('{');
    if (open == std::string_view::npos) {
      piece(pattern);
      return;
    }
    const size_t close = pattern.find('}', open);
    assert(close != std::string_view::npos);
    piece(pattern.substr(0, open));
    hole(pattern.substr(open + 1, close - open - 1));
    pattern.remove_prefix(close + 1);
  }
}

// Where the stretches of pattern stand in printed when printed is pattern with some text in
// place of each placeholder: the first stretch must start it and the last end it; stretches in
// between are taken at their first place. Empty when printed does not fit.
std::vector<std::string_view> fittedPieces(std::string_view pattern, std::string_view printed) {
  std::vector<std::string_view> pieces;
  walkPattern(
      pattern, [&](std::string_view text) { pieces.push_back(text); }, [](auto) {});
  if (pieces.size() == 1) {
    return printed == pieces.front() ? std::vector{printed} : std::vector<std::string_view>{};
  }
  if (!printed.starts_with(pieces.front())) return {};
  std::vector<std::string_view> placed{printed.substr(0, pieces.front().size())};
  size_t from = pieces.front().size();
  for (size_t k = 1; k + 1 < pieces.size(); ++k) {
    const size_t at = printed.find(pieces[k], from);
    if (at == std::string_view::npos) return {};
    placed.push_back(printed.substr(at, pieces[k].size()));
    from = at + pieces[k].size();
  }
  if (printed.size() < from + pieces.back().size() || !printed.ends_with(pieces.back())) return {};
  placed.push_back(printed.substr(printed.size() - pieces.back().size()));
  return placed;
}

bool fits(std::string_view pattern, std::string_view printed) {
  return !fittedPieces(pattern, printed).empty();
}

}  // namespace

std::span<const MessageInfo> allMessages() { return kMessages; }

const MessageInfo& messageInfo(MessageId id) {
  assert(id < MessageId::kCount);
  return kMessages[static_cast<size_t>(id)];
}

std::string message(MessageId id, std::initializer_list<std::string_view> args) {
  std::string text;
  const std::string_view* next = args.begin();
  walkPattern(
      messageInfo(id).pattern, [&](std::string_view piece) { text += piece; },
      [&](std::string_view) {
        assert(next != args.end());
        text += *next++;
      });
  assert(next == args.end());
  return text;
}

// Of the patterns that printed fits, the one with the most fixed text: a pattern such as
// "relalgcheck: {PATH}: {MESSAGE}" fits the printed form of nearly every other message too.
const MessageInfo* findMessage(std::string_view printed) {
  const MessageInfo* best = nullptr;
  size_t bestFixed = 0;
  for (const MessageInfo& info : kMessages) {
    if (!fits(info.pattern, printed)) continue;
    size_t fixed = 0;
    walkPattern(
        info.pattern, [&](std::string_view piece) { fixed += piece.size(); }, [](auto) {});
    if (best == nullptr || fixed > bestFixed) {
      best = &info;
      bestFixed = fixed;
    }
  }
  return best;
}

std::string messageAsUtf8(std::string_view printed, bool quotedIsUtf8) {
  auto quoted = [&](std::string_view text) {
    return quotedIsUtf8 && isUtf8(text) ? std::string(text) : windows1250ToUtf8(text);
  };
  const MessageInfo* info = findMessage(printed);
  if (info == nullptr) return quoted(printed);
  std::string text;
  const char* at = printed.data();
  for (std::string_view piece : fittedPieces(info->pattern, printed)) {
    text += quoted(std::string_view(at, static_cast<size_t>(piece.data() - at)));
    text += windows1250ToUtf8(piece);
    at = piece.data() + piece.size();
  }
  return text;
}

std::string errorTextAsUtf8(std::string_view errorText, bool quotedIsUtf8) {
  const std::string heading = std::string(messageInfo(MessageId::kFailureHeading).pattern) + "\n";
  if (!errorText.starts_with(heading) || !errorText.ends_with('\n')) {
    return windows1250ToUtf8(errorText);
  }
  const std::string_view printed =
      errorText.substr(heading.size(), errorText.size() - heading.size() - 1);
  return heading + messageAsUtf8(printed, quotedIsUtf8) + "\n";
}

std::string shownPattern(const MessageInfo& info) {
  std::string shown;
  walkPattern(
      info.pattern, [&](std::string_view piece) { shown += piece; },
      [&](std::string_view word) { shown += word; });
  return shown;
}

}  // namespace relalg
