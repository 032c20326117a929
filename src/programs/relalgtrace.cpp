// relalgtrace [--limit=N] <input_file>: evaluates the input file as relalgrun does, and shows
// every step on standard output: each node of the expression with the table it produced, or the
// node that failed with relalgrun's message and its meaning. The exit status is relalgrun's;
// command-line errors go to standard error with status 1. No output file is written.
// With --sql it prints instead an SQL script that gives relalgrun's records (sql/SqlScript.h).
// With --notation (or --core, --allow) the file is a notation file: its program is lowered to a
// core line first (notation/Notation.h), and everything above runs on the lowered input.
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <limits>
#include <new>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "base/AdbException.h"
#include "base/MemoryCeiling.h"
#include "base/Messages.h"
#include "base/Windows1250.h"
#include "diagnostics/Diagnostics.h"
#include "diagnostics/TraceAnalysis.h"
#include "files/FileTools.h"
#include "forms/TraceDot.h"
#include "forms/TraceJson.h"
#include "forms/TraceReport.h"
#include "notation/Notation.h"
#include "notation/NotationError.h"
#include "notation/NotationPlaces.h"
#include "programs/CommandLine.h"
#include "run/RunSequence.h"
#include "sql/SqlScript.h"

using namespace relalg;

namespace {

constexpr size_t kDefaultLimit = 10;

constexpr std::string_view kHelp =
    "Usage: relalgtrace [OPTION]... INPUT_FILE\n"
    "Evaluate the relational-algebra expression on the first line of INPUT_FILE over the\n"
    "tables below it, as relalgrun does, and show every step on standard output: each\n"
    "sub-expression with its kind, record count, schema and first records, the operands\n"
    "before the operator that uses them, indented by depth. A failure is shown at the node\n"
    "that raised it, with relalgrun's message and its meaning in English.\n"
    "Before the trace, standard error lists the diagnostics: where the run failed, and\n"
    "what the input says that almost surely means something else, as FILE:LINE:COLUMN.\n"
    "\n"
    "      --limit=N   show at most N records of each table (default 10; 0 shows the\n"
    "                  counts only)\n"
    "      --max-memory=SIZE  end the run as out of memory (status 3) past SIZE bytes\n"
    "                  of address space, such as 512M or 2G (also RELALG_MAX_MEMORY)\n"
    "      --json      print the trace, the diagnostics and the outcome as one JSON object\n"
    "      --dot       print the expression tree as a Graphviz graph (dot -Tsvg)\n"
    "      --sql       print an SQL script that gives the same records on sqlite3,\n"
    "                  DuckDB or PostgreSQL, instead of the steps\n"
    "      --notation  read INPUT_FILE as a notation file (named steps, comments,\n"
    "                  textbook operators), lower it to one core line, show that line\n"
    "                  as 'core:' and trace the lowered input\n"
    "      --core      as --notation, but print the lowered input (the core line,\n"
    "                  then the tables) instead, a relalgrun input\n"
    "      --allow=LIST  as --notation, allowing only these operators: sigma, pi,\n"
    "                  rho, cross, union, minus, intersect, join, semijoin,\n"
    "                  antijoin, divide; steps for named steps, core for the\n"
    "                  prefix forms\n"
    "      --help      display this help and exit\n"
    "      --version   output version information and exit\n"
    "\n"
    "Exit status is relalgrun's: 0 on success, 1 on a failure reported with\n"
    "'Hiba tortent:' or on a command-line error, 3 on any other failure.\n"
    "No output file is written. See relalgtrace(1).\n";

struct Command {
  enum Form { kText, kJson, kDot, kSql };
  std::string inputPath;
  size_t limit = kDefaultLimit;
  Form form = kText;
  std::optional<size_t> maxMemory;
  bool notation = false;
  bool core = false;
  Allowlist allow;
  std::string file;                     // the notation file, once read
  std::optional<LoweredInput> lowered;  // its lowering
};

// The input of the run: the lowered notation file, or the file itself.
std::string readInput(const Command& command) {
  return command.lowered ? command.lowered->input : readFile(command.inputPath);
}

// Writes a command-line error and the hint to --help; returns the exit status.
int usageError(const std::string& line) {
  std::cerr << line << '\n' << message(MessageId::kTraceTryHelp) << '\n';
  return EXIT_FAILURE;
}

// Decimal digits only; a limit too large to count shows every record.
std::optional<size_t> parseLimit(std::string_view text) {
  if (text.empty()) return std::nullopt;
  size_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    const size_t digit = static_cast<size_t>(c - '0');
    constexpr size_t kMax = std::numeric_limits<size_t>::max();
    value = value > (kMax - digit) / 10 ? kMax : value * 10 + digit;
  }
  return value;
}

