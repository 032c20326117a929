// The browser tests of the playground: node web/tests/run.js [site folder] [native build folder].
// In headless Chromium, with the site opened from disk:
//   - window.relalg.run agrees with relalgrun byte for byte (status, standard error, output file)
//     on every example and case input, and window.relalg.trace with relalgtrace --json;
//   - through the page as a person uses it: typing a query and running it shows its table; a
//     failure shows standard error, its explanation and the exit status; a tree node shows its
//     table; a slip is underlined with its diagnostic; a shared link round-trips the exact bytes
//     of a Windows-1250 file, a link too long for browsers is offered as a file instead, a bad
//     link's message outlasts the run; Stop ends a long run and the engine answers again;
//   - the learner's view: a verdict that names standing warnings, the warnings above the fold, no
//     horizontal scrolling at 390 px, nothing of the last run shown during a run, typed work
//     kept over a reload and replaced only when allowed.
"use strict";
const assert = require("assert/strict");
const fs = require("fs");
const os = require("os");
const path = require("path");
const { execFileSync } = require("child_process");
const { launch, openPage, serve } = require("./browser");
const { agreementInputs, generatedInputs, nativeRun, nativeTrace, withoutValues, byteDifference } = require("./agreement");

const root = path.resolve(__dirname, "..", "..");
const site = path.resolve(process.argv[2] || path.join(root, "build-web", "site"));
const native = path.resolve(process.argv[3] || path.join(root, "build"));

const results = { passed: 0, failed: 0 };

async function test(name, body) {
  try {
    await body();
    results.passed++;
    console.log(`ok      ${name}`);
  } catch (error) {
    results.failed++;
    console.log(`FAILED  ${name}\n        ${String(error.stack || error).replace(/\n/g, "\n        ")}`);
  }
}

// Runs every input through window.relalg in the page; the bytes travel as base64.
async function browserRuns(page, inputs, op) {
  const encoded = inputs.map((input) => fs.readFileSync(input.file).toString("base64"));
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
          output: run.output === null ? null : toBase64(run.output), outputIsBytes: run.output === null || run.output instanceof Uint8Array });
      }
    }
    return answers;
  }, encoded, op);
}

const state = (page) => page.$eval("#state", (e) => e.textContent);
const waitForDone = (page) => page.waitForFunction(
  () => /^(Done|Error|Stopped)/.test(document.getElementById("state").textContent), { timeout: 30000 });

async function replaceInput(page, text) {
  await page.focus("#input");
  await page.keyboard.down("Control");
  await page.keyboard.press("KeyA");
  await page.keyboard.up("Control");
  await page.keyboard.press("Backspace");
  await page.keyboard.type(text);
}

async function runByKeyboard(page) {
  await page.$eval("#state", (e) => { e.textContent = ""; });
  await page.keyboard.down("Control");
  await page.keyboard.press("Enter");
  await page.keyboard.up("Control");
  await waitForDone(page);
}

const tableRows = (page, selector) => page.$$eval(`${selector} tr`, (rows) =>
  rows.map((row) => Array.from(row.cells, (cell) => cell.textContent)));

