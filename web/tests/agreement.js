// The inputs whose run the browser must reproduce byte for byte: every example and every case
// input that the case hands to relalgrun as its input file (cases that make their input with a
// script, run another program, or test the file system's failures are left out), and the native
// programs' answers for them.
"use strict";
const fs = require("fs");
const os = require("os");
const path = require("path");
const { spawnSync } = require("child_process");

function caseRunsRelalgrunOnInput(folder, generated = false) {
  const has = (file) => fs.existsSync(path.join(folder, file));
  if (has("program") || has("gen") !== generated || (!generated && !has("in"))) return false;
  if (!has("args")) return true;
  const args = fs.readFileSync(path.join(folder, "args"), "utf8").split("\n");
  return args[0] === "@IN@" && (args[1] === "@OUT@" || args[1] === "/dev/null");
}

function agreementInputs(root) {
  const inputs = [];
  const examples = path.join(root, "examples");
  for (const name of fs.readdirSync(examples).sort()) {
    if (name.endsWith(".txt")) inputs.push({ name: `examples/${name}`, file: path.join(examples, name) });
  }
  const cases = path.join(root, "tests", "cases");
  for (const name of fs.readdirSync(cases).sort()) {
    const folder = path.join(cases, name);
    if (caseRunsRelalgrunOnInput(folder)) inputs.push({ name: `tests/cases/${name}`, file: path.join(folder, "in") });
  }
  return inputs;
}

// The inputs that the cases' gen scripts make, up to maxBytes each, written into scratch.
function generatedInputs(root, scratch, maxBytes) {
  const inputs = [];
  const cases = path.join(root, "tests", "cases");
  for (const name of fs.readdirSync(cases).sort()) {
    const folder = path.join(cases, name);
    if (!caseRunsRelalgrunOnInput(folder, true)) continue;
    const work = path.join(scratch, name);
    fs.mkdirSync(work);
    const made = spawnSync("bash", [path.join(folder, "gen")], { cwd: work, timeout: 60000 });
    const file = path.join(work, "in.txt");
    if (made.status !== 0 || !fs.existsSync(file)) throw new Error(`${name}: gen failed`);
    if (fs.statSync(file).size <= maxBytes) inputs.push({ name: `tests/cases/${name} (generated)`, file });
  }
  return inputs;
}

// What relalgrun does with the input file: {status, stderr, output} with the output file's bytes,
// or null when it made none.
function nativeRun(relalgrun, file) {
  const scratch = fs.mkdtempSync(path.join(os.tmpdir(), "relalg-web-"));
  try {
    const out = path.join(scratch, "out.txt");
    const run = spawnSync(relalgrun, [file, out], { timeout: 60000 });
    return {
      status: run.status,
      stderr: run.stderr,
      output: fs.existsSync(out) ? fs.readFileSync(out) : null,
    };
  } finally {
    fs.rmSync(scratch, { recursive: true, force: true });
  }
}

// The object relalgtrace --json prints for the input file (whatever its exit status, which is
// relalgrun's).
function nativeTrace(relalgtrace, file) {
  const run = spawnSync(relalgtrace, ["--json", file], { timeout: 60000 });
  return JSON.parse(run.stdout.toString("utf8"));
}

// The page's trace less the values of each node's records, which relalgtrace --json does not
// print; each node's values must be its record lines cut at their commas.
function withoutValues(trace) {
  const pending = trace.root ? [trace.root] : [];
  while (pending.length > 0) {
    const node = pending.pop();
    if (Array.isArray(node.records)) {
      const lines = (node.values || []).map((values) => values.join(","));
      if (JSON.stringify(lines) !== JSON.stringify(node.records)) {
        throw new Error(`the values of ${node.text} are not its records`);
      }
    }
    delete node.values;
    pending.push(...node.children);
  }
  return trace;
}

// "" when the bytes are equal, else where they first differ and both sides around it.
function byteDifference(expected, actual) {
  if (expected === null || actual === null) {
    return expected === actual ? "" : `expected ${expected === null ? "no output file" : "an output file"}, ` +
      `got ${actual === null ? "none" : "one"}`;
  }
  const a = Buffer.from(expected);
  const b = Buffer.from(actual);
  if (a.equals(b)) return "";
  let k = 0;
  while (k < a.length && k < b.length && a[k] === b[k]) ++k;
  const around = (bytes) => JSON.stringify(bytes.subarray(Math.max(0, k - 20), k + 20).toString("latin1"));
  return `first difference at byte ${k} (lengths ${a.length} and ${b.length}): expected ${around(a)}, got ${around(b)}`;
}

module.exports = { agreementInputs, generatedInputs, nativeRun, nativeTrace, withoutValues, byteDifference };
