"""The shape of a log's values worked out here from the reading rules alone, over the whole log in
memory, none of the tool's code: the first Ctrl-Z ends the input, carriage returns are dropped,
line 1 is the header, a line that begins with "+" ends the data, a data line's fields part at runs
of spaces (leading spaces belong to the first field, trailing ones start one more), and every
field after the first reads as a decimal number reduced modulo 65536. Then the figures a reader
needs: data lines, values, the count most lines give (on a tie the smaller), the lines that give
another, each column's range.

Also makes the logs the shape is checked on: as instruments write them (a temperature logger, a
constant channel, recorded sound through od), ragged ones, wide ones, and ones whose value files
end on either side of the writer's 64 KiB pieces."""

import collections
import os
import random
import re
import subprocess

COLUMNS_KEPT = 256  # columns whose range is shown
LISTED = 10  # lines of another count listed
def _writer_piece_size():
    """The writer's piece in bytes, from its one home (output/value_writer.h), so that the logs
    whose values end on either side of pieces still do if it changes."""
    header = os.path.join(os.path.dirname(__file__), "..", "..", "output", "value_writer.h")
    with open(header, encoding="utf-8") as source:
        found = re.search(r"kPieceSize = std::size_t\{(\d+)\} \* (\d+);", source.read())
    if found is None:
        raise SystemExit(f"{header}: no kPieceSize of the form the tests read")
    return int(found.group(1)) * int(found.group(2))


PIECE_VALUES = _writer_piece_size() // 2  # values in one of the writer's pieces

_NUMBER = re.compile(rb"[\t\n\v\f\r ]*([+-]?)([0-9]*)")


def field_value(field):
    """The value of a field's text (its separator spaces included or not)."""
    sign, digits = _NUMBER.match(field).groups()
    magnitude = 0
    # Only the value modulo 65536 matters; a chunk at a time keeps huge fields cheap.
    for at in range(0, len(digits), 18):
        chunk = digits[at : at + 18]
        magnitude = (magnitude * 10 ** len(chunk) + int(chunk)) % 65536
    value = (-magnitude if sign == b"-" else magnitude) % 65536
    return value - 65536 if value >= 32768 else value


def data_lines(log):
    """The values of each data line, in order."""
    text = log.split(b"\x1a", 1)[0].replace(b"\r", b"")
    lines = text.split(b"\n")
    if lines[-1] == b"":
        lines.pop()  # the newline that ends the last line starts no line
    result = []
    for line in lines[1:]:
        if line.startswith(b"+"):
            break
        fields = re.split(b" +", line.lstrip(b" "))
        result.append([field_value(field) for field in fields[1:]])
    return result


def figures(log):
    """Every figure mirtak-shape --json gives for a log, under its key."""
    lines = data_lines(log)
    per_count = collections.Counter(len(line) for line in lines)
    # The count most lines give; on a tie the smaller.
    common = min(per_count, key=lambda count: (-per_count[count], count)) if lines else 0
    other = [[number + 2, len(line)] for number, line in enumerate(lines) if len(line) != common]
    columns = []
    for line in lines:
        for k, value in enumerate(line[:COLUMNS_KEPT]):
            if k == len(columns):
                columns.append([value, value])
            columns[k] = [min(columns[k][0], value), max(columns[k][1], value)]
    widest = max((len(line) for line in lines), default=0)
    return {
        "data_lines": len(lines),
        "values": sum(len(line) for line in lines),
        "values_per_line": common,
        "other_lines": len(other),
        "first_other_lines": other[:LISTED],
        "columns": columns,
        "columns_left_out": max(widest - COLUMNS_KEPT, 0),
    }


# The logs.


def _log(header, rows, end=b"+\r\n", newline=b"\r\n"):
    return header + newline + b"".join(row + newline for row in rows) + end


def temperature_logger(rng, lines):
    """A logger of four temperatures and a humidity, every ten seconds, in degrees with two
    decimals (read as whole degrees: "-3.05" gives -3, "-0.50" gives 0)."""
    rows = []
    base = [21.0, -3.0, 18.5, 4.0]
    for n in range(lines):
        seconds = n * 10
        stamp = f"2024-03-{1 + seconds // 86400:02d}T{seconds // 3600 % 24:02d}:" \
                f"{seconds // 60 % 60:02d}:{seconds % 60:02d}"
        base = [t + rng.uniform(-0.3, 0.3) for t in base]
        humidity = 45 + 10 * rng.random()
        fields = [f"{t:7.2f}" for t in base] + [f"{humidity:5.1f}"]
        rows.append((stamp + "  " + "  ".join(fields)).encode())
    return _log(b"DATE_TIME  T1  T2  T3  T4  RH", rows)


