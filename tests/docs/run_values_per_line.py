"""Runs the format guide's values-per-line recipe on logs that bend each rule it restates, and
checks what it names against a table and against the tool: the values the recipe counts add up
to the items of the value file the tool writes for the same log."""

import argparse
import os
import re
import subprocess
import sys
import tempfile

from doc_blocks import block

# Each log: its bytes, then the recipe's summary line and the lines it must name.
LOGS = [
    ("the rules of a data line",
     b"HEAD 1 2 3\r\n"          # the header: any number of fields, skipped
     b"A 1 2 3\r\n"
     b"  B 1 2 3\n"             # leading spaces belong to the first field
     b"C 1   2 3\n"             # a run of spaces is one separator
     b"D 1 2 3 \n"              # a space after the last field: one more value (line 5)
     b"E 1\t2 3\n"              # a tab is part of a field (line 6: 2 values)
     b"F 1 2\r 3\n"             # a CR anywhere is dropped
     b"\n"                      # an empty line is a data line with no values (line 8)
     b"  + 1 2 3\n"             # a + after spaces is data
     b"+ 1 2 3 4 5\n"           # the terminator ends the data
     b"G 1 2 3 4 5 6\n",
     "8 data lines, most with 3 values",
     {"line 5: 4 values", "line 6: 2 values", "line 8: 0 values"}),
    ("the end of the input",
     b"HEAD\n"
     b"A 1 2\n"
     b"B 1 2 3\n"               # line 3
     b"C 1 2\x1a3 4\n"          # Ctrl-Z ends the input, inside a field
     b"D 1 2 3 4 5\n",
     "3 data lines, most with 2 values",
     {"line 3: 3 values"}),
    ("a last line without a newline",
     b"HEAD\nA 1 2\nB 1 2\nC 1 2 ",
     "3 data lines, most with 2 values",
     {"line 4: 3 values"}),
]


def run(command, folder):
    return subprocess.run(command, cwd=folder, capture_output=True, check=False)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--doc", required=True)
    parser.add_argument("--tool", required=True)
    args = parser.parse_args()

    _, source = block(args.doc, "recipe", "values-per-line")
    failures = []
    with tempfile.TemporaryDirectory() as folder:
        recipe = os.path.join(folder, "values_per_line.py")
        with open(recipe, "w", encoding="utf-8") as f:
            f.write(source)
        for title, log, summary, named in LOGS:
            with open(os.path.join(folder, "case.LOG"), "wb") as f:
                f.write(log)
            result = run([sys.executable, recipe, "case.LOG"], folder)
            lines = result.stdout.decode().splitlines()
            if result.returncode != 0 or not lines or lines[0] != summary or \
                    set(lines[1:]) != named:
                failures.append(f"{title}: status {result.returncode}, printed {lines}, "
                                f"expected {[summary, *sorted(named)]}")
                continue
            # The counts the recipe implies, against the items the tool writes.
            data_lines, common = map(int, re.match(r"(\d+) data lines, most with (\d+)",
                                                   summary).groups())
            other = [int(line.split(": ")[1].split()[0]) for line in named]
            counted = common * (data_lines - len(other)) + sum(other)
            converted = run([os.path.abspath(args.tool), "case.LOG", "case.MX"], folder)
            items = os.path.getsize(os.path.join(folder, "case.MX")) // 2
            if converted.returncode != 0 or items != counted:
                failures.append(f"{title}: the recipe counts {counted} values, the tool wrote "
                                f"{items} (status {converted.returncode})")
    if failures:
        raise SystemExit("recipe values-per-line:\n  " + "\n  ".join(failures))
    print(f"recipe values-per-line: {len(LOGS)} logs counted as the tool counts them")
    return 0


if __name__ == "__main__":
    sys.exit(main())
