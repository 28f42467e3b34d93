// How fast the page converts, beside the native tool: the page end to end in headless Chromium
// (from giving it the log to the shape shown, the log read with File.stream()), the page's
// WebAssembly core under node on each kernel set it holds (the log in memory), and the native
// tool (release build, a process reading and writing files). Each round runs every one once,
// side by side, so that a busy machine slows all alike; the figures are medians over the rounds.
// Every run writes a new value file (the native tool's to disk; the others' in memory).
//   node bench/page.mjs [LOG] [ROUNDS]   (default: a 100 MB log of 10 columns made in build/web)
// Needs: cmake --workflow --preset wasm, the release build, the page (node web/build.mjs) and
// web/node_modules (npm ci in web/).
import { spawnSync } from "node:child_process";
import { existsSync, readFileSync, rmSync, statSync, writeFileSync } from "node:fs";
import { cpus } from "node:os";
import { createRequire } from "node:module";
import { join } from "node:path";
import { pathToFileURL } from "node:url";

import { loadCore } from "../web/core.js";
import { modulePath, numericLog, pagePath, root, workDir } from "../web/test/support.mjs";

const puppeteer = createRequire(join(root, "web/package.json"))("puppeteer-core");
const log = process.argv[2] ?? join(workDir, "100MB.LOG");
const rounds = Number(process.argv[3] ?? 5);
const tool = join(root, "build/release/MIRTAK");
if (!existsSync(log)) writeFileSync(log, numericLog(100 * 1000 * 1000, 10, { seed: 100 }));
const size = statSync(log).size;
const median = (xs) => [...xs].sort((a, b) => a - b)[Math.floor(xs.length / 2)];

const core = await loadCore(readFileSync(modulePath));
const logBytes = readFileSync(log);
function coreSeconds(kernelSet) {
  const started = performance.now();
  let bytes = 0;
  core.start(kernelSet);
  const keep = (values) => { bytes += values.length; };
  core.feed(logBytes, keep);
  core.finish(keep);
  return (performance.now() - started) / 1000;
}

function toolSeconds(round) {
  const out = join(workDir, `bench-${round}.mx`);
  const started = performance.now();
  const run = spawnSync(tool, [log, out], { stdio: "ignore" });  // no shell
  const seconds = (performance.now() - started) / 1000;
  if (run.status !== 0) throw new Error(`${tool} failed`);
  rmSync(out);
  return seconds;
}

const browser = await puppeteer.launch({
  executablePath: ["/usr/bin/chromium-headless-shell", "/usr/lib/chromium/chromium-headless-shell"].find(existsSync),
  args: ["--no-sandbox"],
});
const page = await browser.newPage();
await page.goto(pathToFileURL(pagePath).href);
async function pageSeconds() {
  const count = await page.$$eval(".result", (results) => results.length);
  await (await page.$("#logs")).uploadFile(log);
  await page.waitForFunction((n) => {
    const r = document.querySelectorAll(".result")[n];
    return r && r.dataset.state === "done";
  }, { timeout: 300_000 }, count);
  return page.$$eval(".result", (rs, n) => [Number(rs[n].dataset.seconds), Number(rs[n].dataset.coreSeconds)], count);
}

const kernelSets = core.kernelSets();
const times = { tool: [], page: [], pageCore: [] };
for (const set of kernelSets) times[set] = [];
coreSeconds();  // the first run compiles the module's code to the optimising tier
for (let round = 0; round < rounds; round++) {
  times.tool.push(toolSeconds(round));
  for (const set of kernelSets) times[set].push(coreSeconds(set));
  const [whole, inCore] = await pageSeconds();
  times.page.push(whole);
  times.pageCore.push(inCore);
}
await browser.close();

const rate = (seconds) => (size / seconds / 1e6).toFixed(0).padStart(6);
console.log(`${cpus()[0].model}, ${cpus().length} cores; ${log}, ${(size / 1e6).toFixed(1)} MB; ` +
  `medians of ${rounds} rounds`);
console.log(`${"native tool (release, files)".padEnd(44)} ${rate(median(times.tool))} MB/s`);
for (const set of kernelSets) {
  console.log(`${`wasm core under node ${process.version}, ${set}`.padEnd(44)} ${rate(median(times[set]))} MB/s`);
}
console.log(`${"page in headless Chromium, end to end".padEnd(44)} ${rate(median(times.page))} MB/s`);
console.log(`${"  of which in the core (log MB / core s)".padEnd(44)} ${rate(median(times.pageCore))} MB/s`);
