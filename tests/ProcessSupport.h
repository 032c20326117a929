// Helpers of the test programs that run relalgrun and relalgtrace as separate processes.
#ifndef RELALG_TESTS_PROCESSSUPPORT_H
#define RELALG_TESTS_PROCESSSUPPORT_H

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <system_error>
#include <vector>

// The whole content of a file, or nothing when it cannot be read.
inline std::optional<std::string> readFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return std::nullopt;
  std::ostringstream content;
  content << in.rdbuf();
  return content.str();
}

// A new empty folder named prefix-XXXXXX in the temporary folder ($TMPDIR or /tmp). When none
// can be made, says why on standard error and ends the process with status 2.
inline std::filesystem::path makeScratchFolder(const std::string& prefix) {
  std::error_code error;
  const std::filesystem::path temporary = std::filesystem::temp_directory_path(error);
  std::string pattern = (temporary / (prefix + "-XXXXXX")).string();
  if (error || mkdtemp(pattern.data()) == nullptr) {
    std::cerr << "cannot make a scratch folder " << pattern << "\n";
    std::exit(2);
  }
  return pattern;
}

// Runs argv[0] with its arguments in the folder workingDirectory (empty: this process's), its
// standard output and error going to the two files (empty: inherited), and returns its exit
// status (128 + the signal for a program that a signal ended). No shell is involved, so paths
// need no quoting.
inline int runProgram(const std::vector<std::string>& argv, const std::filesystem::path& outPath,
                      const std::filesystem::path& errPath,
                      const std::filesystem::path& workingDirectory = {}) {
  pid_t child = fork();
  if (child == 0) {
    if (!outPath.empty()) dup2(open(outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 1);
    if (!errPath.empty()) dup2(open(errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644), 2);
    if (!workingDirectory.empty() && chdir(workingDirectory.c_str()) != 0) _exit(126);
    std::vector<char*> args;
    for (const auto& arg : argv) args.push_back(const_cast<char*>(arg.c_str()));
    args.push_back(nullptr);
    execvp(args[0], args.data());
    _exit(127);
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

// Runs the bash script in folder; whether it succeeded.
inline bool runScript(const std::filesystem::path& script, const std::filesystem::path& folder) {
  return runProgram({"bash", std::filesystem::absolute(script).string()}, {}, {}, folder) == 0;
}

#endif  // RELALG_TESTS_PROCESSSUPPORT_H
