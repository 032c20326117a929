// The engine's Web Worker: the page's messages in, the core library's answers out. The build
// places this script after the compiled engine (which defines Module) in one worker source.
// A message is {id, op: "run" | "trace" | "check", bytes: Uint8Array, limit, mode}; the answer
// is {id, result} or {id, error}.
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

function trace(bytes, limit) {
  withBytes(bytes, (pointer, size) => Module._relalg_trace(pointer, size, limit));
  return JSON.parse(lastText());
}

const compareModes = ["set", "bag", "exact"];

function check(bytes, mode) {
  const number = compareModes.indexOf(mode);
  if (number < 0) throw new Error(`no compare mode ${mode}`);
  withBytes(bytes, (pointer, size) => Module._relalg_check(pointer, size, number));
  return JSON.parse(lastText());
}

self.onmessage = async (event) => {
  const { id, op, bytes, limit, mode } = event.data;
  await engineReady;
  try {
    const result = op === "run" ? run(bytes) : op === "check" ? check(bytes, mode) : trace(bytes, limit);
    // The output file's bytes are handed over, not copied: they can be as large as the input twice.
    self.postMessage({ id, result }, result && result.output ? [result.output.buffer] : []);
  } catch (error) {
    self.postMessage({ id, error: String(error && error.stack ? error.stack : error) });
  }
};
})();
