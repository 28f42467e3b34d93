"""Runs mirtak-shape, through an emulator where one is given, and checks what it prints.

  cases      table cases: the exact text for people and every key of --json for a few logs, the
             exit status and message on standard error for a log missing (alone and among
             others, the JSON staying valid), for no log named and for a log that cannot be
             read; and that no file is written.
  reference  every figure of --json, and of the text for people, against the shape worked out
             from the reading rules (shape_reference.py) on logs as instruments write them,
             ragged and wide logs, and logs whose values end on either side of 64 KiB pieces.
"""

import argparse
import json
import os
import re
import subprocess
import sys
import tempfile

import shape_reference

KEYS = ["log", "data_lines", "values", "values_per_line", "other_lines", "first_other_lines",
        "columns", "columns_left_out"]
USAGE = "Wrong input!\n\tInput: mirtak-shape [--json] LogFileName...\n"


class Tool:
    """mirtak-shape run in a folder, through the emulator if any."""

    def __init__(self, path, emulator):
        self.command = [word for word in emulator.split("|") if word] + [path]
        # Windows writes its own line ends; names given to it are taken as UTF-8.
        self.windows = path.lower().endswith(".exe")
        self.env = dict(os.environ, LC_ALL="C.UTF-8", WINEDEBUG="-all")

    def run(self, args, folder):
        done = subprocess.run(self.command + args, cwd=folder, capture_output=True, env=self.env,
                              check=False, timeout=600)
        return done.returncode, self.text(done.stdout, "stdout"), self.text(done.stderr, "stderr")

    def text(self, output, stream):
        text = output.decode("utf-8")
        if self.windows:
            if re.search("(?<!\r)\n", text):
                raise SystemExit(f"{stream}: a line end without CR on Windows: {text!r}")
            text = text.replace("\r\n", "\n")
        return text


def write(folder, name, data):
    if isinstance(name, bytes):
        folder = os.fsencode(folder)
    with open(os.path.join(folder, name), "wb") as f:
        f.write(data)


def files_of(folder):
    """Every file of the folder and its bytes."""
    found = {}
    for parent, _, names in os.walk(folder):
        for name in names:
            path = os.path.join(parent, name)
            with open(path, "rb") as f:
                found[os.path.relpath(path, folder)] = f.read()
    return found


def number(text):
    """A number as the text for people shows it, grouped by thousands."""
    return int(text.replace(",", ""))


def text_figures(report):
    """The figures of the text for people, log by log: {name: figures}."""
    logs = {}
    for block in report.split("\n\n"):
        lines = block.strip("\n").split("\n")
        head = re.fullmatch(r"(.*): ([\d,]+) data lines?, ([\d,]+) values?", lines[0])
        if head is None:
            raise SystemExit(f"not a report's first line: {lines[0]!r}")
        f = {"data_lines": number(head[2]), "values": number(head[3]), "values_per_line": 0,
             "other_lines": 0, "first_other_lines": [], "columns": [], "columns_left_out": 0}
        for line in lines[1:]:
            if m := re.fullmatch(r"  values per line: ([\d,]+), on every line", line):
                f["values_per_line"] = number(m[1])
            elif m := re.fullmatch(r"  values per line: ([\d,]+), on ([\d,]+) of ([\d,]+) lines", line):
                f["values_per_line"] = number(m[1])
                if number(m[3]) != f["data_lines"]:
                    raise SystemExit(f"{lines[0]}: {line!r} names another number of lines")
                on_most = number(m[2])
            elif m := re.fullmatch(r"  lines with another count: ([\d,]+) \(a space at a line's "
                                   r"end gives one more value, 0\)", line):
                f["other_lines"] = number(m[1])
                if on_most != f["data_lines"] - f["other_lines"]:
                    raise SystemExit(f"{lines[0]}: the lines on most and the others do not add up")
            elif m := re.fullmatch(r"    line ([\d,]+): ([\d,]+) values?", line):
                f["first_other_lines"].append([number(m[1]), number(m[2])])
            elif m := re.fullmatch(r"    and ([\d,]+) more lines?", line):
                if len(f["first_other_lines"]) + number(m[1]) != f["other_lines"]:
                    raise SystemExit(f"{lines[0]}: {line!r} does not add up")
            elif line == "  column   smallest    largest":
                pass
            elif m := re.fullmatch(r" {2,}(\d+) +(-?\d+) +(-?\d+)", line):
                if len(line) != 30 or number(m[1]) != len(f["columns"]) + 1:
                    raise SystemExit(f"{lines[0]}: column row {line!r} out of place")
                f["columns"].append([int(m[2]), int(m[3])])
            elif m := re.fullmatch(r"  columns ([\d,]+)-([\d,]+) not shown", line):
                if number(m[1]) != len(f["columns"]) + 1:
                    raise SystemExit(f"{lines[0]}: {line!r} does not follow the columns shown")
                f["columns_left_out"] = number(m[2]) - number(m[1]) + 1
            else:
                raise SystemExit(f"{lines[0]}: a line of no known form: {line!r}")
        logs[head[1]] = f
    return logs


