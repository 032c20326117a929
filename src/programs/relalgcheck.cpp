// relalgcheck [OPTION]... EXERCISE SUBMISSION...: grades submitted expressions against the
// reference expression on the first line of EXERCISE, over its tables, more data sets and data
// sets it generates, and shows a small counterexample for each wrong submission.
// relalgcheck --link EXERCISE: prints a link that opens the exercise in the browser page.
// Each submission is checked in a process of its own (CheckProcesses).
#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/AdbException.h"
#include "base/JsonWriter.h"
#include "base/MemoryCeiling.h"
#include "base/Messages.h"
#include "base/Threads.h"
#include "base/Windows1250.h"
#include "diagnostics/Diagnostics.h"
#include "files/FileReplacement.h"
#include "grading/ExerciseFile.h"
#include "grading/ExerciseLink.h"
#include "grading/Grader.h"
#include "grading/SlipDataSets.h"
#include "notation/Notation.h"
#include "notation/NotationError.h"
#include "notation/NotationPlaces.h"
#include "programs/CheckProcesses.h"
#include "programs/CommandLine.h"

using namespace relalg;

namespace {

constexpr int kExitWrong = 1;
constexpr int kExitUsage = 2;
// The least memory that --max-memory gives a check: less would let no check start.
constexpr size_t kLeastMaxMemory = size_t{32} << 20;

constexpr std::string_view kHelp =
    "Usage: relalgcheck [OPTION]... EXERCISE SUBMISSION...\n"
    "       relalgcheck --link [--page=URL] [--compare=MODE] [--data=FILE]... EXERCISE\n"
    "                          [SUBMISSION]...\n"
    "Grade each SUBMISSION (a file whose first line is an expression, or a program in\n"
    "textbook notation) against the reference expression on the first line of EXERCISE\n"
    "(or its program), over the tables below it and\n"
    "over the data sets of --data. Where a submission is right on all of them, search\n"
    "generated data sets for one that tells it from the reference. A wrong submission is\n"
    "shown with a counterexample shrunk to a few records: an input file for relalgrun,\n"
    "with the expected and the given result side by side.\n"
    "\n"
    "      --data=FILE      one more data set: an input file with the exercise's tables\n"
    "                       (its first line is ignored); may be given again\n"
    "      --compare=MODE   set (default: the same records, ignoring their order,\n"
    "                       repeats and names), bag (repeats count) or exact (the\n"
    "                       result table's text)\n"
    "      --json           print one JSON object instead of text\n"
    "      --seed=N         the seed of the generated data sets (default 1)\n"
    "      --tries=N        generated data sets to try at most (default 10000)\n"
    "      --budget=SECONDS processor time for each submission (default 10)\n"
    "      --no-edge-values generate without the boundary values and the\n"
    "                       expressions' constants (used by default)\n"
    "      --points=right=N,wrong=N,failed=N\n"
    "                       give each submission the points of its verdict (JSON\n"
    "                       points); the exit status is then 0 when all are graded\n"
    "      --allow=LIST     what a notation submission may use: sigma, pi, rho,\n"
    "                       cross, union, minus, intersect, join, semijoin, antijoin,\n"
    "                       divide; steps for named steps, core for the prefix forms\n"
    "                       (default: all; an exercise's first line -- allow: LIST\n"
    "                       limits it too)\n"
    "      --save=DIR       write each counterexample, in the data's own bytes, to\n"
    "                       DIR/NAME.counterexample.txt (NAME: the submission's file name\n"
    "                       without .txt, then -2, -3... where submissions share it)\n"
    "      --max-memory=SIZE  memory for each submission, above what the grader\n"
    "                       holds (default 1G, at least 32M)\n"
    "      --jobs=N         submissions checked at once (default: one per processor)\n"
    "      --link           print a link that opens the exercise in the browser page,\n"
    "                       where a student checks an expression without seeing the\n"
    "                       reference, on its data sets and on more that tell the\n"
    "                       reference from its likely slips and from the SUBMISSIONs\n"
    "                       (--page=URL: the page's address, default index.html)\n"
    "      --help           display this help and exit\n"
    "      --version        output version information and exit\n"
    "\n"
    "Exit status: 0 when every submission is right (with --points: graded), 1 when\n"
    "one is wrong or failed, 2 when one could not be graded, on a command-line error,\n"
    "an unreadable exercise or data set, or a reference expression that fails. See\n"
    "relalgcheck(1).\n";

struct Command {
  std::string exercise;
  std::vector<std::string> dataFiles;
  std::vector<std::string> submissions;
  CompareMode mode = CompareMode::kSet;
  CheckSettings check;
  bool json = false;
  bool link = false;
  std::string page = "index.html";
  Allowlist allow;
};

int usageError(const std::string& line) {
  std::cerr << line << '\n' << message(MessageId::kCheckTryHelp) << '\n';
  return kExitUsage;
}

std::optional<uint64_t> parseCount(std::string_view text) {
  if (text.empty() || text.size() > 18) return std::nullopt;
  uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<uint64_t>(c - '0');
  }
  return value;
}

