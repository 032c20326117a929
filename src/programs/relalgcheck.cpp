// relalgcheck [OPTION]... EXERCISE SUBMISSION...: grades submitted expressions against the
// reference expression on the first line of EXERCISE, over its tables, more data sets and data
// sets it generates, and shows a small counterexample for each wrong submission.
// relalgcheck --link EXERCISE: prints a link that opens the exercise in the browser page.
// Each submission is checked in a process of its own (one evaluation thread, a memory ceiling, a
// time budget), so that no submission can take the grader down with it.
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <deque>
#include <iostream>
#include <limits>
#include <mutex>
#include <optional>
#include <string>
#include <string_view>
#include <thread>
#include <vector>

#include "base/AdbException.h"
#include "base/MemoryCeiling.h"
#include "base/Messages.h"
#include "base/Threads.h"
#include "base/Windows1250.h"
#include "files/FileTools.h"
#include "grading/ExerciseLink.h"
#include "grading/GradeReport.h"
#include "grading/Grader.h"
#include "trace/JsonWriter.h"

using namespace relalg;

namespace {

constexpr int kExitWrong = 1;
constexpr int kExitUsage = 2;
constexpr size_t kDefaultMaxMemory = size_t{1} << 30;

constexpr std::string_view kHelp =
    "Usage: relalgcheck [OPTION]... EXERCISE SUBMISSION...\n"
    "       relalgcheck --link [--page=URL] [--compare=MODE] [--data=FILE]... EXERCISE\n"
    "Grade each SUBMISSION (a file whose first line is an expression) against the\n"
    "reference expression on the first line of EXERCISE, over the tables below it and\n"
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
    "      --budget=SECONDS time for each submission (default 10)\n"
    "      --edge-values    generate with boundary values and the expressions'\n"
    "                       constants too\n"
    "      --save=DIR       write each counterexample, in the data's own bytes, to\n"
    "                       DIR/NAME.counterexample.txt (NAME: the submission's file name)\n"
    "      --max-memory=SIZE  memory for each submission (default 1G)\n"
    "      --jobs=N         submissions checked at once (default: one per processor)\n"
    "      --link           print a link that opens the exercise in the browser page,\n"
    "                       where a student checks an expression without seeing the\n"
    "                       reference (--page=URL: the page's address, default index.html)\n"
    "      --help           display this help and exit\n"
    "      --version        output version information and exit\n"
    "\n"
    "Exit status: 0 when every submission is right, 1 when one is wrong or failed,\n"
    "2 on a command-line error, an unreadable exercise or data set, or a reference\n"
    "expression that fails. See relalgcheck(1).\n";

struct Command {
  std::string exercise;
  std::vector<std::string> dataFiles;
  std::vector<std::string> submissions;
  CompareMode mode = CompareMode::kSet;
  GradeSettings settings;
  size_t maxMemory = kDefaultMaxMemory;
  unsigned jobs = 0;
  bool json = false;
  bool link = false;
  std::string page = "index.html";
  std::string saveDir;
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

std::optional<double> parseSeconds(std::string_view text) {
  const std::string copy(text);
  char* end = nullptr;
  const double value = std::strtod(copy.c_str(), &end);
  if (copy.empty() || end != copy.c_str() + copy.size() || !(value > 0) || value > 86400) {
    return std::nullopt;
  }
  return value;
}

// Sets the option's value; false when the value is not one that the option takes.
bool setValue(Command& command, std::string_view option, std::string_view value) {
  if (option == "data") {
    command.dataFiles.emplace_back(value);
  } else if (option == "save") {
    if (value.empty()) return false;
    command.saveDir = value;
  } else if (option == "page") {
    command.page = value;
  } else if (option == "compare") {
    const std::optional<CompareMode> mode = compareModeNamed(value);
    if (!mode) return false;
    command.mode = *mode;
  } else if (option == "budget") {
    const std::optional<double> seconds = parseSeconds(value);
    if (!seconds) return false;
    command.settings.budgetSeconds = *seconds;
  } else if (option == "max-memory") {
    const std::optional<size_t> size = parseMemorySize(value);
    if (!size) return false;
    command.maxMemory = *size;
  } else {
    const std::optional<uint64_t> count = parseCount(value);
    if (!count) return false;
    if (option == "seed") {
      command.settings.seed = *count;
    } else if (option == "tries") {
      command.settings.maxTries = *count;
    } else {
      if (*count == 0 || *count > kMaxThreads) return false;
      command.jobs = static_cast<unsigned>(*count);
    }
  }
  return true;
}

// Reads the command line as GNU tools do: long options before or after the operands, a value
// as --option=VALUE or --option VALUE, and -- ending the options.
std::optional<int> parseArguments(int argc, char* argv[], Command& command) {
  constexpr std::string_view kFlags[] = {"help", "version", "json", "link", "edge-values"};
  constexpr std::string_view kValued[] = {"data", "compare", "seed",       "tries", "budget",
                                          "jobs", "save",    "max-memory", "page"};
  std::vector<std::string> operands;
  bool optionsEnded = false;
  for (int k = 1; k < argc; ++k) {
    const std::string_view arg = argv[k];
    if (optionsEnded || arg == "-" || !arg.starts_with("--")) {
      if (!optionsEnded && arg.starts_with("-") && arg != "-") {
        return usageError(message(MessageId::kCheckUnknownOption, {arg}));
      }
      operands.emplace_back(arg);
      continue;
    }
    if (arg == "--") {
      optionsEnded = true;
      continue;
    }
    const size_t equals = arg.find('=');
    const std::string_view option = arg.substr(2, equals - 2);
    if (std::find(std::begin(kFlags), std::end(kFlags), option) != std::end(kFlags) &&
        equals == std::string_view::npos) {
      if (option == "help") {
        std::cout << kHelp;
        return EXIT_SUCCESS;
      }
      if (option == "version") {
        std::cout << "relalgcheck (relalgrun) " RELALG_VERSION "\n";
        return EXIT_SUCCESS;
      }
      command.json = command.json || option == "json";
      command.link = command.link || option == "link";
      command.settings.edgeValues = command.settings.edgeValues || option == "edge-values";
      continue;
    }
    if (std::find(std::begin(kValued), std::end(kValued), option) == std::end(kValued)) {
      return usageError(message(MessageId::kCheckUnknownOption, {arg}));
    }
    std::string_view value;
    if (equals != std::string_view::npos) {
      value = arg.substr(equals + 1);
    } else if (k + 1 < argc) {
      value = argv[++k];
    } else {
      return usageError(message(MessageId::kCheckOptionNeedsArgument, {option}));
    }
    if (!setValue(command, option, value)) {
      return usageError(message(MessageId::kCheckInvalidValue, {option, value}));
    }
  }
  if (operands.empty()) return usageError(message(MessageId::kCheckMissingOperand, {"exercise"}));
  command.exercise = operands.front();
  command.submissions.assign(operands.begin() + 1, operands.end());
  if (command.submissions.empty() && !command.link) {
    return usageError(message(MessageId::kCheckMissingOperand, {"submission"}));
  }
  if (command.jobs == 0) command.jobs = threadCount();
  return std::nullopt;
}

std::optional<std::string> readWhole(const std::string& path) {
  try {
    return read_file(path);
  } catch (const AdbException&) {
    return std::nullopt;
  }
}

// The exercise and its data sets, read and checked; the exit status when they cannot be.
std::optional<int> readExercise(const Command& command, std::optional<Exercise>& exercise) {
  std::vector<DataSet> given;
  std::string reference;
  for (size_t k = 0; k <= command.dataFiles.size(); ++k) {
    const std::string& path = k == 0 ? command.exercise : command.dataFiles[k - 1];
    const std::optional<std::string> bytes = readWhole(path);
    if (!bytes) {
      std::cerr << message(MessageId::kCheckCannotRead, {path}) << '\n';
      return kExitUsage;
    }
    try {
      given.push_back(DataSet::read(path, *bytes));
    } catch (const AdbException& error) {
      std::cerr << windows1250ToUtf8(message(MessageId::kCheckBadDataSet, {path, error.getMessage()}))
                << '\n';
      return kExitUsage;
    }
    if (k == 0) reference = firstLine(*bytes);
    if (const std::string where = tableDifference(given.front(), given.back()); !where.empty()) {
      std::cerr << message(MessageId::kCheckOtherTables, {path, where}) << '\n';
      return kExitUsage;
    }
  }
  exercise.emplace(std::move(reference), std::move(given), command.mode);
  if (const std::optional<size_t> failing = exercise->failingDataSet()) {
    // relalgrun's message without its heading line, as UTF-8.
    const Outcome& outcome = exercise->expected()[*failing];
    std::string words = errorTextAsUtf8(outcome.errorText, isUtf8(exercise->reference().line()));
    const std::string heading = std::string(messageInfo(MessageId::kFailureHeading).pattern) + "\n";
    if (words.starts_with(heading)) words.erase(0, heading.size());
    while (!words.empty() && words.back() == '\n') words.pop_back();
    std::cerr << message(MessageId::kCheckReferenceFails,
                         {exercise->given()[*failing].name(), words})
              << '\n';
    return kExitUsage;
  }
  return std::nullopt;
}

// ---- Checking each submission in a process of its own ------------------------------------------

// What a check sends back: its verdict, then the lengths and bytes of its text and its JSON.
std::string encodeReport(const SubmissionReport& report) {
  JsonWriter json;
  writeReportJson(json, report);
  const std::string text = reportText(report);
  std::string out(1, static_cast<char>('0' + static_cast<int>(report.verdict)));
  out += std::to_string(text.size()) + "\n" + text + json.str();
  return out;
}

struct Finished {
  Verdict verdict = Verdict::kFailed;
  std::string text;
  std::string json;
};

std::optional<Finished> decodeReport(const std::string& bytes) {
  if (bytes.size() < 2 || bytes[0] < '0' || bytes[0] > '2') return std::nullopt;
  const size_t newline = bytes.find('\n');
  const std::optional<uint64_t> length =
      newline == std::string::npos ? std::nullopt : parseCount(std::string_view(bytes).substr(1, newline - 1));
  if (!length || newline + 1 + *length > bytes.size()) return std::nullopt;
  return Finished{static_cast<Verdict>(bytes[0] - '0'), bytes.substr(newline + 1, *length),
                  bytes.substr(newline + 1 + *length)};
}

// A report that the grader writes itself, for a submission whose check gave none.
Finished failedReport(const std::string& file, std::string expression, std::string reason) {
  SubmissionReport report;
  report.file = file;
  report.expression = std::move(expression);
  report.verdict = Verdict::kFailed;
  report.reason = std::move(reason);
  JsonWriter json;
  writeReportJson(json, report);
  return {Verdict::kFailed, reportText(report), json.str()};
}

// Cancels the work of the thread that made it once the time is up, unless destroyed before.
class Watchdog {
 public:
  Watchdog(CancelToken& token, std::chrono::steady_clock::time_point until)
      : thread_([this, &token, until] {
          std::unique_lock<std::mutex> lock(mutex_);
          if (!done_.wait_until(lock, until, [this] { return finished_; })) token.cancel();
        }) {}
  ~Watchdog() {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      finished_ = true;
    }
    done_.notify_one();
    thread_.join();
  }

