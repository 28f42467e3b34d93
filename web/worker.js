// The page's converter, in a worker of its own, so that the page reads the next pieces of a
// log while this converts the last ones, and stays answering. One log at a time:
//   page → worker  {start}  {piece: Uint8Array}…  {end}   or {cancel} at any time
//   worker → page  {took: bytes} after each piece; {ended} once the log's data has ended (the
//                  rest need not be read); {done: {values: Blob, shape, coreSeconds}} or
//                  {failed} after {end}
// The value file's bytes are gathered here, in pieces of a Blob, and handed over whole.
import { loadCore } from "./core.js";

// The module's bytes; the page build (web/build.mjs) puts them here.
const MODULE_BASE64 = "@MODULE_BASE64@";
// Value bytes are gathered into pieces of this size before they become part of the file.
const PIECE_SIZE = 8 * 1024 * 1024;

// Gathers the value file's bytes in pieces; the file is the pieces in order.
class ValueFile {
  constructor() {
    this.pieces = [];
    this.piece = new Uint8Array(PIECE_SIZE);
    this.used = 0;
  }

  add(bytes) {
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

const corePromise = loadCore(Uint8Array.from(atob(MODULE_BASE64), (c) => c.charCodeAt(0)));
let conversion = null;

// Messages are handled strictly in order, each after the module is ready.
let turn = Promise.resolve();
self.onmessage = ({ data }) => {
  turn = turn.then(async () => handle(await corePromise, data));
};

function handle(core, message) {
  if (message.start) {
    conversion = { values: new ValueFile(), seconds: 0, failed: false };
    core.start();
  } else if (message.cancel) {
    conversion = null;
  } else if (conversion === null) {
    // Pieces of a cancelled log still on their way.
  } else if (message.piece) {
    const started = performance.now();
    try {
      if (!core.ended && !core.feed(message.piece, (bytes) => conversion.values.add(bytes))) {
        self.postMessage({ ended: true });
      }
    } catch {
      conversion.failed = true;
    }
    conversion.seconds += (performance.now() - started) / 1000;
    self.postMessage({ took: message.piece.length });
  } else if (message.end) {
    try {
      core.finish((bytes) => conversion.values.add(bytes));
    } catch {
      conversion.failed = true;
    }
    if (conversion.failed) {
      self.postMessage({ failed: true });
    } else {
      const { values, seconds } = conversion;
      self.postMessage({ done: { values: values.blob(), shape: core.shape(), coreSeconds: seconds } });
    }
    conversion = null;
  }
}