def constant_channel(lines, value):
    """A channel that never moves, beside a counter that does."""
    return _log(b"N  CH1  COUNT", [f"{n:8d}  {value:6d}  {n % 40000:6d}".encode()
                                   for n in range(lines)], newline=b"\n", end=b"+ END\n")


def sound_logs():
    """Recorded sound (the WAV files of this machine) as od prints its 16-bit samples after the
    44-byte header, eight a line after the offset, the last line shorter and the offset alone on
    a line at the end: (name, log) pairs."""
    logs = []
    for folder, _, names in sorted(os.walk("/usr/share/sounds")):
        for name in sorted(names):
            if not name.endswith(".wav"):
                continue
            samples = subprocess.run(["od", "-v", "-t", "d2", "-w16", "-j", "44",
                                      os.path.join(folder, name)],
                                     capture_output=True, check=True).stdout
            logs.append((f"sound {name}", b"SOUND " + name.encode() + b"\r\n" + samples + b"+\r\n"))
    return logs


def values_ending_at(values, per_line, rng):
    """A log of lines of per_line values whose value file holds exactly `values` values: a
    shorter last line makes up the rest."""
    rows = []
    left = values
    n = 0
    while left > 0:
        count = min(per_line, left)
        rows.append(b"%d" % n + b"".join(b" %d" % rng.randrange(-32768, 32768)
                                         for _ in range(count)))
        left -= count
        n += 1
    return _log(b"PIECES", rows)


def wide_log(rng, lines, widths):
    """Lines of widths drawn from `widths`, past the columns kept."""
    rows = []
    for n in range(lines):
        count = rng.choice(widths)
        rows.append(b"%d" % n + b"".join(b" %d" % rng.randrange(-999, 1000) for _ in range(count)))
    return _log(b"WIDE", rows, newline=b"\n", end=b"+\n")


def ragged_log(rng, size):
    """Bytes of a log-like text in which every rule is met: trailing spaces, tabs, signs, empty
    lines, carriage returns, numbers past 16 bits, text, a terminator or a Ctrl-Z now and then."""
    parts = [b" ", b"  ", b"    ", b"\n", b"\r\n", b"\r", b"1", b"23", b"-", b"+", b"7", b"-4",
             b"\t", b"A", b".", b"9", b"0", b"\v", b"e", b"65536", b"40000", b"99999999999",
             b"-32769", b"\f", b"-00", b"+007", b"12345", b"\0", b"\xff"]
    text = [b"HEADER 1 2\r\n"]
    for _ in range(size):
        text.append(rng.choice(parts))
    if rng.randrange(4) == 0:
        text.append(rng.choice([b"\n+ END\n1 2 3\n", b"\x1a 1 2\n"]))
    return b"".join(text)


def logs(seed=20261209):
    """The logs the shape is checked on: (name, log) pairs."""
    rng = random.Random(seed)
    made = [
        ("temperature logger", temperature_logger(rng, 40000)),
        ("constant channel", constant_channel(30000, 1234)),
        ("constant zero channel", constant_channel(500, 0)),
    ]
    made += sound_logs()
    for pieces in range(4):
        for off in (-3, -1, 0, 1, 3):
            values = pieces * PIECE_VALUES + off
            if values >= 0:
                made.append((f"values end {off:+d} from piece {pieces}",
                             values_ending_at(values, 9 if off % 2 else 4, rng)))
    made.append(("as many lines of 3 values as of 2",
                 _log(b"TIE", [b"%d -1 %d 3" % (n, n) if n % 2 else b"%d 1 2" % n
                               for n in range(1000)])))
    made.append(("300 columns", wide_log(rng, 400, [300])))
    made.append(("ragged around the columns kept", wide_log(rng, 800, [255, 256, 257, 270, 256])))
    for n in range(12):
        made.append((f"ragged {n}", ragged_log(rng, rng.choice([50, 3000, 60000]))))
    return made


def write_logs(folder, made):
    """Writes each log of made (as logs() gives them) into folder as logNN.LOG; returns their
    (file name, title) pairs."""
    written = []
    for n, (title, log) in enumerate(made):
        name = f"log{n:02d}.LOG"
        with open(os.path.join(folder, name), "wb") as f:
            f.write(log)
        written.append((name, title))
    return written


if __name__ == "__main__":
    # python3 shape_reference.py FOLDER: the logs, for a check in another language.
    import sys

    for file_name, log_title in write_logs(sys.argv[1], logs()):
        print(f"{file_name}\t{log_title}")
