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
  assert.deepEqual((await checkWith("wrong-02-courses-from-enrolment.txt")).slice(0, 2),
    ["exercise.txt (the tables in the editor): right", "data-unused-course.txt: wrong"]);
  const all = (await checkWith("right-05-codes-with-names.txt")).length;
  assert.ok(all > 2, "the link holds no data sets for the reference's likely slips");
  assert.equal(await state(page),
    `Checked: right on all ${all} data sets of this exercise; your teacher's grading checks more.`);
  assert.equal(await page.$eval("#check-example", (e) => e.hidden), true);
  assert.deepEqual((await checkWith("failed-04-no-such-table.txt")).slice(0, 2),
    ["exercise.txt (the tables in the editor): failed (Nincs hallgatok nevu tabla.)",
      "data-unused-course.txt: failed (Nincs hallgatok nevu tabla.)"]);
  await page.close();
});

test("an exercise link shows its title and task; a wrong answer gets the smallest data set it is wrong on", async () => {
  const folder = path.join(root, "examples", "grading", "every-red-boat");
  const link = execFileSync(path.join(native, "relalgcheck"), ["--link", path.join(folder, "exercise.txt")],
    { stdio: ["ignore", "pipe", "ignore"] }).toString().trim();
  const { page } = await openPage(browser, site, link.slice(link.indexOf("#")));
  assert.equal(await page.$eval("#exercise-name", (e) => e.textContent), "Sailors who reserved every red boat");
  assert.equal(await page.$eval("#exercise-task", (e) => e.textContent),
    "List the sid and the name of every sailor who reserved every red boat.");
  const line = fs.readFileSync(path.join(folder, "submissions", "wrong-05-sids-from-red-reservations.txt"), "utf8")
    .split("\n")[0];
  await page.evaluate((line) => {
    const editor = window.RelalgEditor.find(document.getElementById("editor"));
    editor.view.dispatch({ changes: { from: 0, to: 0, insert: line } });
  }, line);
  await page.click("#check");
  await page.waitForFunction(() => /^(Checked|Error)/.test(document.getElementById("state").textContent));
  assert.match(await state(page), /^Checked: right on \d+ of \d+ data sets\.$/);
  const shown = await page.$$eval("#check-example p, #check-example pre", (all) => all.map((e) => e.textContent));
  assert.match(shown[0], /^The smallest data set it is wrong on, check-\d+:$/);
  assert.doesNotMatch(shown[1], /, red\n/, "the data set that tells it apart holds no red boat");
  assert.deepEqual(shown.slice(2), ["Expected:", "result(sid int, sname char(20))\n22,Dustin\n31,Lubber\n64,Horatio\n74,Horatio",
    "Yours:", "result(sid int, sname char(20))"]);
  await page.close();
});