// The long option that name abbreviates, or empty.
std::string_view longOption(std::string_view name) {
  for (std::string_view option : {"help", "version", "limit", "json", "dot", "sql", "max-memory",
                                  "notation", "core", "allow"}) {
    if (!name.empty() && option.starts_with(name)) return option;
  }
  return {};
}

// Reads the command line as GNU tools do: long options (abbreviated or not, before or after
// the operand, the limit as --limit=N or --limit N), and -- ending the options. Returns the exit
// status when the command line is handled here: help, version or an error.
std::optional<int> parseArguments(int argc, char* argv[], Command& command) {
  bool haveInput = false;
  CommandLine words(argc, argv);
  while (const std::optional<CommandLine::Word> word = words.next()) {
    const std::string_view arg = word->text;
    if (word->kind == CommandLine::Word::kOperand) {
      if (haveInput) return usageError(message(MessageId::kTraceExtraOperand, {arg}));
      command.inputPath = arg;
      haveInput = true;
      continue;
    }
    if (word->kind == CommandLine::Word::kShortOption) {
      return usageError(message(MessageId::kTraceInvalidOption, {arg.substr(1, 1)}));
    }
    const std::string_view option = longOption(word->name);
    if (option.empty()) return usageError(message(MessageId::kTraceUnknownOption, {arg}));
    if (option != "limit" && option != "max-memory" && option != "allow" && word->hasValue) {
      return usageError(message(MessageId::kTraceOptionWithoutArgument, {option}));
    }
    if (const std::optional<int> answered = helpOrVersion(option, "relalgtrace", kHelp)) {
      return answered;
    }
    if (option == "json" || option == "dot" || option == "sql") {
      command.form = option == "json"  ? Command::kJson
                     : option == "dot" ? Command::kDot
                                       : Command::kSql;
      continue;
    }
    if (option == "notation" || option == "core") {
      command.notation = true;
      command.core = command.core || option == "core";
      continue;
    }
    const std::optional<std::string_view> value = words.valueOf(*word);
    if (!value) return usageError(message(MessageId::kTraceOptionNeedsArgument, {option}));
    if (option == "allow") {
      command.notation = true;
      if (const std::optional<std::string_view> unknown = command.allow.restrict(*value)) {
        return usageError(message(MessageId::kTraceInvalidAllowlist, {*unknown}));
      }
      continue;
    }
    if (option == "max-memory") {
      command.maxMemory = parseMemorySize(*value);
      if (!command.maxMemory)
        return usageError(message(MessageId::kTraceInvalidMaxMemory, {*value}));
      continue;
    }
    const std::optional<size_t> limit = parseLimit(*value);
    if (!limit) return usageError(message(MessageId::kTraceInvalidLimit, {*value}));
    command.limit = *limit;
  }
  if (!haveInput) return usageError(message(MessageId::kTraceMissingInput));
  const char* ceiling = std::getenv(kMemoryCeilingVariable);
  if (!command.maxMemory && ceiling != nullptr && *ceiling != '\0') {
    command.maxMemory = parseMemorySize(ceiling);
    if (!command.maxMemory) {
      return usageError(message(MessageId::kTraceInvalidMaxMemory, {ceiling}));
    }
  }
  return std::nullopt;
}

