// Fuzz target for one whole run, in memory: the bytes are an input file. The first line is the
// expression, the rest the table blocks; the catalogue is built, the copy of the input is written,
// the expression is evaluated and the result table rendered, in the same order as the driver
// does it, into a string stream instead of the output file.
//
// An AdbException or another standard exception is an ordinary outcome of a bad input (the driver
// reports it with status 1 or 3). Anything else, and every crash, leak, hang or sanitizer report,
// is a fault.
#include <cstddef>
#include <cstdint>
#include <exception>
#include <sstream>
#include <string>
#include <string_view>

#include "AdbException.h"
#include "FileTools.h"
#include "LineReader.h"
#include "TableSet.h"

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

void runInMemory(const std::string& input) {
  LineReader lines(input);
  std::string_view expression;
  lines.next(expression);
  if (productsMayExhaustMemory(input, expression)) return;
  TableSet catalogue(lines.rest());

  std::ostringstream output;
  copy_content(input, output);
  check_written(output, "output");
  catalogue.evaluate(std::string(expression));
  catalogue.write_result(&output);
  check_written(output, "output");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  try {
    runInMemory(input);
  } catch (const AdbException&) {
  } catch (const std::exception&) {
  }
  return 0;
}
