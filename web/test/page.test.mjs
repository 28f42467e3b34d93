// The built page in a real browser (Debian's chromium-headless-shell, driven by puppeteer-core),
// opened from file:// as a user would: the sample, a log with one trailing-space line and a
// 100 MB log are given to it and their value files saved; each must equal the native tool's,
// the shape must be the log's (every column's range, against the log's own text), the odd line
// flagged, files that are no log said to be so, and the page must make no request and fit a
// phone's width. A screenshot after the sample is left in build/web/page.png.
import assert from "node:assert/strict";
import { existsSync, readFileSync, readdirSync, rmSync, statSync, writeFileSync } from "node:fs";
import { spawnSync } from "node:child_process";
import { join } from "node:path";
import { after, before, test } from "node:test";
import { pathToFileURL } from "node:url";

import puppeteer from "puppeteer-core";

import {
  modulePath, nativeValuesOfFile, numericLog, pagePath, referenceLines, referenceShape, root, workDir,
} from "./support.mjs";

const browserPath = process.env.MIRTAK_BROWSER ??
  ["/usr/bin/chromium-headless-shell", "/usr/lib/chromium/chromium-headless-shell"].find(existsSync);
const downloads = join(workDir, "downloads");
const pageUrl = pathToFileURL(pagePath).href;

let browser;
let page;
const requests = [];

before(async () => {
  rmSync(downloads, { recursive: true, force: true });
  browser = await puppeteer.launch({ executablePath: browserPath, args: ["--no-sandbox"] });
  page = await browser.newPage();
  page.on("request", (request) => requests.push(request.url()));
  page.on("pageerror", (error) => requests.push(`page error: ${error.message}`));
  const session = await browser.target().createCDPSession();
  await session.send("Browser.setDownloadBehavior", { behavior: "allow", downloadPath: downloads });
  await page.goto(pageUrl);
});

after(async () => {
  await browser?.close();
});

// Gives the page one log and waits for its conversion; returns the log's result element.
async function convert(logPath, on = page) {
  const input = await on.$("#logs");
  const count = await on.$$eval(".result", (results) => results.length);
  await input.uploadFile(logPath);
  await on.waitForFunction(
    (n) => {
      const result = document.querySelectorAll(".result")[n];
      return result && result.dataset.state !== "converting";
    },
    { timeout: 120_000 },
    count,
  );
  return (await on.$$(".result"))[count];
}

// A number as the page shows it.
const shownNumber = (text) => Number(text.replaceAll(",", ""));

async function shapeShown(result) {
  return result.evaluate((r) => ({
    state: r.dataset.state,
    status: r.querySelector(".status").textContent,
    dataLines: r.querySelector(".data-lines").textContent,
    valuesPerLine: r.querySelector(".values-per-line").textContent,
    otherLines: r.querySelector(".other-lines").textContent,
    oddLines: [...r.querySelectorAll(".odd-lines li")].map((li) => li.textContent),
    columns: r.querySelectorAll(".ranges tbody tr").length,
    plotted: r.querySelector(".plot canvas") !== null,
    saveName: r.querySelector(".save-name").value,
    megabytesPerSecond: Number(r.dataset.megabytesPerSecond),
  }));
}

// Saves the result's value file under its proposed name, by keyboard, and returns its bytes.
async function save(result) {
  const name = await result.$eval(".save-name", (input) => input.value);
  const expectedSize = Number(await result.evaluate((r) => r.dataset.valueBytes));
  const file = join(downloads, name);
  rmSync(file, { force: true });
  await (await result.$(".save")).focus();
  await page.keyboard.press("Enter");
  const deadline = Date.now() + 60_000;
  while (!(existsSync(file) && statSync(file).size === expectedSize &&
           !readdirSync(downloads).some((f) => f.endsWith(".crdownload")))) {
    if (Date.now() > deadline) throw new Error(`${name} was not saved`);
    await new Promise((resolve) => setTimeout(resolve, 50));
  }
  return readFileSync(file);
}

