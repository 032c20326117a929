#include "programs/CheckProcesses.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <charconv>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <set>
#include <string_view>

#include "base/JsonWriter.h"
#include "base/Messages.h"
#include "base/Threads.h"
#include "base/UniqueFd.h"
#include "grading/Counterexamples.h"
#include "grading/GradeReport.h"
#include "programs/CheckChild.h"

namespace relalg {

namespace {

// Wall time above the processor time limit after which a check that uses no processor time is
// stopped as stuck.
constexpr double kStuckSeconds = 10;
// Times a check may fail to start with nothing else running before it is not graded, and the
// pause before each new try.
constexpr unsigned kStartsAlone = 3;
constexpr auto kRetryPause = std::chrono::milliseconds(200);

// Checks made to fail to start, for the tests: RELALG_CHECK_FAULTS=fork:N,pipe:N,thread:N makes
// the process, the pipe or the watchdog thread of a check fail to start while N or more checks
// are running (as a limit on processes or descriptors would).
struct StartFaults {
  size_t fork = SIZE_MAX;
  size_t pipe = SIZE_MAX;
  size_t thread = SIZE_MAX;

  static StartFaults fromEnvironment() {
    StartFaults faults;
    const char* text = std::getenv("RELALG_CHECK_FAULTS");
    for (std::string_view rest = text != nullptr ? text : ""; !rest.empty();) {
      const std::string_view item = rest.substr(0, rest.find(','));
      rest.remove_prefix(std::min(rest.size(), item.size() + 1));
      const size_t colon = item.find(':');
      size_t count = 0;
      if (colon == std::string_view::npos ||
          std::from_chars(item.data() + colon + 1, item.data() + item.size(), count).ec !=
              std::errc()) {
        continue;
      }
      const std::string_view what = item.substr(0, colon);
      (what == "fork" ? faults.fork : what == "pipe" ? faults.pipe : faults.thread) = count;
    }
    return faults;
  }
};

// The report that checkInChild encodes, or nothing when the bytes are not one.
std::optional<Finished> decodeReport(const std::string& bytes) {
  if (bytes.size() < 2 || bytes[0] < '0' || bytes[0] > '2') return std::nullopt;
  std::string parts[3];
  size_t at = 1;
  for (std::string& part : parts) {
    const size_t newline = bytes.find('\n', at);
    if (newline == std::string::npos) return std::nullopt;
    size_t length = 0;
    const auto [end, error] = std::from_chars(bytes.data() + at, bytes.data() + newline, length);
    if (error != std::errc() || end != bytes.data() + newline ||
        length > bytes.size() - newline - 1) {
      return std::nullopt;
    }
    part = bytes.substr(newline + 1, length);
    at = newline + 1 + length;
  }
  if (at != bytes.size()) return std::nullopt;
  return Finished{static_cast<Verdict>(bytes[0] - '0'), std::move(parts[0]), std::move(parts[1]),
                  std::move(parts[2])};
}

// The processor time that a running child has used, in seconds; nothing when it cannot be told.
std::optional<double> processorSeconds(pid_t process) {
  clockid_t clock;
  timespec used{};
  if (clock_getcpuclockid(process, &clock) != 0 || clock_gettime(clock, &used) != 0) {
    return std::nullopt;
  }
  return static_cast<double>(used.tv_sec) + static_cast<double>(used.tv_nsec) * 1e-9;
}

// Names for the saved counterexamples: each submission's file name without its folder and
// .txt, made unique by -2, -3, ... in the order of the submissions.
std::vector<std::string> uniqueNames(const std::vector<std::string>& submissions) {
  std::vector<std::string> names;
  std::set<std::string> taken;
  for (const std::string& file : submissions) {
    std::string name = file.substr(file.find_last_of('/') + 1);
    if (name.ends_with(".txt")) name.resize(name.size() - 4);
    std::string unique = name;
    for (int k = 2; !taken.insert(unique).second; ++k) unique = name + "-" + std::to_string(k);
    names.push_back(unique);
  }
  return names;
}

}  // namespace

std::string sizeText(size_t bytes) { return std::to_string(bytes >> 20) + " MiB"; }

// Where the first empty line of text begins, looking at the lines that begin at from or later
// (from is 0 or just after a line feed), or npos. An empty line holds nothing, or one carriage
// return, before its line feed.
size_t emptyLineAt(std::string_view text, size_t from) {
  for (size_t begin = from; begin < text.size();) {
    if (text[begin] == '\n' || text.substr(begin, 2) == "\r\n") return begin;
    const size_t end = text.find('\n', begin);
    if (end == std::string_view::npos) break;
    begin = end + 1;
  }
  return std::string_view::npos;
}

GradedFile readGradedFile(const std::string& path, size_t limit, bool programOnly) {
  GradedFile file;
  const UniqueFd descriptor(open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  struct stat status {};
  if (!descriptor || fstat(descriptor.get(), &status) != 0) {
    file.problem = GradedFile::kUnreadable;
    return file;
  }
  if (!S_ISREG(status.st_mode)) {
    file.problem = GradedFile::kNotRegular;
    return file;
  }
  char block[1 << 16];
  size_t lineBegin = 0;  // the first line not yet seen whole, while reading a program
  for (;;) {
    const ssize_t count = read(descriptor.get(), block, sizeof block);
    if (count < 0 && errno == EINTR) continue;
    if (count < 0) file.problem = GradedFile::kUnreadable;
    if (count <= 0) break;
    file.bytes.append(block, static_cast<size_t>(count));
    const size_t empty = programOnly ? emptyLineAt(file.bytes, lineBegin) : std::string::npos;
    if (empty != std::string::npos) file.bytes.resize(empty);
    if (file.bytes.size() > limit) {
      file.problem = GradedFile::kTooLarge;
      file.bytes.clear();
      break;
    }
    if (empty != std::string::npos) break;
    if (programOnly) {
      const size_t lastFeed = file.bytes.rfind('\n');
      lineBegin = lastFeed == std::string::npos ? 0 : lastFeed + 1;
    }
  }
  return file;
}

struct CheckProcesses::Running {
  size_t index;
  std::unique_ptr<ChildProcess> process;
  std::string received;
  WallClock::time_point progressCheckAt;
  double processorSecondsAtCheck = 0;
  bool stuck = false;
};

CheckProcesses::CheckProcesses(const CheckSettings& settings, const Exercise& exercise,
                               const std::vector<std::string>& submissions)
    : settings_(settings),
      exercise_(exercise),
      submissions_(submissions),
      jobs_(settings.jobs > 0 ? settings.jobs : threadCount()),
      saveNames_(uniqueNames(submissions)),
      firstLines_(submissions.size()),
      failedAlone_(submissions.size()),
      finished_(submissions.size()) {
  assert(jobs_ > 0);
  for (size_t k = 0; k < submissions.size(); ++k) waiting_.push_back(k);
}

CheckProcesses::~CheckProcesses() = default;

void CheckProcesses::startWhatFits() {
  while (!waiting_.empty() && running_.size() < jobs_ && WallClock::now() >= retryAt_) {
    const size_t k = waiting_.front();
    if (!firstLines_[k]) {
      firstLines_[k] = readGradedFile(submissions_[k], kMaxSubmissionProgramBytes, true);
    }
    if (const GradedFile::Problem problem = firstLines_[k]->problem; problem != GradedFile::kNone) {
      waiting_.pop_front();
      finishWithout(
          k, Verdict::kFailed,
          problem == GradedFile::kNotRegular ? message(MessageId::kCheckSubmissionNotRegular)
          : problem == GradedFile::kTooLarge
              ? message(MessageId::kCheckProgramTooLong, {sizeText(kMaxSubmissionProgramBytes)})
              : message(MessageId::kCheckUnreadableSubmission));
      continue;
    }
    if (start(k)) {
      waiting_.pop_front();
    } else {
      notStarted(k, std::strerror(errno));
    }
  }
}

bool CheckProcesses::start(size_t k) {
  static const StartFaults faults = StartFaults::fromEnvironment();
  const size_t running = running_.size();
  if (running >= faults.fork || running >= faults.pipe) {
    errno = running >= faults.pipe ? EMFILE : EAGAIN;
    return false;
  }
  const bool failThread = running >= faults.thread;
  const std::string& file = submissions_[k];
  const std::string& bytes = firstLines_[k]->bytes;
  const std::string& saveName = saveNames_[k];
  std::unique_ptr<ChildProcess> process = ChildProcess::start([&](int descriptor) {
    checkInChild(settings_, exercise_, file, bytes, saveName, failThread, descriptor);
  });
  if (process == nullptr) return false;
  const double limit = std::ceil(2 * settings_.grade.budgetSeconds + kCpuGraceSeconds);
  running_.push_back(std::make_unique<Running>(Running{
      k, std::move(process), {}, after(WallClock::now(), limit + kStuckSeconds), 0, false}));
  return true;
}

// A check could not start for the grader's own want of processes, descriptors or threads: with
// other checks running, it waits for one of them to end, and fewer run at once from then on;
// alone, it is tried again a few times, and then not graded.
void CheckProcesses::notStarted(size_t k, const std::string& errorText) {
  if (!running_.empty()) {
    jobs_ = running_.size();
    return;
  }
  if (++failedAlone_[k] < kStartsAlone) {
    retryAt_ = WallClock::now() + kRetryPause * failedAlone_[k];
    return;
  }
  std::erase(waiting_, k);
  finishWithout(k, Verdict::kNotGraded, message(MessageId::kCheckCouldNotStart, {errorText}));
}

// Waits until a running check sends bytes or ends, a progress check is due, or a retry.
void CheckProcesses::wait() {
  WallClock::time_point soonest = WallClock::time_point::max();
  if (!waiting_.empty() && running_.size() < jobs_) soonest = retryAt_;
  std::vector<pollfd> polled;
  for (const auto& check : running_) {
    polled.push_back({check->process->descriptor(), POLLIN, 0});
    soonest = std::min(soonest, check->progressCheckAt);
  }
  if (polled.empty() && soonest == WallClock::time_point::max()) return;
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
      soonest - std::min(soonest, WallClock::now()));
  const int timeout = static_cast<int>(std::clamp<long long>(left.count() + 1, 0, 60000));
  if (poll(polled.data(), polled.size(), timeout) < 0 && errno != EINTR) return;
  for (size_t k = running_.size(); k-- > 0;) {
    Running& check = *running_[k];
    if (polled[k].revents != 0) {
      char buffer[1 << 16];
      const ssize_t count = read(check.process->descriptor(), buffer, sizeof buffer);
      if (count > 0) check.received.append(buffer, static_cast<size_t>(count));
      if (count == 0 || (count < 0 && errno != EINTR && errno != EAGAIN)) {
        const std::unique_ptr<Running> ended = std::move(running_[k]);
        running_.erase(running_.begin() + static_cast<std::ptrdiff_t>(k));
        end(*ended);
        continue;
      }
    }
    if (WallClock::now() >= check.progressCheckAt) checkProgress(check);
  }
}

// A check that has used no processor time since the last look, a long while ago, is stuck.
void CheckProcesses::checkProgress(Running& check) {
  const std::optional<double> used = processorSeconds(check.process->id());
  if (!check.stuck && used && *used <= check.processorSecondsAtCheck) {
    check.stuck = true;
    check.process->kill();
  }
  check.processorSecondsAtCheck = used.value_or(check.processorSecondsAtCheck);
  check.progressCheckAt = after(WallClock::now(), kStuckSeconds);
}

void CheckProcesses::end(Running& check) {
  const size_t k = check.index;
  rusage usage{};
  const int status = check.process->wait(&usage);
  const double used = static_cast<double>(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                      static_cast<double>(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) * 1e-6;
  const double cpuLimit = std::ceil(2 * settings_.grade.budgetSeconds + kCpuGraceSeconds);
  const bool exited = WIFEXITED(status);
  if (exited && WEXITSTATUS(status) == kReportSent) {
    if (std::optional<Finished> decoded = decodeReport(check.received)) {
      finished_[k] = std::move(decoded);
      firstLines_[k].reset();
      return;
    }
  }
  if (exited && WEXITSTATUS(status) == kCouldNotStart) {
    waiting_.push_front(k);
    notStarted(k, "no thread could be started");
    return;
  }
  auto ended = [&](Verdict verdict, const std::string& what) {
    finishWithout(k, verdict, message(MessageId::kCheckEndedAbnormally, {what}));
  };
  const int signal = WIFSIGNALED(status) ? WTERMSIG(status) : 0;
  if (check.stuck) {
    ended(Verdict::kNotGraded,
          "made no progress for " + secondsText(kStuckSeconds) + " s and was stopped");
  } else if (signal == SIGXCPU || (signal == SIGKILL && used >= cpuLimit)) {
    ended(Verdict::kFailed, "stopped after " + secondsText(cpuLimit) + " s of processor time");
  } else if (exited && WEXITSTATUS(status) == kOutOfMemory) {
    ended(Verdict::kFailed, message(MessageId::kCheckOutOfMemory));
  } else if (signal != 0) {
    ended(Verdict::kNotGraded, "signal " + std::to_string(signal));
  } else {
    ended(Verdict::kNotGraded, "exit status " + std::to_string(WEXITSTATUS(status)));
  }
}

void CheckProcesses::finishWithout(size_t k, Verdict verdict, const std::string& reason) {
  SubmissionReport report;
  report.file = submissions_[k];
  if (firstLines_[k] && firstLines_[k]->problem == GradedFile::kNone) {
    report.expression = firstLine(firstLines_[k]->bytes);
  }
  report.verdict = verdict;
  report.reason = reason;
  JsonWriter json;
  writeReportJson(json, report, settings_.points);
  finished_[k] = Finished{verdict, reportText(report), json.str(), {}};
  firstLines_[k].reset();
}

}  // namespace relalg
