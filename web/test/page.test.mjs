// The built page in a real browser (Debian's chromium-headless-shell, driven by puppeteer-core),
// opened from file:// as a user would: the sample, a log with one trailing-space line and a
// 100 MB log are given to it and their value files saved; each must equal the native tool's,
// the shape must be the log's, the odd line flagged, and the page must make no request. A
// screenshot after the sample is left in build/web/page.png.
import assert from "node:assert/strict";
import { existsSync, readFileSync, readdirSync, rmSync, statSync, writeFileSync } from "node:fs";
import { spawnSync } from "node:child_process";
import { join } from "node:path";
import { after, before, test } from "node:test";
import { pathToFileURL } from "node:url";

import puppeteer from "puppeteer-core";

import { modulePath, nativeValuesOfFile, numericLog, pagePath, root, workDir } from "./support.mjs";

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
async function convert(logPath) {
  const input = await page.$("#logs");
  const count = await page.$$eval(".result", (results) => results.length);
  await input.uploadFile(logPath);
  await page.waitForFunction(
    (n) => {
      const result = document.querySelectorAll(".result")[n];
      return result && result.dataset.state !== "converting";
    },
    { timeout: 120_000 },
    count,
  );
  return (await page.$$(".result"))[count];
}

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
  writeFileSync(log, Buffer.concat([numericLog(2_000_000, 5), Buffer.alloc(30_000_000, "7 8 9\r\n")]));
  const result = await convert(log);
  const shown = await shapeShown(result);
  assert.equal(shown.state, "done", shown.status);
  const read = Number(/([\d,]+) bytes read/.exec(shown.status)[1].replaceAll(",", ""));
  assert.ok(read < 10_000_000, shown.status);
  assert.ok((await save(result)).equals(nativeValuesOfFile(log)), "ENDED.MX as the tool's");
});

test("a conversion cancelled makes no value file", async () => {
  const count = await page.$$eval(".result", (results) => results.length);
  // Cancel is pressed as soon as the log's first piece has been read, as a user would, from
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

test("a file that cannot be read gets the tool's message", async () => {
  const log = join(workDir, "GONE.LOG");
  writeFileSync(log, "H\n1 2\n");
  const input = await page.$("#logs");
  const count = await page.$$eval(".result", (results) => results.length);
  // Logs are converted one after the other: this one is gone by the time the 100 MB log, given
  // with it, has been converted.
  await input.uploadFile(join(workDir, "100MB.LOG"), log);
  rmSync(log);
  await page.waitForFunction((n) => {
    const r = document.querySelectorAll(".result")[n + 1];
    return r && r.dataset.state !== "converting";
  }, { timeout: 120_000 }, count);
  const result = (await page.$$(".result"))[count + 1];
  const shown = await result.evaluate((r) => [r.dataset.state, r.querySelector(".status").textContent]);
  assert.deepEqual(shown, ["failed", "No such file GONE.LOG"]);
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
