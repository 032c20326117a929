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

// Walks the lines of an input in order, for diagnostics sorted by their line, and knows of the
// line at hand whether it is UTF-8 and where its letters start, each found once per line.
class Lines {
 public:
  explicit Lines(std::string_view input) : input_(input), reader_(input) {}

  std::string_view line(size_t number) {
    if (number == number_) return line_;
    if (number < number_) {
      reader_ = LineReader(input_);
      number_ = 0;
    }
    while (number_ < number) {
      if (!reader_.next(line_)) line_ = {};
      ++number_;
    }
    utf8_ = isUtf8(line_);
    starts_.clear();
    return line_;
  }
  bool utf8() const { return utf8_; }

  // The byte offset where each letter of the line at hand begins, from the byte offset from on
  // (a byte order mark before it is no letter), and the line's end last.
  const std::vector<size_t>& letterStarts(size_t from) {
    if (starts_.empty() || startsFrom_ != from) {
      starts_.clear();
      startsFrom_ = from;
      for (size_t at = from; at < line_.size();) {
        starts_.push_back(at - from);
        at += utf8_ ? std::max<size_t>(utf8SequenceLength(line_.substr(at)), 1) : 1;
      }
      starts_.push_back(line_.size() - std::min(from, line_.size()));
    }
    return starts_;
  }

 private:
  std::string_view input_;
  LineReader reader_;
  std::string_view line_;
  size_t number_ = 0;
  bool utf8_ = true;
  std::vector<size_t> starts_;
  size_t startsFrom_ = 0;
};

// The letters of a line before the byte offset at, given where its letters start.
size_t lettersBefore(const std::vector<size_t>& starts, size_t at) {
  return static_cast<size_t>(std::lower_bound(starts.begin(), starts.end() - 1, at) -
                             starts.begin());
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

void messagesToUtf8(std::vector<Diagnostic>& diagnostics, std::string_view input) {
  Lines lines(input);
  for (Diagnostic& diagnostic : diagnostics) {
    lines.line(diagnostic.line);
    if (!lines.utf8()) diagnostic.message = windows1250ToUtf8(diagnostic.message);
  }
}

void placeInLetters(std::vector<Diagnostic>& diagnostics, std::string_view input) {
  Lines lines(input);
  for (Diagnostic& diagnostic : diagnostics) {
    const std::string_view line = lines.line(diagnostic.line);
    const size_t mark = markBefore(diagnostic, line, lines.utf8());
    const std::vector<size_t>& starts = lines.letterStarts(mark);
    const size_t length = line.size() - std::min(mark, line.size());
    const size_t begin = std::min(std::max(diagnostic.column - 1, mark) - mark, length);
    const size_t end = std::min(begin + diagnostic.length, length);
    diagnostic.letterColumn = lettersBefore(starts, begin) + 1;
    diagnostic.letterLength = std::max<size_t>(
        begin < end ? lettersBefore(starts, end) - lettersBefore(starts, begin) : 1, 1);
  }
}

std::string diagnosticsText(const std::vector<Diagnostic>& diagnostics, std::string_view input,
                            std::string_view path) {
  std::string text;
  Lines lines(input);
  for (const Diagnostic& diagnostic : diagnostics) {
    std::string_view line = lines.line(diagnostic.line);
    const bool utf8 = lines.utf8();
    const size_t mark = markBefore(diagnostic, line, utf8);
    line.remove_prefix(mark);
    text += std::string(path) + ":" + std::to_string(diagnostic.line) + ":" +
            std::to_string(diagnostic.letterColumn) + ": " +
            std::string(severityName(diagnostic.severity)) + ": " + diagnostic.message + "\n";
    const std::vector<size_t>& starts = lines.letterStarts(mark);
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
