// The engine's Web Worker: the page's messages in, the core library's answers out. The build
// places this script after the compiled engine (which defines Module) in one worker source.
// A message is {id, op: "run" | "trace" | "check" | "lower", bytes: Uint8Array, limit, mode,
// notation, allow}; the answer is {id, result} or {id, error}.
"use strict";

// In a function of its own, so that no name here replaces one of the engine's globals.
(() => {
const engineReady = new Promise((resolve) => {
  if (Module.calledRun) resolve();
  else Module.onRuntimeInitialized = resolve;
});

// Copies bytes into the engine's memory, calls use(pointer, size), and frees them again.
function withBytes(bytes, use) {
  const pointer = Module._malloc(Math.max(bytes.length, 1));
  Module.HEAPU8.set(bytes, pointer);
  try {
    return use(pointer, bytes.length);
  } finally {
    Module._free(pointer);
  }
}

// A copy of size bytes at pointer of the engine's memory.
function copyOut(pointer, size) {
  return Module.HEAPU8.slice(pointer, pointer + size);
}

const utf8 = new TextDecoder("utf-8");

function lastText() {
  return utf8.decode(copyOut(Module._relalg_text(), Module._relalg_text_size()));
}

// The English explanation of a failure's standard error, or null (no message, or none fits).
function explain(stderr) {
  const lineEnd = stderr.indexOf(10);
  if (lineEnd < 0 || lineEnd + 1 >= stderr.length) return null;
  const printed = stderr.subarray(lineEnd + 1, stderr.length - 1);
  withBytes(printed, (pointer, size) => Module._relalg_explain(pointer, size));
  return JSON.parse(lastText());
}

function run(bytes) {
  const status = withBytes(bytes, (pointer, size) => Module._relalg_run(pointer, size));
  const stderr = copyOut(Module._relalg_run_stderr(), Module._relalg_run_stderr_size());
  const output = Module._relalg_run_output_opened()
    ? copyOut(Module._relalg_run_output(), Module._relalg_run_output_size())
    : null;
  const tableSize = Module._relalg_run_table_size();
  const table = tableSize > 0 ? JSON.parse(utf8.decode(copyOut(Module._relalg_run_table(), tableSize))) : null;
  return { status, stderr, output, table, explanation: status === 1 ? explain(stderr) : null };
}

const encoder = new TextEncoder();

function trace(bytes, limit, notation, allow) {
  if (notation) {
    withBytes(encoder.encode(allow || ""), (names, namesSize) =>
      withBytes(bytes, (pointer, size) => Module._relalg_trace_notation(pointer, size, limit, names, namesSize)));
  } else {
    withBytes(bytes, (pointer, size) => Module._relalg_trace(pointer, size, limit));
  }
  return JSON.parse(lastText());
}

// The lowering of a notation file: the engine's JSON answer, and the lowered input's bytes.
function lower(bytes, allow) {
  withBytes(encoder.encode(allow || ""), (names, namesSize) =>
    withBytes(bytes, (pointer, size) => Module._relalg_lower(pointer, size, names, namesSize)));
  const answer = JSON.parse(lastText());
  answer.input = answer.status === 0 ? copyOut(Module._relalg_lowered(), Module._relalg_lowered_size()) : null;
  return answer;
}

const compareModes = ["set", "bag", "exact"];

function check(bytes, mode) {
  const number = compareModes.indexOf(mode);
  if (number < 0) throw new Error(`no compare mode ${mode}`);
  withBytes(bytes, (pointer, size) => Module._relalg_check(pointer, size, number));
  return JSON.parse(lastText());
}

self.onmessage = async (event) => {
  const { id, op, bytes, limit, mode, notation, allow } = event.data;
  await engineReady;
  try {
    const result = op === "run" ? run(bytes) : op === "check" ? check(bytes, mode)
      : op === "lower" ? lower(bytes, allow) : trace(bytes, limit, notation, allow);
    // The output file's bytes are handed over, not copied: they can be as large as the input twice.
    const handed = result && (result.output || result.input);
    self.postMessage({ id, result }, handed && handed.buffer ? [handed.buffer] : []);
  } catch (error) {
    self.postMessage({ id, error: String(error && error.stack ? error.stack : error) });
  }
};
})();
