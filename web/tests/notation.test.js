// The notation in the browser: window.relalg lowers and traces notation files exactly as
// relalgtrace --notation does, and the page shows the core line, groups the tree, underlines the
// notation's errors in the program, offers the operators, and carries the mode in its links.
"use strict";
const test = require("node:test");
const assert = require("assert/strict");
const fs = require("fs");
const path = require("path");
const { execFileSync, spawnSync } = require("child_process");
const { root, native, site, sharedPage, openPage, editorText, setEditorText, runByButton, tableRows } = require("./browser");
const { withoutValues } = require("./agreement");

const shared = sharedPage(test);
const relalgtrace = path.join(native, "relalgtrace");
const examples = path.join(root, "examples", "notation");
const cases = path.join(root, "tests", "cases");

// The notation examples, and the inputs of the notation cases (errors among them).
const notationFiles = () => [
  ...fs.readdirSync(examples).filter((n) => n.endsWith(".txt")).map((n) => path.join(examples, n)),
  ...fs.readdirSync(cases).filter((n) => n.startsWith("notation-")).map((n) => path.join(cases, n, "in"))
    .filter((file) => fs.existsSync(file)),
];

// relalg.lower and relalg.trace({notation}) in the page, for the files' bytes.
function inPage(files, op) {
  return shared.page.evaluate(async (all, op) => {
    const toBase64 = (bytes) => btoa(Array.from(bytes, (b) => String.fromCharCode(b)).join(""));
    const answers = [];
    for (const text of all) {
      const bytes = Uint8Array.from(atob(text), (c) => c.charCodeAt(0));
      if (op === "lower") {
        const lowered = await window.relalg.lower(bytes);
        answers.push({ status: lowered.status, input: lowered.input && toBase64(lowered.input), stderr: lowered.stderr });
      } else {
        answers.push(await window.relalg.trace(bytes, { notation: true }));
      }
    }
    return answers;
  }, files.map((file) => fs.readFileSync(file).toString("base64")), op);
}

test("lower gives the bytes of relalgtrace --notation --core, and its errors", async () => {
  const files = notationFiles();
  const answers = await inPage(files, "lower");
  files.forEach((file, k) => {
    const want = spawnSync(relalgtrace, ["--notation", "--core", file]);
    assert.equal(answers[k].status, want.status, file);
    if (want.status === 0) {
      assert.ok(Buffer.from(answers[k].input, "base64").equals(want.stdout), file);
    } else {
      assert.equal(answers[k].stderr, want.stderr.toString("utf8").split(file).join("input"), file);
    }
  });
});

test("trace with notation agrees with relalgtrace --notation --json", async () => {
  const files = notationFiles().filter((file) => !file.includes("too-long"));
  const answers = await inPage(files, "trace");
  files.forEach((file, k) => {
    const want = JSON.parse(spawnSync(relalgtrace, ["--notation", "--json", file]).stdout.toString("utf8"));
    if (want.root === null) want.stderr = want.stderr.split(file).join("input");
    assert.deepEqual(withoutValues(answers[k]), want, file);
  });
});

