// Fuzz target for one whole run, in memory: the bytes are an input file, run by the run sequence
// of relalgrun with the output file held in memory, once on one thread and once on two.
//
// A failure with status 1 or 3 is an ordinary outcome of a bad input. Every crash, leak, hang or
// sanitizer report is a fault, and so is an outcome that breaks what the run promises: a failure
// while reading leaves no output, a later one leaves exactly the copy of the input, and the
// thread count changes neither the outcome nor a byte of the output.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <sstream>
#include <string>
#include <string_view>

#include "files/FileTools.h"
#include "files/LineReader.h"
#include "files/OutputTarget.h"
#include "run/RunSequence.h"

using namespace relalg;

namespace {

// A product's result has as many records as its operands together multiply to, so an input of a
// few thousand lines whose expression nests products asks, rightly, for more memory than the
// fuzzer allows. Such inputs are skipped: their size is expected, not a fault. The bound is an
// estimate from above: every operand holds at most as many records as the input has lines.
constexpr double kMaxEstimatedRecords = double(1 << 22);

bool productsMayExhaustMemory(std::string_view input, std::string_view expression) {
  size_t products = 0;
  for (size_t at = expression.find("product"); at != std::string_view::npos;
       at = expression.find("product", at + 1)) {
    ++products;
  }
  double lines = 1;
  for (char c : input) lines += c == '\n';
  double estimate = lines;
  for (size_t k = 0; k < products && estimate <= kMaxEstimatedRecords; ++k) estimate *= lines;
  return estimate > kMaxEstimatedRecords;
}

void require(bool holds) {
  if (!holds) std::abort();
}

// The copy of the input and the empty line that head the output file.
std::string copyOf(const std::string& input) {
  std::ostringstream copy;
  copy_content(input, copy);
  return copy.str();
}

struct Answer {
  RunOutcome outcome;
  bool opened;
  std::string output;
};

Answer runOn(const char* threads, const std::string& input) {
  setenv("RELALG_THREADS", threads, 1);
  MemoryTarget output;
  const RunOutcome outcome = runSequence([&] { return input; }, &output);
  return {outcome, output.opened(), output.bytes()};
}

void runInMemory(const std::string& input) {
  LineReader lines(input);
  std::string_view expression;
  lines.next(expression);
  if (productsMayExhaustMemory(input, expression)) return;
  const Answer one = runOn("1", input);
  const Answer two = runOn("2", input);
  require(one.outcome.status == two.outcome.status && one.outcome.message == two.outcome.message);
  require(one.opened == two.opened && one.output == two.output);
  const RunOutcome& outcome = one.outcome;
  require(outcome.status == RunOutcome::kSuccess || outcome.status == RunOutcome::kFailure ||
          outcome.status == RunOutcome::kUnknownFailure);
  if (!one.opened) {
    require(outcome.status != RunOutcome::kSuccess);
    return;
  }
  const std::string copy = copyOf(input);
  const std::string& written = one.output;
  require(written.starts_with(copy));
  require(outcome.status == RunOutcome::kSuccess || written == copy);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  runInMemory(std::string(reinterpret_cast<const char*>(data), size));
  return 0;
}
