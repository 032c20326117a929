// relalgrun <input_file> <output_file>: evaluates the relational-algebra expression on the first
// line of the input file over the tables below it, and writes a copy of the input, an empty line
// and the result table to the output file. Failures go to standard error in Hungarian, with exit
// status 1, or 3 for failures of another kind. The environment variable RELALG_MAX_MEMORY (such
// as 512M) caps the memory of the run. A regular output file is replaced only once it is
// complete (files/OutputTarget.h).
#include <csignal>
#include <cstdlib>
#include <iostream>
#include <optional>

#include "base/MemoryCeiling.h"
#include "base/Messages.h"
#include "files/FileTools.h"
#include "files/OutputTarget.h"
#include "run/RunSequence.h"

using namespace relalg;

int main(int argc, char* argv[]) {
  // A file size limit makes a write fail, reported as any failed write, instead of ending the
  // process without a word.
  std::signal(SIGXFSZ, SIG_IGN);
  if (argc < 3) {
    std::cerr << usageText() << std::flush;
    return RunOutcome::kFailure;
  }
  if (const char* ceiling = std::getenv(kMemoryCeilingVariable); ceiling != nullptr && *ceiling) {
    const std::optional<size_t> bytes = parseMemorySize(ceiling);
    if (!bytes) {
      const RunOutcome bad{
          RunOutcome::kFailure, message(MessageId::kBadMemoryCeiling, {ceiling}), {}};
      std::cerr << bad.errorText() << std::flush;
      return bad.status;
    }
    capMemory(*bytes);
  }
  RunOutcome outcome;
  {
    FileTarget output(argv[2]);
    outcome = runSequence([&] { return openInput(argv[1], argv[2]); }, &output);
  }
  std::cerr << outcome.errorText() << std::flush;
  return outcome.status;
}
