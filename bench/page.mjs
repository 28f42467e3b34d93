// How fast the page converts, beside the native tool: the page end to end in headless Chromium
// (from giving it the log to the shape shown, the log read with File.stream()), the page's
// WebAssembly core under node on each kernel set it holds (the log in memory), and the native
// tool (release build, a process reading and writing files). Each round runs every one once,
// side by side, so that a busy machine slows all alike; the figures are medians over the rounds.
// Every run writes a new value file (the native tool's to disk; the others' in memory).
//   node bench/page.mjs [LOG] [ROUNDS] [PAGE.html | MODULE.wasm ...]
// (default: a 100 MB log of 10 columns made in build/web, 5 rounds). Other builds of the page
// or of its module named after the rounds (say, ones built from an earlier commit) are timed in
// the same rounds, each page in a browser of its own, each module under node on its best kernel
// set, for a comparison on equal terms.
// Needs: cmake --workflow --preset wasm (the module and the page), the release build and
// web/node_modules (npm ci in web/, for puppeteer-core).
import { spawnSync } from "node:child_process";
import { existsSync, readFileSync, rmSync, statSync, writeFileSync } from "node:fs";
import { cpus } from "node:os";
import { createRequire } from "node:module";
import { basename, join } from "node:path";
import { pathToFileURL } from "node:url";

import { loadCore } from "../web/core.js";
import { modulePath, numericLog, pagePath, root, workDir } from "../web/test/support.mjs";

const puppeteer = createRequire(join(root, "web/package.json"))("puppeteer-core");
const log = process.argv[2] ?? join(workDir, "100MB.LOG");
const rounds = Number(process.argv[3] ?? 5);
const otherPages = process.argv.slice(4).filter((path) => !path.endsWith(".wasm"));
const otherModules = process.argv.slice(4).filter((path) => path.endsWith(".wasm"));
const tool = join(root, "build/release/MIRTAK");
if (!existsSync(log)) writeFileSync(log, numericLog(100 * 1000 * 1000, 10, { seed: 100 }));
const size = statSync(log).size;
const median = (xs) => [...xs].sort((a, b) => a - b)[Math.floor(xs.length / 2)];

const core = await loadCore(readFileSync(modulePath));
const otherCores = await Promise.all(otherModules.map((path) => loadCore(readFileSync(path))));
const logBytes = readFileSync(log);
function coreSeconds(kernelSet, of = core) {
  const started = performance.now();
  let bytes = 0;
  of.start(kernelSet);
  const keep = (values) => { bytes += values.length; };
  of.feed(logBytes, keep);
  of.finish(keep);
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

const browserPath =
  ["/usr/bin/chromium-headless-shell", "/usr/lib/chromium/chromium-headless-shell"].find(existsSync);
// The page keeps value files in its own memory up to 512 MB in all (beyond, in the browser's
// Blobs), as it keeps a user's first 100 MB logs' value files. Runs taken off the page here are
// not counted off that limit, so the harness lifts it: every run is as a user's first.
async function openPage(path) {
  const browser = await puppeteer.launch({ executablePath: browserPath, args: ["--no-sandbox"] });
  const page = await browser.newPage();
  await page.goto(`${pathToFileURL(path).href}?held=${Number.MAX_SAFE_INTEGER}`);
  return { browser, page };
}
// One conversion; the one before is taken off the page first, with its value file, so that no
// run converts beside the value files of all the runs before it.
async function pageSeconds({ page }) {
  await page.$$eval(".result", (results) => results.forEach((r) => r.remove()));
  await (await page.$("#logs")).uploadFile(log);
  await page.waitForFunction(() => document.querySelector(".result")?.dataset.state === "done",
    { timeout: 300_000 });
  return page.$eval(".result", (r) => [Number(r.dataset.seconds), Number(r.dataset.coreSeconds)]);
}

const pages = [pagePath, ...otherPages];
const opened = [];
for (const path of pages) opened.push(await openPage(path));
const kernelSets = core.kernelSets();
const times = { tool: [], page: pages.map(() => []), pageCore: pages.map(() => []) };
for (const set of kernelSets) times[set] = [];
times.modules = otherCores.map(() => []);
// The first run compiles the module's code to the optimising tier.
for (const each of [core, ...otherCores]) coreSeconds(undefined, each);
for (const each of opened) await pageSeconds(each);
for (let round = 0; round < rounds; round++) {
  times.tool.push(toolSeconds(round));
  // The modules' runs under node take turns at going first too.
  const runs = [
    ...kernelSets.map((set) => () => times[set].push(coreSeconds(set))),
    ...otherCores.map((other, i) => () => times.modules[i].push(coreSeconds(undefined, other))),
  ];
  runs.forEach((_, turn) => runs[(round + turn) % runs.length]());
  // The pages take turns at going first.
  for (let turn = 0; turn < opened.length; turn++) {
    const i = (round + turn) % opened.length;
    const [whole, inCore] = await pageSeconds(opened[i]);
    times.page[i].push(whole);
    times.pageCore[i].push(inCore);
  }
}
for (const { browser } of opened) await browser.close();

const rate = (seconds) => (size / seconds / 1e6).toFixed(0).padStart(6);
console.log(`${cpus()[0].model}, ${cpus().length} cores; ${log}, ${(size / 1e6).toFixed(1)} MB; ` +
  `medians of ${rounds} rounds`);
console.log(`${"native tool (release, files)".padEnd(44)} ${rate(median(times.tool))} MB/s`);
for (const set of kernelSets) {
  console.log(`${`wasm core under node ${process.version}, ${set}`.padEnd(44)} ${rate(median(times[set]))} MB/s`);
}
for (const [i, path] of otherModules.entries()) {
  const which = `${otherCores[i].kernelSets()[0]} (${basename(path)})`;
  console.log(`${`wasm core under node ${process.version}, ${which}`.padEnd(44)} ${rate(median(times.modules[i]))} MB/s`);
}
for (const [i, path] of pages.entries()) {
  const which = i === 0 ? "" : ` (${basename(path)})`;
  console.log(`${`page in headless Chromium, end to end${which}`.padEnd(44)} ${rate(median(times.page[i]))} MB/s`);
  console.log(`${"  of which in the core (log MB / core s)".padEnd(44)} ${rate(median(times.pageCore[i]))} MB/s`);
}
