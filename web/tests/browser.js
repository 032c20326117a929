// Starts Debian's chromium headless for the tests, with the flags that keep it off the network
// (a closed network otherwise stalls it) and a fresh profile, and opens the site from disk.
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
// fragment; resolves once the page's first run has finished (or it waits for an expression). The page's questions (confirm) are
// kept in dialogs and answered with page.dialogAnswer, yes unless set to false.
async function openPage(browser, site, hash = "", base = null) {
  const page = await browser.newPage();
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

module.exports = { launch, openPage, serve };
