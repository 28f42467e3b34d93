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

// The value of a field's text by the reading rules: white space, one sign, decimal digits, the
// number reduced modulo 65536 into a signed 16-bit value.
function fieldValue(field) {
  const [, sign, digits] = /^[\t\n\v\f\r ]*([+-]?)([0-9]*)/.exec(field);
  let magnitude = 0;
  for (const digit of digits) magnitude = (magnitude * 10 + Number(digit)) % 65536;
  const value = ((sign === "-" ? -magnitude : magnitude) + 65536) % 65536;
  return value >= 32768 ? value - 65536 : value;
}

// The values of each data line of a log, from its bytes by the reading rules alone: the first
// Ctrl-Z ends the input, carriage returns are dropped, line 1 is the header, a line that begins
// with "+" ends the data, fields part at runs of spaces (leading ones belong to the first field,
// trailing ones start one more) and every field after the first is a value.
export function referenceLines(log) {
  let text = Buffer.from(log).toString("latin1");
  const end = text.indexOf("\x1a");
  if (end >= 0) text = text.slice(0, end);
  const lines = text.replaceAll("\r", "").split("\n");
  if (lines.at(-1) === "") lines.pop();  // the newline that ends the last line starts no line
  const data = [];
  for (const line of lines.slice(1)) {
    if (line.startsWith("+")) break;
    data.push(line.replace(/^ +/, "").split(/ +/).slice(1).map(fieldValue));
  }
  return data;
}

// The shape the page shows (web/core.js's, without the first lines), worked out from those
// lines: the count most lines give (on a tie the smaller), the first ten lines of another count
// (the header being line 1), each of the first 256 columns' range, the columns past them.
export function referenceShape(log) {
  const lines = referenceLines(log);
  const perCount = new Map();
  for (const line of lines) perCount.set(line.length, (perCount.get(line.length) ?? 0) + 1);
  let valuesPerLine = 0;
  for (const [values, number] of perCount) {
    const most = perCount.get(valuesPerLine) ?? 0;
    if (number > most || (number === most && values < valuesPerLine)) valuesPerLine = values;
  }
  const other = [];
  lines.forEach((line, i) => {
    if (line.length !== valuesPerLine) other.push({ line: i + 2, values: line.length });
  });
  const columns = [];
  for (const line of lines) {
    line.slice(0, 256).forEach((value, k) => {
      columns[k] ??= { smallest: value, largest: value };
      columns[k] = { smallest: Math.min(columns[k].smallest, value), largest: Math.max(columns[k].largest, value) };
    });
  }
  const widest = lines.reduce((most, line) => Math.max(most, line.length), 0);
  return {
    dataLines: lines.length,
    values: lines.reduce((sum, line) => sum + line.length, 0),
    valuesPerLine,
    linesWithOtherCounts: other.length,
    oddLines: other.slice(0, 10),
    columns,
    columnsLeftOut: Math.max(widest - 256, 0),
  };
}