 private:
  std::mutex mutex_;
  std::condition_variable done_;
  bool finished_ = false;
  std::thread thread_;
};

bool writeAll(int descriptor, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(descriptor, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

// Writes the counterexample's bytes to a file of dir named after the submission.
void saveCounterexample(const std::string& dir, SubmissionReport& report) {
  std::string name = report.file.substr(report.file.find_last_of('/') + 1);
  if (name.ends_with(".txt")) name.resize(name.size() - 4);
  const std::string path = dir + "/" + name + ".counterexample.txt";
  try {
    auto stream = safe_oopen(path);
    *stream << report.counterexample->input;
    safe_oclose(std::move(stream), path);
    report.savedAs = path;
  } catch (const AdbException&) {
    // The report says where it is only when it is there.
  }
}

// The body of a check's process: grades the submission on one thread under the memory ceiling,
// its work cancelled at twice the budget, and writes the report to descriptor.
[[noreturn]] void checkInChild(const Command& command, const Exercise& exercise,
                               const std::string& file, const std::string& bytes, int descriptor) {
  setenv("RELALG_THREADS", "1", 1);
  capMemory(command.maxMemory);
  try {
    CancelToken token;
    const CancelScope scope(&token);
    std::optional<SubmissionReport> report;
    {
      const Watchdog watchdog(token, std::chrono::steady_clock::now() +
                                         std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                             std::chrono::duration<double>(2 * command.settings.budgetSeconds)));
      report = grade(exercise, file, bytes, command.settings);
    }
    if (report->counterexample && !command.saveDir.empty()) saveCounterexample(command.saveDir, *report);
    _exit(writeAll(descriptor, encodeReport(*report)) ? EXIT_SUCCESS : EXIT_FAILURE);
  } catch (...) {
    _exit(3);
  }
}

struct Check {
  size_t index;
  pid_t process;
  int descriptor;
  std::chrono::steady_clock::time_point killAt;
  std::string received;
  bool killed = false;
};

class Checks {
 public:
  Checks(const Command& command, const Exercise& exercise)
      : command_(command), exercise_(exercise), finished_(command.submissions.size()) {}

  // Checks every submission, at most command.jobs at once; onFinished(k) is called as soon as
  // submissions 0 .. k are finished.
  template <class OnFinished>
  void run(OnFinished onFinished) {
    size_t next = 0;
    size_t shown = 0;
    while (next < finished_.size() || !running_.empty()) {
      while (next < finished_.size() && running_.size() < command_.jobs) start(next++);
      wait();
      while (shown < finished_.size() && finished_[shown]) onFinished(shown++);
    }
  }

  const Finished& finished(size_t k) const { return *finished_[k]; }

 private:
  void start(size_t k) {
    const std::string& file = command_.submissions[k];
    const std::optional<std::string> bytes = readWhole(file);
    if (!bytes) {
      finished_[k] = failedReport(file, "", message(MessageId::kCheckUnreadableSubmission));
      return;
    }
    int ends[2];
    std::cout.flush();
    if (pipe(ends) != 0) {
      finished_[k] = failedReport(file, firstLine(*bytes), message(MessageId::kCheckEndedAbnormally, {std::strerror(errno)}));
      return;
    }
    const pid_t process = fork();
    if (process == 0) {
      close(ends[0]);
      checkInChild(command_, exercise_, file, *bytes, ends[1]);
    }
    close(ends[1]);
    if (process < 0) {
      close(ends[0]);
      finished_[k] = failedReport(file, firstLine(*bytes), message(MessageId::kCheckEndedAbnormally, {std::strerror(errno)}));
      return;
    }
    // The check cancels its own work at twice the budget; a process still running some time
    // after that is stopped.
    const auto grace = std::chrono::duration<double>(2 * command_.settings.budgetSeconds + 5);
    running_.push_back({k, process, ends[0],
                        std::chrono::steady_clock::now() +
                            std::chrono::duration_cast<std::chrono::steady_clock::duration>(grace),
                        {}});
  }

  // Waits until a running check sends bytes or ends, or one is past its time.
  void wait() {
    if (running_.empty()) return;
    std::vector<pollfd> polled;
    auto soonest = running_.front().killAt;
    for (const Check& check : running_) {
      polled.push_back({check.descriptor, POLLIN, 0});
      soonest = std::min(soonest, check.killAt);
    }
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(soonest - std::chrono::steady_clock::now());
    const int timeout = static_cast<int>(std::clamp<long long>(left.count() + 1, 0, 60000));
    if (poll(polled.data(), polled.size(), timeout) < 0 && errno != EINTR) return;
    for (size_t k = running_.size(); k-- > 0;) {
      Check& check = running_[k];
      if (polled[k].revents != 0 && !receive(check)) {
        end(check);
        running_.erase(running_.begin() + static_cast<std::ptrdiff_t>(k));
      } else if (!check.killed && std::chrono::steady_clock::now() > check.killAt) {
        kill(check.process, SIGKILL);
        check.killed = true;
      }
    }
  }

  // Reads what the check sent; false once it has closed its end.
  static bool receive(Check& check) {
    char buffer[1 << 16];
    const ssize_t count = read(check.descriptor, buffer, sizeof buffer);
    if (count < 0 && errno == EINTR) return true;
    if (count <= 0) return false;
    check.received.append(buffer, static_cast<size_t>(count));
    return true;
  }

  void end(Check& check) {
    close(check.descriptor);
    int status = 0;
    while (waitpid(check.process, &status, 0) < 0 && errno == EINTR) {
    }
    const std::string& file = command_.submissions[check.index];
    const std::optional<Finished> decoded =
        WIFEXITED(status) && WEXITSTATUS(status) == 0 ? decodeReport(check.received) : std::nullopt;
    if (decoded) {
      finished_[check.index] = *decoded;
      return;
    }
    std::string what = check.killed ? "stopped after " + secondsText(2 * command_.settings.budgetSeconds + 5) + " s"
                       : WIFSIGNALED(status) ? "signal " + std::to_string(WTERMSIG(status))
                                             : "exit status " + std::to_string(WEXITSTATUS(status));
    if (WIFEXITED(status) && WEXITSTATUS(status) == 3) what = message(MessageId::kCheckOutOfMemory);
    const std::string expression = firstLine(readWhole(file).value_or(""));
    finished_[check.index] = failedReport(file, expression, message(MessageId::kCheckEndedAbnormally, {what}));
  }

  const Command& command_;
  const Exercise& exercise_;
  std::vector<std::optional<Finished>> finished_;
  std::vector<Check> running_;
};

int gradeAll(const Command& command, const Exercise& exercise) {
  Checks checks(command, exercise);
  size_t counts[3] = {0, 0, 0};
  if (command.json) {
    std::cout << "{\"exercise\":" << JsonWriter().text(command.exercise).str()
              << ",\"compare\":\"" << compareModeName(command.mode) << "\",\"submissions\":[";
  }
  checks.run([&](size_t k) {
    const Finished& finished = checks.finished(k);
    ++counts[static_cast<size_t>(finished.verdict)];
    if (command.json) {
      std::cout << (k > 0 ? "," : "") << finished.json;
    } else {
      std::cout << finished.text << std::flush;
    }
  });
  if (command.json) {
    std::cout << "]}\n";
  } else {
    std::cout << "right: " << counts[0] << ", wrong: " << counts[1] << ", failed: " << counts[2]
              << " (" << command.submissions.size() << " submission"
              << (command.submissions.size() == 1 ? "" : "s") << ")\n";
  }
  return counts[0] == command.submissions.size() ? EXIT_SUCCESS : kExitWrong;
}

}  // namespace

int main(int argc, char* argv[]) {
  std::ios::sync_with_stdio(false);
  signal(SIGPIPE, SIG_IGN);
  Command command;
  int status;
  std::optional<Exercise> exercise;
  if (std::optional<int> handled = parseArguments(argc, argv, command)) {
    status = *handled;
  } else if (std::optional<int> unreadable = readExercise(command, exercise)) {
    status = *unreadable;
  } else if (command.link) {
    const size_t slash = command.exercise.find_last_of('/');
    std::cout << exerciseLink(*exercise, command.exercise.substr(slash == std::string::npos ? 0 : slash + 1),
                              command.page)
              << '\n';
    status = EXIT_SUCCESS;
  } else {
    status = gradeAll(command, *exercise);
  }
  if (!std::cout.flush()) {
    std::cerr << message(MessageId::kCheckWriteError) << '\n';
    return kExitUsage;
  }
  return status;
}
