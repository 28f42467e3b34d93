// The page: logs picked or dropped are converted one after the other by the core (web/core.js),
// each read as a stream a block at a time, so a log is never held whole. The value file's bytes
// are gathered as they come and saved when the user asks, under the log's name with ".MX".
import { loadCore } from "./core.js";

// The module's bytes; the page build (web/build.mjs) puts them here.
const MODULE_BASE64 = "@MODULE_BASE64@";

// Value bytes are gathered into pieces of this size before they become part of the file.
const PIECE_SIZE = 8 * 1024 * 1024;
// How many of the first lines the plot shows, and how many columns at most.
const PLOT_LINES = 200;
const PLOT_COLUMNS = 12;
const PLOT_COLOURS = ["#1a5fb4", "#c01c28", "#26a269", "#e66100", "#613583", "#865e3c",
  "#0f8a8a", "#a347ba", "#5e5c64", "#b5835a", "#2ec27e", "#f5c211"];

// The page answers (Cancel, the progress bar) at least this often while it converts, in ms.
const ANSWER_EVERY = 50;
// Lets the browser handle input and draw, then goes on: a task queued behind theirs.
const letPageAnswer = () => new Promise((resolve) => setTimeout(resolve, 0));

// The tool's own messages, without the newline they begin with on the console.
const messages = {
  noSuchFile: (name) => `No such file ${name}`,
  cannotRead: (name) => `Can not read ${name} file`,
  cannotWrite: (name) => `Can not write ${name} file`,
};

// The value file's name for a log: its name with ".MX" for its extension.
export function valueFileName(logName) {
  const dot = logName.lastIndexOf(".");
  return (dot > 0 ? logName.slice(0, dot) : logName) + ".MX";
}

function decodeBase64(text) {
  const bytes = Uint8Array.from(atob(text), (c) => c.charCodeAt(0));
  return bytes;
}

const corePromise = loadCore(decodeBase64(MODULE_BASE64));
let queue = Promise.resolve();

function addLogs(files) {
  for (const file of files) {
    const view = newView(file);
    queue = queue.then(() => convert(file, view));
  }
}

function newView(file) {
  const template = document.getElementById("result-template");
  const article = template.content.firstElementChild.cloneNode(true);
  const find = (selector) => article.querySelector(selector);
  const view = {
    article,
    find,
    cancelled: false,
    status(text) {
      find(".status").textContent = text;
    },
  };
  find(".log-name").textContent = file.name;
  find(".progress").setAttribute("aria-label", `Reading ${file.name}`);
  find(".cancel").setAttribute("aria-label", `Cancel ${file.name}`);
  find(".cancel").addEventListener("click", () => {
    view.cancelled = true;
  });
  view.status("Waiting");
  document.getElementById("results").append(article);
  return view;
}

// Gathers the value file's bytes in pieces; the file is the pieces in order.
class ValueFile {
  constructor() {
    this.pieces = [];
    this.piece = new Uint8Array(PIECE_SIZE);
    this.used = 0;
    this.size = 0;
  }

  add(bytes) {
    this.size += bytes.length;
    for (let at = 0; at < bytes.length; ) {
      const room = Math.min(PIECE_SIZE - this.used, bytes.length - at);
      this.piece.set(bytes.subarray(at, at + room), this.used);
      this.used += room;
      at += room;
      if (this.used === PIECE_SIZE) this.close();
    }
  }

  close() {
    if (this.used !== 0) this.pieces.push(new Blob([this.piece.subarray(0, this.used)]));
    this.used = 0;
  }

  blob() {
    this.close();
    return new Blob(this.pieces, { type: "application/octet-stream" });
  }
}

async function convert(file, view) {
  const core = await corePromise;
  const progress = view.find(".progress");
  progress.max = Math.max(file.size, 1);
  view.status("Converting");
  view.article.dataset.state = "converting";
  const values = new ValueFile();
  const keep = (bytes) => values.add(bytes);
  const started = performance.now();
  let read = 0;
  let reader;
  try {
    reader = file.stream().getReader();
  } catch {
    return fail(view, messages.noSuchFile(file.name));
  }
  core.start();
  const blockAddress = core.blockAddress();
  let filled = 0;
  let converting = 0;  // milliseconds spent in the core, for the speed figures
  // The next piece is asked for before this one is converted, so reading and converting go on
  // side by side.
  let next = reader.read();
  let answered = performance.now();
  const stop = async () => {
    next.catch(() => {});
    await reader.cancel().catch(() => {});
  };
  try {
    for (;;) {
      let chunk;
      try {
        chunk = await next;
      } catch {
        return fail(view, read === 0 ? messages.noSuchFile(file.name) : messages.cannotRead(file.name));
      }
      if (view.cancelled) {
        await stop();
        view.article.dataset.state = "cancelled";
        view.status("Cancelled: no value file was made");
        return;
      }
      if (!chunk.done) next = reader.read();
      if (chunk.done) break;
      const bytes = chunk.value;
      read += bytes.length;
      let more = true;
      for (let at = 0; at < bytes.length && more; ) {
        const room = Math.min(core.blockSize - filled, bytes.length - at);
        core.bytes().set(bytes.subarray(at, at + room), blockAddress + filled);
        filled += room;
        at += room;
        if (filled === core.blockSize) {
          const before = performance.now();
          more = core.feedBlock(filled, keep);
          converting += performance.now() - before;
          filled = 0;
        }
      }
      progress.value = read;
      if (performance.now() - answered > ANSWER_EVERY) {
        await letPageAnswer();
        answered = performance.now();
      }
      if (!more) {
        // The log's data has ended: the rest is never looked at.
        await stop();
        break;
      }
    }
    if (filled !== 0) core.feedBlock(filled, keep);
    core.finish(keep);
  } catch {
    return fail(view, messages.cannotWrite(valueFileName(file.name)));
  }
  const seconds = (performance.now() - started) / 1000;
  progress.value = progress.max;
  view.find(".cancel").disabled = true;
  view.article.dataset.coreSeconds = (converting / 1000).toFixed(3);
  show(view, file, core.shape(), values, read, seconds);
}

