// relalgrun <input_file> <output_file>: evaluates the relational-algebra expression on the first
// line of the input file over the tables below it, and writes a copy of the input, an empty line
// and the result table to the output file. Failures go to standard error in Hungarian, with exit
// status 1, or 3 for failures of another kind.
#include <iostream>

#include "files/FileTools.h"
#include "files/OutputTarget.h"
#include "run/RunSequence.h"

using namespace relalg;

int main(int argc, char* argv[]) {
  if (argc < 3) {
    std::cerr << usageText() << std::flush;
    return RunOutcome::kFailure;
  }
  RunOutcome outcome;
  {
    FileTarget output(argv[2]);
    outcome = runSequence([&] { return openInput(argv[1], argv[2]); }, &output);
  }
  std::cerr << outcome.errorText() << std::flush;
  return outcome.status;
}
