// Fuzz target for the SQL script of relalgtrace --sql: the bytes are an input file. Where the run
// succeeds, its script must keep every value inside its literal however an engine reads
// backslashes: read with backslashes as they are (the standard) and read with backslashes as
// escapes, the script splits into the same statements, one CREATE TABLE per stored table, one
// INSERT per record and one query; no literal holds a backslash but the literal '\\'; and every
// table it creates has a name of its own making (t_...), never one that the input chose.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "sql/SqlScript.h"

using namespace relalg;

namespace {

void require(bool holds) {
  if (!holds) std::abort();
}

// The statements of script, cut at semicolons outside literals, quoted names and comments;
// escapes tells whether a backslash in a literal escapes the byte after it. Each literal found is
// added to literals.
std::vector<std::string_view> statements(std::string_view script, bool escapes,
                                         std::vector<std::string_view>& literals) {
  std::vector<std::string_view> found;
  size_t start = 0;
  for (size_t k = 0; k < script.size(); ++k) {
    const char c = script[k];
    if (c == '\'' || c == '"') {
      const size_t open = k;
      for (++k; k < script.size(); ++k) {
        if (c == '\'' && escapes && script[k] == '\\') {
          ++k;
        } else if (script[k] == c) {
          if (k + 1 < script.size() && script[k + 1] == c) {
            ++k;
          } else {
            break;
          }
        }
      }
      require(k < script.size());  // every literal and name is closed
      if (c == '\'') literals.push_back(script.substr(open, k + 1 - open));
    } else if (script.substr(k, 2) == "--") {
      k = script.find('\n', k);
      require(k != std::string_view::npos);
    } else if (script.substr(k, 2) == "/*") {
      k = script.find("*/", k + 2);
      require(k != std::string_view::npos);
      ++k;
    } else if (c == ';') {
      found.push_back(script.substr(start, k + 1 - start));
      start = k + 1;
    }
  }
  require(script.find_first_not_of(" \n", start) == std::string_view::npos);
  return found;
}

// The statement without the comment lines before it.
std::string_view withoutComments(std::string_view statement) {
  for (;;) {
    const size_t begin = statement.find_first_not_of(" \n");
    if (begin == std::string_view::npos) return {};
    statement.remove_prefix(begin);
    if (!statement.starts_with("--")) return statement;
    statement.remove_prefix(statement.find('\n'));
  }
}

void checkScript(std::string_view script) {
  std::vector<std::string_view> literals;
  const std::vector<std::string_view> standard = statements(script, false, literals);
  std::vector<std::string_view> ignored;
  require(statements(script, true, ignored) == standard);
  for (std::string_view literal : literals) {
    require(literal.find('\\') == std::string_view::npos || literal == "'\\\\'");
  }
  size_t creates = 0;
  size_t inserts = 0;
  size_t queries = 0;
  for (std::string_view statement : standard) {
    const std::string_view code = withoutComments(statement);
    if (code.starts_with("CREATE TABLE ")) {
      require(code.starts_with("CREATE TABLE t_"));
      ++creates;
    } else if (code.starts_with("WITH")) {
      ++queries;
    } else {
      require(code.starts_with("INSERT INTO t_") && creates > 0 && queries == 0);
      ++inserts;
    }
  }
  // The writer starts one line per record with INSERT INTO (no value holds a line feed).
  size_t insertLines = 0;
  for (size_t at = script.find("\nINSERT INTO "); at != std::string_view::npos;
       at = script.find("\nINSERT INTO ", at + 1)) {
    ++insertLines;
  }
  require(queries == 1 && inserts == insertLines);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  // A product of inputs this size may take more memory than the fuzzer allows; the pipeline
  // target covers the evaluation, this one the script.
  if (input.find("product") != std::string::npos) return 0;
  const SqlScript sql = sqlScript([&] { return input; });
  if (sql.outcome.status == RunOutcome::kSuccess) checkScript(sql.script);
  return 0;
}
