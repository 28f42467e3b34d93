// The page's converter, in a worker of its own. It reads each log itself, a block at a time
// into one buffer it keeps (web/blocks.js), and converts each block as it comes: the log's
// bytes never pass through the page's thread and no message is sent per block, so that on a
// machine of two cores the converter has one to itself while the browser reads the file on the
// other. The page stays answering. One log at a time:
//   page → worker  {convert: File}   or {cancel} at any time
//   worker → page  {took: bytes} as the log is converted (its data may end before the file),
//                  {values: ArrayBuffer, size} for each next part of the value file (its
//                  first `size` bytes); then {done: {read, dataEnd, foreignByte, shape,
//                  coreSeconds}} (the bytes read; web/core.js says what the others are),
//                  {failed: why} (why: "changed" if the file changed after it was chosen,
//                  "noSuchFile" if it is gone or nothing of it could be read, "cannotRead" if
//                  the rest could not, "cannotWrite" if its values could not be handed on) or
//                  {cancelled}
import { blockReader } from "./blocks.js";
import { loadCore } from "./core.js";

// The module's bytes; the page build (web/build.mjs) puts them here.
const MODULE_BASE64 = "@MODULE_BASE64@";
// Value bytes are gathered into parts of this size before they go to the page.
const PART_SIZE = 8 * 1024 * 1024;
// How often the page hears how far the conversion is, and the converter whether it is cancelled.
const TELL_EVERY = 4 * 1024 * 1024;

// Gathers the value file's bytes into parts and hands each whole part over to the page, which
// keeps the file (a part's buffer changes hands; its bytes are not copied).
class OutgoingParts {
  constructor() {
    this.part = new Uint8Array(PART_SIZE);
    this.used = 0;
  }

  add(bytes) {
    for (let at = 0; at < bytes.length; ) {
      const room = Math.min(PART_SIZE - this.used, bytes.length - at);
      this.part.set(bytes.subarray(at, at + room), this.used);
      this.used += room;
      at += room;
      if (this.used === PART_SIZE) this.handOver();
    }
  }

  handOver() {
    if (this.used === 0) return;
    self.postMessage({ values: this.part.buffer, size: this.used }, [this.part.buffer]);
    this.part = new Uint8Array(PART_SIZE);
    this.used = 0;
  }
}

// Lets the worker's tasks run, a cancel among them: a read of a block that has already come
// resolves without one, so without this a log would be read to its end before a cancel is heard.
const tasks = new MessageChannel();
let resume = () => {};
tasks.port1.onmessage = () => resume();
const otherTasks = () => new Promise((resolve) => {
  resume = resolve;
  tasks.port2.postMessage(null);
});

const corePromise = loadCore(Uint8Array.from(atob(MODULE_BASE64), (c) => c.charCodeAt(0)));
// The conversion under way, if any: cancelling it ends the read it waits for, if any, and it
// stops before its next block once it has heard.
let current = null;
// Logs are converted strictly one after the other, each once the module is ready.
let turn = Promise.resolve();

self.onmessage = ({ data }) => {
  if (data.cancel) {
    if (current !== null) {
      current.cancelled = true;
      current.blocks?.cancel();
    }
    return;
  }
  turn = turn.then(async () => {
    let core;
    try {
      core = await corePromise;
    } catch {
      // A browser without WebAssembly SIMD: every log is told so, none waits for ever.
      self.postMessage({ failed: "noConverter" });
      return;
    }
    const conversion = { cancelled: false, blocks: null };
    current = conversion;
    self.postMessage(await convert(core, data.convert, conversion));
    current = null;
  });
};

// Why a file could not be read: a stream says only "network error", but reading a byte of the
// file tells a file that changed since it was chosen (NotReadableError) from one that is gone.
async function readFailure(file, read) {
  try {
    await file.slice(0, 1).arrayBuffer();
  } catch (error) {
    if (error.name === "NotReadableError") return "changed";
    if (error.name === "NotFoundError") return "noSuchFile";
  }
  return read === 0 ? "noSuchFile" : "cannotRead";
}

async function convert(core, file, conversion) {
  let blocks;
  try {
    blocks = blockReader(file.stream());
  } catch {
    return { failed: await readFailure(file, 0) };
  }
  conversion.blocks = blocks;
  const values = new OutgoingParts();
  const add = (bytes) => values.add(bytes);
  let buffer = new ArrayBuffer(core.blockSize);
  let read = 0;
  let told = 0;
  let seconds = 0;
  core.start();
  for (;;) {
    let filled;
    try {
      ({ buffer, filled } = await blocks.fill(buffer));
    } catch {
      return { failed: await readFailure(file, read) };
    }
    if (conversion.cancelled) return { cancelled: true };
    if (filled === 0) break;
    read += filled;
    const started = performance.now();
    let more;
    try {
      core.bytes().set(new Uint8Array(buffer, 0, filled), core.blockAddress());
      more = core.feedBlock(filled, add);
    } catch {
      blocks.cancel();
      return { failed: "cannotWrite" };
    }
    seconds += (performance.now() - started) / 1000;
    if (read - told >= TELL_EVERY) {
      self.postMessage({ took: read });
      told = read;
      await otherTasks();
    }
    if (!more) {
      // The log's data has ended: the rest is never looked at.
      blocks.cancel();
      break;
    }
  }
  const started = performance.now();
  try {
    core.finish(add);
  } catch {
    return { failed: "cannotWrite" };
  }
  seconds += (performance.now() - started) / 1000;
  values.handOver();
  return {
    done: { read, dataEnd: core.dataEnd(), foreignByte: core.foreignByte(), shape: core.shape(), coreSeconds: seconds },
  };
}
