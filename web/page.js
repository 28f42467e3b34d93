// The page: logs picked or dropped are converted one after the other by the converter
// (web/worker.js), which reads each as a stream a block at a time, so a log is never held whole.
// The value file comes back a part at a time as the log is converted, is kept (HeldValueFile) and
// is saved when the user asks, under the log's name with ".MX" or as the user names it.

// How many of the first lines the plot shows, and how many columns at most.
const PLOT_LINES = 200;
const PLOT_COLUMNS = 12;
const PLOT_COLOURS = ["#1a5fb4", "#c01c28", "#26a269", "#e66100", "#613583", "#865e3c",
  "#0f8a8a", "#a347ba", "#5e5c64", "#b5835a", "#2ec27e", "#f5c211"];

// The tool's own messages, from their one home (run/messages.cc, put here when the page is built:
// kind, then the text before the file's name and after it, without the newline each begins with
// on the console), and the page's own.
const TOOL_MESSAGES = "@TOOL_MESSAGES@";
const messages = {
  ...Object.fromEntries(Object.entries(TOOL_MESSAGES).map(([kind, [before, after]]) =>
    [kind, (name) => `${before}${name}${after}`])),
  changed: (name) => `${name} changed after it was chosen: choose it again`,
  noConverter: () => "Can not run the converter in this browser: it needs WebAssembly with SIMD",
};

// The value file's name for a log: its name with ".MX" for its extension.
export function valueFileName(logName) {
  const dot = logName.lastIndexOf(".");
  return (dot > 0 ? logName.slice(0, dot) : logName) + ".MX";
}

// How much of the value files the page keeps in its own memory; the rest, the browser's Blobs.
// A page opened as mirtak.html?held=BYTES keeps that much instead (the tests keep little).
const HELD_IN_PAGE = (() => {
  const held = Number(new URLSearchParams(location.search).get("held") ?? NaN);
  return Number.isSafeInteger(held) && held >= 0 ? held : 256 * 1024 * 1024;
})();
let heldInPage = 0;

// A value file, its parts in order as the converter hands them over. Each is kept as it came
// until the file is saved, and only then made a Blob: a Blob hands every byte to the browser's
// own process at once, and done while the log is converted, that took a quarter of the page's
// speed on a machine of two cores. Past HELD_IN_PAGE bytes of all value files, parts become
// Blobs as they come, which the browser may keep on disk.
class HeldValueFile {
  constructor() {
    this.parts = [];
    this.size = 0;
    this.held = 0;
  }

  add(buffer, size) {
    const bytes = new Uint8Array(buffer, 0, size);
    if (heldInPage + size <= HELD_IN_PAGE) {
      this.parts.push(bytes);
      this.held += size;
      heldInPage += size;
    } else {
      this.parts.push(new Blob([bytes]));
    }
    this.size += size;
  }

  // A file that will not be made.
  drop() {
    heldInPage -= this.held;
    this.parts = [];
    this.held = 0;
  }

  // The file as a Blob, made once.
  blob() {
    if (this.held !== 0 || this.parts.length !== 1) {
      this.parts = [new Blob(this.parts, { type: "application/octet-stream" })];
      heldInPage -= this.held;
      this.held = 0;
    }
    return this.parts[0];
  }
}

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
    waiting: true,
    cancelled: false,
    wake() {},
    status(text) {
      find(".status").textContent = text;
    },
  };
  find(".log-name").textContent = file.name;
  find(".progress").setAttribute("aria-label", `Reading ${file.name}`);
  find(".cancel").setAttribute("aria-label", `Cancel ${file.name}`);
  find(".cancel").addEventListener("click", () => {
    view.cancelled = true;
    // A log still waiting for its turn is cancelled at once; one being converted once the
    // converter has heard.
    if (view.waiting) markCancelled(view);
    view.wake();
  });
  view.status("Waiting");
  document.getElementById("results").append(article);
  return view;
}

