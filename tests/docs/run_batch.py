"""Runs one batch recipe of the README (a block marked batch=NAME) as a reader would, with the
tool first on the PATH, in a fresh folder of logs, and checks what it leaves: its exit status,
what it prints, and which value files there are.

The folder holds five copies of the sample log: one.LOG and "two words.LOG" convert; bad.LOG
and worse.LOG fail, as a folder stands where their value files would go; sub/three.LOG is only
for the recipes that look into subfolders. So a recipe must count two failures, not just see
one, and must not stop at the first.

Exit status 77 means the recipe needs GNU parallel and parallel is not installed."""

import argparse
import os
import re
import shutil
import subprocess
import sys
import tempfile
from typing import NamedTuple, Optional

from doc_blocks import block

SKIP = 77
TOP = {"one", "two words"}
FAILING = {"bad", "worse"}
EVERY = TOP | {"sub/three"}
# The machines of the remote recipe, and what they are replaced by here: this machine alone,
# which parallel reaches without ssh.
HOSTS = ("server1,server2,:", ":")


class Recipe(NamedTuple):
    """What a recipe must leave. None leaves that output unchecked."""
    status: int
    converted: set  # the logs that get a value file
    stdout: Optional[set] = None  # the lines printed on standard output
    stderr: Optional[set] = None  # the lines on standard error
    before: tuple = ()  # first, in the same folder: recipes run, and "mend LOG" (its failure mended)
    block: Optional[str] = None  # the recipe run last and checked, if not the one of this name


def failed_with_message(prefix, separator):
    """The lines that name each failing log beside MIRTAK's message."""
    return {f"{prefix}{log}.LOG{separator}Can not create {prefix}{log}.MX file" for log in FAILING}


def joblog_lines(*logs):
    return {f"MIRTAK {log}.LOG {log}.MX" for log in logs}


RECIPES = {
    "parallel": Recipe(2, TOP, stdout=failed_with_message("", "\t")),
    "joblog": Recipe(2, TOP, stdout=set()),
    "failed": Recipe(0, TOP, stdout=joblog_lines(*FAILING), before=("joblog",)),
    "retry": Recipe(0, TOP | FAILING, before=("joblog", "mend bad", "mend worse")),
    # After a retry that mends one of the two, only the other's last try failed.
    "retry_failed": Recipe(0, TOP | {"bad"}, stdout=joblog_lines("worse"),
                           before=("joblog", "mend bad", "retry"), block="failed"),
    "find": Recipe(2, EVERY),
    "hosts": Recipe(2, TOP),
    "xargs": Recipe(123, EVERY, stdout=set(), stderr=failed_with_message("./", ": ")),
}


def lay_out_logs(folder, log):
    os.mkdir(os.path.join(folder, "sub"))
    for name in EVERY | FAILING:
        shutil.copyfile(log, os.path.join(folder, name + ".LOG"))
    for name in FAILING:
        os.mkdir(os.path.join(folder, name + ".MX"))


def run(source, folder, path):
    env = dict(os.environ, PATH=path, HOME=folder + ".home")  # no parallel settings of the user
    os.makedirs(env["HOME"], exist_ok=True)
    return subprocess.run(["sh", "-c", source], cwd=folder, env=env, capture_output=True,
                          timeout=300, check=False)


def value_files(folder):
    """The value files the recipe made: the regular .MX files, named without .MX."""
    made = set()
    for root, _, files in os.walk(folder):
        for name in files:
            if name.endswith(".MX"):
                made.add(os.path.relpath(os.path.join(root, name[:-3]), folder))
    return made


def lines(data):
    return {line for line in data.decode(errors="replace").splitlines() if line}


def check(name, result, folder, values):
    recipe = RECIPES[name]
    failures = []
    if result.returncode != recipe.status:
        failures.append(f"exit status {result.returncode}, expected {recipe.status}")
    made = value_files(folder)
    if made != recipe.converted:
        failures.append(f"value files for {sorted(made)}, expected {sorted(recipe.converted)}")
    for log in made:
        with open(os.path.join(folder, log + ".MX"), "rb") as f:
            if f.read() != values:
                failures.append(f"{log}.MX holds other values than the sample's")
    for stream, got, want in (("printed", result.stdout, recipe.stdout),
                              ("said on standard error", result.stderr, recipe.stderr)):
        if want is not None and lines(got) != want:
            failures.append(f"{stream} {sorted(lines(got))}, expected {sorted(want)}")
    return failures


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--doc", required=True)
    parser.add_argument("--tool", required=True)
    parser.add_argument("--log", required=True, help="the sample log")
    parser.add_argument("--values", required=True, help="the sample's value file")
    parser.add_argument("name", choices=sorted(RECIPES))
    args = parser.parse_args()

    recipe = RECIPES[args.name]
    steps = [*recipe.before, recipe.block or args.name]
    sources = {name: block(args.doc, "batch", name)[1] for name in steps
               if not name.startswith("mend ")}
    last = sources[steps[-1]]
    if any(re.search(r"(^|[|=0-9] )parallel ", source.lstrip()) for source in sources.values()) \
            and shutil.which("parallel") is None:
        print("SKIPPED: GNU parallel is not installed")
        return SKIP
    if args.name == "hosts":
        if HOSTS[0] not in last:
            raise SystemExit(f"the recipe names other machines than {HOSTS[0]}")
        last = last.replace(*HOSTS)
    with open(args.values, "rb") as f:
        values = f.read()

    with tempfile.TemporaryDirectory() as scratch:
        bin_folder = os.path.join(scratch, "bin")
        os.mkdir(bin_folder)
        os.symlink(os.path.abspath(args.tool), os.path.join(bin_folder, "MIRTAK"))
        path = bin_folder + os.pathsep + os.environ.get("PATH", "")
        folder = os.path.join(scratch, "logs")
        os.mkdir(folder)
        lay_out_logs(folder, args.log)
        for step in steps[:-1]:
            if step.startswith("mend "):
                os.rmdir(os.path.join(folder, step.split()[1] + ".MX"))
            else:
                run(sources[step], folder, path)
        result = run(last, folder, path)
        failures = check(args.name, result, folder, values)
    if failures:
        raise SystemExit(f"recipe {args.name}:\n  " + "\n  ".join(failures) +
                         f"\nstandard error:\n{result.stderr.decode(errors='replace')}")
    print(f"recipe {args.name}: exit status {result.returncode}, "
          f"{len(recipe.converted)} value files of the sample's values")
    return 0


if __name__ == "__main__":
    sys.exit(main())