function fail(view, message) {
  view.article.dataset.state = "failed";
  view.find(".cancel").disabled = true;
  view.status(message);
}

function plural(n, one, many) {
  return `${n.toLocaleString("en")} ${n === 1 ? one : many}`;
}

function show(view, file, shape, values, read, seconds) {
  const { find, article } = view;
  find(".data-lines").textContent = shape.dataLines.toLocaleString("en");
  find(".values-per-line").textContent = shape.dataLines === 0 ? "none" : String(shape.valuesPerLine);
  find(".other-lines").textContent = shape.linesWithOtherCounts.toLocaleString("en");
  const list = find(".odd-lines");
  for (const odd of shape.oddLines) {
    const item = document.createElement("li");
    item.textContent = `Line ${odd.line}: ${plural(odd.values, "value", "values")}`;
    list.append(item);
  }
  if (shape.linesWithOtherCounts > shape.oddLines.length) {
    const item = document.createElement("li");
    item.textContent = `and ${plural(shape.linesWithOtherCounts - shape.oddLines.length, "more line", "more lines")}`;
    list.append(item);
  }
  const body = find(".ranges tbody");
  shape.columns.forEach((range, k) => {
    const row = document.createElement("tr");
    for (const text of [String(k + 1), String(range.smallest), String(range.largest)]) {
      const cell = document.createElement("td");
      cell.textContent = text;
      row.append(cell);
    }
    body.append(row);
  });
  find(".shape").hidden = false;
  plot(find(".plot"), find(".plot-caption"), shape);

  const name = find(".save-name");
  name.value = valueFileName(file.name);
  name.setAttribute("aria-label", `Value file name for ${file.name}`);
  const blob = values.blob();
  find(".save-size").textContent = plural(blob.size, "byte", "bytes");
  find(".save-form").addEventListener("submit", (event) => {
    event.preventDefault();
    save(blob, name.value.trim() || valueFileName(file.name));
  });
  article.dataset.state = "done";
  article.dataset.valueBytes = String(blob.size);
  const rate = seconds > 0 ? read / seconds / 1e6 : 0;
  article.dataset.seconds = seconds.toFixed(3);
  article.dataset.megabytesPerSecond = rate.toFixed(1);
  view.status(`Converted: ${plural(read, "byte", "bytes")} read in ${seconds.toFixed(2)} s`);
}

function save(blob, name) {
  const link = document.createElement("a");
  link.href = URL.createObjectURL(blob);
  link.download = name;
  document.body.append(link);
  link.click();
  link.remove();
  setTimeout(() => URL.revokeObjectURL(link.href), 60000);
}

function plot(target, caption, shape) {
  const lines = shape.firstLines.slice(0, PLOT_LINES);
  const columns = Math.min(PLOT_COLUMNS, lines.reduce((most, l) => Math.max(most, l.length), 0));
  if (lines.length === 0 || columns === 0) {
    caption.textContent = "No values to plot.";
    return;
  }
  const data = [lines.map((_, i) => i + 1)];
  const series = [{ label: "Data line" }];
  for (let k = 0; k < columns; k++) {
    data.push(lines.map((line) => (k < line.length ? line[k] : null)));
    series.push({ label: `Column ${k + 1}`, stroke: PLOT_COLOURS[k % PLOT_COLOURS.length], width: 1 });
  }
  const text = `The values of the first ${plural(lines.length, "data line", "data lines")}, ` +
    `${plural(columns, "column", "columns")}.`;
  caption.textContent = text;
  target.setAttribute("aria-label", text);
  const width = Math.max(320, Math.min(900, target.clientWidth || 800));
  // eslint-disable-next-line no-undef -- uPlot comes with the page
  const axes = [{ label: "Data line" }, { size: 70 }];
  new uPlot({ width, height: 300, series, axes, scales: { x: { time: false } } }, data, target);
}

function setUp() {
  const input = document.getElementById("logs");
  const drop = document.getElementById("drop");
  input.addEventListener("change", () => {
    addLogs(Array.from(input.files));
    input.value = "";
  });
  drop.addEventListener("click", () => input.click());
  drop.addEventListener("keydown", (event) => {
    if (event.key === "Enter" || event.key === " ") {
      event.preventDefault();
      input.click();
    }
  });
  drop.addEventListener("dragover", (event) => {
    event.preventDefault();
    drop.classList.add("over");
  });
  drop.addEventListener("dragleave", () => drop.classList.remove("over"));
  drop.addEventListener("drop", (event) => {
    event.preventDefault();
    drop.classList.remove("over");
    addLogs(Array.from(event.dataTransfer.files));
  });
}

setUp();
