// window.relalg: the one interface to the engine, used by the page's own buttons and by the
// tests. The engine runs in a Web Worker made from the source that the build put in
// window.RELALG_WORKER_SOURCE (a Blob, so that the page works from disk as well as from a server).
//
//   await relalg.run(input)    -> {status, stderr, stderrBytes, output, table, explanation}
//                                 (table: the result's first records as arrays of values, or null)
//   await relalg.trace(input, {limit, notation, allow})
//                              -> the object that relalgtrace --json prints; with notation, the
//                                 input is a notation file and the object is that of
//                                 relalgtrace --notation --json (--allow=allow when given)
//   await relalg.lower(input, {allow}) -> {status, core, passedThrough, input, diagnostics,
//                                 stderr}: the lowering of a notation file, as relalgtrace
//                                 --notation --core writes it (input: its bytes); on a notation
//                                 error status 1, input null, the error in diagnostics and stderr
//   await relalg.check(input, mode) -> {status, stderr, digest, result, resultRecords}: the
//                                 outcome of the expression on the input's first line over its
//                                 tables, the digest of its result under the compare mode ("set",
//                                 "bag" or "exact"), as relalgcheck --link gives the reference's
//                                 (null on a failure), and the result: its header line and first
//                                 20 records, and how many records it has
//   relalg.stop()              -> ends the work in progress (its promises reject) at once
//
// input is a string (encoded as UTF-8) or a Uint8Array of the input file's raw bytes.
"use strict";

(() => {
  let worker = null;
  let nextId = 1;
  const pending = new Map();

  function failAll(error) {
    for (const { reject } of pending.values()) reject(error);
    pending.clear();
  }

  function startWorker() {
    const source = new Blob([window.RELALG_WORKER_SOURCE], { type: "text/javascript" });
    const url = URL.createObjectURL(source);
    worker = new Worker(url);
    URL.revokeObjectURL(url);
    worker.onmessage = (event) => {
      const { id, result, error } = event.data;
      const waiting = pending.get(id);
      if (!waiting) return;
      pending.delete(id);
      if (error === undefined) {
        waiting.resolve(result);
      } else {
        // A fault inside the engine may leave its memory inconsistent: start afresh.
        restart(new Error(`the engine failed: ${error}`));
        waiting.reject(new Error(`the engine failed: ${error}`));
      }
    };
    worker.onerror = (event) => {
      event.preventDefault();
      restart(new Error(`the engine failed: ${event.message} (line ${event.lineno})`));
    };
  }

  function restart(error) {
    worker.terminate();
    failAll(error);
    startWorker();
  }

  function call(op, bytes, { limit = 10, mode = "set", notation = false, allow = "" } = {}) {
    return new Promise((resolve, reject) => {
      const id = nextId++;
      pending.set(id, { resolve, reject });
      worker.postMessage({ id, op, bytes, limit, mode, notation, allow });
    });
  }

  function toBytes(input) {
    if (typeof input === "string") return new TextEncoder().encode(input);
    if (input instanceof Uint8Array) return input.slice();
    throw new TypeError("relalg: the input is a string or a Uint8Array");
  }

  // Text of bytes for reading: UTF-8 where they are valid UTF-8, else Windows-1250, the
  // encoding of the messages and of many input files.
  function decodeText(bytes) {
    try {
      return new TextDecoder("utf-8", { fatal: true, ignoreBOM: true }).decode(bytes);
    } catch {
      return new TextDecoder("windows-1250").decode(bytes);
    }
  }

  async function run(input) {
    const result = await call("run", toBytes(input));
    return {
      status: result.status,
      stderr: decodeText(result.stderr),
      stderrBytes: result.stderr,
      output: result.output,
      table: result.table,
      explanation: result.explanation,
    };
  }

  function trace(input, { limit = 10, notation = false, allow = "" } = {}) {
    return call("trace", toBytes(input), { limit, notation, allow });
  }

  function lower(input, { allow = "" } = {}) {
    return call("lower", toBytes(input), { allow });
  }

  function check(input, mode = "set") {
    return call("check", toBytes(input), { limit: 0, mode });
  }

  function stop() {
    restart(new Error("stopped"));
  }

  startWorker();
  window.relalg = { run, trace, lower, check, stop, decodeText };
})();
