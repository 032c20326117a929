// The student's loop on a large input, as the page gives it: node web/tests/loop-speed.js
//   [site folder] [records] [tries] [phone]
// Writes an input of that many records (50,000 by default, about 1.5 MB), then, in a fresh page
// each try: opens it with the Open button (time until its text shows, and until the result
// shows), types 10 letters at the end of the expression line (time from each key to the next
// frame), runs it with Ctrl+Enter (time until the result shows), and times the engine alone on
// the same bytes (relalg.run from the call to its answer). Prints each try and the medians. With
// "phone", the page is shown as on a phone of 390x844 with a touch screen; else at 1280x800.
// A measuring script, not a test: its figures depend on the machine and its load.
"use strict";
const fs = require("fs");
const os = require("os");
const path = require("path");
const { launch, openPage } = require("./browser");

const root = path.resolve(__dirname, "..", "..");
const site = path.resolve(process.argv[2] || path.join(root, "build-web", "site"));
const records = Number(process.argv[3] || 50000);
const tries = Number(process.argv[4] || 3);
const onPhone = process.argv[5] === "phone";

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];
const seconds = (ms) => `${(ms / 1000).toFixed(2)} s`;

function writeInput(file) {
  const majors = ["CS", "Math", "Physics", "Biology", "History"];
  const lines = ["project(select(student, AND(EQ(major, CS), GT(year, 2017))), name, year)", "",
    "student(neptun char(6), name char(20), major char(10), year int)"];
  for (let k = 0; k < records; ++k) {
    lines.push(`N${String(k).padStart(5, "0")}, 'Student ${k}', ${majors[k % 5]}, ${2015 + (k % 7)}`);
  }
  fs.writeFileSync(file, lines.join("\n") + "\n");
  return lines[0];
}

// The editor's element to type in: the editor of this page, or the text area of an older one.
const editorSelector = (page) => page.evaluate(() => (document.querySelector(".cm-content") ? ".cm-content" : "#input"));

async function waitForState(page, pattern) {
  await page.waitForFunction((source) => new RegExp(source).test(document.getElementById("state").textContent),
    { timeout: 600000, polling: "raf" }, pattern.source);
}

async function tryOnce(browser, file, firstLine) {
  const { page } = await openPage(await browser.createBrowserContext(), site);
  if (onPhone) {
    await page.setViewport({ width: 390, height: 844, isMobile: true, hasTouch: true });
    await waitForState(page, /^Done/);
  }
  const editor = await editorSelector(page);
  await page.$eval("#state", (e) => { e.textContent = ""; });
  const input = await page.$("#file");
  const opened = Date.now();
  await input.uploadFile(file);
  await page.waitForFunction((line) => {
    const content = document.querySelector(".cm-content");
    return (content ? content.textContent : document.getElementById("input").value).includes(line);
  }, { timeout: 600000, polling: "raf" }, firstLine);
  const shown = Date.now() - opened;
  await waitForState(page, /^Done/);
  const result = Date.now() - opened;

  await page.focus(editor);
  await page.keyboard.down("Control");
  await page.keyboard.press("Home");
  await page.keyboard.up("Control");
  await page.keyboard.press("End");
  const press = async (key) => {
    await page.evaluate(() => { window.keyStarted = performance.now(); });
    await page.keyboard.press(key);
    return page.evaluate(() => new Promise((resolve) =>
      requestAnimationFrame(() => setTimeout(() => resolve(performance.now() - window.keyStarted)))));
  };
  const keys = [];
  for (let k = 0; k < 10; ++k) keys.push(await press("Space"));
  // A new line at the end of the file, and its removal: the line count changes.
  await page.keyboard.down("Control");
  await page.keyboard.press("End");
  await page.keyboard.up("Control");
  const lines = [await press("Enter"), await press("Backspace")];

  await page.$eval("#state", (e) => { e.textContent = ""; });
  const ran = Date.now();
  await page.keyboard.down("Control");
  await page.keyboard.press("Enter");
  await page.keyboard.up("Control");
  await waitForState(page, /^Done/);
  const run = Date.now() - ran;
  const engine = await page.evaluate(async (bytes) => {
    const input = Uint8Array.from(atob(bytes), (c) => c.charCodeAt(0));
    const started = performance.now();
    await window.relalg.run(input);
    return performance.now() - started;
  }, fs.readFileSync(file).toString("base64"));
  await page.close();
  return { shown, result, key: median(keys), line: Math.max(...lines), run, engine };
}

async function main() {
  const scratch = fs.mkdtempSync(path.join(os.tmpdir(), "relalg-loop-"));
  const file = path.join(scratch, "students.txt");
  const firstLine = writeInput(file);
  const { browser, close } = await launch();
  try {
    const all = [];
    for (let k = 0; k < tries; ++k) {
      const got = await tryOnce(browser, file, firstLine);
      all.push(got);
      console.log(`try ${k + 1}/${tries}: text shown ${seconds(got.shown)}, result ${seconds(got.result)}, ` +
        `keystroke ${got.key.toFixed(1)} ms, line added ${got.line.toFixed(1)} ms, run ${seconds(got.run)}, engine alone ${seconds(got.engine)}`);
    }
    const m = (key) => median(all.map((got) => got[key]));
    console.log(`median of ${tries}${onPhone ? " on a phone" : ""} (${records} records, ${fs.statSync(file).size} bytes): text shown ${seconds(m("shown"))}, ` +
      `result ${seconds(m("result"))}, keystroke ${m("key").toFixed(1)} ms, line added ${m("line").toFixed(1)} ms, run ${seconds(m("run"))}, ` +
      `engine alone ${seconds(m("engine"))}`);
  } finally {
    await close();
    fs.rmSync(scratch, { recursive: true, force: true });
  }
}

main().catch((error) => {
  console.error(String(error.stack || error));
  process.exit(1);
});