test("the sample: its values, shape and plot; a screenshot", async () => {
  const sample = join(root, "examples/QDEMOX.LOG");
  const result = await convert(sample);
  const shown = await shapeShown(result);
  assert.equal(shown.state, "done", shown.status);
  assert.equal(shown.dataLines, "24");
  assert.equal(shown.valuesPerLine, "9");
  assert.equal(shown.otherLines, "0");
  assert.deepEqual(shown.oddLines, []);
  assert.equal(shown.columns, 9);
  assert.ok(shown.plotted, "a plot is drawn");
  assert.equal(shown.saveName, "QDEMOX.MX");
  assert.ok((await save(result)).equals(nativeValuesOfFile(sample)), "QDEMOX.MX as the tool's");
  await page.screenshot({ path: join(root, "build/web/page.png"), fullPage: true });
});

test("a log past one piece: every figure and column range shown is the log's, and the legend", async () => {
  // 8 values a line, about 180,000 in all: five of the writer's 64 KiB pieces, and past the
  // page's first 1 MiB block.
  const logBytes = numericLog(1_500_000, 8, { trailingSpaceLine: 3000, seed: 8 });
  const log = join(workDir, "PIECES.LOG");
  writeFileSync(log, logBytes);
  const want = referenceShape(logBytes);
  const lines = referenceLines(logBytes);
  assert.ok(want.values > 5 * 32768);
  const result = await convert(log);
  const shown = await shapeShown(result);
  assert.equal(shown.state, "done", shown.status);
  assert.deepEqual([shown.dataLines, shown.valuesPerLine, shown.otherLines].map(shownNumber),
    [want.dataLines, want.valuesPerLine, want.linesWithOtherCounts]);
  assert.deepEqual(shown.oddLines, want.oddLines.map((odd) => `Line ${odd.line.toLocaleString("en")}: ${odd.values} values`));
  const rows = await result.$$eval(".ranges tbody tr", (trs) => trs.map((tr) => [...tr.cells].map((td) => td.textContent)));
  assert.deepEqual(rows.map((row) => row.map(shownNumber)), want.columns.map((c, k) => [k + 1, c.smallest, c.largest]));
  // The flagged line says why it matters and what to do.
  const help = await result.$eval(".odd-help", (p) => (p.hidden ? "" : p.textContent));
  assert.match(help, /A space at the end of a line makes one more value/);
  assert.match(help, /Mend these lines in the log and convert it again/);

  // The legend: each plotted column's range while the pointer is on no line, the values of the
  // line under it once it is.
  const legend = () => result.$$eval(".u-legend .u-series .u-value", (cells) => cells.map((c) => c.textContent));
  const ranges = want.columns.map((c) => `${c.smallest.toLocaleString("en")} to ${c.largest.toLocaleString("en")}`);
  const plotted = Math.min(12, Math.max(...lines.slice(0, 200).map((l) => l.length)));
  assert.deepEqual(await legend(), ["whole log", ...ranges.slice(0, plotted)]);
  await result.evaluate((r) => r.querySelector(".plot").scrollIntoView());
  const box = await (await result.$(".plot .u-over")).boundingBox();
  await page.mouse.move(box.x + box.width * 0.4, box.y + box.height / 2);
  const [line, ...values] = await legend();
  assert.notEqual(line, "whole log");
  assert.deepEqual(values, lines[shownNumber(line) - 1].map((v) => v.toLocaleString("en")), `data line ${line}`);
  await page.mouse.move(0, 0);
  assert.ok((await save(result)).equals(nativeValuesOfFile(log)), "PIECES.MX as the tool's");
});

test("a log with one trailing-space line: the line is flagged", async () => {
  const log = join(workDir, "TRAILING.LOG");
  writeFileSync(log, numericLog(20_000, 6, { trailingSpaceLine: 40 }));
  const result = await convert(log);
  const shown = await shapeShown(result);
  assert.equal(shown.state, "done", shown.status);
  assert.equal(shown.valuesPerLine, "6");
  assert.equal(shown.otherLines, "1");
  // Data line 40 is the log's line 41.
  assert.deepEqual(shown.oddLines, ["Line 41: 7 values"]);
  assert.equal(shown.columns, 7);
  assert.ok((await save(result)).equals(nativeValuesOfFile(log)), "TRAILING.MX as the tool's");
});

