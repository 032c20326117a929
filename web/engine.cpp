// The browser's driver of the core library: the C functions that the page's worker calls. Each
// call takes the input file's bytes, runs them through the same run sequence as relalgrun (or the
// same trace as relalgtrace --json), and keeps the answer in a buffer that stays valid until the
// next call; the worker copies it out through the pointer and length functions.
#include <emscripten/emscripten.h>

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "base/JsonWriter.h"
#include "base/Messages.h"
#include "files/InputSource.h"
#include "files/OutputTarget.h"
#include "forms/TableJson.h"
#include "forms/TraceJson.h"
#include "grading/ExerciseLink.h"
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
