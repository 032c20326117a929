// Runs one end-to-end case of relalgrun: a folder holding the input file and the expected
// outcome. Files of a case folder:
//   in      the input file (optional when gen makes it or the arguments name no input)
//   gen     a shell script run in the scratch folder before the run, to make large inputs
//   args    the arguments, one per line, with @IN@, @OUT@ and @TMP@ standing for the input
//           path, the output path and the scratch folder (default: @IN@ and @OUT@)
//   pre     the content of the output file before the run
//   out     the expected output file; without it the output file must be as pre left it,
//           or not exist at all
//           (a gen script may instead write a large expected output file into the scratch
//           folder as expected-out)
//   err     the expected standard error (default: empty); the input path and the scratch
//           folder are written @IN@ and @TMP@ in it, and in stdout
//   status  the expected exit status (default: 0)
//   stdout  the expected standard output (default: empty)
//   program the name of another executable to run, one that lies beside relalgrun (such as
//           relalgtrace); its case has no output file to check
//   slow    present (with a word on why) when the case takes seconds under the sanitizers; the
//           runner ignores it, ctest labels the case slow
//   env     variables set for the run, one NAME=VALUE a line
//   file-size-limit  the largest file the run may write, in KiB (as ulimit -f sets it)
// A mismatch prints the first differing byte and both sides around it.
//
// e2e_runner <relalgrun> --example <name.txt> checks an example of examples/ the same way: its
// input is name.txt, and name.out, name.err and name.status beside it play the parts of out, err
// and status (no gen, args or pre).
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "ProcessSupport.h"

namespace fs = std::filesystem;

namespace {

void writeFile(const fs::path& path, const std::string& content) {
  std::ofstream(path, std::ios::binary) << content;
}

std::string replaceAll(std::string text, const std::string& from, const std::string& to) {
  for (size_t pos = 0; (pos = text.find(from, pos)) != std::string::npos; pos += to.size()) {
    text.replace(pos, from.size(), to);
  }
  return text;
}

std::string printable(const std::string& bytes, size_t from, size_t to) {
  std::string shown;
  for (size_t k = from; k < to && k < bytes.size(); ++k) {
    unsigned char c = static_cast<unsigned char>(bytes[k]);
    if (c == '\n') {
      shown += "\\n";
    } else if (c < 0x20 || c >= 0x7F) {
      char hex[8];
      std::snprintf(hex, sizeof hex, "\\x%02X", c);
      shown += hex;
    } else {
      shown += static_cast<char>(c);
    }
  }
  return shown;
}

bool same(const std::string& what, const std::string& expected, const std::string& actual) {
  if (expected == actual) return true;
  size_t at = 0;
  while (at < expected.size() && at < actual.size() && expected[at] == actual[at]) ++at;
  size_t from = at > 40 ? at - 40 : 0;
  std::cerr << what << " differs at byte " << at << " (expected " << expected.size()
            << " bytes, got " << actual.size() << ")\n"
            << "  expected: " << printable(expected, from, at + 40) << "\n"
            << "  actual:   " << printable(actual, from, at + 40) << "\n";
  return false;
}

// The path of the case file called name: in the case folder, or beside an example's input.
fs::path caseFile(const fs::path& where, bool example, const std::string& name) {
  if (!example) return where / name;
  for (auto [file, extension] :
       {std::pair{"in", ".txt"}, {"out", ".out"}, {"err", ".err"}, {"status", ".status"}}) {
    if (name == file) return fs::path(where).replace_extension(extension);
  }
  return {};
}

}  // namespace

int main(int argc, char* argv[]) {
  const bool example = argc == 4 && std::string(argv[2]) == "--example";
  if (argc != 3 && !example) {
    std::cerr << "usage: e2e_runner <relalgrun> <case folder>\n"
                 "       e2e_runner <relalgrun> --example <name.txt>\n";
    return 2;
  }
  fs::path program = fs::absolute(argv[1]);
  const fs::path where = argv[example ? 3 : 2];
  auto file = [&](const std::string& name) { return caseFile(where, example, name); };
  const std::optional<std::string> otherProgram = readFile(file("program"));
  if (otherProgram) program.replace_filename(otherProgram->substr(0, otherProgram->find('\n')));
  const fs::path scratch = makeScratchFolder("relalg-e2e");
  const fs::path input = scratch / "in.txt";
  const fs::path output = scratch / "out.txt";

  if (auto in = readFile(file("in"))) writeFile(input, *in);
  if (fs::exists(file("gen")) && !runScript(file("gen"), scratch)) {
    std::cerr << "gen failed\n";
    fs::remove_all(scratch);
    return 1;
  }
  auto pre = readFile(file("pre"));
  if (pre) writeFile(output, *pre);

  std::vector<std::string> args{program.string()};
  std::istringstream argLines(readFile(file("args")).value_or("@IN@\n@OUT@\n"));
  for (std::string line; std::getline(argLines, line);) {
    line = replaceAll(line, "@IN@", input.string());
    line = replaceAll(line, "@OUT@", output.string());
    args.push_back(replaceAll(line, "@TMP@", scratch.string()));
  }

  // The variables and the limit of the case are set by the programs env and bash, which then
  // run the program itself.
  std::vector<std::string> command = args;
  if (auto limit = readFile(file("file-size-limit"))) {
    command.insert(command.begin(),
                   {"bash", "-c",
                    "ulimit -f " + limit->substr(0, limit->find('\n')) + " && exec \"$0\" \"$@\""});
  }
  if (auto variables = readFile(file("env"))) {
    std::istringstream lines(*variables);
    std::vector<std::string> set{"env"};
    for (std::string line; std::getline(lines, line);) set.push_back(line);
    command.insert(command.begin(), set.begin(), set.end());
  }
  const int status = runProgram(command, scratch / ".stdout", scratch / ".stderr");
  // What a program says of its input or scratch paths is compared with @IN@ and @TMP@ in place
  // of them, since the scratch folder differs from run to run.
  auto printed = [&](const char* name) {
    std::string text = readFile(scratch / name).value_or("");
    text = replaceAll(text, input.string(), "@IN@");
    return replaceAll(text, scratch.string(), "@TMP@");
  };
  bool ok = true;
  ok &=
      same("exit status", readFile(file("status")).value_or("0\n"), std::to_string(status) + "\n");
  ok &= same("stderr", readFile(file("err")).value_or(""), printed(".stderr"));
  ok &= same("stdout", readFile(file("stdout")).value_or(""), printed(".stdout"));
  if (!otherProgram && args.size() >= 3 && args[2].rfind(scratch.string(), 0) == 0) {
    auto expected = readFile(file("out"));
    if (!expected) expected = readFile(scratch / "expected-out");
    if (!expected) expected = pre;
    auto actual = fs::is_regular_file(args[2]) ? readFile(args[2]) : std::nullopt;
    if (!expected && actual) {
      std::cerr << "output file was written, none expected\n";
      ok = false;
    } else if (expected && !actual) {
      std::cerr << "output file is missing\n";
      ok = false;
    } else if (expected) {
      ok &= same("output file", *expected, *actual);
    }
  }
  fs::remove_all(scratch);
  return ok ? 0 : 1;
}
