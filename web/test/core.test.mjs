// The conversion core as the page runs it (the WebAssembly module through web/core.js): every
// log gives the native tool's value file byte for byte, on every kernel set the module holds,
// given whole and in odd blocks, and its shape is the one its lines have; and the page's reading
// of a log in blocks (web/blocks.js).
import assert from "node:assert/strict";
import { readFileSync, readdirSync } from "node:fs";
import { join } from "node:path";
import { test } from "node:test";

import { blockReader } from "../blocks.js";
import { loadCore } from "../core.js";
import {
  modulePath, nativeValues, nativeValuesOfFile, numericLog, randomSource, referenceLines, referenceShape, root,
} from "./support.mjs";

const core = await loadCore(readFileSync(modulePath));
const kernelSets = core.kernelSets();
// Slice sizes, cycled: odd ones cut lines, fields and numbers everywhere; the large one takes
// several of the module's blocks at once.
const SLICES = [[Infinity], [7], [1, 13, 4093], [3 * 1024 * 1024 + 5]];

function convert(log, kernelSet, slices) {
  const parts = [];
  const keep = (bytes) => parts.push(Buffer.from(bytes));
  core.start(kernelSet);
  for (let at = 0, i = 0; at < log.length; i++) {
    const size = Math.min(slices[i % slices.length], log.length - at);
    // The page reads into its own buffers: so does this, never handing the log itself over.
    if (!core.feed(Uint8Array.from(log.subarray(at, at + size)), keep)) break;
    at += size;
  }
  core.finish(keep);
  return { values: Buffer.concat(parts), shape: core.shape() };
}

function expectNativeBytes(name, log, expected = nativeValues(log)) {
  for (const kernelSet of kernelSets) {
    for (const slices of SLICES) {
      const { values } = convert(log, kernelSet, slices);
      assert.ok(values.equals(expected),
        `${name}: ${kernelSet}, slices ${slices.join(",")}: ${values.length} bytes, the tool ${expected.length}`);
    }
  }
}

const bytesOf = (text) =>
  Buffer.from(text.replaceAll("·", " ").replaceAll("⏎", "\n").replaceAll("<CR>", "\r"), "latin1");

test("the module holds the portable kernels and the plain way", () => {
  assert.ok(kernelSets.includes("portable"));
  assert.equal(kernelSets.at(-1), "plain");
});

test("every byte in every place of a data line", () => {
  // As the native byte sweep: the probe amid ordinary lines the fast way takes.
  const places = [
    ["A", "B·5·6⏎"], ["", "·5·6⏎"], ["··", "·7·8⏎"], ["A·5·", "·6⏎"], ["A·", "5·6⏎"],
    ["A·-", "5·6⏎"], ["A··+", "5⏎"], ["A·1", "2·3⏎"], ["A·12", "·3⏎"], ["A·-00", "7·1⏎"],
    ["A·1234567", "89·1⏎"], ["A·5·6", "⏎"], ["A·5·6", "<CR>⏎"], ["A·5··", "⏎"],
    ["A·5<CR>", "6·7⏎"],
  ];
  const ordinary = ["17····12···-345··6789<CR>⏎", "18·1·-2·3·+4⏎", "19········0·····32767····-32768<CR>⏎"];
  for (const [before, after] of places) {
    const parts = [bytesOf("HEADER·1·2<CR>⏎")];
    const alone = [];
    for (let b = 0; b < 256; b++) {
      const probe = Buffer.concat([bytesOf(before), Buffer.from([b]), bytesOf(after)]);
      // Ctrl-Z ends the input and a "+" first in a line ends the data: their own logs.
      if (b === 0x1a || (b === 0x2b && before === "")) {
        alone.push(Buffer.concat([bytesOf("H⏎" + ordinary[0]), probe, bytesOf(ordinary[1])]));
        continue;
      }
      parts.push(bytesOf(ordinary[b % 3]), probe);
    }
    parts.push(bytesOf("+<CR>⏎1·2⏎"));
    expectNativeBytes(`probe ${before}?${after}`, Buffer.concat(parts));
    for (const log of alone) expectNativeBytes(`probe ${before}?${after} alone`, log);
  }
});

