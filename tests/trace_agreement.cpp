// Checks that relalgtrace never disagrees with relalgrun on one input: the input of an end-to-end
// case of relalgrun (its in, or what its gen script makes) or an example name.txt. It runs both
// programs on that input in a scratch folder and requires:
//   - the same exit status;
//   - on success, that the last table of the trace (the entry of the whole expression) is the
//     result table that relalgrun wrote below the copy of the input: the same header line and
//     the same records;
//   - on failure, that the lines the trace says relalgrun prints are relalgrun's standard error.
// An input larger than max_bytes (512 KiB by default, which leaves out the cases of huge lines,
// tables and nestings) is left out: it would cost seconds, and its own case checks relalgrun on it.
// Usage: trace_agreement <relalgrun> <relalgtrace> <case folder | name.txt> [max_bytes]
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <string_view>
#include <vector>

#include "ProcessSupport.h"
#include "files/FileTools.h"

using namespace relalg;

namespace fs = std::filesystem;

namespace {

constexpr uintmax_t kDefaultMaxInputBytes = 512 * 1024;

std::vector<std::string> linesOf(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

struct Outcome {
  int status;
  std::string out;
  std::string err;
};

Outcome run(const std::vector<fs::path>& argv, const fs::path& scratch) {
  const std::vector<std::string> args(argv.begin(), argv.end());
  const int status = runProgram(args, scratch / ".stdout", scratch / ".stderr");
  return {status, readFile(scratch / ".stdout").value_or(""),
          readFile(scratch / ".stderr").value_or("")};
}

// The header that a summary line "  <kind>: <count> record(s), <header>" of a depth-0 entry
// gives, or nothing for any other line.
std::optional<std::string> summaryHeader(const std::string& line) {
  size_t at = 2;
  if (!line.starts_with("  ")) return std::nullopt;
  while (at < line.size() && line[at] >= 'a' && line[at] <= 'z') ++at;
  if (at == 2 || line.compare(at, 2, ": ") != 0) return std::nullopt;
  const size_t digits = at += 2;
  while (at < line.size() && line[at] >= '0' && line[at] <= '9') ++at;
  if (at == digits) return std::nullopt;
  for (std::string_view noun : {" record, ", " records, "}) {
    if (line.compare(at, noun.size(), noun) == 0) return line.substr(at + noun.size());
  }
  return std::nullopt;
}

// The result table of the trace: the header of the whole expression's entry, then its records.
std::vector<std::string> lastTableOf(const std::string& trace) {
  const std::vector<std::string> lines = linesOf(trace);
  std::vector<std::string> table;
  for (size_t k = lines.size(); k-- > 0;) {
    const std::optional<std::string> header = summaryHeader(lines[k]);
    if (!header) continue;
    table.push_back(*header);
    for (size_t r = k + 1; r < lines.size(); ++r) {
      if (lines[r].starts_with("  | ")) table.push_back(lines[r].substr(4));
    }
    break;
  }
  return table;
}

// What the trace says relalgrun prints on standard error.
std::string reportedErrorOf(const std::string& trace) {
  const std::vector<std::string> lines = linesOf(trace);
  const std::string said = "failed; relalgrun prints:";
  std::string error;
  for (size_t k = lines.size(); k-- > 0;) {
    if (!lines[k].ends_with(said)) continue;
    const std::string indent(lines[k].size() - said.size() + 2, ' ');
    for (size_t m = k + 1; m < lines.size() && lines[m].starts_with(indent); ++m) {
      error += lines[m].substr(indent.size()) + "\n";
    }
    break;
  }
  return error;
}

// Runs both programs on scratch/in.txt; returns a description of their disagreement, or "".
std::string disagreement(const fs::path& relalgrun, const fs::path& relalgtrace,
                         const fs::path& scratch) {
  const fs::path input = scratch / "in.txt";
  const Outcome plain = run({relalgrun, input, scratch / "out.txt"}, scratch);
  const std::string output = readFile(scratch / "out.txt").value_or("");
  std::ostringstream copy;
  copy_content(readFile(input).value_or(""), copy);
  const std::vector<std::string> result =
      plain.status == 0 ? linesOf(output.substr(std::min(copy.str().size(), output.size())))
                        : std::vector<std::string>{};
  // One record more than relalgrun's result has, so that an extra record would show.
  const Outcome traced =
      run({relalgtrace, "--limit=" + std::to_string(result.size()), "--", input}, scratch);

  if (plain.status != traced.status) {
    return "exit status " + std::to_string(plain.status) + " from relalgrun, " +
           std::to_string(traced.status) + " from relalgtrace";
  }
  if (plain.status == 0 && lastTableOf(traced.out) != result) {
    return "the last table of the trace is not relalgrun's result";
  }
  if (plain.status != 0 && reportedErrorOf(traced.out) != plain.err) {
    return "the trace reports\n" + reportedErrorOf(traced.out) + "but relalgrun printed\n" +
           plain.err;
  }
  return "";
}

// Makes the case's input in scratch; false when its gen script fails.
bool makeInput(const fs::path& source, const fs::path& scratch) {
  if (fs::is_regular_file(source)) {
    fs::copy_file(source, scratch / "in.txt");
    return true;
  }
  if (fs::exists(source / "in")) fs::copy_file(source / "in", scratch / "in.txt");
  return !fs::exists(source / "gen") || runScript(source / "gen", scratch);
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 4 && argc != 5) {
    std::cerr << "usage: trace_agreement <relalgrun> <relalgtrace> <case folder | name.txt> "
                 "[max_bytes]\n";
    return 2;
  }
  const uintmax_t maxInputBytes = argc == 5 ? std::stoull(argv[4]) : kDefaultMaxInputBytes;
  const fs::path scratch = makeScratchFolder("relalg-agree");
  std::string problem;
  if (!makeInput(argv[3], scratch)) {
    problem = "its gen script failed";
  } else if (fs::file_size(scratch / "in.txt") > maxInputBytes) {
    std::cout << "input larger than " << maxInputBytes << " bytes, left out\n";
  } else {
    problem = disagreement(fs::absolute(argv[1]), fs::absolute(argv[2]), scratch);
  }
  fs::remove_all(scratch);
  if (!problem.empty()) std::cerr << problem << "\n";
  return problem.empty() ? 0 : 1;
}
