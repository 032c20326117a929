// relalgrun <input_file> <output_file>: evaluates the relational-algebra expression on the first
// line of the input file over the tables below it, and writes a copy of the input, an empty line
// and the result table to the output file. Failures go to standard error in Hungarian, with exit
// status 1, or 3 for failures of another kind.
#include <cstdlib>
#include <iostream>
#include <string>
#include <string_view>

#include "AdbException.h"
#include "FileTools.h"
#include "LineReader.h"
#include "TableSet.h"

namespace {

void run(const std::string& inputPath, const std::string& outputPath) {
  std::string input = read_file(inputPath);
  LineReader lines(input);
  std::string_view firstLine;
  lines.next(firstLine);
  std::string expression(firstLine);
  TableSet catalogue(lines.rest());

  std::unique_ptr<std::ofstream> output = safe_oopen(outputPath);
  copy_content(input, *output);
  check_written(*output, outputPath);
  std::string().swap(input);  // the tables hold copies of their values
  catalogue.evaluate(std::move(expression));
  catalogue.write_result(output.get());
  safe_oclose(std::move(output), outputPath);
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc < 3) {
    std::cerr << "Hasznalat: relalgrun <input_file> <output_file>" << std::endl;
    return 1;
  }
  try {
    run(argv[1], argv[2]);
  } catch (const AdbException& error) {
    std::cerr << "Hiba tortent: \n" << error.getMessage() << std::endl;
    return 1;
  } catch (...) {
    std::cerr << "Ismeretlen hiba" << std::endl;
    return 3;
  }
  return 0;
}
