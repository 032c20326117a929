// The trace of one run as a single JSON object, for relalgtrace --json and the browser page.
// It is always valid JSON in UTF-8: message texts appear with their Windows-1250 letters as the
// letters they are, and text of the input as UTF-8 where it is valid UTF-8, else read as
// Windows-1250 letters.
//
//   {"status": 0 | 1 | 3,              relalgrun's exit status
//    "stderr": "...",                  what relalgrun prints on standard error
//    "diagnostics": [{"severity": "error" | "warning" | "note", "line": L, "column": C,
//                     "length": N, "letterColumn": C, "letterLength": N, "message": "..."}],
//    "root": null | NODE}              the expression tree (null when the input was not read)
//   NODE: {"text", "line", "column", "length", "kind": "table" | "union" | ...,
//          and once evaluated: "name", "columns": [{"name", "type": "int" | "char(W)"}],
//          "count", "records": [the first records as record lines], "children": [NODE...];
//          "failed": true on the node whose evaluation failed}
// Lines and columns count from 1; columns and lengths count bytes of the line as stored, letter
// columns and lengths its letters. Nodes nested deeper than 200 levels are left out; the last
// node shown then has "more": true. For the browser page, a node may also carry "values":
// [[the values of each record shown], ...].
//
// The trace of a lowered notation file has its diagnostics placed in the notation file, and
// besides: "notation": {"core": the core line, "groups": [GROUP...]}, and in every NODE
// "source": {"group": index into groups, "user": true for user material, false for
// scaffolding, "line", "column", "length", "letterColumn", "letterLength": where its notation
// starts}. GROUP: {"text": the notation node as written, "step": the step it defines or null,
// "line", "column", "length", "letterColumn", "letterLength"}. A notation error gives
// "notation": {"core": null, "groups": []} and "root": null.
#ifndef RELALG_FORMS_TRACEJSON_H
#define RELALG_FORMS_TRACEJSON_H

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/JsonWriter.h"
#include "diagnostics/TraceAnalysis.h"
#include "forms/NodeSources.h"

namespace relalg {

// Writes diagnostics as the array of "diagnostics" above.
void writeDiagnostics(JsonWriter& json, const std::vector<Diagnostic>& diagnostics);

// The JSON of a finished analysis, with "values" when withValues is set. With a source view (the
// run of a lowered notation file), the diagnostics are the view's, and the object carries the
// notation too (see below).
std::string traceJson(const TraceAnalysis& analysis, bool withValues = false,
                      const SourceView* view = nullptr);

// The JSON of an input that was never run because its front end rejected it (a notation error):
// the status, the text standing for standard error, the diagnostics, and no tree.
std::string rejectedJson(int status, std::string_view stderrText,
                         const std::vector<Diagnostic>& diagnostics);

// Runs the input read by readInput as relalgrun does, without an output file, and returns the
// trace, showing at most limit records of each table.
std::string traceJson(const std::function<std::string()>& readInput, size_t limit,
                      bool withValues = false);

// The JSON of a run that ran out of memory before its trace could be written.
std::string outOfMemoryJson();

}  // namespace relalg

#endif  // RELALG_FORMS_TRACEJSON_H
