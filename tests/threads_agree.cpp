// threads_agree FILE_OR_FOLDER...: runs every input file through relalgrun's run sequence in
// memory on one thread and on two, and requires the same outcome and the same output bytes: the
// thread count may change how the work is scheduled, never what a run reports. A folder stands
// for the files in it. Prints each input that disagrees and exits 1 on any.
#include <cstdlib>
#include <filesystem>
#include <iostream>
#include <string>
#include <vector>

#include "files/FileTools.h"
#include "files/OutputTarget.h"
#include "run/RunSequence.h"

using namespace relalg;

namespace {

struct Answer {
  RunOutcome outcome;
  bool opened = false;
  std::string output;
  bool operator==(const Answer& other) const {
    return outcome.status == other.outcome.status && outcome.message == other.outcome.message &&
           opened == other.opened && output == other.output;
  }
};

Answer runOn(const char* threads, const std::string& input) {
  setenv("RELALG_THREADS", threads, 1);
  MemoryTarget output;
  Answer answer;
  answer.outcome = runSequence([&] { return input; }, &output);
  answer.opened = output.opened();
  answer.output = output.bytes();
  return answer;
}

}  // namespace

int main(int argc, char* argv[]) {
  std::vector<std::filesystem::path> inputs;
  for (int k = 1; k < argc; ++k) {
    if (std::filesystem::is_directory(argv[k])) {
      for (const auto& entry : std::filesystem::directory_iterator(argv[k])) {
        inputs.push_back(entry.path());
      }
    } else {
      inputs.emplace_back(argv[k]);
    }
  }
  int disagreeing = 0;
  for (const auto& path : inputs) {
    const std::string input = readFile(path.string());
    const Answer one = runOn("1", input);
    const Answer two = runOn("2", input);
    if (one == two) continue;
    ++disagreeing;
    std::cout << "DISAGREES: " << path.string() << ": status " << one.outcome.status << " / "
              << two.outcome.status << "\n  " << one.outcome.message << "\n  "
              << two.outcome.message << "\n";
  }
  std::cout << inputs.size() << " inputs, " << disagreeing << " disagree on 1 and 2 threads\n";
  return disagreeing == 0 ? EXIT_SUCCESS : EXIT_FAILURE;
}