def compare(name, got, want, failures):
    for key, value in want.items():
        if got.get(key) != value:
            shown = json.dumps(got.get(key))
            failures.append(f"{name}: {key} is {shown[:300]}, expected {json.dumps(value)[:300]}")


def check_reference(tool, folder):
    made = shape_reference.logs()
    names = [name for name, _ in shape_reference.write_logs(folder, made)]
    failures = []
    status, out, err = tool.run(["--json", *names], folder)
    if status != 0 or err:
        raise SystemExit(f"--json: status {status}, standard error {err!r}")
    reports = json.loads(out)
    status, text, err = tool.run(names, folder)
    if status != 0 or err:
        raise SystemExit(f"text: status {status}, standard error {err!r}")
    shown = text_figures(text)
    if [r["log"] for r in reports] != names or list(shown) != names:
        raise SystemExit("the reports are not of the logs named, in their order")
    for name, (title, log), report in zip(names, made, reports):
        if list(report) != KEYS:
            failures.append(f"{title}: keys {list(report)}, expected {KEYS}")
        want = shape_reference.figures(log)
        compare(f"{title} ({name}), --json", report, want, failures)
        compare(f"{title} ({name}), text", shown[name], want, failures)
    if failures:
        raise SystemExit("figures that differ from the reference:\n  " + "\n  ".join(failures))
    sounds = sum(title.startswith("sound ") for title, _ in made)
    values = sum(r["values"] for r in reports)
    print(f"{len(made)} logs ({sounds} of recorded sound), {values} values: every figure as the "
          "reference's, in JSON and in text")


SAMPLE_TEXT = """\
QDEMOX.LOG: 24 data lines, 216 values
  values per line: 9, on every line
  column   smallest    largest
       1      -2997       2986
       2      -6500       6446
       3      -9998       9927
       4     -13480      32767
       5     -32768      16975
       6     -20350      20496
       7     -23801      23998
       8     -27374      27471
       9     -31397        136
"""

RAGGED_LOG = b"H\r\nA 1 2 \r\nB 3 -4\r\nC 5 6\r\n\r\nD 7\t8 9\r\n+\r\nE 1 2 3\r\n"
RAGGED_TEXT = """\
ragged.log: 5 data lines, 9 values
  values per line: 2, on 3 of 5 lines
  lines with another count: 2 (a space at a line's end gives one more value, 0)
    line 2: 3 values
    line 5: 0 values
  column   smallest    largest
       1          1          7
       2         -4          9
       3          0          0
"""


def many_odd_log():
    """12,000 lines of 2 values, every thousandth of 1: more other lines than are listed."""
    rows = [b"N 1" if n % 1000 == 999 else b"N 1 -70000" for n in range(12000)]
    return b"H\n" + b"\n".join(rows)  # and no terminator, no last newline


MANY_ODD_TEXT = """\
many.log: 12,000 data lines, 23,988 values
  values per line: 2, on 11,988 of 12,000 lines
  lines with another count: 12 (a space at a line's end gives one more value, 0)
    line 1,001: 1 value
    line 2,001: 1 value
    line 3,001: 1 value
    line 4,001: 1 value
    line 5,001: 1 value
    line 6,001: 1 value
    line 7,001: 1 value
    line 8,001: 1 value
    line 9,001: 1 value
    line 10,001: 1 value
    and 2 more lines
  column   smallest    largest
       1          1          1
       2      -4464      -4464
"""

WIDE_LOG = b"H\n" + b"".join(b"L" + b"".join(b" %d" % (k if n else -k) for k in range(1, 301))
                              + b"\n" for n in range(3)) + b"+\n"
WIDE_TEXT_END = """\
     255       -255        255
     256       -256        256
  columns 257-300 not shown
"""


