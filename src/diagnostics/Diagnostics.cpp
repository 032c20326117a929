#include "diagnostics/Diagnostics.h"

#include <algorithm>

#include "base/Windows1250.h"
#include "files/LineReader.h"

namespace relalg {

namespace {

// Source lines longer than this many letters are shown around the caret only.
constexpr size_t kShownBefore = 100;
constexpr size_t kShownAfter = 60;

// The bytes of a byte order mark before the letters of a diagnostic's line: a mark that starts
// the input is no letter of the expression line where that line is UTF-8.
size_t markBefore(const Diagnostic& diagnostic, std::string_view line, bool utf8) {
  return diagnostic.line == 1 && utf8 ? byteOrderMarkLength(line) : 0;
}

// Walks the lines of an input in order, for diagnostics sorted by their line.
class Lines {
 public:
  explicit Lines(std::string_view input) : input_(input), reader_(input) {}

  std::string_view line(size_t number) {
    if (number < number_) {
      reader_ = LineReader(input_);
      number_ = 0;
    }
    while (number_ < number) {
      if (!reader_.next(line_)) line_ = {};
      ++number_;
    }
    return line_;
  }

 private:
  std::string_view input_;
  LineReader reader_;
  std::string_view line_;
  size_t number_ = 0;
};

// The byte offset where each letter of line begins, and the line's end last.
std::vector<size_t> letterStarts(std::string_view line, bool utf8) {
  std::vector<size_t> starts;
  for (size_t at = 0; at < line.size();) {
    starts.push_back(at);
    at += utf8 ? std::max<size_t>(utf8SequenceLength(line.substr(at)), 1) : 1;
  }
  starts.push_back(line.size());
  return starts;
}

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

void placeInLetters(std::vector<Diagnostic>& diagnostics, std::string_view input) {
  Lines lines(input);
  for (Diagnostic& diagnostic : diagnostics) {
    std::string_view line = lines.line(diagnostic.line);
    const bool utf8 = isUtf8(line);
    const size_t mark = markBefore(diagnostic, line, utf8);
    const size_t begin = std::max(diagnostic.column - 1, mark) - mark;
    line.remove_prefix(mark);
    const size_t end = std::min(begin + diagnostic.length, line.size());
    diagnostic.letterColumn = letterCount(line.substr(0, std::min(begin, line.size())), utf8) + 1;
    diagnostic.letterLength =
        std::max<size_t>(begin < end ? letterCount(line.substr(begin, end - begin), utf8) : 1, 1);
  }
}

std::string diagnosticsText(const std::vector<Diagnostic>& diagnostics, std::string_view input,
                            std::string_view path) {
  std::string text;
  Lines lines(input);
  for (const Diagnostic& diagnostic : diagnostics) {
    std::string_view line = lines.line(diagnostic.line);
    const bool utf8 = isUtf8(line);
    line.remove_prefix(markBefore(diagnostic, line, utf8));
    text += std::string(path) + ":" + std::to_string(diagnostic.line) + ":" +
            std::to_string(diagnostic.letterColumn) + ": " +
            std::string(severityName(diagnostic.severity)) + ": " + diagnostic.message + "\n";
    const std::vector<size_t> starts = letterStarts(line, utf8);
    const size_t letters = starts.size() - 1;
    const size_t at = std::min(diagnostic.letterColumn - 1, letters);
    const size_t from = at > kShownBefore ? at - kShownBefore : 0;
    const size_t to = std::min(letters, at + std::max(diagnostic.letterLength, kShownAfter));
    const std::string lead = from > 0 ? "..." : "";
    const std::string_view shown = line.substr(starts[from], starts[to] - starts[from]);
    text += lead + (utf8 ? std::string(shown) : windows1250ToUtf8(shown)) +
            (to < letters ? "..." : "") + "\n";
    std::string caret(lead.size(), ' ');
    for (size_t k = from; k < at; ++k) caret.push_back(line[starts[k]] == '\t' ? '\t' : ' ');
    caret.push_back('^');
    caret.append(std::min(diagnostic.letterLength, to > at ? to - at : 1) - 1, '~');
    text += caret + "\n";
    if (!diagnostic.fix.empty()) text += "fix: " + diagnostic.fix + "\n";
  }
  return text;
}

}  // namespace relalg
