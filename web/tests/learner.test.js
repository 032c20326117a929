// A learner's work is never lost and never mislabelled: typed work outlives reloads (said once,
// however often the page reloads), an example or link replaces it only when allowed and Undo
// brings it back; text typed over all of a file is no longer that file; an exercise link opens
// its tables and Check says right or wrong per data set.
"use strict";
const test = require("node:test");
const assert = require("assert/strict");
const fs = require("fs");
const path = require("path");
const { execFileSync } = require("child_process");
const {
  root, site, native, launch, openPage, editorText, replaceInput, waitForDone, state, tableRows,
} = require("./browser");

let browser;
let close;
test.before(async () => ({ browser, close } = await launch()));
test.after(() => close());

const label = (page) => page.$eval("#encoding", (e) => e.textContent);

test("typed work outlives reloads; an example replaces it only when allowed, and Undo brings it back", async () => {
  const { page, dialogs } = await openPage(browser, site);
  const typed = "project(emp, name)\n\nemp(name char(20))\nKis\n";
  await replaceInput(page, typed);
  for (let k = 0; k < 3; ++k) {
    await page.reload();
    await waitForDone(page);
  }
  assert.equal(await editorText(page), typed);
  assert.equal(await label(page), "new input · UTF-8 · draft kept from the last visit");
  assert.deepEqual(await tableRows(page, "#result-table"), [["name char(20)"], ["Kis"]]);
  page.dialogAnswer = false;
  await page.select("#example", "colleagues");
  assert.equal(dialogs.length, 1);
  assert.equal(await editorText(page), typed);
  assert.equal(await page.$eval("#example", (e) => e.value), "");
  page.dialogAnswer = true;
  await page.$eval("#state", (e) => { e.textContent = ""; });
  await page.select("#example", "colleagues");
  await waitForDone(page);
  assert.equal(dialogs.length, 2);
  assert.notEqual(await editorText(page), typed);
  assert.equal(await label(page), "colleagues.txt · UTF-8");
  await page.click("#undo");
  assert.equal(await editorText(page), typed);
  await page.click("#redo");
  assert.notEqual(await editorText(page), typed);
  await page.close();
});

test("text typed over all of an example is a new input, no longer the example", async () => {
  // A context of its own: no draft of the test above.
  const { page } = await openPage(await browser.createBrowserContext(), site);
  assert.equal(await label(page), "select-product.txt · UTF-8");
  await replaceInput(page, "x\n");
  assert.equal(await label(page), "new input · UTF-8");
  assert.equal(await page.$eval("#example", (e) => e.value), "");
  await page.close();
});

test("an exercise link opens its tables under an empty line; Check says right or wrong per data set", async () => {
  const folder = path.join(root, "examples", "grading", "every-course");
  const link = execFileSync(path.join(native, "relalgcheck"), ["--link", path.join(folder, "exercise.txt"),
    `--data=${path.join(folder, "data-unused-course.txt")}`]).toString().trim();
  const hash = link.slice(link.indexOf("#"));
  assert.ok(!Buffer.from(hash.slice("#exercise=".length), "base64url").toString().includes("EQ(neptun, hn)"),
    "the link holds the reference");
  const { page } = await openPage(browser, site, hash);
  assert.equal(await page.$eval("#exercise", (e) => e.hidden), false);
  assert.equal(await page.$eval("#exercise-name", (e) => e.textContent), "exercise.txt");
  assert.match(await editorText(page), /^\n\nhallgato\(neptun char\(6\)/);
  const checkWith = async (file) => {
    const line = fs.readFileSync(path.join(folder, "submissions", file), "utf8").split("\n")[0];
    await page.evaluate((line) => {
      const editor = window.RelalgEditor.find(document.getElementById("editor"));
      editor.view.dispatch({ changes: { from: 0, to: editor.line(1).text.length, insert: line } });
    }, line);
    await page.$eval("#state", (e) => { e.textContent = ""; });
    await page.click("#check");
    await page.waitForFunction(() => /^(Checked|Error)/.test(document.getElementById("state").textContent));
    return page.$$eval("#check-results li", (all) => all.map((li) => li.textContent));
  };
  assert.deepEqual(await checkWith("wrong-02-courses-from-enrolment.txt"),
    ["exercise.txt (the tables in the editor): right", "data-unused-course.txt: wrong"]);
  assert.deepEqual(await checkWith("right-05-codes-with-names.txt"),
    ["exercise.txt (the tables in the editor): right", "data-unused-course.txt: right"]);
  assert.equal(await state(page), "Checked: right on all 2 data sets.");
  assert.deepEqual(await checkWith("failed-04-no-such-table.txt"),
    ["exercise.txt (the tables in the editor): failed (Nincs hallgatok nevu tabla.)",
      "data-unused-course.txt: failed (Nincs hallgatok nevu tabla.)"]);
  await page.close();
});