test("table cases", () => {
  const cases = [
    "", "H", "H⏎", "RUN·7⏎+⏎", "RUN·7⏎··1··10··-20⏎··2··11··300⏎+⏎", "+H⏎A·1⏎+·END⏎A·2⏎",
    "H⏎·+5·6⏎+⏎", "H⏎⏎A·1⏎⏎+⏎", "H<CR>⏎··1··10<CR>⏎+<CR>⏎", "H⏎··1··2<CR>3⏎<CR>",
    "H⏎A·1\x1a·2⏎", "H⏎A·1⏎+\x1a", "H⏎···10···200····-3⏎A·1·2·⏎A\t1·2⏎A·+-5·--5·-⏎A·\t7·-\t5⏎",
    "H⏎A·3.9·1e3·32768·99999999999·1⏎X·40000·-32768·32767⏎A·1·2·3·4·5·6·7·8·9⏎", "H⏎A·12",
    "H⏎A·" + "9".repeat(70000) + "·1⏎", "H⏎A" + " 1".repeat(100000) + "⏎+⏎",
  ];
  for (const text of cases) expectNativeBytes(JSON.stringify(text.slice(0, 40)), bytesOf(text));
});

test("the examples and the fixtures of the other tests", () => {
  const files = [join(root, "examples/QDEMOX.LOG")];
  for (const dir of ["tests/e2e", "tests/fuzz/corpus"]) {
    for (const name of readdirSync(join(root, dir))) {
      if (dir === "tests/e2e" && !name.endsWith(".log")) continue;
      files.push(join(root, dir, name));
    }
  }
  for (const file of files) expectNativeBytes(file, readFileSync(file), nativeValuesOfFile(file));
  const sample = convert(readFileSync(files[0]), undefined, [Infinity]);
  assert.ok(sample.values.equals(readFileSync(join(root, "examples/QDEMOX.MX"))));
});

test("random logs", () => {
  const random = randomSource(20261209);
  const parts = [" ", "  ", "    ", "\n", "\r\n", "\r", "1", "23", "-", "+", "7", "-4", "\t", "A",
    ".", "9", "0", "\v", "e", "65536", "40000", "99999999999", "\n+", "\n+ END\n", "\0", "\xff",
    "5", "12", "-32769", "\f", "-00", "+007", "\x1a"];
  for (let round = 0; round < 150; round++) {
    let text = random.below(10) < 9 ? "HEADER 1 2\r\n" : "";
    for (let n = random.below(3000); n > 0; n--) {
      const part = parts[random.below(parts.length)];
      if (part !== "\x1a" || random.below(20) === 0) text += part;
    }
    expectNativeBytes(`random log ${round}`, Buffer.from(text, "latin1"));
  }
  for (const columns of [1, 9, 300]) {
    expectNativeBytes(`numeric log, ${columns} columns`, numericLog(600_000, columns, { seed: columns }));
  }
});

// The shape as the module tells it, against the one worked out from the log's text; the first
// lines for the plot are the log's first lines.
function expectReferenceShape(name, log, cuts = SLICES) {
  const want = referenceShape(log);
  const lines = referenceLines(log);
  for (const kernelSet of kernelSets) {
    for (const slices of cuts) {
      const { firstLines, ...shape } = convert(log, kernelSet, slices).shape;
      const where = `${name}: ${kernelSet}, slices ${slices.join(",")}`;
      assert.deepEqual(shape, want, where);
      assert.deepEqual(firstLines, lines.slice(0, firstLines.length), where);
    }
  }
}

// A log of lines of `perLine` values whose value file holds exactly `values` values: a shorter
// last line makes up the rest.
function logOfValues(values, perLine, random) {
  const lines = ["VALUES\r\n"];
  for (let n = 0, left = values; left > 0; n++, left -= perLine) {
    let line = String(n);
    for (let k = 0; k < Math.min(perLine, left); k++) line += ` ${random.below(65536) - 32768}`;
    lines.push(`${line}\r\n`);
  }
  lines.push("+\r\n");
  return Buffer.from(lines.join(""), "latin1");
}

test("the shape: value files that end on either side of the writer's pieces", () => {
  const random = randomSource(64);
  // The writer's piece, as the module was built with it.
  const pieceValues = core.wasm.mirtak_writer_piece_size() / 2;
  // Whole, in odd slices, and in slices the size of the writer's pieces, one byte off.
  const cuts = [[Infinity], [1, 13, 4093], [2 * pieceValues - 1, 2 * pieceValues + 1]];
  for (let pieces = 0; pieces <= 3; pieces++) {
    for (const off of [-3, -2, -1, 0, 1, 2, 3]) {
      const values = pieces * pieceValues + off;
      if (values < 0) continue;
      const perLine = [4, 9, 5][(off + 3) % 3];
      expectReferenceShape(`${values} values, ${perLine} a line`, logOfValues(values, perLine, random), cuts);
    }
  }
});

