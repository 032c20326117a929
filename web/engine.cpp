// The browser's driver of the core library: the C functions that the page's worker calls. Each
// call takes the input file's bytes, runs them through the same run sequence as relalgrun (or the
// same trace as relalgtrace --json), and keeps the answer in a buffer that stays valid until the
// next call; the worker copies it out through the pointer and length functions.
#include <emscripten/emscripten.h>

#include <cstddef>
#include <memory>
#include <optional>
#include <string>
#include <string_view>

#include "base/JsonWriter.h"
#include "base/Messages.h"
#include "diagnostics/Diagnostics.h"
#include "files/InputSource.h"
#include "files/OutputTarget.h"
#include "forms/TableJson.h"
#include "forms/TraceJson.h"
#include "grading/ExerciseLink.h"
#include "notation/Notation.h"
#include "notation/NotationError.h"
#include "notation/NotationPlaces.h"
#include "run/RunSequence.h"
#include "storage/Table.h"

using namespace relalg;

namespace {

// The result records that the page shows; the download holds them all.
constexpr size_t kShownRecords = 1000;

struct RunAnswer {
  int status = 0;
  bool outputOpened = false;
  std::string errorText;
  std::string output;
  std::string table;  // the result table as JSON (forms/TableJson.h), or empty
};

RunAnswer lastRun;
std::string lastText;
std::string lastLowered;  // the relalgrun input of the last lowering

// The allowlist of size bytes at names (names separated by commas), all when empty; where a name
// is no allowlist name, nothing, with the JSON of the error in lastText.
std::optional<Allowlist> allowlist(const char* names, size_t size) {
  Allowlist allow;
  if (size == 0) return allow;
  if (const std::optional<std::string_view> unknown = allow.restrict({names, size})) {
    lastText = rejectedJson(1, message(MessageId::kNotationUnknownAllowed, {*unknown}), {});
    return std::nullopt;
  }
  return allow;
}

// Lowers a notation file; on a notation error, keeps its JSON as a run's in lastText.
std::optional<LoweredInput> lowered(std::string_view file, const Allowlist& allow) {
  try {
    return lowerNotation(file, allow);
  } catch (const NotationError& error) {
    const std::vector<Diagnostic> diagnostics{notationDiagnostic(error, file)};
    lastText = rejectedJson(1, diagnosticsText(diagnostics, file, "input"), diagnostics);
    return std::nullopt;
  }
}

// The English meaning and fix of a printed message (the text below "Hiba tortent: "), as JSON.
std::string explanationJson(std::string_view printed) {
  JsonWriter json;
  const MessageInfo* info = findMessage(printed);
  if (info == nullptr) {
    json.null();
  } else {
    json.beginObject();
    json.key("pattern").text(shownPattern(*info), JsonWriter::kWindows1250);
    json.key("meaning").text(info->meaning, JsonWriter::kWindows1250);
    json.key("fix").text(info->fix, JsonWriter::kWindows1250);
    json.endObject();
  }
  return json.str();
}

}  // namespace

