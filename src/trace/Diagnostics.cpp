#include "trace/Diagnostics.h"

#include <algorithm>

#include "files/LineReader.h"

namespace relalg {

namespace {

// Source lines longer than this are shown around the caret only.
constexpr size_t kShownBefore = 100;
constexpr size_t kShownAfter = 60;

}  // namespace

std::string_view severityName(Diagnostic::Severity severity) {
  switch (severity) {
    case Diagnostic::kError:
      return "error";
    case Diagnostic::kWarning:
      return "warning";
    default:
      return "note";
  }
}

bool placedBefore(const Diagnostic& a, const Diagnostic& b) {
  return a.line != b.line ? a.line < b.line : a.column < b.column;
}

// The diagnostics come in the order of their lines, so the input is read once.
std::string diagnosticsText(const std::vector<Diagnostic>& diagnostics, std::string_view input,
                            std::string_view path) {
  std::string text;
  LineReader lines(input);
  std::string_view line;
  size_t number = 0;
  for (const Diagnostic& diagnostic : diagnostics) {
    if (diagnostic.line < number) {
      lines = LineReader(input);
      number = 0;
    }
    while (number < diagnostic.line) {
      if (!lines.next(line)) line = {};
      ++number;
    }
    text += std::string(path) + ":" + std::to_string(diagnostic.line) + ":" +
            std::to_string(diagnostic.column) + ": " +
            std::string(severityName(diagnostic.severity)) + ": " + diagnostic.message + "\n";
    const size_t at = std::min(diagnostic.column - 1, line.size());
    const size_t from = at > kShownBefore ? at - kShownBefore : 0;
    const size_t to = std::min(line.size(), at + std::max(diagnostic.length, kShownAfter));
    const std::string lead = from > 0 ? "..." : "";
    text +=
        lead + std::string(line.substr(from, to - from)) + (to < line.size() ? "..." : "") + "\n";
    std::string caret(lead.size(), ' ');
    for (size_t k = from; k < at; ++k) caret.push_back(line[k] == '\t' ? '\t' : ' ');
    caret.push_back('^');
    caret.append(std::min(diagnostic.length, to > at ? to - at : 1) - 1, '~');
    text += caret + "\n";
  }
  return text;
}

}  // namespace relalg
