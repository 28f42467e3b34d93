"""Runs one reading recipe of the format guide on value files whose values do not fill whole rows
of 9: the sample's with one value more (as a line with a space at its end leaves) and with one
value fewer (a line with a number missing). A recipe that makes a table of the values must stop
with a message, as numpy's reshape does, rather than fill the last row with zeros or with values
used again; one that prints the values as they come must print each once, none made up.

Exit status 77 means the recipe needs what is not installed (with --require, that fails
instead)."""

import argparse
import os
import subprocess
import sys
import tempfile

from doc_blocks import block
from run_recipe import COLUMNS, SKIP, command_for, runnable

# The recipes that make a table, and what their message says.
STOPS = {
    "numpy": "cannot reshape",
    "struct": f"multiple of {2 * COLUMNS}",
    "r": f"not whole rows of {COLUMNS}",
    "matlab": f"not whole rows of {COLUMNS}",
}


def values_of(data):
    return [int.from_bytes(data[i : i + 2], "big", signed=True) for i in range(0, len(data), 2)]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--doc", required=True)
    parser.add_argument("--values", required=True, help="the sample's value file")
    parser.add_argument("--cxx", default="c++")
    parser.add_argument("--require", action="store_true")
    parser.add_argument("name")
    args = parser.parse_args()

    language, source = block(args.doc, "recipe", args.name)
    if not runnable(language, source, args):
        return SKIP

    with open(args.values, "rb") as f:
        sample = f.read()
    cases = [("one value more", sample + b"\x00\x00"), ("one value fewer", sample[:-2])]
    failures = []
    with tempfile.TemporaryDirectory() as folder:
        command = command_for(language, source, folder, args.cxx)
        for title, data in cases:
            with open(os.path.join(folder, "QDEMOX.MX"), "wb") as f:
                f.write(data)
            run = subprocess.run(command, cwd=folder, capture_output=True, text=True, check=False)
            if args.name in STOPS:
                if run.returncode == 0 or STOPS[args.name] not in run.stderr:
                    failures.append(f"{title}: status {run.returncode}, expected a stop with "
                                    f"{STOPS[args.name]!r}; standard error {run.stderr[-500:]!r}")
                continue
            printed = [int(word) for word in run.stdout.split()]
            if run.returncode != 0 or printed != values_of(data):
                failures.append(f"{title}: status {run.returncode}, {len(printed)} values "
                                f"printed of {len(data) // 2}")
    if failures:
        raise SystemExit(f"recipe {args.name} on a ragged value file:\n  " + "\n  ".join(failures))
    print(f"recipe {args.name}: "
          + ("stops with a message" if args.name in STOPS else "prints every value once")
          + " where the values do not fill whole rows")
    return 0


if __name__ == "__main__":
    sys.exit(main())