extern "C" {

// Runs relalgrun's sequence on size bytes at input; returns the exit status.
EMSCRIPTEN_KEEPALIVE int relalg_run(const char* input, size_t size) {
  // The input is read where the worker placed it, which stays until the run returns.
  const std::string_view bytes(input, size);
  MemoryTarget output;
  lastRun.table.clear();
  const RunOutcome outcome = runSequence(
      [&]() -> std::unique_ptr<InputSource> {
        return std::make_unique<TextInput>(TextInput::viewing(bytes));
      },
      &output, nullptr,
      [](const Table& result) { lastRun.table = tableJson(result, kShownRecords); });
  lastRun.status = outcome.status;
  lastRun.outputOpened = output.opened();
  lastRun.errorText = outcome.errorText();
  lastRun.output = output.bytes();
  return lastRun.status;
}

EMSCRIPTEN_KEEPALIVE const char* relalg_run_stderr() { return lastRun.errorText.data(); }
EMSCRIPTEN_KEEPALIVE size_t relalg_run_stderr_size() { return lastRun.errorText.size(); }
// Whether relalgrun would have created the output file.
EMSCRIPTEN_KEEPALIVE int relalg_run_output_opened() { return lastRun.outputOpened ? 1 : 0; }
EMSCRIPTEN_KEEPALIVE const char* relalg_run_output() { return lastRun.output.data(); }
EMSCRIPTEN_KEEPALIVE size_t relalg_run_output_size() { return lastRun.output.size(); }
// The result table of a successful run as JSON, its first records as arrays of values; empty
// after a failure.
EMSCRIPTEN_KEEPALIVE const char* relalg_run_table() { return lastRun.table.data(); }
EMSCRIPTEN_KEEPALIVE size_t relalg_run_table_size() { return lastRun.table.size(); }

// The JSON trace of relalgtrace --json for size bytes at input, showing at most limit records of
// each table, and each node's records also as arrays of values ("values"); read it with
// relalg_text and relalg_text_size.
EMSCRIPTEN_KEEPALIVE void relalg_trace(const char* input, size_t size, size_t limit) {
  const std::string bytes(input, size);
  lastText = traceJson([&] { return bytes; }, limit, true);
}

// Lowers the notation file of size bytes at input under the allowlist of allowSize bytes at allow
// (names separated by commas; all when empty), as relalgtrace --notation --core does. The
// answer, read with relalg_text, is JSON: {"status": 0, "core": the core line, "passedThrough":
// whether the file is its own lowering, "diagnostics": []}, with the lowered input read with
// relalg_lowered and relalg_lowered_size; or, for a notation error, {"status": 1, "stderr": the
// error as relalgtrace shows it, "diagnostics": [the error], "notation": ..., "root": null}.
EMSCRIPTEN_KEEPALIVE void relalg_lower(const char* input, size_t size, const char* allow,
                                       size_t allowSize) {
  lastLowered.clear();
  const std::optional<Allowlist> list = allowlist(allow, allowSize);
  const std::optional<LoweredInput> made =
      list ? lowered(std::string_view(input, size), *list) : std::nullopt;
  if (!made) return;
  lastLowered = made->input;
  JsonWriter json;
  json.beginObject();
  json.key("status").number(0);
  json.key("core").text(made->coreLine, JsonWriter::kInputText);
  json.key("passedThrough").boolean(made->passedThrough);
  json.key("diagnostics").beginArray().endArray();
  json.endObject();
  lastText = json.str();
}

EMSCRIPTEN_KEEPALIVE const char* relalg_lowered() { return lastLowered.data(); }
EMSCRIPTEN_KEEPALIVE size_t relalg_lowered_size() { return lastLowered.size(); }

// The JSON trace of relalgtrace --notation --json for the notation file of size bytes at input,
// under the allowlist at allow (as for relalg_lower), with "values" as relalg_trace gives them;
// read it with relalg_text.
EMSCRIPTEN_KEEPALIVE void relalg_trace_notation(const char* input, size_t size, size_t limit,
                                                const char* allow, size_t allowSize) {
  const std::string file(input, size);
  const std::optional<Allowlist> list = allowlist(allow, allowSize);
  const std::optional<LoweredInput> made = list ? lowered(file, *list) : std::nullopt;
  if (!made) return;
  const NotationPlaces places(*made, file);
  TraceAnalysis analysis(limit);
  const RunOutcome outcome =
      runSequence(analysis.reader([&] { return made->input; }), nullptr, &analysis);
  analysis.finish(outcome);
  const SourceView view = places.view(analysis);
  lastText = traceJson(analysis, true, &view);
}

// The explanation of a printed message of size bytes at printed, as JSON: {"pattern", "meaning",
// "fix"}, or null when no message of the table fits; read it with relalg_text.
EMSCRIPTEN_KEEPALIVE void relalg_explain(const char* printed, size_t size) {
  lastText = explanationJson(std::string_view(printed, size));
}

// What an exercise's Check needs of one data set: the outcome of the expression on the first line
// of size bytes at input over the tables below it, with the digest of its result under the
// compare mode (0 set, 1 bag, 2 exact), as JSON {"status", "stderr", "digest"}; read it with
// relalg_text.
EMSCRIPTEN_KEEPALIVE void relalg_check(const char* input, size_t size, int mode) {
  lastText = checkJson(std::string_view(input, size), static_cast<CompareMode>(mode));
}

EMSCRIPTEN_KEEPALIVE const char* relalg_text() { return lastText.data(); }
EMSCRIPTEN_KEEPALIVE size_t relalg_text_size() { return lastText.size(); }

}  // extern "C"