test("the shape: lines, values per line, the lines that differ, column ranges", () => {
  const log = numericLog(50_000, 4, { trailingSpaceLine: 17 });
  expectReferenceShape("a trailing space on data line 17", log);
  const { shape } = convert(log, undefined, [Infinity]);
  // Data line 17 is the log's line 18, after the header; its fifth value is the space's 0.
  assert.deepEqual(shape.oddLines, [{ line: 18, values: 5 }]);
  assert.deepEqual(shape.columns[4], { smallest: 0, largest: 0 });
  for (const columns of [255, 256, 257, 300]) {
    expectReferenceShape(`${columns} columns`, numericLog(200_000, columns, { seed: columns }));
  }
  const random = randomSource(99);
  for (let round = 0; round < 20; round++) {
    // Ragged: lines of 0 to 12 values, now and then a trailing space, an empty line, a tab.
    let text = "H\n";
    for (let n = random.below(4000); n > 0; n--) {
      let line = `L${n}`;
      for (let k = random.below(13); k > 0; k--) line += [" ", "  ", " \t"][random.below(3)] + String(random.below(99999) - 40000);
      text += line + (random.below(30) === 0 ? " " : "") + (random.below(2) ? "\n" : "\r\n");
    }
    expectReferenceShape(`ragged log ${round}`, Buffer.from(text, "latin1"));
  }
  const small = convert(bytesOf("H⏎A·1·2⏎B·3⏎⏎C·-4·5⏎"), undefined, [3]).shape;
  assert.deepEqual(small.columns, [{ smallest: -4, largest: 3 }, { smallest: 2, largest: 5 }]);
  assert.deepEqual(small.oddLines, [{ line: 3, values: 1 }, { line: 4, values: 0 }]);
  assert.deepEqual(small.firstLines, [[1, 2], [3], [], [-4, 5]]);
});

test("a control byte that no text holds, among the first bytes of the log's data", () => {
  // Every byte value in one place: only these mark a file as no text.
  const controls = new Set([...Array(32).keys()].filter((b) => ![9, 10, 11, 12, 13, 26].includes(b)));
  controls.add(0x7f);
  for (let byte = 0; byte < 256; byte++) {
    const log = Buffer.concat([bytesOf("HEAD⏎A·1·"), Buffer.from([byte]), bytesOf("2⏎B·3⏎")]);
    for (const slices of [[Infinity], [1], [9, 2]]) {
      convert(log, undefined, slices);
      const want = controls.has(byte) ? { at: 9, byte } : null;
      assert.deepEqual(core.foreignByte(), want, `byte ${byte}, slices ${slices}`);
    }
  }
  const cases = [
    ["the first of two", Buffer.from("H\n\x03 1 \0 2\n"), { at: 2, byte: 3 }],
    ["the very first byte", Buffer.from("\0H\n1 2\n"), { at: 0, byte: 0 }],
    ["after a Ctrl-Z: not the log's", Buffer.from("H\n1 2\x1a\0\0"), null],
    ["past the first MiB", Buffer.concat([Buffer.alloc(1024 * 1024, "\n"), Buffer.from("\0")]), null],
    ["just before it", Buffer.concat([Buffer.alloc(1024 * 1024 - 1, "\n"), Buffer.from("\x1b")]),
      { at: 1024 * 1024 - 1, byte: 0x1b }],
  ];
  for (const [name, log, want] of cases) {
    for (const kernelSet of kernelSets) {
      for (const slices of [[Infinity], [4093], [1024 * 1024 - 1, 7]]) {
        convert(log, kernelSet, slices);
        assert.deepEqual(core.foreignByte(), want, `${name}: ${kernelSet}, slices ${slices}`);
      }
    }
  }
});

