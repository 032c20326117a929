#include "grading/GradeReport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <string_view>
#include <vector>

#include "base/Messages.h"
#include "base/Windows1250.h"
#include "diagnostics/Diagnostics.h"
#include "forms/TraceJson.h"

namespace relalg {

namespace {

// Text for a terminal: every control character (but a tab, and line feeds where they end lines
// of the report), DEL and the C1 controls of UTF-8 written as \xHH, so that nothing a submission
// or a file name holds can move the cursor, clear the screen or forge a line of the report.
std::string escapeControls(std::string_view text, bool keepLineFeeds = false) {
  std::string out;
  out.reserve(text.size());
  for (size_t k = 0; k < text.size();) {
    const auto byte = [&](size_t at) { return static_cast<unsigned char>(text[at]); };
    const unsigned char c = byte(k);
    const bool c1 = c == 0xC2 && k + 1 < text.size() && byte(k + 1) >= 0x80 && byte(k + 1) <= 0x9F;
    const bool control = (c < 0x20 && c != '\t' && !(c == '\n' && keepLineFeeds)) || c == 0x7F;
    if (!c1 && !control) {
      out += text[k++];
      continue;
    }
    for (const size_t end = k + (c1 ? 2 : 1); k < end; ++k) {
      char hex[5];
      std::snprintf(hex, sizeof hex, "\\x%02X", byte(k));
      out += hex;
    }
  }
  return out;
}

std::string stderrAsUtf8(std::string_view errorText, std::string_view line) {
  return errorTextAsUtf8(errorText, isUtf8(line));
}

// Text of the input as its letters: UTF-8 as it is, anything else read as Windows-1250.
std::string asLetters(std::string_view text) {
  return isUtf8(text) ? std::string(text) : windows1250ToUtf8(text);
}

std::vector<std::string> lines(std::string_view text) {
  std::vector<std::string> cut;
  while (!text.empty()) {
    const size_t end = text.find('\n');
    cut.emplace_back(text.substr(0, end));
    if (end == std::string_view::npos) break;
    text.remove_prefix(end + 1);
  }
  return cut;
}

std::string plural(size_t count, std::string_view word) {
  return std::to_string(count) + " " + std::string(word) + (count == 1 ? "" : "s");
}

// The lines of an outcome as the output file or standard error shows them, its first records
// only.
std::vector<std::string> shownLines(const Outcome& outcome, std::string_view line) {
  if (!outcome.succeeded()) return lines(stderrAsUtf8(outcome.errorText, line));
  std::vector<std::string> shown{asLetters(outcome.header)};
  const size_t records = outcome.records.size();
  for (size_t k = 0; k < std::min(records, kReportedRecords); ++k) {
    shown.push_back(asLetters(outcome.records[k]));
  }
  if (records > kReportedRecords)
    shown.push_back("... " + plural(records - kReportedRecords, "more record"));
  return shown;
}

// The text, or null when it is empty.
void textOrNull(JsonWriter& json, std::string_view text,
                JsonWriter::Encoding encoding = JsonWriter::kInputText) {
  if (text.empty()) {
    json.null();
  } else {
    json.text(text, encoding);
  }
}

size_t letters(std::string_view text) { return letterCount(text, isUtf8(text)); }

std::string sideBySide(std::vector<std::string> left, std::vector<std::string> right) {
  size_t width = 0;
  for (const std::string& text : left) width = std::max(width, letters(text));
  width += 4;
  std::string out;
  for (size_t k = 0; k < std::max(left.size(), right.size()); ++k) {
    const std::string shownLeft = k < left.size() ? left[k] : "";
    out += shownLeft;
    if (k < right.size()) out += std::string(width - letters(shownLeft), ' ') + right[k];
    out += '\n';
  }
  return out;
}

std::string verdictLine(const SubmissionReport& report) {
  std::string line = escapeControls(report.file) + ": " + std::string(verdictName(report.verdict));
  switch (report.verdict) {
    case Verdict::kRight: {
      const size_t given = report.dataSets.size();
      line += ": no difference found on " + plural(given, "given data set") + " and " +
              std::to_string(report.tried - given) + " generated";
      if (report.searchCut) line += " (the budget ended the search)";
      break;
    }
    case Verdict::kWrong:
      if (report.counterexample) {
        const Counterexample& example = *report.counterexample;
        line += ": a counterexample of " + plural(example.records, "record") + ", shrunk from " +
                escapeControls(example.source) + " (" + plural(example.recordsBefore, "record") +
                ")";
      }
      break;
    case Verdict::kFailed:
    case Verdict::kNotGraded:
      line += ": " + report.reason;
      break;
  }
  return line + "\n";
}

}  // namespace

std::string reportText(const SubmissionReport& report) {
  std::string out = verdictLine(report);
  if (report.dataSets.size() > 1) {
    for (const DataSetVerdict& data : report.dataSets) {
      out += "  " + escapeControls(data.name) + ": " + std::string(verdictName(data.verdict));
      if (data.verdict == Verdict::kFailed)
        out += " (exit status " + std::to_string(data.status) + ")";
      out += "\n";
    }
  }
  if (!report.program.empty() && !report.expression.empty()) {
    out += "core: " + asLetters(report.expression) + "\n";
  }
  out += diagnosticsText(report.diagnostics,
                         report.program.empty() ? report.expression : report.program, escapeControls(report.file));
  if (report.counterexample) {
    const Counterexample& example = *report.counterexample;
    out += "--- counterexample: an input file for relalgrun ---\n" + asLetters(example.input) +
           "--- end of the counterexample ---\n";
    if (!report.savedAs.empty()) out += "(saved as " + escapeControls(report.savedAs) + ")\n";
    if (!report.saveError.empty()) out += "(" + escapeControls(report.saveError) + ")\n";
    if (example.onlyWhenEmpty) {
      out += "the results differ only when " + asLetters(example.emptyPart) +
             ": no counterexample without that was found\n";
    }
    std::vector<std::string> expected = shownLines(example.expected, report.expression);
    std::vector<std::string> got = shownLines(example.got, report.expression);
    expected.insert(expected.begin(), "expected (the reference):");
    got.insert(got.begin(), "got (this submission):");
    out += sideBySide(std::move(expected), std::move(got));
  }
  return escapeControls(out, true) + "\n";
}

std::optional<Points> parsePoints(std::string_view text) {
  Points points{0, 0, 0};
  bool named[3] = {false, false, false};
  for (size_t start = 0; start <= text.size();) {
    const std::string_view item = text.substr(start, text.find(',', start) - start);
    start += item.size() + 1;
    const size_t equals = item.find('=');
    const std::string_view number = item.substr(std::min(equals + 1, item.size()));
    const size_t point = number.find('.');
    size_t verdict = 0;
    while (verdict < 3 && verdictName(static_cast<Verdict>(verdict)) != item.substr(0, equals)) {
      ++verdict;
    }
    const bool digits =
        !number.empty() && number.find_first_not_of("0123456789.") == std::string_view::npos;
    if (verdict == 3 || named[verdict] || !digits || number == "." ||
        (point != std::string_view::npos &&
         (number.find('.', point + 1) != std::string_view::npos || number.size() - point > 3)) ||
        number.size() > 12) {
      return std::nullopt;
    }
    named[verdict] = true;
    points[verdict] = std::strtod(std::string(number).c_str(), nullptr);
  }
  return points;
}

void writePoints(JsonWriter& json, double points) {
  int decimals = 0;
  while (decimals < 2 && std::abs(points * std::pow(10, decimals) -
                                  std::round(points * std::pow(10, decimals))) > 1e-9) {
    ++decimals;
  }
  json.fixed(points, decimals);
}

void writePoints(JsonWriter& json, const Points& points) {
  json.beginObject();
  for (size_t verdict = 0; verdict < points.size(); ++verdict) {
    json.key(verdictName(static_cast<Verdict>(verdict)));
    writePoints(json, points[verdict]);
  }
  json.endObject();
}

void writeReportJson(JsonWriter& json, const SubmissionReport& report,
                     const std::optional<Points>& points) {
  json.beginObject();
  json.key("file").text(report.file);
  json.key("expression").text(report.expression, JsonWriter::kInputText);
  json.key("notation");
  if (report.program.empty()) {
    json.null();
  } else {
    json.text(report.program, JsonWriter::kInputText);
  }
  json.key("verdict");
  if (report.verdict == Verdict::kNotGraded) {
    json.null();
  } else {
    json.text(verdictName(report.verdict));
  }
  if (points) {
    json.key("points");
    if (report.verdict == Verdict::kNotGraded) {
      json.null();
    } else {
      writePoints(json, (*points)[static_cast<size_t>(report.verdict)]);
    }
  }
  json.key("reason");
  if (report.verdict == Verdict::kFailed || report.verdict == Verdict::kNotGraded) {
    json.text(report.reason);
  } else {
    json.null();
  }
  const MessageInfo* reasonInfo = findMessage(report.reason);
  textOrNull(json.key("meaning"), !report.meaning.empty() ? std::string_view(report.meaning)
                                  : reasonInfo != nullptr ? reasonInfo->meaning
                                                          : std::string_view());
  json.key("datasets").beginArray();
  for (const DataSetVerdict& data : report.dataSets) {
    json.beginObject();
    json.key("name").text(data.name);
    json.key("verdict").text(verdictName(data.verdict));
    json.key("status").number(data.status);
    json.key("stderr").text(stderrAsUtf8(data.errorText, report.expression));
    textOrNull(json.key("meaning"), failureMeaning(data.errorText));
    json.endObject();
  }
  json.endArray();
  json.key("diagnostics");
  writeDiagnostics(json, report.diagnostics);
  json.key("counterexample");
  if (!report.counterexample) {
    json.null();
  } else {
    const Counterexample& example = *report.counterexample;
    json.beginObject();
    json.key("input").text(example.input, JsonWriter::kInputText);
    json.key("records").number(static_cast<int64_t>(example.records));
    json.key("source").text(example.source);
    json.key("recordsBefore").number(static_cast<int64_t>(example.recordsBefore));
    writeResultJson(json, "expected", example.expected);
    writeResultJson(json, "got", example.got);
    textOrNull(json.key("emptyPart"), example.emptyPart);
    json.key("onlyWhenEmpty").boolean(example.onlyWhenEmpty);
    json.key("gotStatus").number(example.got.status);
    json.key("gotStderr").text(stderrAsUtf8(example.got.errorText, report.expression));
    textOrNull(json.key("gotMeaning"), failureMeaning(example.got.errorText));
    textOrNull(json.key("saved"), report.savedAs, JsonWriter::kUtf8Bytes);
    textOrNull(json.key("saveError"), report.saveError, JsonWriter::kUtf8Bytes);
    json.endObject();
  }
  json.key("tried").number(static_cast<int64_t>(report.tried));
  json.key("searchCut").boolean(report.searchCut);
  json.key("seconds").fixed(report.seconds, 3);
  json.endObject();
}

}  // namespace relalg
