#include "programs/CheckProcesses.h"

#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cassert>
#include <cerrno>
#include <charconv>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <iostream>
#include <mutex>
#include <string_view>
#include <thread>

#include "base/AdbException.h"
#include "base/JsonWriter.h"
#include "base/MemoryCeiling.h"
#include "base/Messages.h"
#include "base/Threads.h"
#include "files/FileTools.h"
#include "grading/Counterexamples.h"
#include "grading/GradeReport.h"

namespace relalg {

namespace {

// What a check sends back: its verdict, then the length and bytes of its text, then its JSON.
std::string encodeReport(const SubmissionReport& report) {
  JsonWriter json;
  writeReportJson(json, report);
  const std::string text = reportText(report);
  std::string out(1, static_cast<char>('0' + static_cast<int>(report.verdict)));
  out += std::to_string(text.size()) + "\n" + text + json.str();
  return out;
}

std::optional<Finished> decodeReport(const std::string& bytes) {
  if (bytes.size() < 2 || bytes[0] < '0' || bytes[0] > '2') return std::nullopt;
  const size_t newline = bytes.find('\n');
  if (newline == std::string::npos) return std::nullopt;
  size_t length = 0;
  const auto [end, error] = std::from_chars(bytes.data() + 1, bytes.data() + newline, length);
  if (error != std::errc() || end != bytes.data() + newline ||
      length > bytes.size() - newline - 1) {
    return std::nullopt;
  }
  return Finished{static_cast<Verdict>(bytes[0] - '0'), bytes.substr(newline + 1, length),
                  bytes.substr(newline + 1 + length)};
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

Finished endedAbnormally(const std::string& file, const std::string& what) {
  return failedReport(file, firstLine(readWhole(file).value_or("")),
                      message(MessageId::kCheckEndedAbnormally, {what}));
}

// Cancels the work of the thread that made it once the time is up, unless destroyed before.
class Watchdog {
 public:
  Watchdog(CancelToken& token, Clock::time_point until)
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
[[noreturn]] void checkInChild(const CheckSettings& settings, const Exercise& exercise,
                               const std::string& file, const std::string& bytes, int descriptor) {
  setenv("RELALG_THREADS", "1", 1);
  capMemory(settings.maxMemory);
  try {
    CancelToken token;
    const CancelScope scope(&token);
    std::optional<SubmissionReport> report;
    {
      const Watchdog watchdog(token, after(Clock::now(), 2 * settings.grade.budgetSeconds));
      report = grade(exercise, file, bytes, settings.grade);
    }
    if (report->counterexample && !settings.saveDir.empty()) {
      saveCounterexample(settings.saveDir, *report);
    }
    _exit(writeAll(descriptor, encodeReport(*report)) ? EXIT_SUCCESS : EXIT_FAILURE);
  } catch (...) {
    _exit(3);
  }
}

}  // namespace

std::optional<std::string> readWhole(const std::string& path) {
  try {
    return readFile(path);
  } catch (const AdbException&) {
    return std::nullopt;
  }
}

CheckProcesses::CheckProcesses(const CheckSettings& settings, const Exercise& exercise,
                               const std::vector<std::string>& submissions)
    : settings_(settings),
      jobs_(settings.jobs > 0 ? settings.jobs : threadCount()),
      exercise_(exercise),
      submissions_(submissions),
      finished_(submissions.size()) {
  assert(jobs_ > 0);
}

void CheckProcesses::start(size_t k) {
  const std::string& file = submissions_[k];
  const std::optional<std::string> bytes = readWhole(file);
  if (!bytes) {
    finished_[k] = failedReport(file, "", message(MessageId::kCheckUnreadableSubmission));
    return;
  }
  int ends[2];
  std::cout.flush();
  if (pipe(ends) != 0) {
    finished_[k] = endedAbnormally(file, std::strerror(errno));
    return;
  }
  const pid_t process = fork();
  if (process == 0) {
    close(ends[0]);
    checkInChild(settings_, exercise_, file, *bytes, ends[1]);
  }
  close(ends[1]);
  if (process < 0) {
    close(ends[0]);
    finished_[k] = endedAbnormally(file, std::strerror(errno));
    return;
  }
  // The check cancels its own work at twice the budget; a process still running some time
  // after that is stopped.
  running_.push_back(
      {k, process, ends[0], after(Clock::now(), 2 * settings_.grade.budgetSeconds + 5), {}});
}

// Waits until a running check sends bytes or ends, or one is past its time.
void CheckProcesses::wait() {
  if (running_.empty()) return;
  std::vector<pollfd> polled;
  Clock::time_point soonest = running_.front().killAt;
  for (const Running& check : running_) {
    polled.push_back({check.descriptor, POLLIN, 0});
    soonest = std::min(soonest, check.killAt);
  }
  const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(soonest - Clock::now());
  const int timeout = static_cast<int>(std::clamp<long long>(left.count() + 1, 0, 60000));
  if (poll(polled.data(), polled.size(), timeout) < 0 && errno != EINTR) return;
  for (size_t k = running_.size(); k-- > 0;) {
    Running& check = running_[k];
    if (polled[k].revents != 0 && !receive(check)) {
      end(check);
      running_.erase(running_.begin() + static_cast<std::ptrdiff_t>(k));
    } else if (!check.killed && Clock::now() > check.killAt) {
      kill(check.process, SIGKILL);
      check.killed = true;
    }
  }
}

// Reads what the check sent; false once it has closed its end.
bool CheckProcesses::receive(Running& check) {
  char buffer[1 << 16];
  const ssize_t count = read(check.descriptor, buffer, sizeof buffer);
  if (count < 0 && errno == EINTR) return true;
  if (count <= 0) return false;
  check.received.append(buffer, static_cast<size_t>(count));
  return true;
}

void CheckProcesses::end(Running& check) {
  close(check.descriptor);
  int status = 0;
  while (waitpid(check.process, &status, 0) < 0 && errno == EINTR) {
  }
  const std::string& file = submissions_[check.index];
  const bool exitedWell = WIFEXITED(status) && WEXITSTATUS(status) == 0;
  if (std::optional<Finished> decoded = exitedWell ? decodeReport(check.received) : std::nullopt) {
    finished_[check.index] = std::move(*decoded);
    return;
  }
  std::string what;
  if (check.killed) {
    what = "stopped after " + secondsText(2 * settings_.grade.budgetSeconds + 5) + " s";
  } else if (WIFSIGNALED(status)) {
    what = "signal " + std::to_string(WTERMSIG(status));
  } else if (WEXITSTATUS(status) == 3) {
    what = message(MessageId::kCheckOutOfMemory);
  } else {
    what = "exit status " + std::to_string(WEXITSTATUS(status));
  }
  finished_[check.index] = endedAbnormally(file, what);
}

}  // namespace relalg