test("where the data ends: the terminator line's +, a Ctrl-Z, or the end of the log", () => {
  const big = numericLog(3 * 1024 * 1024, 6, { seed: 5 });
  const cases = [
    ["a terminator line", Buffer.from("H\n1 2\n+ END\n3 4\n"), 6],
    ["CR LF line ends", Buffer.from("H\r\n1 2\r\n+\r\n"), 8],
    ["a header that begins with +", Buffer.from("+H\n1\n +2\n+\n"), 9],
    ["a Ctrl-Z in a data line", Buffer.from("H\n1 2\x1a3\n+\n"), 5],
    ["a Ctrl-Z in the header", Buffer.from("H\x1a\n1 2\n"), 1],
    ["no terminator", Buffer.from("H\n1 2\n3"), 7],
    ["an empty log", Buffer.alloc(0), 0],
    ["past the module's blocks", Buffer.concat([big, Buffer.from("5 6\n")]), big.lastIndexOf("+ END")],
  ];
  for (const [name, log, end] of cases) {
    for (const kernelSet of kernelSets) {
      for (const slices of [[Infinity], [1], [7, 4093], [1024 * 1024 - 1]]) {
        if (slices[0] === 1 && log.length > 100) continue;
        convert(log, kernelSet, slices);
        assert.equal(core.dataEnd(), end, `${name}: ${kernelSet}, slices ${slices}`);
      }
    }
  }
  // A control byte after the data's end is not the log's.
  for (const [log, want] of [[Buffer.from("H\n1 2\n+\n\0\0"), null], [Buffer.from("H\n1 2\0\n+\n"), { at: 5, byte: 0 }]]) {
    for (const kernelSet of kernelSets) {
      convert(log, kernelSet, [Infinity]);
      assert.deepEqual(core.foreignByte(), want, kernelSet);
    }
  }
});

test("numbers from outside the tables are refused, not read past", async () => {
  const fresh = await loadCore(readFileSync(modulePath));
  // Before any start: the shape of an empty log.
  assert.deepEqual(fresh.shape(), {
    dataLines: 0, values: 0, valuesPerLine: 0, linesWithOtherCounts: 0, oddLines: [], columns: [],
    columnsLeftOut: 0, firstLines: [],
  });
  for (const index of [-1, kernelSets.length, 1 << 20]) {
    assert.equal(fresh.string(fresh.wasm.mirtak_kernel_set_name(index)), "", `set ${index}`);
  }
  fresh.wasm.mirtak_start(1 << 20);  // the best set
  fresh.feed(bytesOf("H⏎A·-7·9⏎"), () => {});
  fresh.finish(() => {});
  for (const column of [2, 255, 256, 1 << 20]) {
    assert.deepEqual([fresh.wasm.mirtak_smallest(column), fresh.wasm.mirtak_largest(column)], [0, 0]);
  }
  assert.deepEqual(fresh.shape().columns, [{ smallest: -7, largest: -7 }, { smallest: 9, largest: 9 }]);
});

test("logs read a block at a time, from byte streams and from others, in parts of any size", async () => {
  const random = randomSource(42);
  const log = Uint8Array.from({ length: 100_000 }, () => random.below(256));
  // A stream that gives the log in parts of the given sizes, cycled: as a byte stream (read
  // into the reader's buffer) or as one of chunks.
  const streamOf = (bytes, sizes, kind) => {
    let at = 0;
    let i = 0;
    const next = () => Math.min(sizes[i++ % sizes.length], bytes.length - at);
    if (kind === "chunks") {
      return new ReadableStream({
        pull(controller) {
          if (at === bytes.length) return controller.close();
          const size = next();
          controller.enqueue(bytes.slice(at, at + size));
          at += size;
        },
      });
    }
    return new ReadableStream({
      type: "bytes",
      pull(controller) {
        if (at === bytes.length) {
          controller.close();
          return controller.byobRequest?.respond(0);
        }
        const view = controller.byobRequest.view;
        const size = Math.min(next(), view.byteLength);
        view.set(bytes.subarray(at, at + size));
        at += size;
        controller.byobRequest.respond(size);
      },
    });
  };
  for (const kind of ["bytes", "chunks"]) {
    for (const sizes of [[1], [7, 4093], [65536], [100_000], [30_000, 1, 2]]) {
      for (const blockSize of [4096, 10_000, 1 << 20]) {
        const blocks = blockReader(streamOf(log, sizes, kind));
        let buffer = new ArrayBuffer(blockSize);
        const read = [];
        for (;;) {
          let filled;
          ({ buffer, filled } = await blocks.fill(buffer));
          if (filled === 0) break;
          read.push(new Uint8Array(buffer, 0, filled).slice());
        }
        const name = `${kind}, parts ${sizes.join(",")}, blocks of ${blockSize}`;
        assert.ok(Buffer.concat(read).equals(log), name);
        // Every block but the last is whole.
        assert.ok(read.slice(0, -1).every((block) => block.length === blockSize), name);
      }
    }
  }
});
