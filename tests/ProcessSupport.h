// Helpers of the test programs that run relalgrun and relalgtrace as separate processes.
#ifndef RELALG_TESTS_PROCESSSUPPORT_H
#define RELALG_TESTS_PROCESSSUPPORT_H

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

// The whole content of a file, or nothing when it cannot be read.
inline std::optional<std::string> readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

// Runs argv[0] with its arguments, its standard output and error going to the two files, and
// returns its exit status (128 + the signal for a program that a signal ended).
inline int runProgram(const std::vector<std::string>& argv, const std::filesystem::path& outPath,
                      const std::filesystem::path& errPath) {
  pid_t child = fork();
  if (child == 0) {
    int out = open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    int err = open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    dup2(out, 1);
    dup2(err, 2);
    std::vector<char*> args;
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execv(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

#endif  // RELALG_TESTS_PROCESSSUPPORT_H
