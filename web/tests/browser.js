// What the browser tests share: Debian's chromium started headless, with the flags that keep it
// off the network (a closed network otherwise stalls it) and a fresh profile; the site opened
// from disk or served; and the few steps a person takes on the page (type into the editor, run,
// read a table). The site and the native build come from RELALG_SITE and RELALG_NATIVE (set by
// run.js), else build-web/site and build.
"use strict";
const fs = require("fs");
const os = require("os");
const path = require("path");
const puppeteer = require("puppeteer-core");

async function launch() {
  const profile = fs.mkdtempSync(path.join(os.tmpdir(), "relalg-chromium-"));
  const browser = await puppeteer.launch({
    executablePath: process.env.CHROMIUM || "/usr/bin/chromium",
    headless: true,
    args: [
      "--headless", "--no-sandbox", "--disable-gpu", "--disable-quic", "--no-first-run",
      "--disable-background-networking", "--disable-component-update", "--disable-sync",
      `--user-data-dir=${profile}`,
    ],
  });
  const close = async () => {
    await browser.close();
    fs.rmSync(profile, { recursive: true, force: true });
  };
  return { browser, close };
}

// Opens the site's index.html from disk (file://), or under the address base, with hash as its
// fragment, in a new page of browser (or of a browser context), in a desktop's window of 1280x800; resolves once the page's first run has finished
// (or it waits for an expression). The page's questions (confirm) are kept in dialogs and
// answered with page.dialogAnswer, yes unless set to false.
async function openPage(browser, site, hash = "", base = null) {
  const page = await browser.newPage();
  await page.setViewport({ width: 1280, height: 800 });
  const errors = [];
  const dialogs = [];
  page.dialogAnswer = true;
  page.on("dialog", async (dialog) => {
    dialogs.push(dialog.message());
    await (page.dialogAnswer ? dialog.accept() : dialog.dismiss());
  });
  page.on("pageerror", (error) => errors.push(String(error)));
  page.on("console", (message) => {
    if (message.type() === "error") errors.push(message.text());
  });
  const url = `${base || `file://${path.resolve(site)}/`}index.html${hash}`;
  await page.goto(url);
  await page.waitForFunction(() => /Done|Error|Stopped|Ready/.test(document.getElementById("state").textContent),
    { timeout: 30000 });
  return { page, errors, dialogs, url };
}

// Serves the site's files over HTTP on a free port of localhost, as a static host would.
function serve(site) {
  const http = require("http");
  const types = { ".html": "text/html", ".js": "text/javascript", ".css": "text/css" };
  const server = http.createServer((request, response) => {
    const file = path.join(site, path.normalize(decodeURIComponent(request.url.split("?")[0])));
    if (!file.startsWith(path.resolve(site)) || !fs.existsSync(file) || fs.statSync(file).isDirectory()) {
      response.writeHead(404).end();
      return;
    }
    response.writeHead(200, { "Content-Type": types[path.extname(file)] || "application/octet-stream" });
    response.end(fs.readFileSync(file));
  });
  return new Promise((resolve) => server.listen(0, "127.0.0.1", () =>
    resolve({ base: `http://127.0.0.1:${server.address().port}/`, close: () => server.close() })));
}

const root = path.resolve(__dirname, "..", "..");
const site = path.resolve(process.env.RELALG_SITE || path.join(root, "build-web", "site"));
const native = path.resolve(process.env.RELALG_NATIVE || path.join(root, "build"));

const editorText = (page) => page.evaluate(() => window.RelalgEditor.find(document.getElementById("editor")).text());

// Puts text in the editor as a paste of all of it would.
const setEditorText = (page, text) => page.evaluate((text) =>
  window.RelalgEditor.find(document.getElementById("editor")).setText(text), text);

// Selects all of the editor's text and types text over it, key by key.
async function replaceInput(page, text) {
  await page.focus(".cm-content");
  await page.keyboard.down("Control");
  await page.keyboard.press("KeyA");
  await page.keyboard.up("Control");
  await page.keyboard.press("Backspace");
  await page.keyboard.type(text);
}

const state = (page) => page.$eval("#state", (e) => e.textContent);
const waitForDone = (page) => page.waitForFunction(
  () => /^(Done|Error|Stopped)/.test(document.getElementById("state").textContent), { timeout: 30000 });

async function runByKeyboard(page) {
  await page.$eval("#state", (e) => { e.textContent = ""; });
  await page.keyboard.down("Control");
  await page.keyboard.press("Enter");
  await page.keyboard.up("Control");
  await waitForDone(page);
}

async function runByButton(page) {
  await page.$eval("#state", (e) => { e.textContent = ""; });
  await page.click("#run");
  await waitForDone(page);
}

const tableRows = (page, selector) => page.$$eval(`${selector} tr`, (rows) =>
  rows.map((row) => Array.from(row.cells, (cell) => cell.textContent)));

// One browser and one page for the tests of a file: launched before them, closed after.
function sharedPage(test) {
  const shared = {};
  test.before(async () => {
    Object.assign(shared, await launch());
    Object.assign(shared, await openPage(shared.browser, site));
  });
  test.after(() => shared.close && shared.close());
  return shared;
}

module.exports = {
  launch, openPage, serve, root, site, native, editorText, setEditorText, replaceInput,
  state, waitForDone, runByKeyboard, runByButton, tableRows, sharedPage,
};
