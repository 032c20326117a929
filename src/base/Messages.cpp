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
     "Quote such values: `'Nagy Bela'`. Keep the records of a table together: an empty line "
     "between them starts a new table."},
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
     "Give the operator both operands, with a comma between them; write `NOT` in upper case."},
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
     "Fix the column name; put commas between the names (blanks are dropped)."},
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
    {kCheckProgramTooLong, kCheck, "its program is longer than {SIZE}",
     "the submission's expression line, or the steps of its program above the first empty line, "
     "are longer than the grader reads",
     "Shorten the expression."},
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
    {kCheckBadRequirement, kCheck, "relalgcheck: {PATH}:{LINE}: {WHAT}",
     "a line -- requires: of the exercise cannot be read",
     "Write nonempty TABLE, key TABLE(COLUMNS) or TABLE(COLUMNS) references TABLE(COLUMNS), with "
     "the exercise's names."},
    {kCheckBreaksRequirement, kCheck,
     "relalgcheck: {PATH} does not meet the requirement {REQUIREMENT}: {WHERE}",
     "a given data set breaks a requirement of the exercise, whose verdicts hold on the databases "
     "that meet them",
     "Fix the data set, or the requirement."},
    {kCheckLinkNote, kCheck,
     "relalgcheck: note: the link holds {GIVEN} given data sets and {CHECKS} that tell the "
     "reference from {TOLD} of its {SLIPS} likely slips, and {MORE} counterexamples of the "
     "submissions ({BYTES} bytes)",
     "what --link put into the link besides the given data sets: a slip that no data set tells "
     "apart gave the same results on every data set tried",
     "Give a data set for a slip that the link misses, or ignore a slip that means the same."},
    {kCheckSlipMissed, kCheck,
     "relalgcheck: note: no data set tried tells the reference from this slip ({SLIP}): {LINE}",
     "a likely slip of the reference gave its results on every data set that --link tried: it "
     "may mean the same, or differ only on data sets that the search did not reach",
     "Write a data set that tells them apart, if they differ."},
    {kTraceInvalidAllowlist, kTraceCommandLine,
     "relalgtrace: invalid allowlist name: '{VALUE}'",
     "--allow takes operator names separated by commas: sigma, pi, rho, cross, union, minus, "
     "intersect, join, semijoin, antijoin, divide, steps and core",
     "Spell the names as listed."},
    {kTraceNotationNote, kTraceCommandLine,
     "relalgtrace: note: {PATH} looks like a notation file; read it with --notation",
     "the program of the file has steps, comments or textbook operators, which relalgrun reads "
     "as one core expression line",
     "Run relalgtrace --notation, or --notation --core for the core input."},

    {kNotationExpectedExpression, kNotation,
     "expected a table, a step or a bracketed expression, found {FOUND}",
     "an operand is missing here: after an operator, an assignment or an opening bracket comes "
     "an expression",
     "Give the operator its operand, or remove the operator."},
    {kNotationExpectedOperator, kNotation,
     "expected an operator or the end of the statement, found {FOUND}",
     "an expression is complete here, and what follows neither continues nor ends it",
     "Put an operator between the operands, or start the next statement on a line of its own."},
    {kNotationExpectedCondition, kNotation, "expected a comparison such as a = 1, found {FOUND}",
     "a condition is made of comparisons joined by and, or and not",
     "Write a comparison of a column with a column or a constant."},
    {kNotationExpectedComparison, kNotation,
     "expected =, <>, <, <=, > or >= after {OPERAND}, found {FOUND}",
     "a comparison has a column or a constant on each side of a comparison sign; there is no "
     "arithmetic",
     "Write the comparison sign, or compare a column directly."},
    {kNotationExpectedConnective, kNotation,
     "expected and, or or the end of the condition, found {FOUND}",
     "the comparisons of a condition are joined by the connectives and, or",
     "Join the comparisons with `and` or `or`, or close the condition."},
    {kNotationExpectedName, kNotation, "expected a name, found {FOUND}",
     "the lists of projection and renaming hold column names separated by commas",
     "Write the column names, separated by commas."},
    {kNotationExpectedArgument, kNotation,
     "{OPERATOR} needs its argument in square brackets right after it, as in pi[a, b](R)",
     "selection, projection and renaming take their condition or list before their operand",
     "Write `sigma[a = 1](R)`, `pi[a](R)` or `rho[S(x, y)](R)` (or `pi_` and curly brackets)."},
    {kNotationUnclosed, kNotation, "this {OPEN} is never closed",
     "a bracket opens here and the program ends before the bracket that closes it",
     "Close the bracket."},
    {kNotationUnmatched, kNotation, "this {CLOSE} closes nothing",
     "a closing bracket with no opening bracket before it",
     "Remove the bracket, or open it where it belongs."},
    {kNotationUnclosedQuote, kNotation, "this apostrophe is never closed on its line",
     "a constant in apostrophes must end on the line where it starts",
     "Close the constant with an apostrophe."},
    {kNotationUnclosedComment, kNotation, "this comment is never closed",
     "a comment that starts with /* ends with */, before the first empty line",
     "Close the comment with `*/`."},
    {kNotationTwoOperands, kNotation, "{OPERATOR}(...) needs two operands separated by a comma",
     "the core forms take a relation and a second operand: union(E1, E2), project(E, a)",
     "Give both operands, separated by a comma."},
    {kNotationBadCoreCondition, kNotation,
     "the condition of select(...) is no core condition: {CONDITION}",
     "inside the core form select(E, K), K is written as the core writes it: EQ(a, 1), AND(K1, "
     "K2), with brackets that pair up",
     "Write the condition in core form, or use sigma[a = 1](E)."},
    {kNotationOutside, kNotation,
     "{OPERATOR} is not part of this relational algebra: it has no outer joins, grouping or "
     "arithmetic",
     "the notation has selection, projection, renaming, product, the joins, the set operators "
     "and division",
     "Express the query with these operators."},
    {kNotationUnknownName, kNotation, "no table or step is named {NAME}",
     "the name is neither a table of the file nor a step defined before (names are "
     "case-sensitive)",
     "Fix the name, or define the step before this line."},
    {kNotationUsedEarly, kNotation, "step {NAME} is used before its definition on line {LINE}",
     "a step can use only the steps above it", "Move the definition up."},
    {kNotationStepTwice, kNotation, "step {NAME} is already defined on line {LINE}",
     "every step of a program has a name of its own", "Give the step another name."},
    {kNotationStepIsTable, kNotation, "step {NAME} has the name of a table",
     "a step may not hide a table of the file", "Give the step another name."},
    {kNotationStepIsKeyword, kNotation, "{NAME} is a keyword and cannot name a step",
     "operator words such as pi, join or select have their meaning everywhere",
     "Give the step another name."},
    {kNotationNoQuery, kNotation, "the program ends with step {NAME} and has no query",
     "the last statement of a program is the query: an expression without a name",
     "Add a last line with the query, such as the name of the last step."},
    {kNotationEmpty, kNotation, "the program has no query",
     "the lines before the first empty line hold no statement",
     "Write the query on the first line."},
    {kNotationQueryNotLast, kNotation,
     "only the last statement of a program may be an expression without a name",
     "every statement but the last is a step, Name := expression; the last is the query",
     "Name this expression, or make it the last statement."},
    {kNotationUnknownColumn, kNotation,
     "no column {NAME} in the operand of {OPERATOR}, whose columns are {COLUMNS}",
     "the name is no column of the relation it is looked up in (names are case-sensitive)",
     "Fix the name; qualify it as R.a where two columns share it."},
    {kNotationAmbiguousColumn, kNotation,
     "{NAME} is ambiguous in the operand of {OPERATOR}: it may be {COLUMNS}",
     "more than one column of the operand has this name",
     "Qualify the name with its table, step or rho name: R.a."},
    {kNotationTypesDiffer, kNotation,
     "{OPERATOR} compares the int column {INT} with the text column {TEXT}",
     "an int column holds numbers and a text column strings: they are never equal",
     "Compare columns of one type."},
    {kNotationWidthsDiffer, kNotation,
     "{OPERATOR} of the column {LEFT} with the column {RIGHT}: no operator changes a width",
     "a union needs columns of equal widths, and no operator can change the width of a column",
     "Unite columns of equal widths, or use the table whose width fits."},
    {kNotationColumnCounts, kNotation,
     "{OPERATOR} of an operand of {LEFT} columns with one of {RIGHT} columns",
     "union, difference and intersection pair the columns of their operands in order",
     "Project both operands onto columns that pair up."},
    {kNotationTwoConstants, kNotation,
     "{LEFT} and {RIGHT} are both constants: a comparison needs a column",
     "neither side of the comparison is a column of the operand: usually a misspelt column name",
     "Fix the column name."},
    {kNotationDuplicateColumn, kNotation, "the operand of {OPERATOR} has two columns named {NAME}",
     "a relation of the textbook has one column of each name",
     "Rename one of the columns with rho."},
    {kNotationUnwritableColumn, kNotation,
     "the operand of {OPERATOR} has a column {NAME} that a core line cannot name",
     "a column name whose apostrophes or brackets do not pair up, or that holds a comma, breaks "
     "the core line's brackets and commas",
     "Give the column a plain name in its header line."},
    {kNotationNoColumns, kNotation, "the operand of {OPERATOR} has no columns",
     "a table without columns holds no records", "Use a relation that has columns."},
    {kNotationListedTwice, kNotation, "{NAME} is listed twice",
     "a projection or a renaming names each column once", "Remove the second mention."},
    {kNotationClash, kNotation, "both operands of {OPERATOR} call a column {NAME}",
     "the result would have two columns of this name, and no table name tells them apart",
     "Rename one operand with rho, as in rho[S](R)."},
    {kNotationRenameCount, kNotation, "{OPERATOR} gives {GIVEN} names to {COLUMNS} columns",
     "a renaming gives one new name to every column of its operand",
     "Give one name per column."},
    {kNotationNotInDividend, kNotation,
     "the divisor's column {NAME} is no column of the dividend",
     "in the division R / S every column of S must be a column of R",
     "Project the divisor onto columns of the dividend."},
    {kNotationNothingLeft, kNotation,
     "the divisor has every column of the dividend, so the quotient has none",
     "the division R / S gives the columns of R that S does not have",
     "Divide by a relation with fewer columns."},
    {kNotationUnpairedBracket, kNotation,
     "the constant {CONSTANT} holds brackets that do not pair up, which a core line cannot carry",
     "the core language splits conditions at brackets, even inside apostrophes",
     "Compare with a constant whose brackets pair up."},
    {kNotationRenamesStored, kNotation,
     "rename changes the stored table {NAME} itself, and the program reads {NAME} elsewhere",
     "the core rename renames its operand in place, so other mentions of the table would see the "
     "new names",
     "Use rho, which renames a copy: rho[S(x, y)](R)."},
    {kNotationStepTooLong, kNotation, "step {NAME} lowers to more than {LIMIT} bytes of core text",
     "every use of a step copies its whole core text, so steps that use others several times "
     "grow fast",
     "Use each step fewer times, or write the step with fewer repeats."},
    {kNotationQueryTooLong, kNotation, "the query lowers to more than {LIMIT} bytes of core text",
     "every use of a step copies its whole core text",
     "Use each step fewer times."},
    {kNotationForbidden, kNotation,
     "{OPERATOR} is not allowed here (allowed: {ALLOWED}); use {IDIOM}",
     "the exercise's allowlist leaves this operator out",
     "Write the query with the allowed operators, as the message shows."},
    {kNotationUnknownAllowed, kNotation,
     "{NAME} is not an allowlist name: sigma, pi, rho, cross, union, minus, intersect, join, "
     "semijoin, antijoin, divide, steps, core",
     "the line -- allow: lists the operators a program may use",
     "Spell the names as listed."},
    {kNotationCoreFailure, kNotation, "relalgrun fails here: {MESSAGE} ({MEANING})",
     "the core line ran and one of its operators failed: the one that this part of the program "
     "lowers to; relalgrun's own message follows, then its meaning",
     "Fix this part of the program as the meaning says; the core: line shows the operator."},
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