// The converter (web/worker.js), whose script the page build puts here. It reads each log
// itself: the page only tells it which, and hears how far it is.
const WORKER_SCRIPT = "@WORKER_SCRIPT@";

const worker = new Worker(URL.createObjectURL(new Blob([WORKER_SCRIPT], { type: "text/javascript" })));
// The handler of the worker's messages for the log being converted.
let answer = () => {};
worker.onmessage = ({ data }) => answer(data);

function markCancelled(view) {
  view.article.dataset.state = "cancelled";
  view.find(".cancel").disabled = true;
  view.status("Cancelled: no value file was made");
}

async function convert(file, view) {
  view.waiting = false;
  if (view.cancelled) return;
  const progress = view.find(".progress");
  progress.max = Math.max(file.size, 1);
  view.status("Converting");
  view.article.dataset.state = "converting";
  const started = performance.now();
  let result = null;
  const values = new HeldValueFile();
  let wake = () => {};
  answer = (message) => {
    if (message.values !== undefined) {
      values.add(message.values, message.size);
      return;
    }
    if (message.took !== undefined) progress.value = message.took;
    else result = message;
    wake();
  };
  // Until the worker has said something more, or the user has cancelled.
  const heard = () => new Promise((resolve) => {
    wake = resolve;
  });
  view.wake = () => wake();

  worker.postMessage({ convert: file });
  let cancelled = false;
  // The next log is given to the worker once it has let go of this one, which a cancelled
  // conversion does within a few blocks.
  while (result === null) {
    if (view.cancelled && !cancelled) {
      cancelled = true;
      worker.postMessage({ cancel: true });
      markCancelled(view);
    }
    await heard();
  }
  if (cancelled || result.failed) values.drop();
  if (cancelled) return;
  view.find(".cancel").disabled = true;
  if (result.failed) {
    const name = result.failed === "cannotWrite" ? valueFileName(file.name) : file.name;
    return fail(view, messages[result.failed](name));
  }
  const seconds = (performance.now() - started) / 1000;
  progress.value = progress.max;
  view.article.dataset.coreSeconds = result.done.coreSeconds.toFixed(3);
  show(view, file, result.done, values, seconds);
}

function fail(view, message) {
  view.article.dataset.state = "failed";
  view.find(".cancel").disabled = true;
  view.status(message);
}

// A number as the page shows it, and a count of things.
const count = (n) => n.toLocaleString("en");

function plural(n, one, many) {
  return `${count(n)} ${n === 1 ? one : many}`;
}

// What shows that a file is not a log, or null if nothing does: a control byte that no text
// holds among its first bytes (the module's rule), or no data lines at all.
function notALog(file, done) {
  const foreign = done.foreignByte;
  if (foreign !== null) {
    const byte = foreign.byte === 0 ? "a NUL byte"
      : `the control byte 0x${foreign.byte.toString(16).toUpperCase().padStart(2, "0")}`;
    return `byte ${count(foreign.at + 1)} is ${byte}, which no text holds`;
  }
  if (done.shape.dataLines === 0) {
    if (file.size === 0) return "the file is empty";
    return done.dataEnd < file.size
      ? `no data lines before its data ends, at byte ${count(done.dataEnd)} of ${count(file.size)}`
      : "no data lines follow its first line";
  }
  return null;
}

