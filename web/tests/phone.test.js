// The student's loop on a phone: after Run the verdict and the first records are in view without
// scrolling (at 390x844, 360 and 320 px wide, and at 390 px with the keyboard up), nothing
// scrolls sideways, every control is a 44 px target with text of 16 px, keyboard hints only show
// where there is a keyboard; and axe-core finds nothing in six states of the page. Each layout
// test prints where the result heading and its first record stand.
"use strict";
const test = require("node:test");
const assert = require("assert/strict");
const path = require("path");
const { execFileSync } = require("child_process");
const { root, site, native, launch, openPage, setEditorText, runByKeyboard, waitForDone } = require("./browser");

let browser;
let close;
test.before(async () => ({ browser, close } = await launch()));
test.after(() => close());

async function phone(width, height, hash = "") {
  const opened = await openPage(await browser.createBrowserContext(), site, hash);
  await opened.page.setViewport({ width, height, isMobile: true, hasTouch: true });
  await opened.page.waitForFunction(() => /^(Done|Ready)/.test(document.getElementById("state").textContent));
  return opened;
}

// Where the run's views stand, in CSS pixels from the top of the screen.
const layout = (page) => page.evaluate(() => {
  const top = (selector) => document.querySelector(selector)?.getBoundingClientRect().top;
  const row = document.querySelector("#result-table tbody tr");
  return {
    verdict: top("#verdict"), heading: top("#result-title"), row: row?.getBoundingClientRect().top,
    rowBottom: row?.getBoundingClientRect().bottom, bar: top("#actions"), height: window.innerHeight,
    scrollWidth: document.documentElement.scrollWidth,
  };
});

async function tapRun(page) {
  await page.$eval("#state", (e) => { e.textContent = ""; });
  await page.tap("#run");
  await waitForDone(page);
}

function assertResultInView(at, width) {
  assert.ok(at.verdict >= 0, `the verdict is above the screen (y=${at.verdict})`);
  assert.ok(at.rowBottom <= at.bar, `the first record ends at y=${at.rowBottom}, under the Run bar at ${at.bar}`);
  assert.equal(at.scrollWidth, width, "the page scrolls sideways");
}

for (const [width, height] of [[390, 844], [360, 780], [320, 568]]) {
  test(`at ${width}x${height} the verdict and the first records are in view after Run`, async (t) => {
    const { page } = await phone(width, height);
    await tapRun(page);
    const at = await layout(page);
    t.diagnostic(`${width}x${height}: result heading at y=${Math.round(at.heading)}, first record at ` +
      `y=${Math.round(at.row)}, Run bar at y=${Math.round(at.bar)}`);
    assertResultInView(at, width);
    await page.close();
  });
}

test("at 390 px with the keyboard up (500 px high) the result comes into view, and the keyboard stays up", async (t) => {
  const { page } = await phone(390, 500);
  await page.tap(".cm-content");
  await tapRun(page);
  assert.equal(await page.evaluate(() => document.activeElement.classList.contains("cm-content")), true);
  const at = await layout(page);
  t.diagnostic(`390x500, keyboard up: result heading at y=${Math.round(at.heading)}, first record at ` +
    `y=${Math.round(at.row)}, Run bar at y=${Math.round(at.bar)}`);
  assertResultInView(at, 390);
  await page.close();
});

test("on a phone: 44 px targets, 16 px text, no keyboard hints, no sideways scrolling with a long line", async () => {
  const { page } = await phone(320, 568);
  await setEditorText(page, "project(select(product(hallgato, rename(hallgato, masik(fneptun, fnev))), " +
    "AND(EQ(szak, 'Informatika'), NOT(EQ(neptun, fneptun)))), neptun, fnev)\n\n" +
    "hallgato(neptun char(6), nev char(20), szak char(20))\nABC123, 'Nagy Bela', Informatika\n");
  await tapRun(page);
  assert.ok(await page.$eval("#diagnostics", (e) => e.children.length > 0));
  const small = await page.evaluate(() => Array.from(document.querySelectorAll("button, select, summary"))
    .filter((e) => e.getClientRects().length > 0 && !e.closest(".cm-panels"))
    .map((e) => [e.id || e.textContent.slice(0, 20), e.getBoundingClientRect()])
    .filter(([, r]) => r.width < 44 || r.height < 44).map(([name, r]) => `${name} ${r.width}x${r.height}`));
  assert.deepEqual(small, []);
  assert.deepEqual(await page.evaluate(() => ["#editor .cm-content", "#example", "#run"]
    .map((s) => getComputedStyle(document.querySelector(s)).fontSize)), ["16px", "16px", "16px"]);
  assert.equal(await page.$eval(".keys", (e) => e.getClientRects().length), 0);
  assert.equal(await page.evaluate(() => document.documentElement.scrollWidth), 320);
  await page.close();
});

// The violations axe-core finds in the page as it stands, as "rule: element" lines.
async function axeViolations(page) {
  await page.addScriptTag({ path: require.resolve("axe-core/axe.min.js") });
  const violations = await page.evaluate(async () => (await window.axe.run(document)).violations);
  return violations.flatMap((v) => v.nodes.map((node) => `${v.id}: ${node.target.join(" ")}`));
}

test("axe-core finds nothing at the start, after a warning, after a failure, in dark mode, in Notation and in an exercise", async () => {
  const { page } = await phone(390, 844);
  const found = { start: await axeViolations(page) };
  await setEditorText(page, "select(t, EQ(szak, 'Informatika'))\n\nt(szak char(20))\nInformatika\n");
  await runByKeyboard(page);
  found.warning = await axeViolations(page);
  await setEditorText(page, "project(select(t, EQ(szak, x)), nev)\n\nt(szak char(20))\nInformatika\n");
  await runByKeyboard(page);
  found.failure = await axeViolations(page);
  await page.emulateMediaFeatures([{ name: "prefers-color-scheme", value: "dark" }]);
  found.dark = await axeViolations(page);
  await page.select("#example", "notation/every-course-division");
  await page.waitForFunction(() => /^Done/.test(document.getElementById("state").textContent));
  found.notation = await axeViolations(page);
  const folder = path.join(root, "examples", "grading", "every-course");
  const link = execFileSync(path.join(native, "relalgcheck"), ["--link", path.join(folder, "exercise.txt")]).toString().trim();
  const { page: exercise } = await phone(390, 844, link.slice(link.indexOf("#")));
  found.exercise = await axeViolations(exercise);
  assert.deepEqual(found, { start: [], warning: [], failure: [], dark: [], notation: [], exercise: [] });
  await page.close();
  await exercise.close();
});
