#include "notation/NotationPlaces.h"

#include <algorithm>

#include "base/Messages.h"
#include "base/Windows1250.h"
#include "forms/TraceReport.h"

namespace relalg {

namespace {

bool isNameByte(char c) {
  const auto byte = static_cast<unsigned char>(c);
  return byte >= 0x80 || c == '_' || (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') ||
         (c >= 'A' && c <= 'Z');
}

// text with every whole-word name replaced by meaning.
std::string replaceWord(std::string text, std::string_view name, std::string_view meaning) {
  for (size_t at = text.find(name); at != std::string::npos; at = text.find(name, at)) {
    const size_t end = at + name.size();
    const bool whole =
        (at == 0 || !isNameByte(text[at - 1])) && (end == text.size() || !isNameByte(text[end]));
    if (!whole) {
      at = end;
      continue;
    }
    text.replace(at, name.size(), meaning);
    at += meaning.size();
  }
  return text;
}

// A bracketed expression without the brackets around it all.
std::string_view withoutBrackets(std::string_view text) {
  while (text.size() >= 2 && text.front() == '(' && text.back() == ')') {
    int depth = 0;
    for (size_t k = 0; k + 1 < text.size(); ++k) {
      depth += text[k] == '(' ? 1 : text[k] == ')' ? -1 : 0;
      if (depth == 0) return text;  // the first bracket closes before the end
    }
    text = text.substr(1, text.size() - 2);
  }
  return text;
}

std::string asLetters(std::string_view bytes) {
  return isUtf8(bytes) ? std::string(bytes) : windows1250ToUtf8(bytes);
}

}  // namespace

NotationPlaces::NotationPlaces(const LoweredInput& lowered, std::string_view file)
    : lowered_(lowered), file_(file) {
  lineStarts_.push_back(0);
  for (size_t k = 0; k < file.size(); ++k) {
    if (file[k] == '\n') lineStarts_.push_back(k + 1);
  }
  const size_t linesBefore = static_cast<size_t>(
      std::lower_bound(lineStarts_.begin(), lineStarts_.end(), lowered.blocksBegin) -
      lineStarts_.begin());
  tableLineShift_ = linesBefore > 0 ? linesBefore - 1 : 0;
  if (lowered.passedThrough) return;
  std::vector<SourceGroup> groups;
  groups.reserve(lowered.nodes.size());
  for (const NotationNode& node : lowered.nodes) {
    const std::string_view text = withoutBrackets(file.substr(node.begin, node.end - node.begin));
    groups.push_back({shortenedText(asLetters(text)), "", sourcePlace(node.begin, node.end)});
  }
  for (const Statement& statement : lowered.statements) {
    groups[static_cast<size_t>(statement.root)].step =
        asLetters(file.substr(statement.nameBegin, statement.nameEnd - statement.nameBegin));
  }
  std::vector<SourceStretch> stretches;
  stretches.reserve(lowered.sourceMap.size());
  for (const SourceSpan& span : lowered.sourceMap) {
    const Origin& origin = span.origin;
    if (origin.node < 0) continue;
    stretches.push_back({span.coreBegin, span.coreEnd, origin.node, origin.user, origin.begin,
                         origin.end, sourcePlace(origin.begin, origin.end)});
  }
  sources_ = NodeSources(std::move(stretches), std::move(groups));
}

SourcePlace NotationPlaces::sourcePlace(size_t begin, size_t end) const {
  const size_t line = static_cast<size_t>(
      std::upper_bound(lineStarts_.begin(), lineStarts_.end(), begin) - lineStarts_.begin());
  const size_t lineStart = lineStarts_[line - 1];
  size_t lineEnd = line < lineStarts_.size() ? lineStarts_[line] - 1 : file_.size();
  if (lineEnd > lineStart && file_[lineEnd - 1] == '\r') --lineEnd;
  std::string_view text = file_.substr(lineStart, lineEnd - lineStart);
  const bool utf8 = isUtf8(text);
  const size_t mark = line == 1 && utf8 ? byteOrderMarkLength(text) : 0;
  begin = std::clamp(begin, lineStart + mark, lineEnd);
  end = std::clamp(end, begin, lineEnd);
  SourcePlace place;
  place.line = line;
  place.column = begin - lineStart + 1;
  place.length = std::max<size_t>(end - begin, 1);
  place.letterColumn =
      letterCount(file_.substr(lineStart + mark, begin - lineStart - mark), utf8) + 1;
  place.letterLength = std::max<size_t>(letterCount(file_.substr(begin, end - begin), utf8), 1);
  return place;
}

NodeSources NotationPlaces::nodeSources() const { return sources_; }

SourceView NotationPlaces::view(const TraceAnalysis& analysis) const {
  return {lowered_.coreLine, sources_,
          place(analysis.diagnostics(), failureMeaning(analysis.outcome()))};
}

std::string NotationPlaces::translated(std::string_view text, bool utf8) const {
  std::string out(text);
  const bool convert = utf8 && !isUtf8(lowered_.coreLine);
  for (const auto& [name, meaning] : lowered_.freshNames) {
    out = convert ? replaceWord(std::move(out), windows1250ToUtf8(name), windows1250ToUtf8(meaning))
                  : replaceWord(std::move(out), name, meaning);
  }
  return out;
}

std::optional<Diagnostic> NotationPlaces::placeCoreDiagnostic(
    const Diagnostic& diagnostic, std::string_view failureMeaning) const {
  const size_t size = std::max<size_t>(lowered_.coreLine.size(), 1);
  const size_t begin = std::min(diagnostic.column - 1, size - 1);
  const size_t end = std::min(begin + std::max<size_t>(diagnostic.length, 1), size);
  const SourceStretch* stretch = sources_.of(begin, end);
  const bool error = diagnostic.severity == Diagnostic::kError;
  if (!error && (stretch == nullptr || !stretch->user)) return std::nullopt;
  size_t from = lowered_.statements.empty() ? 0 : lowered_.statements.back().begin;
  size_t to = from + 1;
  if (stretch != nullptr) {
    const NotationNode& node = lowered_.nodes[static_cast<size_t>(stretch->group)];
    from = stretch->sourceBegin;
    to = stretch->sourceEnd;
    if (from == node.begin && to == node.end) {
      from = node.opBegin;  // a core node: at the operator that it lowers
      to = node.opEnd;
    } else if (stretch->end - stretch->begin == to - from) {
      from += begin - stretch->begin;  // a word spelt as written: at the bytes concerned
      to = std::min(to, from + (end - begin));
    }
  }
  const SourcePlace place = sourcePlace(from, to);
  Diagnostic placed = diagnostic;
  placed.line = place.line;
  placed.column = place.column;
  placed.length = place.length;
  if (error) {
    placed.message = message(MessageId::kNotationCoreFailure, {diagnostic.message, failureMeaning});
  }
  return placed;
}

std::vector<Diagnostic> NotationPlaces::place(const std::vector<Diagnostic>& diagnostics,
                                              std::string_view failureMeaning) const {
  if (lowered_.passedThrough) return diagnostics;
  std::vector<Diagnostic> placed;
  for (const Diagnostic& diagnostic : diagnostics) {
    std::optional<Diagnostic> moved = diagnostic;
    if (diagnostic.line == 1) {
      moved = placeCoreDiagnostic(diagnostic, failureMeaning);
    } else {
      moved->line += tableLineShift_;
    }
    if (!moved) continue;
    moved->message = translated(moved->message, true);
    moved->fix = translated(moved->fix, true);
    placed.push_back(std::move(*moved));
  }
  std::stable_sort(placed.begin(), placed.end(), placedBefore);
  placeInLetters(placed, file_);
  return placed;
}

Diagnostic notationDiagnostic(const NotationError& error, std::string_view file) {
  const FilePlace place = placeOf(file, error.begin());
  std::vector<Diagnostic> diagnostics{{Diagnostic::kError, place.line, place.column,
                                       error.end() - error.begin(),
                                       messageAsUtf8(error.what(), isUtf8(file))}};
  placeInLetters(diagnostics, file);
  return diagnostics.front();
}

}  // namespace relalg
