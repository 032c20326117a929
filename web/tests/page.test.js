// The page as a person uses it: typing a query and running it shows its table; a failure shows
// standard error, its explanation and the exit status; a tree node shows its table; a slip is
// underlined with its diagnostic; a shared link round-trips the exact bytes of a Windows-1250
// file, a link too long for browsers is offered as a file instead, a bad link's message outlasts
// the run; Stop ends a long run and the engine answers again; the site works from a static host.
"use strict";
const test = require("node:test");
const assert = require("assert/strict");
const fs = require("fs");
const os = require("os");
const path = require("path");
const {
  site, native, openPage, serve, sharedPage, editorText, setEditorText, replaceInput, state,
  waitForDone, runByKeyboard, tableRows,
} = require("./browser");
const { nativeRun } = require("./agreement");

const shared = sharedPage(test);
const marks = (page) => page.$$eval("#editor .cm-mark", (all) => all.map((m) => [m.textContent, m.title]));

test("typing a query and Ctrl+Enter shows its result table", async () => {
  const { page } = shared;
  await replaceInput(page, "project(emp, name)\n\nemp(name char(20), age int)\nNagy, 7\n'Zova Bela', 42\n");
  await runByKeyboard(page);
  assert.equal(await page.$eval("#verdict", (e) => e.textContent), "Success: exit status 0.");
  assert.deepEqual(await tableRows(page, "#result-table"), [["name char(20)"], ["'Zova Bela'"], ["Nagy"]]);
  assert.match(await page.$eval("#output", (e) => e.textContent), /\n\nresult\(name char\(20\)\)\n'Zova Bela'\nNagy\n$/);
});

test("result cells hold each value as stored: an apostrophe and a tab", async () => {
  await setEditorText(shared.page, "product(a, b)\n\na(x char(2))\nx'\n\nb(y char(3))\n\tv\n");
  await runByKeyboard(shared.page);
  assert.deepEqual(await tableRows(shared.page, "#result-table"), [["x char(2)", "y char(3)"], ["x'", "\tv"]]);
});

test("a huge result is shown in part: the first records and the output file's start", async () => {
  const { page } = shared;
  const records = Array.from({ length: 1200 }, (_, k) => String(k)).join("\n");
  await setEditorText(page, `product(a, rename(a, b(y)))\n\na(x int)\n${records}\n`);
  await runByKeyboard(page);
  const rows = await tableRows(page, "#result-table");
  assert.equal(rows.length, 1001);
  assert.deepEqual(rows.slice(0, 3), [["x int", "y int"], ["0", "0"], ["0", "1"]]);
  assert.equal(await page.$eval("#result-table caption", (e) => e.textContent), "result: 1440000 records");
  assert.equal(await page.$eval("#result-table .note", (e) => e.textContent),
    "The first 1000 of 1440000 records; the output file holds them all.");
  assert.match(await page.$eval("#output", (e) => e.textContent),
    /\n… \(\d+ more bytes: download the output file for all of it\)$/);
});