test("a 100 MB log, byte for byte", async () => {
  const log = join(workDir, "100MB.LOG");
  if (!existsSync(log)) writeFileSync(log, numericLog(100 * 1000 * 1000, 10, { seed: 100 }));
  const result = await convert(log);
  const shown = await shapeShown(result);
  assert.equal(shown.state, "done", shown.status);
  assert.equal(shown.valuesPerLine, "10");
  assert.equal(shown.otherLines, "0");
  // Its values are kept in the page until saved.
  assert.equal(await result.evaluate((r) => r.dataset.valueBytesInPage), await result.evaluate((r) => r.dataset.valueBytes));
  assert.ok((await save(result)).equals(nativeValuesOfFile(log)), "100MB.MX as the tool's");
  console.log(`# page end to end: ${shown.megabytesPerSecond} MB/s on ${log}`);
});

test("a log whose data ends long before the file: the rest is not read", async () => {
  const log = join(workDir, "ENDED.LOG");
  const logged = numericLog(2_000_000, 5);
  writeFileSync(log, Buffer.concat([logged, Buffer.alloc(30_000_000, "7 8 9\r\n")]));
  const result = await convert(log);
  const shown = await shapeShown(result);
  assert.equal(shown.state, "done", shown.status);
  // The data ends at the terminator line's "+": that many bytes of the log come before it.
  const [, end, size] = /data ends at byte ([\d,]+) of ([\d,]+)$/.exec(shown.status).map(shownNumber);
  assert.deepEqual([end, size], [logged.lastIndexOf("+ END"), statSync(log).size], shown.status);
  // The rest was not read: the reading stopped a block or so after the data's end.
  const read = Number(await result.evaluate((r) => r.dataset.bytesRead));
  assert.ok(read > end && read < 10_000_000, `${read} bytes read`);
  assert.ok((await save(result)).equals(nativeValuesOfFile(log)), "ENDED.MX as the tool's");
});

test("a conversion cancelled makes no value file", async () => {
  const count = await page.$$eval(".result", (results) => results.length);
  // Cancel is pressed as soon as the log's first block has been read, as a user would, from
  // within the page: the test's own calls may wait for a quiet moment of the page.
  await page.evaluate((n) => {
    const timer = setInterval(() => {
      const result = document.querySelectorAll(".result")[n];
      if (result && result.querySelector(".progress").value > 0) {
        clearInterval(timer);
        result.querySelector(".cancel").click();
      }
    }, 1);
  }, count);
  await (await page.$("#logs")).uploadFile(join(workDir, "100MB.LOG"));
  await page.waitForFunction((n) => {
    const r = document.querySelectorAll(".result")[n];
    return r && r.dataset.state !== "converting";
  }, { timeout: 120_000 }, count);
  const result = (await page.$$(".result"))[count];
  const shown = await result.evaluate((r) => [r.dataset.state, r.querySelector(".status").textContent,
    r.querySelector(".shape").hidden]);
  assert.deepEqual(shown, ["cancelled", "Cancelled: no value file was made", true]);
  // The converter let go of the log soon: the next log is converted after it, and by then the
  // cancelled one had been read a few blocks further at most (it hears a cancel every 4 MB), not
  // on to a fifth of its 100 MB and more, as when a cancel waits for a read that has to wait
  // (17 to 38 MB in tries).
  assert.equal((await shapeShown(await convert(join(root, "examples/QDEMOX.LOG")))).state, "done");
  const [read, size] = await result.$eval(".progress", (p) => [p.value, p.max]);
  assert.ok(read < size / 5, `read on after the cancel: ${read} of ${size} bytes`);
});

