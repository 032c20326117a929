#include "grading/GradeReport.h"

#include <algorithm>
#include <cstdio>
#include <string_view>
#include <vector>

#include "base/Messages.h"
#include "base/Windows1250.h"
#include "diagnostics/Diagnostics.h"
#include "forms/TraceJson.h"

namespace relalg {

namespace {

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

// The lines of an outcome as the output file or standard error shows them.
std::vector<std::string> shownLines(const Outcome& outcome, std::string_view line) {
  if (!outcome.succeeded()) return lines(stderrAsUtf8(outcome.errorText, line));
  std::vector<std::string> shown{asLetters(outcome.header)};
  for (const std::string& record : outcome.records) shown.push_back(asLetters(record));
  return shown;
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

std::string plural(size_t count, std::string_view word) {
  return std::to_string(count) + " " + std::string(word) + (count == 1 ? "" : "s");
}

std::string verdictLine(const SubmissionReport& report) {
  std::string line = report.file + ": " + std::string(verdictName(report.verdict));
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
                example.source + " (" + plural(example.recordsBefore, "record") + ")";
      }
      break;
    case Verdict::kFailed:
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
      out += "  " + data.name + ": " + std::string(verdictName(data.verdict));
      if (data.verdict == Verdict::kFailed)
        out += " (exit status " + std::to_string(data.status) + ")";
      out += "\n";
    }
  }
  if (!report.program.empty() && !report.expression.empty()) {
    out += "core: " + asLetters(report.expression) + "\n";
  }
  out += diagnosticsText(report.diagnostics,
                         report.program.empty() ? report.expression : report.program, report.file);
  if (report.counterexample) {
    const Counterexample& example = *report.counterexample;
    out += "--- counterexample: an input file for relalgrun ---\n" + asLetters(example.input) +
           "--- end of the counterexample ---\n";
    if (!report.savedAs.empty()) out += "(saved as " + report.savedAs + ")\n";
    std::vector<std::string> expected = shownLines(example.expected, report.expression);
    std::vector<std::string> got = shownLines(example.got, report.expression);
    expected.insert(expected.begin(), "expected (the reference):");
    got.insert(got.begin(), "got (this submission):");
    out += sideBySide(std::move(expected), std::move(got));
  }
  return out + "\n";
}

void writeReportJson(JsonWriter& json, const SubmissionReport& report) {
  json.beginObject();
  json.key("file").text(report.file);
  json.key("expression").text(report.expression, JsonWriter::kInputText);
  json.key("notation");
  if (report.program.empty()) {
    json.null();
  } else {
    json.text(report.program, JsonWriter::kInputText);
  }
  json.key("verdict").text(verdictName(report.verdict));
  json.key("reason");
  if (report.verdict == Verdict::kFailed) {
    json.text(report.reason);
  } else {
    json.null();
  }
  json.key("datasets").beginArray();
  for (const DataSetVerdict& data : report.dataSets) {
    json.beginObject();
    json.key("name").text(data.name);
    json.key("verdict").text(verdictName(data.verdict));
    json.key("status").number(data.status);
    json.key("stderr").text(stderrAsUtf8(data.errorText, report.expression));
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
    json.key("expected").beginArray();
    for (const std::string& record : example.expected.records)
      json.text(record, JsonWriter::kInputText);
    json.endArray();
    json.key("got").beginArray();
    for (const std::string& record : example.got.records) json.text(record, JsonWriter::kInputText);
    json.endArray();
    json.key("gotStatus").number(example.got.status);
    json.key("gotStderr").text(stderrAsUtf8(example.got.errorText, report.expression));
    json.key("saved");
    if (report.savedAs.empty()) {
      json.null();
    } else {
      json.text(report.savedAs);
    }
    json.endObject();
  }
  json.key("tried").number(static_cast<int64_t>(report.tried));
  json.key("searchCut").boolean(report.searchCut);
  json.key("seconds").fixed(report.seconds, 3);
  json.endObject();
}

}  // namespace relalg