test("a notation example opens in Notation: its core line, the tree under the notation, the result", async () => {
  const page = shared.page;
  await page.select("#example", "notation/every-course-division");
  await page.waitForFunction(() => /^Done/.test(document.getElementById("state").textContent));
  assert.equal(await page.$eval("#mode input[value=notation]", (e) => e.checked), true);
  const file = path.join(examples, "every-course-division.txt");
  const core = execFileSync(relalgtrace, ["--notation", "--core", file]).toString().split("\n")[0];
  assert.equal(await page.$eval("#core-line", (e) => e.textContent), core);
  const indented = await page.$eval("#core-pretty", (e) => e.textContent);
  assert.equal(indented.replace(/\n\s*/g, " ").replace(/\( /g, "(").replace(/, /g, ","), core.replace(/, /g, ","));
  const titles = await page.$$eval("#tree .group-title", (all) => all.map((e) => e.textContent));
  assert.equal(titles[0], "line 5: π[nev](hallgato ⋈ (Took ÷ Courses))");
  assert.ok(titles.includes("line 3: Took := π[neptun, kod](felvetel)"), titles.join("\n"));
  assert.ok(await page.$$eval("#tree button.scaffolding", (all) => all.length) > 0);
  assert.deepEqual(await tableRows(page, "#result-table"), [["nev char(20)"], ["'Kis Anna'"], ["'Toth Eva'"]]);
});

test("a notation error is underlined where it stands in the program, and nothing runs", async () => {
  const page = shared.page;
  await setEditorText(page, "A ← σ[grade ≥ 4](r)\nπ[nmae](A)\n\nr(name char(9), grade int)\nx, 5\n");
  await runByButton(page);
  assert.match(await page.$eval("#verdict", (e) => e.textContent), /cannot be lowered/);
  const marks = await page.$$eval(".cm-mark-error", (all) => all.map((e) => e.textContent));
  assert.deepEqual(marks, ["nmae"]);
  assert.match(await page.$eval("#stderr", (e) => e.textContent), /^input:2:3: error: no column nmae/);
  assert.equal(await page.$eval("#core", (e) => e.hidden), true);
});

test("the palette inserts Greek letters in a UTF-8 file and keywords in a Windows-1250 one", async () => {
  const page = shared.page;
  await setEditorText(page, "");
  await page.click("#palette button[title^='selection']");
  assert.equal(await editorText(page), "σ[");
  const bytes = Buffer.from("pi[nev](t)\n\nt(nev char(9))\n\xe9\n", "latin1").toString("base64");
  const { page: latin } = await openPage(shared.browser, site, `#input=${bytes.replace(/\+/g, "-").replace(/\//g, "_").replace(/=+$/, "")}`);
  assert.equal(await latin.$eval("#mode input[value=notation]", (e) => e.checked), true);
  assert.deepEqual(await latin.$$eval("#palette button", (all) => all.slice(0, 3).map((e) => e.textContent)),
    ["sigma", "pi", "rho"]);
  await latin.close();
});

test("a shared link carries the notation and its mode", async () => {
  const page = shared.page;
  await setEditorText(page, "π[a](r)\n\nr(a int)\n1\n");
  await page.click("#mode input[value=core]");
  await page.click("#mode input[value=notation]");
  await page.click("#share");
  const link = await page.evaluate(() => location.href);
  assert.match(link, /#input=[A-Za-z0-9_-]+&mode=notation$/);
  const { page: opened } = await openPage(shared.browser, site, link.slice(link.indexOf("#")));
  assert.equal(await opened.$eval("#mode input[value=notation]", (e) => e.checked), true);
  assert.equal(await opened.$eval("#core-line", (e) => e.textContent), "project(r, a)");
  await opened.close();
});

test("a notation exercise checks the program's lowering under the exercise's allowlist", async () => {
  const folder = path.join(root, "tests", "grading", "every-course-notation");
  const link = execFileSync(path.join(native, "relalgcheck"), ["--link", path.join(folder, "exercise.txt")]).toString().trim();
  const { page } = await openPage(shared.browser, site, link.slice(link.indexOf("#")));
  assert.equal(await page.$eval("#mode input[value=notation]", (e) => e.checked), true);
  const checkWith = async (file) => {
    const program = fs.readFileSync(path.join(folder, "submissions", file), "utf8");
    await page.evaluate((program) => {
      const editor = window.RelalgEditor.find(document.getElementById("editor"));
      const text = editor.text();
      editor.view.dispatch({ changes: { from: 0, to: text.startsWith("\n") ? 0 : text.indexOf("\n\n"), insert: program.trimEnd() } });
    }, program);
    await page.$eval("#state", (e) => { e.textContent = ""; });
    await page.click("#check");
    await page.waitForFunction(() => /^(Checked|Error)/.test(document.getElementById("state").textContent));
    return page.$$eval("#check-results li", (all) => all.map((li) => li.textContent));
  };
  const right = await checkWith("right-02-division-by-difference.txt");
  assert.equal(right[0], "exercise.txt (the tables in the editor): right");
  assert.ok(right.length > 1 && right.every((line) => line.endsWith(": right")), right.join("\n"));
  assert.deepEqual((await checkWith("wrong-01-division-as-join.txt"))[0], "exercise.txt (the tables in the editor): wrong");
  const [failed] = await checkWith("failed-01-core-form-not-allowed.txt");
  assert.match(failed, /: failed \(project is not allowed here \(allowed: sigma, pi, rho, minus, join, divide, steps\)/);
  await page.close();
});

test("the notation logs no errors", () => assert.deepEqual(shared.errors, []));