function show(view, file, done, values, seconds) {
  const { find, article } = view;
  const { shape } = done;
  find(".data-lines").textContent = count(shape.dataLines);
  find(".values-per-line").textContent = shape.dataLines === 0 ? "none" : count(shape.valuesPerLine);
  find(".other-lines").textContent = count(shape.linesWithOtherCounts);
  const list = find(".odd-lines");
  for (const odd of shape.oddLines) {
    const item = document.createElement("li");
    item.textContent = `Line ${count(odd.line)}: ${plural(odd.values, "value", "values")}`;
    list.append(item);
  }
  if (shape.linesWithOtherCounts > shape.oddLines.length) {
    const item = document.createElement("li");
    item.textContent = `and ${plural(shape.linesWithOtherCounts - shape.oddLines.length, "more line", "more lines")}`;
    list.append(item);
  }
  if (shape.linesWithOtherCounts > 0) {
    const help = find(".odd-help");
    help.textContent = `Read as rows of ${plural(shape.valuesPerLine, "value", "values")}, every row ` +
      "after such a line is shifted: the value file does not say where a line ends. A space at " +
      "the end of a line makes one more value (a 0), and a missing number one fewer. Mend these " +
      "lines in the log and convert it again.";
    help.hidden = false;
  }
  const body = find(".ranges tbody");
  shape.columns.forEach((range, k) => {
    const row = document.createElement("tr");
    for (const text of [count(k + 1), count(range.smallest), count(range.largest)]) {
      const cell = document.createElement("td");
      cell.textContent = text;
      row.append(cell);
    }
    body.append(row);
  });
  find(".ranges").hidden = shape.columns.length === 0;
  if (shape.columnsLeftOut > 0) {
    const first = shape.columns.length + 1;
    const leftOut = find(".columns-left-out");
    leftOut.textContent = shape.columnsLeftOut === 1 ? `Column ${count(first)} not shown`
      : `Columns ${count(first)}–${count(first + shape.columnsLeftOut - 1)} not shown`;
    leftOut.hidden = false;
  }
  find(".shape").hidden = false;
  plot(find(".plot"), find(".plot-caption"), shape);

  const name = find(".save-name");
  name.value = valueFileName(file.name);
  name.setAttribute("aria-label", `Value file name for ${file.name}`);
  find(".save-size").textContent = plural(values.size, "byte", "bytes");
  find(".save-form").addEventListener("submit", (event) => {
    event.preventDefault();
    save(values.blob(), name.value.trim() || valueFileName(file.name));
  });
  article.dataset.valueBytes = String(values.size);
  article.dataset.valueBytesInPage = String(values.held);
  const rate = seconds > 0 ? done.dataEnd / seconds / 1e6 : 0;
  article.dataset.seconds = seconds.toFixed(3);
  article.dataset.megabytesPerSecond = rate.toFixed(1);
  article.dataset.dataEnd = String(done.dataEnd);
  article.dataset.bytesRead = String(done.read);
  const why = notALog(file, done);
  if (why !== null) {
    // Its values are kept for one who knows better, but not offered as a conversion.
    article.dataset.state = "not-a-log";
    view.status(`${file.name} does not look like a KOVIR log: ${why}`);
    find(".save").textContent = "Save anyway";
    find(".save-form").hidden = values.size === 0;
    return;
  }
  article.dataset.state = "done";
  view.status(`Converted in ${seconds.toFixed(2)} s: data ends at byte ${count(done.dataEnd)} of ` +
    `${count(file.size)}`);
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
  // The legend: each column's value at the line under the pointer, its range over the whole log
  // while the pointer is on no line.
  const series = [{ label: "Data line", value: (u, line) => (line === null ? "whole log" : count(line)) }];
  for (let k = 0; k < columns; k++) {
    const range = shape.columns[k];
    const whole = `${count(range.smallest)} to ${count(range.largest)}`;
    data.push(lines.map((line) => (k < line.length ? line[k] : null)));
    series.push({
      label: `Column ${k + 1}`,
      stroke: PLOT_COLOURS[k % PLOT_COLOURS.length],
      width: 1,
      value: (u, value, s, line) => (line === null ? whole : value === null ? "none" : count(value)),
    });
  }
  const text = `The values of the first ${plural(lines.length, "data line", "data lines")}, ` +
    `${plural(columns, "column", "columns")}.`;
  caption.textContent = text;
  target.setAttribute("aria-label", text);
  const width = Math.max(200, Math.min(900, target.clientWidth || 800));
  const axes = [{ label: "Data line" }, { size: 70 }];
  // eslint-disable-next-line no-undef -- uPlot comes with the page
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
