// window.relalg agrees with the native programs byte for byte: relalg.run with relalgrun (status,
// standard error, output file) on every example, case input and generated case input, and
// relalg.trace with relalgtrace --json.
"use strict";
const test = require("node:test");
const assert = require("assert/strict");
const fs = require("fs");
const os = require("os");
const path = require("path");
const { root, native, sharedPage } = require("./browser");
const { agreementInputs, generatedInputs, nativeRun, nativeTrace, withoutValues, byteDifference } = require("./agreement");

const shared = sharedPage(test);
const relalgrun = path.join(native, "relalgrun");

// Runs every input through window.relalg in the page; the bytes travel as base64.
async function browserRuns(page, files, op) {
  const encoded = files.map((file) => fs.readFileSync(file).toString("base64"));
  return page.evaluate(async (all, op) => {
    const toBase64 = (bytes) => btoa(Array.from(bytes, (b) => String.fromCharCode(b)).join(""));
    const answers = [];
    for (const text of all) {
      const bytes = Uint8Array.from(atob(text), (c) => c.charCodeAt(0));
      if (op === "trace") {
        answers.push(await window.relalg.trace(bytes));
      } else {
        const run = await window.relalg.run(bytes);
        answers.push({ status: run.status, stderr: toBase64(run.stderrBytes),
          output: run.output === null ? null : toBase64(run.output),
          outputIsBytes: run.output === null || run.output instanceof Uint8Array });
      }
    }
    return answers;
  }, encoded, op);
}

// The differences between the page's run of each input and relalgrun's.
async function runFaults(inputs) {
  const faults = [];
  for (const input of inputs) {
    const want = nativeRun(relalgrun, input.file);
    let got;
    try {
      [got] = await browserRuns(shared.page, [input.file], "run");
    } catch (error) {
      faults.push(`${input.name}: ${error.message.split("\n")[0]}`);
      continue;
    }
    const stderr = byteDifference(want.stderr, Buffer.from(got.stderr, "base64"));
    const output = byteDifference(want.output, got.output === null ? null : Buffer.from(got.output, "base64"));
    if (want.status !== got.status) faults.push(`${input.name}: status ${got.status}, relalgrun ${want.status}`);
    if (stderr) faults.push(`${input.name}: standard error: ${stderr}`);
    if (output) faults.push(`${input.name}: output file: ${output}`);
    if (!got.outputIsBytes) faults.push(`${input.name}: output is not a Uint8Array`);
  }
  return faults;
}

function withScratch(body) {
  const scratch = fs.mkdtempSync(path.join(os.tmpdir(), "relalg-web-"));
  return Promise.resolve(body(scratch)).finally(() => fs.rmSync(scratch, { recursive: true, force: true }));
}

test("run agrees with relalgrun on every example and case input", async () => {
  assert.deepEqual(await runFaults(agreementInputs(root)), []);
});

test("run takes a string as UTF-8 and gives standard error as text", async () => {
  const run = await shared.page.evaluate(async () => {
    const r = await window.relalg.run("select(t, EQ(a, 'é'))\n\nt(a char(2))\n'é'\n");
    return { status: r.status, stderr: r.stderr, output: new TextDecoder().decode(r.output) };
  });
  assert.deepEqual(run, { status: 0, stderr: "",
    output: "select(t, EQ(a, 'é'))\n\nt(a char(2))\n'é'\n\nt(a char(2))\n'é'\n" });
  const failed = await shared.page.evaluate(async () => (await window.relalg.run("x\n")).stderr);
  assert.equal(failed, "Hiba tortent: \nNincs x nevu tabla.\n");
});

test("run agrees with relalgrun on the generated case inputs up to 4 MiB", () => withScratch(async (scratch) => {
  const generated = generatedInputs(root, scratch, 4 << 20);
  assert.ok(generated.length > 0);
  assert.deepEqual(await runFaults(generated), []);
}));

test("run agrees with relalgrun on products past 32-bit sizes", () => withScratch(async (scratch) => {
  // 70000 * 70000 records overflows 32 bits to less than INT_MAX: wasm32's size_t is 32 bits.
  const file = path.join(scratch, "in.txt");
  const records = Array.from({ length: 70000 }, (_, k) => String(k)).join("\n");
  fs.writeFileSync(file, `product(a, rename(a, b(y)))\n\na(x int)\n${records}\n`);
  assert.deepEqual(await runFaults([{ name: "product", file }]), []);
}));

test("trace agrees with relalgtrace --json", async () => {
  const inputs = agreementInputs(root);
  const answers = await browserRuns(shared.page, inputs.map((input) => input.file), "trace");
  inputs.forEach((input, k) => assert.deepEqual(withoutValues(answers[k]),
    nativeTrace(path.join(native, "relalgtrace"), input.file), input.name));
});

test("the engine logs no errors", () => assert.deepEqual(shared.errors, []));