// Runs the input as relalgrun does, without an output file, and reports every step in the form
// asked for; the text form has the diagnostics on standard error before the trace. The trace of a
// lowered notation file places its diagnostics in the notation file and groups its nodes under
// the notation that produced them.
int trace(const Command& command) {
  std::ostringstream steps;
  TraceReport report(steps, command.limit);
  std::optional<NotationPlaces> places;
  NodeSources sources;
  if (command.lowered) {
    places.emplace(*command.lowered, command.file);
    sources = places->nodeSources();
    report.setSources(&sources);
  }
  TraceAnalysis analysis(command.limit, command.form == Command::kText ? &report : nullptr);
  const RunOutcome outcome =
      runSequence(analysis.reader([&] { return readInput(command); }), nullptr, &analysis);
  analysis.finish(outcome);
  const SourceView view = places ? places->view(analysis) : SourceView{};
  const SourceView* shown = places ? &view : nullptr;
  if (command.form == Command::kJson) {
    std::cout << traceJson(analysis, false, shown);
  } else if (command.form == Command::kDot) {
    std::cout << traceDot(analysis, shown);
  } else {
    if (!command.notation && !isCoreInput(analysis.input())) {
      std::cerr << message(MessageId::kTraceNotationNote, {command.inputPath}) << '\n';
    }
    std::cerr << (shown != nullptr
                      ? diagnosticsText(view.diagnostics, command.file, command.inputPath)
                      : diagnosticsText(analysis.diagnostics(), analysis.input(),
                                        command.inputPath))
              << std::flush;
    if (outcome.status != RunOutcome::kSuccess) report.reportFailure(outcome);
    std::cout << steps.str();
  }
  return outcome.status;
}

// Runs the input as relalgrun does and prints the SQL script of its result, or relalgrun's report
// of its failure (and no script).
int writeSql(const Command& command) {
  const SqlScript sql = sqlScript([&] { return readInput(command); });
  if (sql.outcome.status != RunOutcome::kSuccess) {
    std::cerr << sql.outcome.errorText();
    return sql.outcome.status;
  }
  if (!sql.inexactReason.empty()) {
    std::cerr << message(MessageId::kTraceSqlInexact, {sql.inexactReason}) << '\n';
  }
  std::cout << sql.script;
  return EXIT_SUCCESS;
}

// Runs the form asked for. A lack of memory while the form is written ends as relalgrun ends on
// it: "Ismeretlen hiba" and status 3 (the JSON form says so in JSON).
int traceOrReport(const Command& command) {
  try {
    return command.form == Command::kSql ? writeSql(command) : trace(command);
  } catch (const std::bad_alloc&) {
    const RunOutcome failed = failureOutcome();
    if (command.form == Command::kJson) {
      std::cout << outOfMemoryJson();
    } else {
      std::cerr << failed.errorText();
    }
    return failed.status;
  }
}

// Lowers the notation file, then prints the lowered input (--core) or traces it in the form asked
// for; a notation error is shown as a compiler shows its errors (in JSON with --json), with
// status 1. A file that cannot be read is reported as relalgrun reports it.
int traceNotation(Command& command) {
  try {
    command.file = readFile(command.inputPath);
  } catch (const AdbException&) {
    return traceOrReport(command);
  }
  try {
    command.lowered = lowerNotation(command.file, command.allow);
  } catch (const NotationError& error) {
    const std::vector<Diagnostic> diagnostics{notationDiagnostic(error, command.file)};
    const std::string text = diagnosticsText(diagnostics, command.file, command.inputPath);
    if (command.form == Command::kJson && !command.core) {
      std::cout << rejectedJson(EXIT_FAILURE, text, diagnostics);
    } else {
      std::cerr << text;
    }
    return EXIT_FAILURE;
  }
  if (command.core) {
    std::cout << command.lowered->input;
    return EXIT_SUCCESS;
  }
  if (command.form == Command::kText) std::cout << "core: " << command.lowered->coreLine << '\n';
  return traceOrReport(command);
}

}  // namespace

int main(int argc, char* argv[]) {
  std::ios::sync_with_stdio(false);
  std::signal(SIGXFSZ, SIG_IGN);  // a file size limit is a write error, said as one
  Command command;
  int status;
  if (std::optional<int> handled = parseArguments(argc, argv, command)) {
    status = *handled;
  } else {
    if (command.maxMemory) capMemory(*command.maxMemory);
    status = command.notation ? traceNotation(command) : traceOrReport(command);
  }
  if (!std::cout.flush()) {
    std::cerr << message(MessageId::kTraceWriteError) << '\n';
    return EXIT_FAILURE;
  }
  return status;
}
