// Builds the page into one self-contained HTML file: the module as base64, the core, the page's
// script and styles, and uPlot (from node_modules, pinned by package-lock.json), all inline, so
// that it works from file://, offline and from any static host. The Content-Security-Policy lets
// the page run exactly its own two scripts and its converter (a worker from the page's own
// text), compile its module, and fetch nothing.
//   node web/build.mjs MODULE.wasm OUTPUT.html [NODE_MODULES]
// NODE_MODULES is where `npm ci` put uPlot: web/node_modules by default; the wasm build installs
// it into its own folder.
import { createHash } from "node:crypto";
import { readFileSync, writeFileSync } from "node:fs";
import { dirname, join } from "node:path";
import { fileURLToPath } from "node:url";

const here = dirname(fileURLToPath(import.meta.url));
const [modulePath, outputPath, modulesPath = join(here, "node_modules")] = process.argv.slice(2);
if (!modulePath || !outputPath) {
  console.error("usage: node web/build.mjs MODULE.wasm OUTPUT.html [NODE_MODULES]");
  process.exit(2);
}
const read = (path) => readFileSync(path, "utf8");

// The version's one home is the project() call of CMakeLists.txt.
const version = /project\(MIRTAK\s+VERSION\s+([0-9.]+)/.exec(read(join(here, "..", "CMakeLists.txt")))[1];

// The tool's messages from their one home, run/messages.cc, in the order of Failure
// (run/messages.h): kind (noSuchFile for kNoSuchFile) to the text before the name and after it,
// without the newline that begins each on the console.
const failures = [...read(join(here, "..", "run", "messages.h")).matchAll(/^\s+k(\w+),/gm)]
  .map(([, name]) => name[0].toLowerCase() + name.slice(1));
const table = /kMessages\[\] = \{([\s\S]*?)\};/.exec(read(join(here, "..", "run", "messages.cc")))?.[1] ?? "";
const texts = [...table.matchAll(/\{("(?:[^"\\]|\\.)*"),\s*("(?:[^"\\]|\\.)*")\}/g)]
  .map(([, before, after]) => [JSON.parse(before).replace(/^\n/, ""), JSON.parse(after)]);
if (texts.length === 0 || texts.length !== failures.length) {
  throw new Error(`run/messages.cc: ${texts.length} messages for ${failures.length} failures`);
}
const toolMessages = Object.fromEntries(failures.map((kind, i) => [kind, texts[i]]));

// The page's modules as classic scripts, imports and exports dropped: the converter (the core,
// the block reader and the worker, with the module) runs in a worker made from its text, which
// the page holds.
const asScript = (source) =>
  source.replace(/^import .*;\n/gm, "").replace(/^export /gm, "");
const workerScript = [
  asScript(read(join(here, "core.js"))),
  asScript(read(join(here, "blocks.js"))),
  asScript(read(join(here, "worker.js"))).replace(
    "@MODULE_BASE64@", readFileSync(modulePath).toString("base64")),
].join("\n");
const pageScript = [
  "(() => {",
  asScript(read(join(here, "page.js")))
    .replace('"@WORKER_SCRIPT@"', () => JSON.stringify(workerScript))
    .replace('"@TOOL_MESSAGES@"', () => JSON.stringify(toolMessages)),
  "})();",
].join("\n");
const plotScript = read(join(modulesPath, "uplot/dist/uPlot.iife.min.js"));

// </script> cannot occur inside an inline script.
for (const script of [pageScript, plotScript]) {
  if (script.includes("</script")) throw new Error("a script holds </script");
}
const hash = (text) => `'sha256-${createHash("sha256").update(text).digest("base64")}'`;
const csp = [
  "default-src 'none'",
  `script-src ${hash(plotScript)} ${hash(pageScript)} 'wasm-unsafe-eval'`,
  "worker-src blob:",
  "style-src 'unsafe-inline'",
  "img-src data: blob:",
  "connect-src 'none'",
  "form-action 'none'",
  "base-uri 'none'",
].join("; ");

const fill = {
  "@CSP@": csp,
  "@VERSION@": version,
  "@PLOT_CSS@": read(join(modulesPath, "uplot/dist/uPlot.min.css")),
  "@PAGE_CSS@": read(join(here, "page.css")),
  "@PLOT_JS@": plotScript,
  "@PAGE_JS@": pageScript,
};
// One pass, so that nothing filled in is read as a place to fill.
const page = read(join(here, "page.html")).replace(/@[A-Z_]+@/g, (key) => {
  if (!(key in fill)) throw new Error(`page.html: nothing for ${key}`);
  return fill[key];
});
writeFileSync(outputPath, page);
console.log(`${outputPath}: ${page.length} bytes`);
