// mirtak-shape and the page show one shape: every figure of `mirtak-shape --json` equals the
// page's module's (web/core.js) for the same log, on every kernel set the module holds and at
// several cuts of the log into blocks. The logs: those the reference check uses
// (shape_reference.py writes them), the sample and the fixtures of the other tests.
//   node same_as_page.mjs --tool MIRTAK_SHAPE --module MODULE.wasm --python PYTHON
//        --reference shape_reference.py [LOG...]
import assert from "node:assert/strict";
import { execFileSync } from "node:child_process";
import { copyFileSync, mkdtempSync, readFileSync, readdirSync, rmSync } from "node:fs";
import { tmpdir } from "node:os";
import { basename, join, resolve } from "node:path";
import { parseArgs } from "node:util";

import { loadCore } from "../../web/core.js";

const { values: options, positionals: given } = parseArgs({
  options: {
    tool: { type: "string" }, module: { type: "string" }, python: { type: "string" },
    reference: { type: "string" },
  },
  allowPositionals: true,
});
for (const key of ["tool", "module", "python", "reference"]) {
  if (!options[key]) throw new Error(`--${key} is needed`);
}

const folder = mkdtempSync(join(tmpdir(), "mirtak-same-shape-"));
process.on("exit", () => rmSync(folder, { recursive: true, force: true }));
execFileSync(options.python, [options.reference, folder], { stdio: ["ignore", "ignore", "inherit"] });
given.forEach((path, i) => copyFileSync(path, join(folder, `given${i}.${basename(path)}`)));
const names = readdirSync(folder).sort();

const reports = JSON.parse(execFileSync(resolve(options.tool), ["--json", ...names],
  { cwd: folder, maxBuffer: 1 << 28 }).toString());
assert.deepEqual(reports.map((r) => r.log), names);

const core = await loadCore(readFileSync(options.module));
const kernelSets = core.kernelSets();
// Whole, in odd blocks that cut lines and numbers, and in blocks that straddle the module's own.
const CUTS = [[Infinity], [4093, 1, 65539], [core.blockSize - 1, core.blockSize + 3]];

// The module's shape of a log, as mirtak-shape --json names its figures.
function pageFigures(log, kernelSet, cut) {
  core.start(kernelSet);
  for (let at = 0, i = 0; at < log.length; i++) {
    const size = Math.min(cut[i % cut.length], log.length - at);
    if (!core.feed(log.subarray(at, at + size), () => {})) break;
    at += size;
  }
  core.finish(() => {});
  const s = core.shape();
  return {
    data_lines: s.dataLines,
    values: s.values,
    values_per_line: s.valuesPerLine,
    other_lines: s.linesWithOtherCounts,
    first_other_lines: s.oddLines.map((odd) => [odd.line, odd.values]),
    columns: s.columns.map((c) => [c.smallest, c.largest]),
    columns_left_out: s.columnsLeftOut,
  };
}

let compared = 0;
for (const report of reports) {
  const log = readFileSync(join(folder, report.log));
  const { log: _, ...tool } = report;
  for (const kernelSet of kernelSets) {
    for (const cut of CUTS) {
      assert.deepEqual(pageFigures(log, kernelSet, cut), tool,
        `${report.log}: the page's figures on ${kernelSet}, blocks of ${cut.join(",")} bytes`);
      compared++;
    }
  }
}
console.log(`${reports.length} logs, ${compared} readings on ${kernelSets.join(", ")}: ` +
  "the page's figures are mirtak-shape's");