async function main() {
  const relalgrun = path.join(native, "relalgrun");
  const relalgtrace = path.join(native, "relalgtrace");
  assert.ok(fs.existsSync(path.join(site, "index.html")), `no site in ${site}: run web/build.sh`);
  assert.ok(fs.existsSync(relalgrun), `no ${relalgrun}: build the native programs first`);
  const { browser, close } = await launch();
  try {
    const { page, errors } = await openPage(browser, site);
    const inputs = agreementInputs(root);

    await test(`run agrees with relalgrun on ${inputs.length} examples and case inputs`, async () => {
      const answers = await browserRuns(page, inputs, "run");
      const faults = [];
      inputs.forEach((input, k) => {
        const want = nativeRun(relalgrun, input.file);
        const got = answers[k];
        const stderr = byteDifference(want.stderr, Buffer.from(got.stderr, "base64"));
        const output = byteDifference(want.output, got.output === null ? null : Buffer.from(got.output, "base64"));
        if (want.status !== got.status) faults.push(`${input.name}: status ${got.status}, relalgrun ${want.status}`);
        if (stderr) faults.push(`${input.name}: standard error: ${stderr}`);
        if (output) faults.push(`${input.name}: output file: ${output}`);
        if (!got.outputIsBytes) faults.push(`${input.name}: output is not a Uint8Array`);
      });
      assert.deepEqual(faults, []);
    });

    await test("run takes a string as UTF-8 and gives standard error as text", async () => {
      const run = await page.evaluate(async () => {
        const r = await window.relalg.run("select(t, EQ(a, 'é'))\n\nt(a char(2))\n'é'\n");
        return { status: r.status, stderr: r.stderr, output: new TextDecoder().decode(r.output) };
      });
      assert.deepEqual(run, { status: 0, stderr: "",
        output: "select(t, EQ(a, 'é'))\n\nt(a char(2))\n'é'\n\nt(a char(2))\n'é'\n" });
      const failed = await page.evaluate(async () => (await window.relalg.run("x\n")).stderr);
      assert.equal(failed, "Hiba tortent: \nNincs x nevu tabla.\n");
    });

    await test("run agrees with relalgrun on the generated case inputs up to 4 MiB", async () => {
      const scratch = fs.mkdtempSync(path.join(os.tmpdir(), "relalg-web-"));
      try {
        const generated = generatedInputs(root, scratch, 4 << 20);
        const faults = [];
        for (const input of generated) {
          const want = nativeRun(relalgrun, input.file);
          let got;
          try {
            [got] = await browserRuns(page, [input], "run");
          } catch (error) {
            faults.push(`${input.name}: ${error.message.split("\n")[0]}`);
            continue;
          }
          const stderr = byteDifference(want.stderr, Buffer.from(got.stderr, "base64"));
          const output = byteDifference(want.output, got.output === null ? null : Buffer.from(got.output, "base64"));
          if (want.status !== got.status) faults.push(`${input.name}: status ${got.status}, relalgrun ${want.status}`);
          if (stderr) faults.push(`${input.name}: standard error: ${stderr}`);
          if (output) faults.push(`${input.name}: output file: ${output}`);
        }
        console.log(`        (${generated.length} generated inputs)`);
        assert.deepEqual(faults, []);
      } finally {
        fs.rmSync(scratch, { recursive: true, force: true });
      }
    });

    await test("run agrees with relalgrun on products past 32-bit sizes", async () => {
      // 70000 * 70000 records overflows 32 bits to less than INT_MAX: wasm32's size_t is 32 bits.
      const scratch = fs.mkdtempSync(path.join(os.tmpdir(), "relalg-web-"));
      const file = path.join(scratch, "in.txt");
      const records = Array.from({ length: 70000 }, (_, k) => String(k)).join("\n");
      fs.writeFileSync(file, `product(a, rename(a, b(y)))\n\na(x int)\n${records}\n`);
      const want = nativeRun(relalgrun, file);
      const [got] = await browserRuns(page, [{ file }], "run");
      fs.rmSync(scratch, { recursive: true, force: true });
      assert.equal(got.status, want.status);
      assert.equal(byteDifference(want.stderr, Buffer.from(got.stderr, "base64")), "");
      assert.equal(byteDifference(want.output, Buffer.from(got.output, "base64")), "");
    });

    await test("trace agrees with relalgtrace --json", async () => {
      const answers = await browserRuns(page, inputs, "trace");
      inputs.forEach((input, k) => assert.deepEqual(withoutValues(answers[k]), nativeTrace(relalgtrace, input.file), input.name));
    });

    await test("typing a query and Ctrl+Enter shows its result table", async () => {
      await replaceInput(page, "project(emp, name)\n\nemp(name char(20), age int)\nNagy, 7\n'Zova Bela', 42\n");
      await runByKeyboard(page);
      assert.equal(await page.$eval("#verdict", (e) => e.textContent), "Success: exit status 0.");
      assert.deepEqual(await tableRows(page, "#result-table"), [["name char(20)"], ["'Zova Bela'"], ["Nagy"]]);
      assert.match(await page.$eval("#output", (e) => e.textContent), /\n\nresult\(name char\(20\)\)\n'Zova Bela'\nNagy\n$/);
    });

    await test("result cells hold each value as stored: an apostrophe and a tab", async () => {
      await replaceInput(page, "product(a, b)\n\na(x char(2))\nx'\n\nb(y char(3))\n\tv\n");
      await runByKeyboard(page);
      assert.deepEqual(await tableRows(page, "#result-table"), [["x char(2)", "y char(3)"], ["x'", "\tv"]]);
    });

    await test("a huge result is shown in part: the first records and the output file's start", async () => {
      const records = Array.from({ length: 1200 }, (_, k) => String(k)).join("\n");
      await page.$eval("#input", (e, text) => { e.value = text; e.dispatchEvent(new Event("input")); },
        `product(a, rename(a, b(y)))\n\na(x int)\n${records}\n`);
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

    await test("a failure shows standard error, its explanation and the exit status", async () => {
      await replaceInput(page, "project(staff, name)\n\nemp(name char(20))\nNagy\n");
      await runByKeyboard(page);
      assert.equal(await page.$eval("#verdict", (e) => e.textContent), "Failed: exit status 1.");
      assert.equal(await page.$eval("#stderr", (e) => e.textContent), "Hiba tortent: \nNincs staff nevu tabla.\n");
      assert.match(await page.$eval("#explanation", (e) => e.textContent), /no table of this name/);
      assert.deepEqual(await tableRows(page, "#result-table"), []);
      // A Fix text's `code` is shown as code, not as backticks.
      await replaceInput(page, "union(a, b)\n\na(x int)\n1\n\nb(y int)\n2\n");
      await runByKeyboard(page);
      assert.deepEqual(await page.$$eval("#explanation code", (all) => all.map((c) => c.textContent)), ["project", "rename"]);
      assert.doesNotMatch(await page.$eval("#explanation", (e) => e.textContent), /`/);
    });

    await test("clicking a node of the expression tree shows its table", async () => {
      await replaceInput(page, "project(emp, name)\n\nemp(name char(20), age int)\nNagy, 7\n");
      await runByKeyboard(page);
      const nodes = await page.$$("#tree button");
      assert.equal(nodes.length, 2);
      assert.match(await page.evaluate((b) => b.textContent, nodes[1]), /^emp 1 record$/);
      await nodes[1].click();
      assert.deepEqual(await tableRows(page, "#node-table"), [["name char(20)", "age int"], ["Nagy", "7"]]);
    });

    await test("a slip is underlined in the editor with its diagnostic", async () => {
      await replaceInput(page, "project(emp, nam)\n\nemp(name char(20))\nNagy\n");
      await runByKeyboard(page);
      const marked = await page.$$eval("#marks mark", (all) => all.map((m) => [m.textContent, m.title]));
      assert.ok(marked.length >= 1);
      assert.ok(await page.$eval("#diagnostics", (e) => e.textContent.length > 0));
    });

    await test("a run that finishes with a warning says so, its warning listed above the fold", async () => {
      await replaceInput(page, "select(t, EQ(szak, 'Informatika'))\n\nt(szak char(20))\nInformatika\n");
      await runByKeyboard(page);
      assert.deepEqual(await page.$eval("#verdict", (e) => [e.className, e.textContent]), ["verdict warned",
        "Finished with 1 warning: the result may not be what you meant. Exit status 0."]);
      const [text, seen] = await page.$eval("#diagnostics li", (e) => [e.textContent, e.getBoundingClientRect().bottom <= window.innerHeight]);
      assert.match(text, /^1:20warning: 'Informatika' matches no value of szak/);
      assert.ok(seen, "the warning is below the fold");
    });

    await test("at 390 px wide the page needs no horizontal scrolling", async () => {
      await page.setViewport({ width: 390, height: 844 });
      try {
        await replaceInput(page, "project(select(product(hallgato, rename(hallgato, masik(fneptun, fnev))), " +
          "AND(EQ(szak, 'Informatika'), NOT(EQ(neptun, fneptun)))), neptun, fnev)\n\n" +
          "hallgato(neptun char(6), nev char(20), szak char(20))\nABC123, 'Nagy Bela', Informatika\n");
        await runByKeyboard(page);
        assert.equal(await page.$$eval("#tree button", (all) => all.length), 6);
        assert.ok(await page.$eval("#diagnostics", (e) => e.children.length > 0));
        assert.equal(await page.evaluate(() => document.documentElement.scrollWidth), 390);
      } finally {
        await page.setViewport({ width: 800, height: 600 });
      }
    });

    // The engine's trace may not fill in the tree and the diagnostics yet: these two check the
    // page against the trace's documented form, given by a stand-in for relalg.trace.
    const withTrace = async (trace, body) => {
      await page.evaluate((trace) => {
        window.realTrace = window.relalg.trace;
        window.relalg.trace = async () => trace;
      }, trace);
      try {
        await body();
      } finally {
        await page.evaluate(() => { window.relalg.trace = window.realTrace; });
      }
    };
    const column = (name, type) => ({ name, type });

    await test("the page draws a trace's tree: counts, a click shows the table, failure marked", async () => {
      const emp = { text: "emp", line: 1, column: 9, length: 3, kind: "table", name: "emp",
        columns: [column("name", "char(20)"), column("age", "int")], count: 3,
        records: ["Nagy,7", "'Zova Bela',42"], values: [["Nagy", "7"], ["'Zova Bela'", "42"]],
        children: [] };
      const root = { text: "project(emp, name)", line: 1, column: 1, length: 18, kind: "project",
        name: "emp", columns: [column("name", "char(20)")], count: 1, records: ["Nagy"],
        values: [["Nagy"]], children: [emp] };
      await withTrace({ status: 0, stderr: "", diagnostics: [], root }, async () => {
        await replaceInput(page, "project(emp, name)\n");
        await runByKeyboard(page);
        const labels = await page.$$eval("#tree button", (all) => all.map((b) => b.textContent));
        assert.deepEqual(labels, ["project 1 record", "emp 3 records"]);
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
        assert.equal(await page.$eval("#node-table caption", (e) => e.textContent),
          "project(emp, name) → emp: 1 record");
      });
      const failing = { text: "select(emp, EQ(x, 1))", line: 1, column: 1, length: 21, kind: "select",
        failed: true, children: [{ ...emp, count: 1, records: ["Nagy,7"], values: [["Nagy", "7"]] }] };
      await withTrace({ status: 1, stderr: "", diagnostics: [], root: failing }, async () => {
        await runByKeyboard(page);
        assert.deepEqual(await page.$$eval("#tree button.failed", (all) => all.map((b) => b.textContent)),
          ["select failed"]);
      });
    });

    await test("the page underlines diagnostics at their bytes and lists their letter columns, past letters of two bytes", async () => {
      const diagnostics = [{ severity: "error", line: 2, column: 9, length: 4, letterColumn: 9, letterLength: 3, message: "no table émp" },
        { severity: "warning", line: 2, column: 15, length: 4, letterColumn: 14, letterLength: 4, message: '"name" <unused>' }];
      await withTrace({ status: 1, stderr: "", diagnostics, root: null }, async () => {
        await replaceInput(page, "x\nproject(émp, name)\n");
        await runByKeyboard(page);
        assert.deepEqual(await page.$$eval("#marks mark", (all) => all.map((m) => [m.textContent, m.title])),
          [["émp", "no table émp"], ["name", '"name" <unused>']]);
        assert.equal(await page.$eval("#diagnostics", (e) => e.textContent),
          '2:9error: no table émp2:14warning: "name" <unused>');
        assert.equal(await page.$eval("#gutter .bad", (e) => e.textContent), "2");
        await page.click("#diagnostics button");
        assert.deepEqual(await page.$eval("#input", (e) => [e.selectionStart, e.selectionEnd]), [10, 13]);
      });
    });

    await test("a shared link keeps a Windows-1250 file with CRLF line ends byte for byte; download gives the output file", async () => {
      const bytes = Buffer.concat([Buffer.from("project(t, n)\r\n\r\nt(n char(9))\r\n'"),
        Buffer.from([0xe1, 0x9a, 0xe8, 0xf5, 0xfb]), Buffer.from("'\r\n")]);
      const file = path.join(fs.mkdtempSync(path.join(os.tmpdir(), "relalg-web-")), "latin2.txt");
      fs.writeFileSync(file, bytes);
      const input = await page.$("#file");
      await page.$eval("#state", (e) => { e.textContent = ""; });
      await input.uploadFile(file);
      await waitForDone(page);
      assert.match(await page.$eval("#encoding", (e) => e.textContent), /Windows-1250 · CRLF/);
      await page.click("#share");
      const link = await page.evaluate(() => location.href);
      const hash = link.slice(link.indexOf("#input=") + "#input=".length);
      assert.deepEqual(Buffer.from(hash, "base64url"), bytes);
      const want = nativeRun(relalgrun, file);
      const shared = await openPage(browser, site, link.slice(link.indexOf("#")));
      assert.equal(await shared.page.$eval("#input", (e) => e.value), await page.$eval("#input", (e) => e.value));
      assert.equal(await shared.page.$eval("#output", (e) => e.textContent),
        new TextDecoder("windows-1250").decode(want.output));
      assert.deepEqual(await tableRows(shared.page, "#result-table"), [["n char(9)"], ["'áščőű'"]]);
      // The download button hands the browser the output file's exact bytes.
      await shared.page.evaluate(() => {
        const make = URL.createObjectURL;
        URL.createObjectURL = (blob) => { window.downloaded = blob; return make(blob); };
        HTMLAnchorElement.prototype.click = function () { window.downloadName = this.download; };
      });
      await shared.page.click("#download");
      const downloaded = await shared.page.evaluate(async () =>
        [window.downloadName, Array.from(new Uint8Array(await window.downloaded.arrayBuffer()))]);
      assert.deepEqual(downloaded, ["shared.out.txt", Array.from(want.output)]);
      // Edited, the text goes back to Windows-1250 and CRLF; a letter it lacks becomes "?".
      await shared.page.$eval("#input", (e) => {
        e.value = e.value.replace("áščőű", "ő✓");
        e.dispatchEvent(new Event("input"));
      });
      await runByKeyboard(shared.page);
      assert.match(await shared.page.$eval("#encoding", (e) => e.textContent),
        /Windows-1250 · CRLF · 1 letter not in Windows-1250, sent as \?$/);
      await shared.page.click("#download");
      const edited = await shared.page.evaluate(async () =>
        Array.from(new Uint8Array(await window.downloaded.arrayBuffer())));
      const editedInput = Buffer.concat([Buffer.from("project(t, n)\r\n\r\nt(n char(9))\r\n'"),
        Buffer.from([0xf5, 0x3f]), Buffer.from("'\r\n")]);
      fs.writeFileSync(file, editedInput);
      assert.deepEqual(edited, Array.from(nativeRun(relalgrun, file).output));
      await shared.page.close();
    });

    await test("a link too long for browsers is not offered, the input is offered as a file; a bad link's message outlasts the run", async () => {
      const before = await page.evaluate(() => location.href);
      await page.$eval("#input", (e) => {
        e.value = `t\n\nt(x char(9))\n${"abcdefgh\n".repeat(200000)}`;
        e.dispatchEvent(new Event("input"));
      });
      await page.click("#share");
      assert.equal(await page.evaluate(() => location.href), before);
      assert.match(await state(page), /^The input is too large for a link \(browsers open links of up to 2 MB\)\. Download the input to pass it on as a file\.$/);
      const offered = await page.$eval("#state a", (a) => [a.download, a.href.startsWith("blob:")]);
      const name = (await page.$eval("#encoding", (e) => e.textContent)).split(" · ")[0];
      assert.deepEqual(offered, [name, true]);
      const { page: opened } = await openPage(browser, site, "#input=A");
      await waitForDone(opened);
      assert.match(await state(opened), /^Done in \d+ ms\. The link's input could not be read\.$/);
      await opened.close();
    });

    await test("Stop ends a long run and the engine answers again", async () => {
      const records = Array.from({ length: 5000 }, (_, k) => String(k)).join("\n");
      await page.$eval("#input", (e, text) => { e.value = text; e.dispatchEvent(new Event("input")); },
        `product(a, rename(a, b(y)))\n\na(x int)\n${records}\n`);
      assert.equal(await page.$eval("#download", (e) => e.disabled), false);
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
      const run = await page.evaluate(async () => (await window.relalg.run("x\n")).status);
      assert.equal(run, 1);
    });

    await test("typed work outlives a reload; an example replaces it only when allowed, and Undo brings it back", async () => {
      const { page: own, dialogs } = await openPage(browser, site);
      const typed = "project(emp, name)\n\nemp(name char(20))\nKis\n";
      await replaceInput(own, typed);
      await own.reload();
      await waitForDone(own);
      assert.equal(await own.$eval("#input", (e) => e.value), typed);
      assert.match(await own.$eval("#encoding", (e) => e.textContent), /draft kept from the last visit$/);
      assert.deepEqual(await tableRows(own, "#result-table"), [["name char(20)"], ["Kis"]]);
      own.dialogAnswer = false;
      await own.select("#example", "colleagues");
      assert.equal(dialogs.length, 1);
      assert.deepEqual(await own.$eval("#input", (e) => e.value), typed);
      assert.equal(await own.$eval("#example", (e) => e.value), "");
      own.dialogAnswer = true;
      await own.$eval("#state", (e) => { e.textContent = ""; });
      await own.select("#example", "colleagues");
      await waitForDone(own);
      assert.equal(dialogs.length, 2);
      assert.notEqual(await own.$eval("#input", (e) => e.value), typed);
      await own.focus("#input");
      await own.keyboard.down("Control");
      await own.keyboard.press("KeyZ");
      await own.keyboard.up("Control");
      assert.equal(await own.$eval("#input", (e) => e.value), typed);
      await own.close();
    });

    await test("an exercise link opens its tables under an empty line; Check says right or wrong per data set", async () => {
      const folder = path.join(root, "examples", "grading", "every-course");
      const link = execFileSync(path.join(native, "relalgcheck"), ["--link", path.join(folder, "exercise.txt"),
        `--data=${path.join(folder, "data-unused-course.txt")}`]).toString().trim();
      const hash = link.slice(link.indexOf("#"));
      const reference = fs.readFileSync(path.join(folder, "exercise.txt"), "utf8").split("\n")[0];
      assert.ok(!Buffer.from(hash.slice("#exercise=".length), "base64url").toString().includes("EQ(neptun, hn)"),
        "the link holds the reference");
      const { page: own } = await openPage(browser, site, hash);
      assert.equal(await own.$eval("#exercise", (e) => e.hidden), false);
      assert.equal(await own.$eval("#exercise-name", (e) => e.textContent), "exercise.txt");
      assert.match(await own.$eval("#input", (e) => e.value), /^\n\nhallgato\(neptun char\(6\)/);
      const checkWith = async (file) => {
        const line = fs.readFileSync(path.join(folder, "submissions", file), "utf8").split("\n")[0];
        await own.$eval("#input", (e, line) => {
          e.value = line + e.value.slice(e.value.indexOf("\n"));
          e.dispatchEvent(new Event("input"));
        }, line);
        await own.$eval("#state", (e) => { e.textContent = ""; });
        await own.click("#check");
        await own.waitForFunction(() => /^(Checked|Error)/.test(document.getElementById("state").textContent));
        return own.$$eval("#check-results li", (all) => all.map((li) => li.textContent));
      };
      assert.deepEqual(await checkWith("wrong-02-courses-from-enrolment.txt"),
        ["exercise.txt (the tables in the editor): right", "data-unused-course.txt: wrong"]);
      assert.deepEqual(await checkWith("right-05-codes-with-names.txt"),
        ["exercise.txt (the tables in the editor): right", "data-unused-course.txt: right"]);
      assert.equal(await state(own), "Checked: right on all 2 data sets.");
      assert.deepEqual(await checkWith("failed-04-no-such-table.txt"),
        ["exercise.txt (the tables in the editor): failed (Nincs hallgatok nevu tabla.)",
          "data-unused-course.txt: failed (Nincs hallgatok nevu tabla.)"]);
      assert.ok(reference.length > 0);
      await own.close();
    });

    await test("the site works from a static host too", async () => {
      const server = await serve(site);
      try {
        const served = await openPage(browser, site, "", server.base);
        assert.equal(await served.page.$eval("#state", (e) => e.textContent.startsWith("Done")), true);
        assert.deepEqual((await tableRows(served.page, "#result-table")).length, 3);
        assert.deepEqual(served.errors, []);
        await served.page.close();
      } finally {
        server.close();
      }
    });

    await test("the page logs no errors", async () => {
      assert.deepEqual(errors, []);
    });
  } finally {
    await close();
  }
  console.log(`browser tests: ${results.passed} passed, ${results.failed} failed`);
  process.exitCode = results.failed ? 1 : 0;
}

main().catch((error) => {
  console.error(error);
  process.exitCode = 1;
});
