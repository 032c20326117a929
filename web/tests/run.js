// The browser tests of the playground: node web/tests/run.js [site folder] [native build folder].
// Runs the *.test.js files of this folder with node's test runner, one file at a time (each
// starts its own headless Chromium), against the site opened from disk and the native programs:
//   engine.test.js   window.relalg agrees with relalgrun and relalgtrace byte for byte
//   page.test.js     the page as a person uses it: run, failure, tree, marks, links, Stop
//   learner.test.js  drafts, confirm before replacing, Undo, labels, exercise links
//   notation.test.js the lowering and the notation's trace against relalgtrace, Notation mode
//   phone.test.js    the layout at phone sizes, touch targets, and axe-core in six states
// Further arguments go to the test runner (--test-name-pattern=axe runs the tests so named).
"use strict";
const fs = require("fs");
const path = require("path");
const { spawnSync } = require("child_process");

const root = path.resolve(__dirname, "..", "..");
const [siteArg, nativeArg, ...rest] = process.argv.slice(2);
const env = {
  ...process.env,
  RELALG_SITE: path.resolve(siteArg || path.join(root, "build-web", "site")),
  RELALG_NATIVE: path.resolve(nativeArg || path.join(root, "build")),
};
for (const needed of [path.join(env.RELALG_SITE, "index.html"), path.join(env.RELALG_NATIVE, "relalgrun")]) {
  if (!fs.existsSync(needed)) {
    console.error(`no ${needed}: build the site (web/build.sh) and the native programs first`);
    process.exit(1);
  }
}
const files = fs.readdirSync(__dirname).filter((name) => name.endsWith(".test.js")).sort()
  .map((name) => path.join(__dirname, name));
const run = spawnSync(process.execPath, ["--test", "--test-concurrency=1", "--test-reporter=tap", ...rest, ...files],
  { env, stdio: "inherit" });
process.exitCode = run.status ?? 1;
