#include "programs/ChildProcess.h"

#include <fcntl.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <iostream>

#ifdef __linux__
#include <sys/prctl.h>
#endif

#include "base/Threads.h"

namespace relalg {

namespace {

constexpr int kEndingSignals[] = {SIGTERM, SIGINT, SIGHUP};

// The children running, for the signal handler; a free place holds 0. Lock-free atomics may be
// touched in a signal handler.
constexpr size_t kMostChildren = 4 * kMaxThreads;
std::atomic<pid_t> runningChildren[kMostChildren];
static_assert(std::atomic<pid_t>::is_always_lock_free);

void noteRunning(pid_t process) {
  for (std::atomic<pid_t>& place : runningChildren) {
    pid_t free = 0;
    if (place.compare_exchange_strong(free, process)) return;
  }
}

void noteEnded(pid_t process) {
  for (std::atomic<pid_t>& place : runningChildren) {
    pid_t held = process;
    if (place.compare_exchange_strong(held, 0)) return;
  }
}

// Kills and reaps every running child, then ends this process by the signal (only
// async-signal-safe calls here).
void endWithChildren(int signal) {
  for (std::atomic<pid_t>& place : runningChildren) {
    const pid_t process = place.exchange(0);
    if (process <= 0) continue;
    ::kill(process, SIGKILL);
    while (::waitpid(process, nullptr, 0) < 0 && errno == EINTR) {
    }
  }
  ::signal(signal, SIG_DFL);
  ::raise(signal);
}

// What a new process does before its body: the default handlers, and death with its parent.
void prepareChild(pid_t parent) {
  for (int signal : kEndingSignals) ::signal(signal, SIG_DFL);
#ifdef __linux__
  ::prctl(PR_SET_PDEATHSIG, SIGKILL);
#endif
  if (::getppid() != parent) _exit(127);  // the parent ended before the line above
}

}  // namespace

std::unique_ptr<ChildProcess> ChildProcess::start(const std::function<void(int)>& body) {
  int ends[2];
  if (::pipe2(ends, O_CLOEXEC) != 0) return nullptr;
  UniqueFd reading(ends[0]);
  UniqueFd writing(ends[1]);
  std::cout.flush();
  std::cerr.flush();
  const pid_t parent = ::getpid();
  const pid_t process = ::fork();
  if (process < 0) return nullptr;
  if (process == 0) {
    reading.reset();
    prepareChild(parent);
    body(writing.get());
    _exit(127);  // the body must not return
  }
  noteRunning(process);
  return std::unique_ptr<ChildProcess>(new ChildProcess(process, std::move(reading)));
}

ChildProcess::ChildProcess(pid_t process, UniqueFd pipe)
    : process_(process), pipe_(std::move(pipe)) {}

ChildProcess::~ChildProcess() {
  if (reaped_) return;
  kill();
  wait();
}

void ChildProcess::kill() {
  if (!reaped_) ::kill(process_, SIGKILL);
}

int ChildProcess::wait(struct rusage* usage) {
  pipe_.reset();
  int status = 0;
  if (reaped_) return status;
  // Forgotten by the handler first: once reaped, its number may be given to another process.
  noteEnded(process_);
  while (::wait4(process_, &status, 0, usage) < 0 && errno == EINTR) {
  }
  reaped_ = true;
  return status;
}

void endChildrenOnSignal() {
  struct sigaction action {};
  action.sa_handler = endWithChildren;
  sigemptyset(&action.sa_mask);
  for (int signal : kEndingSignals) sigaddset(&action.sa_mask, signal);
  for (int signal : kEndingSignals) ::sigaction(signal, &action, nullptr);
}

}  // namespace relalg
