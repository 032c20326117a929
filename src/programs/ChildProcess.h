// ChildProcess owns a process that this one started and the read end of a pipe from it. The
// process is killed and reaped when its owner goes, however the owner's scope is left, and it
// dies with this process: on Linux the kernel kills it when this process ends (PR_SET_PDEATHSIG),
// and endChildrenOnSignal() makes a termination signal kill and reap every child before this
// process ends by it. Its descriptors are made with O_CLOEXEC.
#ifndef RELALG_PROGRAMS_CHILDPROCESS_H
#define RELALG_PROGRAMS_CHILDPROCESS_H

#include <sys/resource.h>
#include <sys/types.h>

#include <functional>
#include <memory>

#include "base/UniqueFd.h"

namespace relalg {

class ChildProcess {
 public:
  // Starts body in a new process, given the write end of a pipe whose read end the owner holds;
  // body must end the process (with _exit). Null, with errno set, when no pipe or no process can
  // be made.
  static std::unique_ptr<ChildProcess> start(const std::function<void(int)>& body);
  ~ChildProcess();
  ChildProcess(const ChildProcess&) = delete;
  ChildProcess& operator=(const ChildProcess&) = delete;

  pid_t id() const { return process_; }
  // The read end of the pipe.
  int descriptor() const { return pipe_.get(); }
  // Stops the process at once (SIGKILL); it is reaped by wait() or by the owner's going.
  void kill();
  // Closes the pipe, waits for the process to end and reaps it; returns its wait status, and
  // fills in usage, when given, with the resources it used.
  int wait(struct rusage* usage = nullptr);

 private:
  ChildProcess(pid_t process, UniqueFd pipe);

  pid_t process_;
  UniqueFd pipe_;
  bool reaped_ = false;
};

// Makes SIGTERM, SIGINT and SIGHUP kill and reap every running child, then end this process by
// the same signal. Children start with the default handlers.
void endChildrenOnSignal();

}  // namespace relalg

#endif  // RELALG_PROGRAMS_CHILDPROCESS_H
