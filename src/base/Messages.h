// The message table: every text that the programs print about a failure, each with a one-line
// English meaning (what relalgtrace shows under "meaning:") and the usual fix (what the user guide
// and the browser page show). Throw sites build their messages from this table alone, so a message
// text stands in this file and nowhere else.
//
// A pattern is the message as printed, in Windows-1250 bytes, with a {WORD} placeholder for each
// part that the message quotes: a name, a path, a line or a piece of the expression, inserted
// exactly as it is. The user guide lists every pattern of relalgrun with the braces dropped, and
// its fix as written here (`code` in backquotes); a test holds the guide to this table.
#ifndef RELALG_BASE_MESSAGES_H
#define RELALG_BASE_MESSAGES_H

#include <cstddef>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>

namespace relalg {

enum class MessageId {
  // The command line and the run as a whole.
  kUsage,
  kFailureHeading,
  kUnknownFailure,
  kOpenFailed,
  kReadFailed,
  kWriteFailed,
  kInputChanged,
  kBadMemoryCeiling,
  // Reading the tables.
  kRecordWithoutTable,
  kNamelessTable,
  kTooFewValues,
  kTooManyValues,
  kNotANumber,
  kTooManyRecords,
  // Expressions.
  kNoSuchTable,
  kBadBracketing,
  kBadExpression,
  kExpressionTooLong,
  // Operators.
  kCompareSchemaMismatch,
  kCopySchemaMismatch,
  kProductTooLarge,
  kBadProjection,
  kRenameImpossible,
  kTooFewNames,
  kTooManyNames,
  // Conditions.
  kColumnTypesDiffer,
  kTwoConstants,
  kNotACondition,
  // Faults of a caller of the library, which no input file can cause.
  kStrColumnIndex,
  kIntColumnIndex,
  kNoSuchColumn,
  kNoResultYet,
  kColumnAddedToFilledTable,
  // relalgtrace's command line.
  kTraceMissingInput,
  kTraceExtraOperand,
  kTraceInvalidOption,
  kTraceUnknownOption,
  kTraceOptionWithoutArgument,
  kTraceOptionNeedsArgument,
  kTraceInvalidLimit,
  kTraceInvalidMaxMemory,
  kTraceTryHelp,
  kTraceWriteError,
  kTraceSqlInexact,
  // relalgcheck's command line, and what it says of a submission.
  kCheckMissingOperand,
  kCheckUnknownOption,
  kCheckOptionNeedsArgument,
  kCheckInvalidValue,
  kCheckTryHelp,
  kCheckCannotRead,
  kCheckBadDataSet,
  kCheckOtherTables,
  kCheckReferenceFails,
  kCheckWriteError,
  kCheckUnreadableSubmission,
  kCheckOverBudget,
  kCheckOutOfMemory,
  kCheckEndedAbnormally,
  kCheckNotRegularFile,
  kCheckFileTooLarge,
  kCheckSubmissionNotRegular,
  kCheckProgramTooLong,
  kCheckCannotSaveIn,
  kCheckNotSaved,
  kCheckCouldNotStart,
  kCheckNotGraded,
  kCheckBadRequirement,
  kCheckBreaksRequirement,
  kCheckLinkNote,
  kCheckSlipMissed,
  // relalgtrace's command line about notation files.
  kTraceInvalidAllowlist,
  kTraceNotationNote,
  // The notation: what a notation program says that cannot be lowered exactly to a core line.
  kNotationExpectedExpression,
  kNotationExpectedOperator,
  kNotationExpectedCondition,
  kNotationExpectedComparison,
  kNotationExpectedConnective,
  kNotationExpectedName,
  kNotationExpectedArgument,
  kNotationUnclosed,
  kNotationUnmatched,
  kNotationUnclosedQuote,
  kNotationUnclosedComment,
  kNotationTwoOperands,
  kNotationBadCoreCondition,
  kNotationOutside,
  kNotationUnknownName,
  kNotationUsedEarly,
  kNotationStepTwice,
  kNotationStepIsTable,
  kNotationStepIsKeyword,
  kNotationNoQuery,
  kNotationEmpty,
  kNotationQueryNotLast,
  kNotationUnknownColumn,
  kNotationAmbiguousColumn,
  kNotationTypesDiffer,
  kNotationWidthsDiffer,
  kNotationColumnCounts,
  kNotationTwoConstants,
  kNotationDuplicateColumn,
  kNotationUnwritableColumn,
  kNotationNoColumns,
  kNotationListedTwice,
  kNotationClash,
  kNotationRenameCount,
  kNotationNotInDividend,
  kNotationNothingLeft,
  kNotationUnpairedBracket,
  kNotationRenamesStored,
  kNotationStepTooLong,
  kNotationQueryTooLong,
  kNotationForbidden,
  kNotationUnknownAllowed,
  kNotationCoreFailure,
  kCount
};

// The groups of the table, in the order the user guide lists them.
enum class MessageGroup {
  kRun,
  kReading,
  kExpressions,
  kOperators,
  kConditions,
  kInternal,
  kTraceCommandLine,
  kCheck,
  kNotation
};

struct MessageInfo {
  MessageId id;
  MessageGroup group;
  std::string_view pattern;
  std::string_view meaning;
  std::string_view fix;
};

// Every message, in the order of MessageId.
std::span<const MessageInfo> allMessages();
const MessageInfo& messageInfo(MessageId id);

// The message of id with its placeholders replaced, in order, by args; an argument is inserted
// byte for byte. Asserts that there is one argument per placeholder.
std::string message(MessageId id, std::initializer_list<std::string_view> args = {});

// The entry whose pattern a printed message fits (the placeholders standing for any text), or
// null. For a report of a failure with a message, printed is the text below "Hiba tortent: ".
const MessageInfo* findMessage(std::string_view printed);

// A printed message as UTF-8 text: its own words read as Windows-1250, and the text it quotes
// (names, lines, pieces of the expression, which come from the input) kept as it is when
// quotedIsUtf8 is set and it is valid UTF-8, else read as Windows-1250 too.
std::string messageAsUtf8(std::string_view printed, bool quotedIsUtf8);

// What relalgrun prints on standard error (errorText of a run) as UTF-8, its message converted
// as messageAsUtf8 converts it.
std::string errorTextAsUtf8(std::string_view errorText, bool quotedIsUtf8);

// The pattern as the user guide shows it: placeholders without their braces.
std::string shownPattern(const MessageInfo& info);

}  // namespace relalg

#endif  // RELALG_BASE_MESSAGES_H