// A number of seconds written as people write one: digits with at most one decimal point, such
// as 10, 2.5 or .5 (no sign, blank, exponent or hexadecimal), greater than 0 and at most 86400.
std::optional<double> parseSeconds(std::string_view text) {
  const size_t point = text.find('.');
  const bool digitsOnly = std::all_of(text.begin(), text.end(),
                                      [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
  if (!digitsOnly || text.find_first_of("0123456789") == std::string_view::npos ||
      (point != std::string_view::npos && text.find('.', point + 1) != std::string_view::npos)) {
    return std::nullopt;
  }
  const double value = std::strtod(std::string(text).c_str(), nullptr);
  if (!(value > 0) || value > 86400) return std::nullopt;
  return value;
}

// Sets the option's value; false when the value is not one that the option takes.
bool setValue(Command& command, std::string_view option, std::string_view value) {
  if (option == "data") {
    command.dataFiles.emplace_back(value);
  } else if (option == "save") {
    if (value.empty()) return false;
    command.check.saveDir = value;
  } else if (option == "points") {
    if (!(command.check.points = parsePoints(value))) return false;
  } else if (option == "page") {
    command.page = value;
  } else if (option == "allow") {
    if (command.allow.restrict(value)) return false;
  } else if (option == "compare") {
    const std::optional<CompareMode> mode = compareModeNamed(value);
    if (!mode) return false;
    command.mode = *mode;
  } else if (option == "budget") {
    const std::optional<double> seconds = parseSeconds(value);
    if (!seconds) return false;
    command.check.grade.budgetSeconds = *seconds;
  } else if (option == "max-memory") {
    const std::optional<size_t> size = parseMemorySize(value);
    if (!size || *size < kLeastMaxMemory) return false;
    command.check.maxMemory = *size;
  } else {
    const std::optional<uint64_t> count = parseCount(value);
    if (!count) return false;
    if (option == "seed") {
      command.check.grade.seed = *count;
    } else if (option == "tries") {
      command.check.grade.maxTries = *count;
    } else {
      if (*count == 0 || *count > kMaxThreads) return false;
      command.check.jobs = static_cast<unsigned>(*count);
    }
  }
  return true;
}

// Reads the command line as GNU tools do: long options before or after the operands, a value
// as --option=VALUE or --option VALUE, and -- ending the options.
std::optional<int> parseArguments(int argc, char* argv[], Command& command) {
  constexpr std::string_view kFlags[] = {"help", "version",     "json",
                                         "link", "edge-values", "no-edge-values"};
  constexpr std::string_view kValued[] = {"data", "compare", "seed",       "tries",
                                          "budget", "jobs",  "max-memory", "save",
                                          "points", "page",  "allow"};
  std::vector<std::string> operands;
  CommandLine words(argc, argv);
  while (const std::optional<CommandLine::Word> word = words.next()) {
    const std::string_view arg = word->text;
    if (word->kind == CommandLine::Word::kOperand) {
      operands.emplace_back(arg);
      continue;
    }
    if (word->kind == CommandLine::Word::kShortOption) {
      return usageError(message(MessageId::kCheckUnknownOption, {arg}));
    }
    const std::string_view option = word->name;
    if (std::find(std::begin(kFlags), std::end(kFlags), option) != std::end(kFlags) &&
        !word->hasValue) {
      if (const std::optional<int> answered = helpOrVersion(option, "relalgcheck", kHelp)) {
        return answered;
      }
      command.json = command.json || option == "json";
      command.link = command.link || option == "link";
      if (option.ends_with("edge-values")) command.check.grade.edgeValues = option == "edge-values";
      continue;
    }
    if (std::find(std::begin(kValued), std::end(kValued), option) == std::end(kValued)) {
      return usageError(message(MessageId::kCheckUnknownOption, {arg}));
    }
    const std::optional<std::string_view> value = words.valueOf(*word);
    if (!value) return usageError(message(MessageId::kCheckOptionNeedsArgument, {option}));
    if (!setValue(command, option, *value)) {
      return usageError(message(MessageId::kCheckInvalidValue, {option, *value}));
    }
  }
  if (operands.empty()) return usageError(message(MessageId::kCheckMissingOperand, {"exercise"}));
  command.exercise = operands.front();
  command.submissions.assign(operands.begin() + 1, operands.end());
  if (command.submissions.empty() && !command.link) {
    return usageError(message(MessageId::kCheckMissingOperand, {"submission"}));
  }
  return std::nullopt;
}

// Whether counterexamples can be saved in dir: an existing folder where a file can be made. The
// exit status when they cannot.
std::optional<int> checkSaveFolder(const std::string& dir) {
  struct stat status {};
  std::string reason;
  if (::stat(dir.c_str(), &status) != 0) {
    reason = std::strerror(errno);
  } else if (!S_ISDIR(status.st_mode)) {
    reason = std::strerror(ENOTDIR);
  } else if (FileReplacement::create(dir, "relalgcheck") == nullptr) {
    reason = std::strerror(errno);
  } else {
    return std::nullopt;
  }
  std::cerr << message(MessageId::kCheckCannotSaveIn, {dir, reason}) << '\n';
  return kExitUsage;
}

// The reference of the exercise: its first line, or the lowering of its program; nothing after
// printing the notation's error.
std::optional<LoweredInput> lowerExercise(const std::string& path, const std::string& bytes) {
  try {
    return lowerNotation(bytes, Allowlist());
  } catch (const NotationError& error) {
    std::cerr << diagnosticsText({notationDiagnostic(error, bytes)}, bytes, path);
    return std::nullopt;
  }
}

// The tables of a data set's file, read as the exercise reads them: below its first line, or
// below the program of a notation file.
DataSet readDataSet(const std::string& path, const std::string& bytes) {
  if (isCoreInput(bytes)) return DataSet::read(path, bytes);
  return DataSet::read(path, "\n" + bytes.substr(programEnd(bytes)));
}

// The exercise and its data sets, read and checked; the exit status when they cannot be.
std::optional<int> readExercise(const Command& command, std::optional<Exercise>& exercise,
                                ExerciseDeclarations& declared) {
  std::vector<DataSet> given;
  std::string reference;
  Allowlist allow = command.allow;
  bool notation = false;
  for (size_t k = 0; k <= command.dataFiles.size(); ++k) {
    const std::string& path = k == 0 ? command.exercise : command.dataFiles[k - 1];
    GradedFile file = readGradedFile(path, kMaxDataSetBytes);
    if (k == 0) declared = takeDeclarations(file.bytes);
    if (file.problem != GradedFile::kNone) {
      std::cerr << (file.problem == GradedFile::kNotRegular
                        ? message(MessageId::kCheckNotRegularFile, {path})
                    : file.problem == GradedFile::kTooLarge
                        ? message(MessageId::kCheckFileTooLarge, {path, sizeText(kMaxDataSetBytes)})
                        : message(MessageId::kCheckCannotRead, {path}))
                << '\n';
      return kExitUsage;
    }
    if (k == 0) {
      const std::optional<LoweredInput> lowered = lowerExercise(path, file.bytes);
      if (!lowered) return kExitUsage;
      reference = lowered->passedThrough ? firstLine(file.bytes) : lowered->coreLine;
      allow.restrict(lowered->allow.names());
      notation = !lowered->passedThrough || allow.names() != Allowlist().names();
    }
    try {
      given.push_back(readDataSet(path, file.bytes));
    } catch (const AdbException& error) {
      std::cerr << windows1250ToUtf8(
                       message(MessageId::kCheckBadDataSet, {path, error.getMessage()}))
                << '\n';
      return kExitUsage;
    }
    if (const std::string where = tableDifference(given.front(), given.back()); !where.empty()) {
      std::cerr << message(MessageId::kCheckOtherTables, {path, where}) << '\n';
      return kExitUsage;
    }
  }
  Constraints constraints;
  if (const auto broken = readConstraints(declared, command.exercise, given, constraints)) {
    std::cerr << *broken << '\n';
    return kExitUsage;
  }
  exercise.emplace(std::move(reference), std::move(given), command.mode, std::move(constraints),
                   allow, notation);
  if (const std::optional<size_t> failing = exercise->failingDataSet()) {
    const std::string words =
        failureMessage(exercise->expected()[*failing], exercise->reference().line());
    std::cerr << message(MessageId::kCheckReferenceFails,
                         {exercise->given()[*failing].name(), words})
              << '\n';
    return kExitUsage;
  }
  return std::nullopt;
}

int gradeAll(const Command& command, const Exercise& exercise) {
  CheckProcesses checks(command.check, exercise, command.submissions);
  size_t counts[4] = {0, 0, 0, 0};
  if (command.json) {
    JsonWriter points;
    if (command.check.points) writePoints(points, *command.check.points);
    std::cout << "{\"exercise\":" << JsonWriter().text(command.exercise).str() << ",\"reference\":"
              << JsonWriter().text(exercise.reference().line(), JsonWriter::kInputText).str()
              << ",\"compare\":\"" << compareModeName(command.mode) << "\","
              << (command.check.points ? "\"points\":" + points.str() + "," : "")
              << "\"submissions\":[";
  }
  size_t shown = 0;
  checks.run([&](const Finished& finished) {
    ++counts[static_cast<size_t>(finished.verdict)];
    if (command.json) {
      std::cout << (shown++ > 0 ? "," : "") << finished.json << std::flush;
    } else {
      std::cout << finished.text << std::flush;
    }
  });
  const size_t notGraded = counts[static_cast<size_t>(Verdict::kNotGraded)];
  const auto submissions = [](size_t count) {
    return std::to_string(count) + " submission" + (count == 1 ? "" : "s");
  };
  if (command.json) {
    std::cout << "]}\n";
  } else {
    std::cout << "right: " << counts[0] << ", wrong: " << counts[1] << ", failed: " << counts[2]
              << (notGraded > 0 ? ", not graded: " + std::to_string(notGraded) : "") << " ("
              << submissions(command.submissions.size()) << ")\n";
  }
  if (notGraded > 0) {
    std::cerr << message(MessageId::kCheckNotGraded, {submissions(notGraded)}) << '\n';
    return kExitUsage;
  }
  // With points, a wrong answer is a score like any other: the run succeeded.
  return counts[0] == command.submissions.size() || command.check.points ? EXIT_SUCCESS
                                                                         : kExitWrong;
}

// Prints the exercise's link: its given data sets, those that tell the reference from its likely
// slips and, for submissions given (last year's), the counterexamples found on generated data
// sets, which none of the others told apart. Says on standard error what the link holds.
int printLink(const Command& command, const Exercise& exercise,
              const ExerciseDeclarations& declared) {
  SlipDataSets chosen = slipDataSets(exercise, command.check.grade);
  const size_t fromSlips = chosen.dataSets.size();
  if (!command.submissions.empty()) {
    std::vector<DataSet> given = exercise.given();
    given.insert(given.end(), chosen.dataSets.begin(), chosen.dataSets.end());
    const Exercise wider(exercise.reference().line(), std::move(given), exercise.mode(),
                         exercise.constraints(), exercise.allow(), exercise.notation());
    CheckSettings settings = command.check;
    settings.saveDir.clear();
    CheckProcesses(settings, wider, command.submissions).run([&](const Finished& finished) {
      if (finished.generatedCounterexample.empty()) return;
      try {
        chosen.dataSets.push_back(
            DataSet::read("check-" + std::to_string(chosen.dataSets.size() + 1),
                          finished.generatedCounterexample));
      } catch (const AdbException&) {
        // values that do not read back as written: the submission's own counterexample is lost
      }
    });
  }
  std::string task;
  for (const std::string& line : declared.task) task += (task.empty() ? "" : "\n") + line;
  const std::string link = exerciseLink(
      exercise, chosen.dataSets,
      declared.title.empty() ? command.exercise.substr(command.exercise.find_last_of('/') + 1)
                             : declared.title,
      task, command.page);
  std::cout << link << '\n';
  std::cerr << message(MessageId::kCheckLinkNote,
                       {std::to_string(exercise.given().size()), std::to_string(fromSlips),
                        std::to_string(chosen.told), std::to_string(chosen.slips),
                        std::to_string(chosen.dataSets.size() - fromSlips),
                        std::to_string(link.size())})
            << '\n';
  for (const Mutant& slip : chosen.missed) {
    std::cerr << message(MessageId::kCheckSlipMissed, {slip.slip, slip.line}) << '\n';
  }
  return EXIT_SUCCESS;
}

}  // namespace

int main(int argc, char* argv[]) {
  std::ios::sync_with_stdio(false);
  signal(SIGPIPE, SIG_IGN);
  endChildrenOnSignal();
  signal(SIGXFSZ, SIG_IGN);  // a file size limit is a write error, said as one
  Command command;
  int status;
  std::optional<Exercise> exercise;
  ExerciseDeclarations declared;
  if (std::optional<int> handled = parseArguments(argc, argv, command)) {
    status = *handled;
  } else if (std::optional<int> unreadable = readExercise(command, exercise, declared)) {
    status = *unreadable;
  } else if (std::optional<int> unsaved = command.check.saveDir.empty() || command.link
                                              ? std::nullopt
                                              : checkSaveFolder(command.check.saveDir)) {
    status = *unsaved;
  } else if (command.link) {
    status = printLink(command, *exercise, declared);
  } else {
    status = gradeAll(command, *exercise);
  }
  if (!std::cout.flush()) {
    std::cerr << message(MessageId::kCheckWriteError) << '\n';
    return kExitUsage;
  }
  return status;
}