test("a browser that cannot run the converter says so for every log", async () => {
  // A page built around a module cut short stands for a browser without WebAssembly SIMD: the
  // module does not compile there either.
  const broken = join(workDir, "broken.wasm");
  const brokenPage = join(workDir, "broken.html");
  writeFileSync(broken, readFileSync(modulePath).subarray(0, 100));
  const build = spawnSync(process.execPath, [join(root, "web/build.mjs"), broken, brokenPage]);
  assert.equal(build.status, 0, String(build.stderr));
  const other = await browser.newPage();
  try {
    await other.goto(pathToFileURL(brokenPage).href);
    const sample = join(root, "examples/QDEMOX.LOG");
    await (await other.$("#logs")).uploadFile(sample, sample);
    await other.waitForFunction(() => {
      const results = [...document.querySelectorAll(".result")];
      return results.length === 2 && results.every((r) => r.dataset.state !== "converting");
    }, { timeout: 30_000 });
    const shown = await other.$$eval(".result", (results) =>
      results.map((r) => [r.dataset.state, r.querySelector(".status").textContent]));
    const message = "Can not run the converter in this browser: it needs WebAssembly with SIMD";
    assert.deepEqual(shown, [["failed", message], ["failed", message]]);
  } finally {
    await other.close();
  }
});

test("a file gone or changed after it was chosen says which", async () => {
  const gone = join(workDir, "GONE.LOG");
  const changed = join(workDir, "CHANGED.LOG");
  writeFileSync(gone, "H\n1 2\n");
  writeFileSync(changed, "H\n1 2\n");
  const input = await page.$("#logs");
  const count = await page.$$eval(".result", (results) => results.length);
  // Logs are converted one after the other: these are gone or changed by the time the 100 MB
  // log, given with them, has been converted.
  await input.uploadFile(join(workDir, "100MB.LOG"), gone, changed);
  rmSync(gone);
  writeFileSync(changed, "H\n1 2\n3 4\n");
  await page.waitForFunction((n) => {
    const r = document.querySelectorAll(".result")[n + 2];
    return r && r.dataset.state !== "converting";
  }, { timeout: 120_000 }, count);
  const shown = await page.$$eval(".result", (results, n) => results.slice(n + 1).map((r) =>
    [r.dataset.state, r.querySelector(".status").textContent]), count);
  assert.deepEqual(shown, [["failed", "No such file GONE.LOG"],
    ["failed", "CHANGED.LOG changed after it was chosen: choose it again"]]);
});

test("files that are no log are said to be so, with what was found", async () => {
  // A sound: a WAV header (its NUL bytes), then samples in which line ends happen to fall.
  const header = Buffer.from("RIFF\x24\x20\x00\x00WAVEfmt \x10\x00\x00\x00", "latin1");
  const samples = Buffer.from(Array.from({ length: 4000 }, (_, i) => [32, 49, 10, 50][i % 4] + (i % 7 === 0 ? 1 : 0)));
  const sound = join(workDir, "SOUND.WAV");
  writeFileSync(sound, Buffer.concat([header, samples]));
  const cases = [
    // Its eighth byte is a Ctrl-Z, which ends the input.
    [join(root, "docs/page.png"), new RegExp("^page\\.png does not look like a KOVIR log: no data lines before its " +
      `data ends, at byte 6 of ${statSync(join(root, "docs/page.png")).size.toLocaleString("en")}$`), false],
    [sound, /^SOUND\.WAV does not look like a KOVIR log: byte 7 is a NUL byte, which no text holds$/, true],
    [join(root, "tests/e2e/header_only.log"), /^header_only\.log does not look like a KOVIR log: no data lines/, false],
    [join(root, "tests/e2e/empty.log"), /^empty\.log does not look like a KOVIR log: the file is empty$/, false],
  ];
  for (const [file, message, values] of cases) {
    const result = await convert(file);
    const shown = await result.evaluate((r) => ({
      state: r.dataset.state,
      status: r.querySelector(".status").textContent,
      save: r.querySelector(".save-form").hidden ? "none" : r.querySelector(".save").textContent,
    }));
    assert.equal(shown.state, "not-a-log", file);
    assert.match(shown.status, message);
    // No save offered as a conversion: none where there are no values, one "anyway" otherwise.
    assert.equal(shown.save, values ? "Save anyway" : "none", file);
  }
});

