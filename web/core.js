// The conversion core (the WebAssembly module built from web/mirtak_wasm.cc) as JavaScript
// calls it: a log given in slices of any size, the value file's bytes handed back as they come,
// and the shape of the values at the end. The same file serves the page and the tests (node).

// Compiles the module from its bytes. It imports nothing it calls; should a build ever import
// a system function, it gets one that reports failure (ENOSYS) instead of doing anything.
export async function loadCore(moduleBytes) {
  const module = await WebAssembly.compile(moduleBytes);
  const imports = {};
  for (const { module: from, name, kind } of WebAssembly.Module.imports(module)) {
    if (kind === "function") (imports[from] ??= {})[name] = () => 52;
  }
  const instance = await WebAssembly.instantiate(module, imports);
  instance.exports._initialize?.();
  return new Core(instance.exports);
}

export class Core {
  constructor(exports) {
    this.wasm = exports;
    this.blockSize = exports.mirtak_block_size();
    this.ended = false;
  }

  bytes() {
    return new Uint8Array(this.wasm.memory.buffer);
  }

  string(address) {
    const bytes = this.bytes();
    let end = address;
    while (bytes[end] !== 0) end++;
    return new TextDecoder().decode(bytes.subarray(address, end));
  }

  // The kernel sets this module holds, fastest first; the last is the plain way.
  kernelSets() {
    const names = [];
    for (let i = 0; i < this.wasm.mirtak_kernel_sets(); i++) {
      names.push(this.string(this.wasm.mirtak_kernel_set_name(i)));
    }
    return names;
  }

  // A new conversion, on the named kernel set or on the best one.
  start(kernelSet) {
    const index = kernelSet === undefined ? -1 : this.kernelSets().indexOf(kernelSet);
    if (index < 0 && kernelSet !== undefined) throw new Error(`no kernel set ${kernelSet}`);
    this.wasm.mirtak_start(index);
    this.ended = false;
  }

  // Converts the next slice of the log (a Uint8Array); each block's values go to onValues as a
  // Uint8Array that stays valid only until the next call into the core. Returns false once the
  // log's data has ended: the rest of the log need not be read.
  feed(slice, onValues) {
    for (let at = 0; at < slice.length && !this.ended; at += this.blockSize) {
      const block = slice.subarray(at, at + this.blockSize);
      this.bytes().set(block, this.wasm.mirtak_block());
      const status = this.wasm.mirtak_feed(block.length);
      if (status < 0) throw new Error("values lost");
      this.handOn(onValues);
      if (status === 0) this.ended = true;
    }
    return !this.ended;
  }

  // Converts `size` bytes already put at the module's block (blockAddress(), blockSize long):
  // for readers that fill it in place.
  blockAddress() {
    return this.wasm.mirtak_block();
  }
  feedBlock(size, onValues) {
    if (this.ended) return false;
    const status = this.wasm.mirtak_feed(size);
    if (status < 0) throw new Error("values lost");
    this.handOn(onValues);
    if (status === 0) this.ended = true;
    return !this.ended;
  }

  // The end of the log; the last values go to onValues.
  finish(onValues) {
    if (this.wasm.mirtak_finish() < 0) throw new Error("values lost");
    this.ended = true;
    this.handOn(onValues);
  }

  handOn(onValues) {
    const size = this.wasm.mirtak_values_size();
    if (size !== 0) onValues(this.bytes().subarray(this.wasm.mirtak_values(), this.wasm.mirtak_values() + size));
  }

  // How many bytes of the log came before its data ended (its terminator line's "+" or a
  // Ctrl-Z), or all of it when the data ran to its end.
  dataEnd() {
    return this.wasm.mirtak_data_end();
  }

  // The first control byte among the first bytes of the log's data that no text holds (the rule
  // is the module's, web/text_look.h): {at, byte}, at counted from 0; null if there is none.
  foreignByte() {
    const at = this.wasm.mirtak_foreign_byte_at();
    return at < 0 ? null : { at, byte: this.wasm.mirtak_foreign_byte() };
  }

  // What the values look like, as far as the log has been converted.
  shape() {
    const w = this.wasm;
    const other = w.mirtak_first_other_lines();
    const buffer = w.memory.buffer;
    const pairs = new BigUint64Array(buffer, w.mirtak_first_other_line_list(), 2 * other);
    const oddLines = [];
    for (let i = 0; i < other; i++) oddLines.push({ line: Number(pairs[2 * i]), values: Number(pairs[2 * i + 1]) });
    const columns = [];
    for (let k = 0; k < w.mirtak_columns(); k++) {
      columns.push({ smallest: w.mirtak_smallest(k), largest: w.mirtak_largest(k) });
    }
    const firstValues = new Int16Array(buffer, w.mirtak_first_values(), w.mirtak_first_values_kept());
    const firstEnds = new Uint32Array(buffer, w.mirtak_first_line_ends(), w.mirtak_first_lines_kept());
    const firstLines = [];
    let start = 0;
    for (const end of firstEnds) {
      firstLines.push(Array.from(firstValues.subarray(start, end)));
      start = end;
    }
    return {
      dataLines: w.mirtak_data_lines(),
      values: w.mirtak_value_count(),
      valuesPerLine: w.mirtak_values_per_line(),
      linesWithOtherCounts: w.mirtak_other_lines(),
      oddLines,
      columns,
      columnsLeftOut: w.mirtak_columns_left_out(),
      firstLines,
    };
  }
}
