// Runs one program and reports its wall time and peak resident memory:
//   measure <report_file> <stdin_file or -> <program> [arguments...]
// writes one line "<seconds> <peak_rss_kib> <exit_status>" to report_file; a program killed by
// a signal reports 128 + the signal number as its status. The program's standard output is
// discarded; its standard error is inherited.
//
// The benchmark runner starts programs through this small process rather than directly, because
// a child's peak resident memory (ru_maxrss) also counts the memory of the process it was forked
// from: forked from the Python runner, every program would show the runner's size as a floor.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <time.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>

namespace {

double now() {
  timespec t{};
  clock_gettime(CLOCK_MONOTONIC, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

// Replaces the descriptor target with the file at path, opened with flags; exits on failure.
void redirect(const char* path, int flags, int target) {
  const int fd = open(path, flags);
  if (fd < 0 || dup2(fd, target) < 0) {
    std::perror(path);
    _exit(126);
  }
  close(fd);
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc < 4) {
    std::fprintf(stderr, "usage: measure <report_file> <stdin_file or -> <program> [args...]\n");
    return 2;
  }
  const double start = now();
  const pid_t child = fork();
  if (child < 0) {
    std::perror("fork");
    return 2;
  }
  if (child == 0) {
    if (std::strcmp(argv[2], "-") != 0) {
      redirect(argv[2], O_RDONLY, STDIN_FILENO);
    }
    redirect("/dev/null", O_WRONLY, STDOUT_FILENO);
    execvp(argv[3], argv + 3);
    std::perror(argv[3]);
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  if (wait4(child, &status, 0, &usage) < 0) {
    std::perror("wait4");
    return 2;
  }
  const double seconds = now() - start;
  const int code = WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
  std::FILE* report = std::fopen(argv[1], "w");
  if (report == nullptr) {
    std::perror(argv[1]);
    return 2;
  }
  std::fprintf(report, "%.6f %ld %d\n", seconds, usage.ru_maxrss, code);
  std::fclose(report);
  return 0;
}