test("a failure shows standard error, its explanation and the exit status", async () => {
  const { page } = shared;
  await replaceInput(page, "project(staff, name)\n\nemp(name char(20))\nNagy\n");
  await runByKeyboard(page);
  assert.equal(await page.$eval("#verdict", (e) => e.textContent), "Failed: exit status 1.");
  assert.equal(await page.$eval("#stderr", (e) => e.textContent), "Hiba tortent: \nNincs staff nevu tabla.\n");
  assert.match(await page.$eval("#explanation", (e) => e.textContent), /no table of this name/);
  assert.deepEqual(await tableRows(page, "#result-table"), []);
  // A Fix text's `code` is shown as code, not as backticks.
  await setEditorText(page, "union(a, b)\n\na(x int)\n1\n\nb(y int)\n2\n");
  await runByKeyboard(page);
  assert.deepEqual(await page.$$eval("#explanation code", (all) => all.map((c) => c.textContent)), ["project", "rename"]);
  assert.doesNotMatch(await page.$eval("#explanation", (e) => e.textContent), /`/);
});

test("the failure's Fix is the one its diagnosis found: a table split by an empty line, a missing comma", async () => {
  const { page } = shared;
  const student = "student(name char(20), major char(10))\nNagy, CS\n";
  for (const [input, fix] of [
    [`project(student, name)\n\n${student}\nKis, Math\nSzabo, Bio\n`, /^Remove the empty line 5: it ends the table student/],
    [`minus(student student)\n\n${student}`, /^Put a comma between the operands: minus\(student, student\)\.$/]]) {
    await setEditorText(page, input);
    await runByKeyboard(page);
    assert.match(await page.$eval("#explanation dd:last-of-type", (e) => e.textContent), fix);
  }
  assert.deepEqual(await marks(page), [[" ", "Helytelen zarojelezes: minus(student student)"]]);
});

test("clicking a node of the expression tree shows its table", async () => {
  const { page } = shared;
  await setEditorText(page, "project(emp, name)\n\nemp(name char(20), age int)\nNagy, 7\n");
  await runByKeyboard(page);
  const nodes = await page.$$("#tree button");
  assert.equal(nodes.length, 2);
  assert.match(await page.evaluate((b) => b.textContent, nodes[1]), /^emp 1 record$/);
  await nodes[1].click();
  assert.deepEqual(await tableRows(page, "#node-table"), [["name char(20)", "age int"], ["Nagy", "7"]]);
});

test("a slip is underlined in the editor with its diagnostic, and an edit takes it away", async () => {
  const { page } = shared;
  await replaceInput(page, "project(emp, nam)\n\nemp(name char(20))\nNagy\n");
  await runByKeyboard(page);
  assert.deepEqual(await marks(page), [["nam", "Hibas projektalas: nam"]]);
  assert.equal(await page.$eval("#editor .cm-bad-line", (e) => e.textContent), "1");
  await page.keyboard.type("e");
  assert.deepEqual(await marks(page), []);
  assert.equal(await page.$eval("#diagnostics", (e) => e.children.length), 0);
});

test("a run that finishes with a warning says so, its warning listed in view", async () => {
  const { page } = shared;
  await setEditorText(page, "select(t, EQ(szak, 'Informatika'))\n\nt(szak char(20))\nInformatika\n");
  await runByKeyboard(page);
  assert.deepEqual(await page.$eval("#verdict", (e) => [e.className, e.textContent]), ["verdict warned",
    "Finished with 1 warning: the result may not be what you meant. Exit status 0."]);
  const [text, seen] = await page.$eval("#diagnostics li", (e) => [e.textContent,
    e.getBoundingClientRect().bottom <= window.innerHeight]);
  assert.match(text, /^1:20warning: 'Informatika' matches no value of szak/);
  assert.ok(seen, "the warning is out of view");
});

// The engine's trace may not fill in the tree and the diagnostics yet: these two check the page
// against the trace's documented form, given by a stand-in for relalg.trace.
async function withTrace(trace, body) {
  await shared.page.evaluate((trace) => {
    window.realTrace = window.relalg.trace;
    window.relalg.trace = async () => trace;
  }, trace);
  try {
    await body(shared.page);
  } finally {
    await shared.page.evaluate(() => { window.relalg.trace = window.realTrace; });
  }
}
const column = (name, type) => ({ name, type });

test("the page draws a trace's tree: counts, a click shows the table, failure marked", async () => {
  const emp = { text: "emp", line: 1, column: 9, length: 3, kind: "table", name: "emp",
    columns: [column("name", "char(20)"), column("age", "int")], count: 3,
    records: ["Nagy,7", "'Zova Bela',42"], values: [["Nagy", "7"], ["'Zova Bela'", "42"]], children: [] };
  const root = { text: "project(emp, name)", line: 1, column: 1, length: 18, kind: "project", name: "emp",
    columns: [column("name", "char(20)")], count: 1, records: ["Nagy"], values: [["Nagy"]], children: [emp] };
  await withTrace({ status: 0, stderr: "", diagnostics: [], root }, async (page) => {
    await setEditorText(page, "project(emp, name)\n");
    await runByKeyboard(page);
    assert.deepEqual(await page.$$eval("#tree button", (all) => all.map((b) => b.textContent)),
      ["project 1 record", "emp 3 records"]);
    await page.click("#tree li li button");
    assert.deepEqual(await tableRows(page, "#node-table"),
      [["name char(20)", "age int"], ["Nagy", "7"], ["'Zova Bela'", "42"]]);
    assert.equal(await page.$eval("#node-table caption", (e) => e.textContent), "emp: 3 records");
    assert.equal(await page.$eval("#node-table .note", (e) => e.textContent), "The first 2 of 3 records.");
    assert.equal(await page.$eval("#tree li li button", (e) => e.getAttribute("aria-pressed")), "true");
    // The same by keyboard: from the operand back to the operator, and Enter.
    await page.keyboard.down("Shift");
    await page.keyboard.press("Tab");
    await page.keyboard.up("Shift");
    await page.keyboard.press("Enter");
    assert.deepEqual(await tableRows(page, "#node-table"), [["name char(20)"], ["Nagy"]]);
    assert.equal(await page.$eval("#node-table caption", (e) => e.textContent), "project(emp, name) → emp: 1 record");
  });
  const failing = { text: "select(emp, EQ(x, 1))", line: 1, column: 1, length: 21, kind: "select",
    failed: true, children: [{ ...emp, count: 1, records: ["Nagy,7"], values: [["Nagy", "7"]] }] };
  await withTrace({ status: 1, stderr: "", diagnostics: [], root: failing }, async (page) => {
    await runByKeyboard(page);
    assert.deepEqual(await page.$$eval("#tree button.failed", (all) => all.map((b) => b.textContent)), ["select failed"]);
  });
});

test("the page underlines diagnostics at their bytes and lists their letter columns, past letters of two bytes", async () => {
  const diagnostics = [
    { severity: "error", line: 2, column: 9, length: 4, letterColumn: 9, letterLength: 3, message: "no table émp",
      fix: "Write `emp`." },
    { severity: "warning", line: 2, column: 15, length: 4, letterColumn: 14, letterLength: 4, message: '"name" <unused>' },
    { severity: "note", line: 2, column: 20, length: 1, letterColumn: 19, letterLength: 1, message: "at the end" }];
  await withTrace({ status: 1, stderr: "", diagnostics, root: null }, async (page) => {
    await setEditorText(page, "x\nproject(émp, name)\n");
    await runByKeyboard(page);
    assert.deepEqual(await marks(page), [["émp", "no table émp"], ["name", '"name" <unused>'], [" ", "at the end"]]);
    assert.equal(await page.$eval("#diagnostics", (e) => e.textContent),
      '2:9error: no table émpFix: Write emp.2:14warning: "name" <unused>2:19note: at the end');
    assert.equal(await page.$eval("#editor .cm-bad-line", (e) => e.textContent), "2");
    await page.click("#diagnostics button");
    assert.deepEqual(await page.evaluate(() => {
      const { from, to } = window.RelalgEditor.find(document.getElementById("editor")).view.state.selection.main;
      return [from, to];
    }), [10, 13]);
  });
});

test("a shared link keeps a Windows-1250 file with CRLF line ends byte for byte; download gives the output file", async () => {
  const { page, browser } = shared;
  const bytes = Buffer.concat([Buffer.from("project(t, n)\r\n\r\nt(n char(9))\r\n'"),
    Buffer.from([0xe1, 0x9a, 0xe8, 0xf5, 0xfb]), Buffer.from("'\r\n")]);
  const file = path.join(fs.mkdtempSync(path.join(os.tmpdir(), "relalg-web-")), "latin2.txt");
  fs.writeFileSync(file, bytes);
  await page.$eval("#state", (e) => { e.textContent = ""; });
  await (await page.$("#file")).uploadFile(file);
  await waitForDone(page);
  assert.match(await page.$eval("#encoding", (e) => e.textContent), /^latin2\.txt · Windows-1250 · CRLF$/);
  await page.click("#share");
  const link = await page.evaluate(() => location.href);
  assert.deepEqual(Buffer.from(link.slice(link.indexOf("#input=") + "#input=".length), "base64url"), bytes);
  const want = nativeRun(path.join(native, "relalgrun"), file);
  const { page: other } = await openPage(browser, site, link.slice(link.indexOf("#")));
  assert.equal(await editorText(other), await editorText(page));
  assert.equal(await other.$eval("#output", (e) => e.textContent), new TextDecoder("windows-1250").decode(want.output));
  assert.deepEqual(await tableRows(other, "#result-table"), [["n char(9)"], ["'áščőű'"]]);
  // The download button hands the browser the output file's exact bytes.
  await other.evaluate(() => {
    const make = URL.createObjectURL;
    URL.createObjectURL = (blob) => { window.downloaded = blob; return make(blob); };
    HTMLAnchorElement.prototype.click = function () { window.downloadName = this.download; };
  });
  const downloaded = async () => {
    await other.click("#download");
    return other.evaluate(async () => [window.downloadName, Array.from(new Uint8Array(await window.downloaded.arrayBuffer()))]);
  };
  assert.deepEqual(await downloaded(), ["shared.out.txt", Array.from(want.output)]);
  // Edited, the text goes back to Windows-1250 and CRLF; a letter it lacks becomes "?".
  await setEditorText(other, (await editorText(other)).replace("áščőű", "ő✓"));
  await runByKeyboard(other);
  assert.match(await other.$eval("#encoding", (e) => e.textContent),
    /Windows-1250 · CRLF · 1 letter not in Windows-1250, sent as \?$/);
  fs.writeFileSync(file, Buffer.concat([Buffer.from("project(t, n)\r\n\r\nt(n char(9))\r\n'"),
    Buffer.from([0xf5, 0x3f]), Buffer.from("'\r\n")]));
  assert.deepEqual((await downloaded())[1], Array.from(nativeRun(path.join(native, "relalgrun"), file).output));
  await other.close();
});

test("a link too long for browsers is not offered, the input is offered as a file; a bad link's message outlasts the run", async () => {
  const { page, browser } = shared;
  const before = await page.evaluate(() => location.href);
  await setEditorText(page, `t\n\nt(x char(9))\n${"abcdefgh\n".repeat(200000)}`);
  await page.click("#share");
  assert.equal(await page.evaluate(() => location.href), before);
  assert.match(await state(page), /^The input is too large for a link \(browsers open links of up to 2 MB\)\. Download the input to pass it on as a file\.$/);
  const offered = await page.$eval("#state a", (a) => [a.download, a.href.startsWith("blob:")]);
  assert.deepEqual(offered, ["input.txt", true]);
  const { page: opened } = await openPage(browser, site, "#input=A");
  await waitForDone(opened);
  assert.match(await state(opened), /^Done in \d+ ms\. The link's input could not be read\.$/);
  await opened.close();
});

test("Stop ends a long run and the engine answers again", async () => {
  const { page } = shared;
  const records = Array.from({ length: 5000 }, (_, k) => String(k)).join("\n");
  await setEditorText(page, `product(a, rename(a, b(y)))\n\na(x int)\n${records}\n`);
  await page.click("#run");
  await new Promise((resolve) => setTimeout(resolve, 500));
  assert.equal(await state(page), "Running…");
  // Nothing of the last run stays on the page while this one goes on.
  assert.deepEqual(await page.evaluate(() => [document.getElementById("verdict").textContent,
    document.getElementById("download").disabled, ...["result-table", "tree", "output", "diagnostics"]
      .map((id) => document.getElementById(id).textContent)]), ["Running…", true, "", "", "", ""]);
  await page.click("#stop");
  assert.equal(await state(page), "Stopped.");
  assert.equal(await page.$eval("#stop", (e) => e.disabled), true);
  assert.equal(await page.evaluate(async () => (await window.relalg.run("x\n")).status), 1);
});

test("the site works from a static host too", async () => {
  const server = await serve(site);
  try {
    const served = await openPage(shared.browser, site, "", server.base);
    assert.equal(await served.page.$eval("#state", (e) => e.textContent.startsWith("Done")), true);
    assert.equal((await tableRows(served.page, "#result-table")).length, 3);
    assert.deepEqual(served.errors, []);
    await served.page.close();
  } finally {
    server.close();
  }
});

test("the page logs no errors", () => assert.deepEqual(shared.errors, []));
