// Diagnostics are what relalgtrace says about places of the input: where the run failed, and what
// the input says that almost surely means something else. Each is placed at bytes of one line,
// and also at letters of it; they are shown as compilers show theirs: "path:line:column:
// severity: message", then the line and a caret under the letters concerned, then "fix: ..."
// where the checks found what this failure needs (the message table's usual fix aside).
#ifndef RELALG_DIAGNOSTICS_DIAGNOSTICS_H
#define RELALG_DIAGNOSTICS_DIAGNOSTICS_H

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace relalg {

struct Diagnostic {
  enum Severity { kError, kWarning, kNote };
  Severity severity;
  size_t line;           // from 1
  size_t column;         // from 1, in bytes of the line as stored
  size_t length;         // bytes, at least 1
  std::string message;   // UTF-8
  std::string fix = {};  // UTF-8, `code` in backquotes; empty unless the checks know it
  // The same place in letters of the line (UTF-8 characters of a UTF-8 input, else bytes), a
  // byte order mark not counted; set by placeInLetters.
  size_t letterColumn = 0;
  size_t letterLength = 0;
};

std::string_view severityName(Diagnostic::Severity severity);

// Orders diagnostics by their place in the input.
bool placedBefore(const Diagnostic& a, const Diagnostic& b);

// Reads the message of each diagnostic, sorted by place, as the letters of its line: where the
// line is no UTF-8, the bytes that the message quotes are Windows-1250 letters, made UTF-8.
void messagesToUtf8(std::vector<Diagnostic>& diagnostics, std::string_view input);

// Sets the letter column and length of diagnostics in the order of their place, from the lines of
// input: a line that is UTF-8 has UTF-8 letters, another line Windows-1250 letters (a byte each).
void placeInLetters(std::vector<Diagnostic>& diagnostics, std::string_view input);

// The diagnostics as compilers print them, each with its line of input shown as UTF-8 letters
// (shortened around the caret when long), the column and the caret counted in letters.
std::string diagnosticsText(const std::vector<Diagnostic>& diagnostics, std::string_view input,
                            std::string_view path);

}  // namespace relalg

#endif  // RELALG_DIAGNOSTICS_DIAGNOSTICS_H
