#include "programs/CheckChild.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <mutex>
#include <new>
#include <string_view>
#include <system_error>
#include <thread>

#include "base/CpuClock.h"
#include "base/JsonWriter.h"
#include "base/MemoryCeiling.h"
#include "base/Messages.h"
#include "base/Threads.h"
#include "files/FileReplacement.h"

namespace relalg {

namespace {

// The processor time after the first stop at which the kernel kills a check outright.
constexpr rlim_t kCpuKillSeconds = 3;

// What a check sends back: its verdict, then its text, its JSON and the input of a counterexample
// found on a generated data set (else nothing), each as its length, a line feed and its bytes.
std::string encodeReport(const SubmissionReport& report, const std::optional<Points>& points) {
  JsonWriter json;
  writeReportJson(json, report, points);
  const bool generated = report.counterexample && report.counterexample->generated;
  std::string out(1, static_cast<char>('0' + static_cast<int>(report.verdict)));
  for (const std::string& part :
       {reportText(report), json.str(), generated ? report.counterexample->input : std::string()}) {
    out += std::to_string(part.size()) + "\n" + part;
  }
  return out;
}

bool writeAll(int descriptor, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t written = write(descriptor, bytes.data(), bytes.size());
    if (written < 0 && errno == EINTR) continue;
    if (written <= 0) return false;
    bytes.remove_prefix(static_cast<size_t>(written));
  }
  return true;
}

// Cancels the work of the thread that made it once this process has used limit of processor
// time, unless destroyed before.
class Watchdog {
 public:
  Watchdog(CancelToken& token, CpuClock::duration limit)
      : thread_([this, &token, limit] {
          std::unique_lock<std::mutex> lock(mutex_);
          while (!finished_) {
            const CpuClock::duration left = limit - CpuClock::now().time_since_epoch();
            if (left <= CpuClock::duration::zero()) {
              token.cancel();
              return;
            }
            // Processor time passes no faster than wall time.
            done_.wait_for(lock, std::clamp<CpuClock::duration>(left, std::chrono::milliseconds(1),
                                                                std::chrono::milliseconds(50)));
          }
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

// Writes the counterexample's bytes to dir/name.counterexample.txt, beside any file of that
// name and then in its place, never through a link; the report says where, or why not.
void saveCounterexample(const std::string& dir, const std::string& name, SubmissionReport& report) {
  const std::string file = name + ".counterexample.txt";
  const std::string path = dir + (dir.ends_with('/') ? "" : "/") + file;
  std::unique_ptr<FileReplacement> saved = FileReplacement::create(dir, file);
  if (saved != nullptr && writeAll(saved->descriptor(), report.counterexample->input) &&
      saved->commit()) {
    report.savedAs = path;
    return;
  }
  report.saveError = message(MessageId::kCheckNotSaved, {path, std::strerror(errno)});
}

// The limits of a check's process: processor time past twice the budget, then a kill; no core
// files.
void limitProcessorTime(double budgetSeconds) {
  const rlim_t soft = static_cast<rlim_t>(std::ceil(2 * budgetSeconds + kCpuGraceSeconds));
  const rlimit cpu{soft, soft + kCpuKillSeconds};
  setrlimit(RLIMIT_CPU, &cpu);
  const rlimit core{0, 0};
  setrlimit(RLIMIT_CORE, &core);
}

}  // namespace

[[noreturn]] void checkInChild(const CheckSettings& settings, const Exercise& exercise,
                               const std::string& file, const std::string& bytes,
                               const std::string& saveName, bool failThread, int descriptor) {
  setenv("RELALG_THREADS", "1", 1);
  capMemory(addressSpaceInUse() + settings.maxMemory);
  limitProcessorTime(settings.grade.budgetSeconds);
  try {
    CancelToken token;
    const CancelScope scope(&token);
    std::optional<SubmissionReport> report;
    {
      std::optional<Watchdog> watchdog;
      try {
        if (failThread)
          throw std::system_error(std::make_error_code(std::errc::resource_unavailable_try_again));
        watchdog.emplace(token,
                         std::chrono::duration_cast<CpuClock::duration>(
                             std::chrono::duration<double>(2 * settings.grade.budgetSeconds)));
      } catch (const std::system_error&) {
        _exit(kCouldNotStart);
      }
      report = grade(exercise, file, bytes, settings.grade);
    }
    if (report->counterexample && !settings.saveDir.empty()) {
      saveCounterexample(settings.saveDir, saveName, *report);
    }
    _exit(writeAll(descriptor, encodeReport(*report, settings.points)) ? kReportSent
                                                                       : kReportNotSent);
  } catch (const std::bad_alloc&) {
    _exit(kOutOfMemory);
  } catch (...) {
    _exit(kInternalError);
  }
}

}  // namespace relalg
