// The engine's speed in the browser against the native relalgrun on the same input file:
//   node web/tests/speed.js INPUT [site folder] [native build folder] [runs]
// Runs the input alternately in the page (relalg.run on the file's bytes, timed inside the page
// from the call to its answer, the worker's copy of the input included) and with the native
// relalgrun (timed from its start to its exit, writing its output file), and prints the medians
// and their ratio. The input is served to the page over HTTP from a copy in the site folder,
// which is removed afterwards.
"use strict";
const { execFileSync } = require("child_process");
const fs = require("fs");
const os = require("os");
const path = require("path");
const { launch, openPage, serve } = require("./browser");

const root = path.resolve(__dirname, "..", "..");
const input = process.argv[2];
const site = path.resolve(process.argv[3] || path.join(root, "build-web", "site"));
const native = path.resolve(process.argv[4] || path.join(root, "build"));
const runs = Number(process.argv[5] || 5);

const median = (values) => [...values].sort((a, b) => a - b)[Math.floor(values.length / 2)];

async function main() {
  if (!input) throw new Error("usage: node web/tests/speed.js INPUT [site] [native build] [runs]");
  const served = path.join(site, "speed-input.txt");
  fs.copyFileSync(input, served);
  const output = path.join(os.tmpdir(), `relalg-speed-${process.pid}.txt`);
  const server = await serve(site);
  const { browser, close } = await launch();
  try {
    const { page } = await openPage(browser, site, "", server.base);
    await page.evaluate(async () => {
      window.speedInput = new Uint8Array(await (await fetch("speed-input.txt")).arrayBuffer());
    });
    const inPage = [];
    const inNative = [];
    for (let k = 0; k < runs; k++) {
      inPage.push(await page.evaluate(async () => {
        const start = performance.now();
        const run = await window.relalg.run(window.speedInput);
        if (run.status !== 0) throw new Error(`status ${run.status}: ${run.stderr}`);
        return (performance.now() - start) / 1000;
      }));
      const start = process.hrtime.bigint();
      execFileSync(path.join(native, "relalgrun"), [input, output]);
      inNative.push(Number(process.hrtime.bigint() - start) / 1e9);
      console.log(`run ${k + 1}/${runs}: page ${inPage[k].toFixed(3)} s, native ${inNative[k].toFixed(3)} s`);
    }
    const ratio = median(inPage) / median(inNative);
    console.log(`median: page ${median(inPage).toFixed(3)} s, native ${median(inNative).toFixed(3)} s, ` +
      `page/native ${ratio.toFixed(2)}x (${fs.statSync(input).size} bytes of input)`);
  } finally {
    await close();
    server.close();
    fs.rmSync(served, { force: true });
    fs.rmSync(output, { force: true });
  }
}

main().catch((error) => {
  console.error(String(error.stack || error));
  process.exit(1);
});
