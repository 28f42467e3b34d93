// A log read a block at a time into one buffer that is kept, for the converter (web/worker.js).
// Where the file's stream is a byte stream, a BYOB reader reads straight into the buffer; where
// it is not (browsers differ), its chunks are copied in. Either way every block but the last is
// full, whatever the sizes of the parts the browser's stream gives.

// A reader of blocks for the stream: fill(buffer) puts the next block in the buffer and returns
// the buffer (possibly a new object: a BYOB read hands it back so) and how much of it holds the
// log, 0 at the end; cancel() stops the reading and ends a fill under way.
export function blockReader(stream) {
  let reader;
  try {
    reader = stream.getReader({ mode: "byob" });
  } catch {
    return chunkReader(stream.getReader());
  }
  return {
    cancel: () => reader.cancel().catch(() => {}),
    async fill(buffer) {
      let filled = 0;
      while (filled < buffer.byteLength) {
        const { value, done } = await reader.read(new Uint8Array(buffer, filled, buffer.byteLength - filled));
        if (value !== undefined) buffer = value.buffer;
        if (done) break;
        filled += value.byteLength;
      }
      return { buffer, filled };
    },
  };
}

function chunkReader(reader) {
  let rest = new Uint8Array(0);  // of the last chunk read, not in a block yet
  let ended = false;
  return {
    cancel: () => reader.cancel().catch(() => {}),
    async fill(buffer) {
      const block = new Uint8Array(buffer);
      let filled = 0;
      while (filled < block.length) {
        if (rest.length === 0) {
          if (ended) break;
          const { value, done } = await reader.read();
          if (done) {
            ended = true;
            break;
          }
          rest = value;
        }
        const size = Math.min(rest.length, block.length - filled);
        block.set(rest.subarray(0, size), filled);
        rest = rest.subarray(size);
        filled += size;
      }
      return { buffer, filled };
    },
  };
}