test("a phone's width: every figure fits, nothing scrolls sideways", async () => {
  const narrow = await browser.newPage();
  try {
    await narrow.setViewport({ width: 390, height: 844 });
    await narrow.goto(pageUrl);
    // 300 columns (more than are shown), lines numbered into the thousands, a flagged line, a
    // long name without spaces.
    const log = join(workDir, "A_LOG_WITH_A_LONG_NAME_FROM_THE_INSTRUMENT_OF_ROOM_12_CHANNEL_SET_B.LOG");
    writeFileSync(log, numericLog(3_000_000, 300, { trailingSpaceLine: 1200, seed: 3 }));
    const result = await convert(log, narrow);
    assert.equal(await result.evaluate((r) => r.dataset.state), "done");
    assert.equal(await result.$eval(".columns-left-out", (p) => (p.hidden ? "" : p.textContent)),
      "Columns 257–301 not shown");  // the flagged line has 301
    const overflow = await narrow.evaluate(() => {
      const page = document.documentElement;
      const edge = document.querySelector(".result").getBoundingClientRect().right;
      const out = [...document.querySelectorAll(".result *")].filter((e) => e.getBoundingClientRect().right > edge + 0.5 ||
        (e.matches(".figures dd") && e.scrollWidth > e.clientWidth));
      return { scroll: [page.scrollWidth, page.clientWidth], out: out.map((e) => `${e.className || e.tagName}: ${e.textContent.slice(0, 30)}`) };
    });
    assert.ok(overflow.scroll[0] <= overflow.scroll[1], `the page scrolls sideways: ${overflow.scroll}`);
    assert.deepEqual(overflow.out, [], "past the result's edge");
    await narrow.screenshot({ path: join(root, "build/web/page-390.png"), fullPage: true });
  } finally {
    await narrow.close();
  }
});

test("Cancel on a log still waiting cancels it at once", async () => {
  const count = await page.$$eval(".result", (results) => results.length);
  await (await page.$("#logs")).uploadFile(join(workDir, "100MB.LOG"), join(root, "examples/QDEMOX.LOG"));
  await page.waitForFunction((n) => document.querySelectorAll(".result").length === n + 2, {}, count);
  const states = await page.$$eval(".result", (results, n) => {
    const [first, waiting] = results.slice(n);
    waiting.querySelector(".cancel").click();
    return [first.dataset.state, waiting.dataset.state, waiting.querySelector(".status").textContent,
      waiting.querySelector(".cancel").disabled];
  }, count);
  assert.deepEqual(states, ["converting", "cancelled", "Cancelled: no value file was made", true]);
  // The one before it goes on to its end; the cancelled one is never converted.
  await page.waitForFunction((n) => document.querySelectorAll(".result")[n].dataset.state === "done",
    { timeout: 120_000 }, count);
  await new Promise((resolve) => setTimeout(resolve, 500));
  const after = await page.$$eval(".result", (results, n) => results.slice(n).map((r) =>
    [r.dataset.state, r.querySelector(".shape").hidden]), count);
  assert.deepEqual(after, [["done", false], ["cancelled", true]]);
});

test("no request leaves the page, and none can", async () => {
  const refused = await page.evaluate(async () => {
    const violation = new Promise((resolve) => {
      document.addEventListener("securitypolicyviolation", (e) => resolve(e.effectiveDirective));
      setTimeout(() => resolve("none"), 5000);
    });
    await fetch("http://127.0.0.1:9/").catch(() => {});
    return violation;
  });
  assert.equal(refused, "connect-src", "the Content-Security-Policy refuses a request");
  assert.deepEqual(requests.filter((url) => url !== pageUrl && !url.startsWith("blob:")), []);
});

test("value files past what the page keeps itself: the rest in the browser's Blobs", async () => {
  // 10 MB kept of the 100 MB log's 27.5 MB of values; the page opened anew so.
  await page.goto(`${pageUrl}?held=${10 * 1024 * 1024}`);
  const log = join(workDir, "100MB.LOG");
  const result = await convert(log);
  assert.equal((await shapeShown(result)).state, "done");
  const [size, inPage] = await result.evaluate((r) => [r.dataset.valueBytes, r.dataset.valueBytesInPage]);
  assert.ok(Number(inPage) <= 10 * 1024 * 1024 && Number(inPage) < Number(size), `${inPage} of ${size} bytes in the page`);
  assert.ok((await save(result)).equals(nativeValuesOfFile(log)), "100MB.MX as the tool's");
});
