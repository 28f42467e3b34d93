"""Runs one reading recipe of the format guide on value files and checks that it prints the
values of every data line, one line per row.

The expected numbers come from the sample log itself, read here with Python's own int(), not
from the tool. Each recipe reads QDEMOX.MX in a fresh folder, so it runs as a reader would run
it: first on the sample's value file, then on one whose lines repeat (a reader that folds
repeated rows fails there).

A numpy recipe's array must also serve pandas as it is: the recipe is run once more with a
DataFrame built from its `values`, sorted by a column and grouped by another, which pandas
refuses for an array in the file's big-endian byte order on a little-endian machine.

Exit status 77 means the recipe needs what is not installed: numpy, pandas, R, GNU Octave or
PowerShell (with --require, that fails instead)."""

import argparse
import importlib.util
import json
import os
import shutil
import subprocess
import sys
import tempfile

from doc_blocks import block

SKIP = 77
COLUMNS = 9  # the sample log's values per line, which every recipe assumes
RUNNERS = {"r": "Rscript", "matlab": "octave", "powershell": "pwsh"}  # other languages' programs
# Run after a numpy recipe, in the same script: its array in a DataFrame, sorted by the first
# column (stable, so ties keep the file's order) and the second column summed by the first.
PANDAS = """
import json as _json
import pandas as _pd
_frame = _pd.DataFrame(values)
_sorted = _frame.sort_values(0, kind="stable")
_sums = _frame.groupby(0)[1].sum()
with open("pandas.json", "w") as _out:
    _json.dump({"native": bool(values.dtype.isnative), "sorted": _sorted.values.tolist(),
                "sums": {str(k): int(v) for k, v in _sums.items()}}, _out)
"""


def expected_rows(log_path):
    """The values of the sample log's data lines, read with plain Python."""
    with open(log_path, "rb") as f:
        lines = f.read().replace(b"\r", b"").split(b"\n")
    rows = []
    for line in lines[1:]:
        if line.startswith(b"+"):
            break
        fields = [field for field in line.split(b" ") if field]
        rows.append([(int(field) + 32768) % 65536 - 32768 for field in fields[1:]])
    if not rows or any(len(row) != COLUMNS for row in rows):
        raise SystemExit(f"{log_path}: expected data lines of {COLUMNS} values")
    return rows


def runnable(language, source, args):
    """Whether what the recipe needs is installed; if not, says so (with --require, fails)."""
    missing = None
    if "import numpy" in source and importlib.util.find_spec("numpy") is None:
        missing = "numpy"
    elif "import numpy" in source and importlib.util.find_spec("pandas") is None:
        missing = "pandas"  # which the array must serve as it is
    elif language in RUNNERS and shutil.which(RUNNERS[language]) is None:
        missing = RUNNERS[language]
    if missing and args.require:
        raise SystemExit(f"{missing} is not installed: recipe {args.name} cannot run")
    if missing:
        print(f"SKIPPED: {missing} is not installed")
    return missing is None


def command_for(language, source, folder, cxx):
    """Writes the recipe into folder and returns the command that runs it."""
    suffix = {"sh": ".sh", "python": ".py", "cpp": ".cc", "r": ".R", "matlab": ".m",
              "powershell": ".ps1"}[language]
    path = os.path.join(folder, "recipe" + suffix)
    with open(path, "w", encoding="utf-8") as f:
        f.write(source)
    if language == "sh":
        return ["sh", path]
    if language == "python":
        return [sys.executable, path]
    if language == "r":
        return ["Rscript", "--vanilla", path]
    if language == "matlab":
        return ["octave", "--no-gui", "--no-window-system", "--quiet", path]
    if language == "powershell":
        return ["pwsh", "-NoProfile", "-NonInteractive", "-File", path]
    program = os.path.join(folder, "recipe")
    compile_command = [cxx, "-std=c++17", "-Wall", "-Wextra", "-Wconversion", "-Werror",
                       path, "-o", program]
    subprocess.run(compile_command, check=True)
    return [program]


def printed_rows(command, folder):
    run = subprocess.run(command, cwd=folder, capture_output=True, text=True, check=False)
    if run.returncode != 0:
        raise SystemExit(f"the recipe failed with status {run.returncode}:\n{run.stderr[-2000:]}")
    rows = []
    for line in run.stdout.splitlines():
        try:
            rows.append([int(word) for word in line.split()])
        except ValueError:
            raise SystemExit(f"the recipe printed a row that is not numbers: {line!r}") from None
    return [row for row in rows if row]


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--doc", required=True)
    parser.add_argument("--log", required=True, help="the sample log")
    parser.add_argument("--values", required=True, help="the sample's value file")
    parser.add_argument("--cxx", default="c++")
    parser.add_argument("--require", action="store_true",
                        help="fail, rather than skip, where the recipe's language is missing")
    parser.add_argument("name")
    args = parser.parse_args()

    language, source = block(args.doc, "recipe", args.name)
    uses_numpy = "import numpy" in source
    if not runnable(language, source, args):
        return SKIP

    rows = expected_rows(args.log)
    with open(args.values, "rb") as f:
        sample = f.read()
    line_bytes = 2 * COLUMNS
    lines = [sample[i : i + line_bytes] for i in range(0, len(sample), line_bytes)]
    repeated = b"".join(line * 3 for line in lines)
    cases = [("the sample", sample, rows),
             ("repeated lines", repeated, [row for row in rows for _ in range(3)])]

    with tempfile.TemporaryDirectory() as folder:
        command = command_for(language, source, folder, args.cxx)
        for title, data, want in cases:
            with open(os.path.join(folder, "QDEMOX.MX"), "wb") as f:
                f.write(data)
            got = printed_rows(command, folder)
            if got != want:
                first = next((i for i, (g, w) in enumerate(zip(got, want)) if g != w),
                             min(len(got), len(want)))
                raise SystemExit(
                    f"recipe {args.name} on {title}: {len(got)} rows, expected {len(want)}; "
                    f"row {first} is {got[first] if first < len(got) else None}, "
                    f"expected {want[first] if first < len(want) else None}")
        if uses_numpy:
            check_pandas(source, folder, cases[-1][2])
    print(f"recipe {args.name}: {len(rows)} rows of {COLUMNS} values read back"
          + (", sorted and grouped by pandas" if uses_numpy else ""))
    return 0


def check_pandas(source, folder, rows):
    """The recipe's array in a DataFrame, sorted and grouped, against plain Python's answer."""
    command = command_for("python", source + PANDAS, folder, None)
    printed_rows(command, folder)
    with open(os.path.join(folder, "pandas.json"), encoding="utf-8") as f:
        got = json.load(f)
    sums = {}
    for row in rows:
        sums[str(row[0])] = sums.get(str(row[0]), 0) + row[1]
    want = {"native": True, "sorted": sorted(rows, key=lambda row: row[0]), "sums": sums}
    if got != want:
        wrong = [key for key in want if got.get(key) != want[key]]
        raise SystemExit(f"pandas on the recipe's array: {wrong} differ")


if __name__ == "__main__":
    sys.exit(main())