def check_cases(tool, folder, sample):
    failures = []

    def expect(title, got, want):
        if got != want:
            failures.append(f"{title}:\n    got      {got!r}\n    expected {want!r}")

    with open(sample, "rb") as f:
        write(folder, "QDEMOX.LOG", f.read())
    write(folder, "ragged.log", RAGGED_LOG)
    write(folder, "many.log", many_odd_log())
    write(folder, "wide.log", WIDE_LOG)
    write(folder, "one.log", b"HEADER\nA 7\n")
    write(folder, "empty.log", b"")
    # Names with characters of other scripts; elsewhere than on Windows (whose names cannot hold
    # them) with a quote, a backslash and a tab, which JSON escapes, and a byte that is no UTF-8.
    odd_name = "журнал 日志.log" if tool.windows else 'журнал "日志"\\\t.log'
    write(folder, odd_name, b"H\n\"x\" 1\n")
    if not tool.windows:
        write(folder, b"caf\xe9.log", b"H\n")
    before = files_of(folder)

    # The text for people.
    expect("the sample", tool.run(["QDEMOX.LOG"], folder), (0, SAMPLE_TEXT, ""))
    expect("a ragged log", tool.run(["ragged.log"], folder), (0, RAGGED_TEXT, ""))
    expect("more other lines than are listed", tool.run(["many.log"], folder),
           (0, MANY_ODD_TEXT, ""))
    status, out, err = tool.run(["wide.log"], folder)
    expect("300 columns", (status, out.startswith("wide.log: 3 data lines, 900 values\n"),
                           out.endswith(WIDE_TEXT_END), err), (0, True, True, ""))
    expect("one line, one value, and an empty log",
           tool.run(["one.log", "empty.log"], folder),
           (0, "one.log: 1 data line, 1 value\n  values per line: 1, on every line\n"
               "  column   smallest    largest\n       1          7          7\n\n"
               "empty.log: 0 data lines, 0 values\n", ""))

    # JSON: every key, in order, of each log.
    status, out, err = tool.run(["--json", "one.log", "ragged.log", "empty.log", "wide.log",
                                 odd_name], folder)
    reports = json.loads(out)
    expect("JSON status and standard error", (status, err), (0, ""))
    expect("JSON keys", [list(r) for r in reports], [KEYS] * 5)
    expect("JSON of one line", reports[0], {
        "log": "one.log", "data_lines": 1, "values": 1, "values_per_line": 1, "other_lines": 0,
        "first_other_lines": [], "columns": [[7, 7]], "columns_left_out": 0})
    expect("JSON of a ragged log", reports[1], {
        "log": "ragged.log", "data_lines": 5, "values": 9, "values_per_line": 2,
        "other_lines": 2, "first_other_lines": [[2, 3], [5, 0]],
        "columns": [[1, 7], [-4, 9], [0, 0]], "columns_left_out": 0})
    expect("JSON of an empty log", reports[2], {
        "log": "empty.log", "data_lines": 0, "values": 0, "values_per_line": 0, "other_lines": 0,
        "first_other_lines": [], "columns": [], "columns_left_out": 0})
    expect("JSON of 300 columns", reports[3], {
        "log": "wide.log", "data_lines": 3, "values": 900, "values_per_line": 300,
        "other_lines": 0, "first_other_lines": [],
        "columns": [[-k, k] for k in range(1, 257)], "columns_left_out": 44})
    expect("JSON of a name to escape", reports[4]["log"] if len(reports) == 5 else None, odd_name)
    if not tool.windows:
        status, out, err = tool.run(["--json", b"caf\xe9.log"], folder)
        expect("JSON of a name that is no UTF-8", (status, [r["log"] for r in json.loads(out)], err),
               (0, ["caf\ufffd.log"], ""))
    expect("JSON with no log read", tool.run(["--json"], folder), (1, "", USAGE))
    expect("--json after the names, and a log named ./--json",
           tool.run(["one.log", "--json", "./--json"], folder)[0::2],
           (1, "No such file ./--json\n"))
    expect("--json after the names gives the same report",
           tool.run(["one.log", "empty.log", "--json"], folder),
           tool.run(["--json", "one.log", "empty.log"], folder))

    # Failures: the message on standard error, status 1, the other logs still reported.
    expect("a missing log", tool.run(["nope.log"], folder), (1, "", "No such file nope.log\n"))
    status, out, err = tool.run(["--json", "one.log", "nope.log", "empty.log", "gone.log"], folder)
    expect("missing logs among others, JSON",
           (status, [r["log"] for r in json.loads(out)], err),
           (1, ["one.log", "empty.log"], "No such file nope.log\nNo such file gone.log\n"))
    expect("only missing logs, JSON", tool.run(["--json", "nope.log"], folder),
           (1, "[]\n", "No such file nope.log\n"))
    status, out, err = tool.run(["nope.log", "one.log"], folder)
    expect("a missing log, then one read", (status, out.startswith("one.log: 1 data line"), err),
           (1, True, "No such file nope.log\n"))
    expect("no log named", tool.run([], folder), (1, "", USAGE))
    os.mkdir(os.path.join(folder, "adir"))
    expect("a folder", tool.run(["adir"], folder), (1, "", "No such file adir\n"))
    if os.path.exists("/proc/self/mem"):
        expect("a log that cannot be read", tool.run(["--json", "/proc/self/mem"], folder),
               (1, "[]\n", "Can not read /proc/self/mem file\n"))

    # Nothing was written: the folder holds what it held, byte for byte.
    os.rmdir(os.path.join(folder, "adir"))
    expect("the files after every run", files_of(folder) == before, True)
    if failures:
        raise SystemExit("mirtak-shape cases that failed:\n  " + "\n  ".join(failures))
    print("mirtak-shape: every case as expected")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--tool", required=True)
    parser.add_argument("--emulator", default="", help="its words separated by |")
    parser.add_argument("--sample", help="the sample log (cases)")
    parser.add_argument("check", choices=["cases", "reference"])
    args = parser.parse_args()
    tool = Tool(os.path.abspath(args.tool), args.emulator)
    with tempfile.TemporaryDirectory() as folder:
        if args.check == "cases":
            check_cases(tool, folder, args.sample)
        else:
            check_reference(tool, folder)
    return 0


if __name__ == "__main__":
    sys.exit(main())
