// What the page's tests share: where the built module, page and native tool are, and the native
// tool's value file for a log, which every way through the page must give byte for byte.
import { execFileSync } from "node:child_process";
import { mkdirSync, mkdtempSync, readFileSync, rmSync, writeFileSync } from "node:fs";
import { tmpdir } from "node:os";
import { dirname, join, resolve } from "node:path";
import { fileURLToPath } from "node:url";

export const root = resolve(dirname(fileURLToPath(import.meta.url)), "..", "..");
export const modulePath = process.env.MIRTAK_WASM ?? join(root, "build/wasm/web/mirtak_wasm.wasm");
export const pagePath = process.env.MIRTAK_PAGE ?? join(root, "build/wasm/web/mirtak.html");
export const toolPath = process.env.MIRTAK_TOOL ?? join(root, "build/dev/MIRTAK");
// Logs and value files made by the tests, kept for a look after a failure.
export const workDir = join(root, "build/web/test");
mkdirSync(workDir, { recursive: true });

const scratch = mkdtempSync(join(tmpdir(), "mirtak-web-"));
process.on("exit", () => rmSync(scratch, { recursive: true, force: true }));

// The native tool's value file for a log file.
export function nativeValuesOfFile(logPath) {
  const out = join(scratch, "values.mx");
  rmSync(out, { force: true });
  execFileSync(toolPath, [logPath, out], { stdio: "ignore" });
  return readFileSync(out);
}

// The same for a log in memory.
export function nativeValues(log) {
  const path = join(scratch, "log.in");
  writeFileSync(path, log);
  return nativeValuesOfFile(path);
}

// A small reproducible random number source (mulberry32), so that a failing log can be made again.
export function randomSource(seed) {
  let state = seed >>> 0;
  const next = () => {
    state = (state + 0x6d2b79f5) >>> 0;
    let t = state;
    t = Math.imul(t ^ (t >>> 15), t | 1);
    t ^= t + Math.imul(t ^ (t >>> 7), t | 61);
    return ((t ^ (t >>> 14)) >>> 0) / 4294967296;
  };
  return { next, below: (n) => Math.floor(next() * n) };
}

// An ordinary log of numeric columns as instruments write them, of about `bytes` bytes; line
// `trailingSpaceLine` (a data line's number, counted from 1), if given, ends in a space and so
// gives one value more.
export function numericLog(bytes, columns, { trailingSpaceLine, seed = 7 } = {}) {
  const random = randomSource(seed);
  const lines = [`SEQ ${Array.from({ length: columns }, (_, k) => `CH${k + 1}`).join(" ")}\r\n`];
  let size = lines[0].length;
  for (let n = 1; size < bytes; n++) {
    let line = String(n).padStart(8);
    for (let k = 0; k < columns; k++) line += String(random.below(65536) - 32768).padStart(7);
    line += (n === trailingSpaceLine ? " " : "") + "\r\n";
    lines.push(line);
    size += line.length;
  }
  lines.push("+ END\r\n");
  return Buffer.from(lines.join(""), "latin1");
}
