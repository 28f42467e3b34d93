"""Every command a user is shown is run somewhere, or says why not.

  readme   every code block of the README is marked KEY=NAME, and each marked block is one that
           a check below runs (or one of NOT_RUN, with its reason)
  windows  the same for the Windows README (README.txt): its commands are the lines indented by
           four spaces, a block named by how its first line begins; the batch file is the
           README's windows=convert.bat, line for line; and it says nothing of apt, sudo, cmake
           and the like, and links to nothing outside its folder
  block    prints one block's text, for the scripts that run it (the Windows README's by name)

The runner named for each block must name the block, so a block cannot lose its runner
unnoticed; the Windows README's version is not filled in here (the source is checked)."""

import argparse
import os
import re
import sys

from doc_blocks import named_blocks

ROOT = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))

# (key, name) of a README block: the file that runs it, and what that file says to take it.
README_RUNNERS = {
    ("setup", "convert"): (".ci/run", "setup convert"),
    ("setup", "test"): (".ci/run", "setup test"),
    ("install", "deb"): ("scripts/ci-package.sh", "install=deb"),
    ("convert", "one"): ("scripts/ci-package.sh", "convert=one"),
    ("check", "sha256"): ("scripts/ci-release.sh", "check=sha256"),
    ("recipe", "numpy"): ("tests/docs/CMakeLists.txt", "docs.readme.recipe.numpy"),
    ("windows", "convert.bat"): ("scripts/ci-windows.sh", "convert.bat"),
    **{("batch", name): ("tests/docs/run_batch.py", f'"{name}": Recipe(')
       for name in ("parallel", "joblog", "retry", "find", "hosts", "xargs")},
}
# The Windows README's blocks, by the start of their first line: name and runner.
WINDOWS_BLOCKS = {
    "msiexec /i ": ("msi-install", "scripts/ci-windows.sh"),
    "msiexec /x ": ("msi-remove", "scripts/ci-windows.sh"),
    "MIRTAK ": ("convert", "scripts/ci-windows.sh"),
    "@echo off": ("convert.bat", "scripts/ci-windows.sh"),
    "certutil ": ("certutil", None),
}
NOT_RUN = {
    "certutil": "wine's certutil does not implement -hashfile; CI checks the same files with "
                "sha256sum -c (check=sha256)",
}
_FENCE = re.compile(r"^```(.*)$", re.MULTILINE)


def fail(message):
    raise SystemExit(message)


def runner_names(runner, needle):
    with open(os.path.join(ROOT, runner), encoding="utf-8") as f:
        if needle not in f.read():
            fail(f"{runner} is said to run {needle!r} but does not name it")


def check_readme(path, version):
    text = open(path, encoding="utf-8").read()
    stale = sorted(set(re.findall(r"mirtak-(\d+\.\d+\.\d+)-win", text)) - {version})
    if stale:
        fail(f"{path} names the Windows files of {stale}, not of {version}")
    fences = _FENCE.findall(open(path, encoding="utf-8").read())
    openings = fences[0::2]  # fences alternate: opening, closing
    unmarked = [info for info in openings if not re.fullmatch(r"[\w+-]+ \w+=[\w.-]+", info)]
    if unmarked:
        fail(f"{path}: code blocks without KEY=NAME: {unmarked}")
    marked = set()
    for key in {info.split()[1].split("=")[0] for info in openings}:
        marked |= {(key, name) for name in named_blocks(path, key)}
    for key, name in sorted(marked):
        if name in NOT_RUN:
            print(f"{key}={name}: not run: {NOT_RUN[name]}")
        elif (key, name) in README_RUNNERS:
            runner, needle = README_RUNNERS[key, name]
            runner_names(runner, needle)
            print(f"{key}={name}: run by {runner}")
        else:
            fail(f"{path}: no check runs the block {key}={name}")
    return marked


def windows_blocks(path):
    """{name: text} of the indented blocks of the Windows README."""
    with open(path, encoding="utf-8", newline="") as f:
        text = f.read().replace("\r\n", "\n")
    blocks = {}
    for match in re.finditer(r"(?:^    .*\n)+", text, re.MULTILINE):
        lines = [line[4:] for line in match.group(0).splitlines()]
        start = next((s for s in WINDOWS_BLOCKS if lines[0].startswith(s)), None)
        if start is None:
            fail(f"{path}: no check runs the block beginning {lines[0]!r}")
        blocks[WINDOWS_BLOCKS[start][0]] = "\n".join(lines) + "\n"
    return blocks


# Words of Debian and of building that a Windows user has no use for, and links: the folder
# holds no other documents than its own.
NOT_FOR_WINDOWS = re.compile(r"\b(apt|apt-get|sudo|dpkg|cmake|parallel|xargs)\b|https?:|\.md\b|docs/",
                             re.IGNORECASE)


def check_windows(path, readme):
    with open(path, encoding="utf-8") as f:
        foreign = [f"line {number}: {line.strip()}" for number, line in enumerate(f, 1)
                   if NOT_FOR_WINDOWS.search(line)]
    if foreign:
        fail(f"{path} speaks of what Windows users do not have:\n  " + "\n  ".join(foreign))
    blocks = windows_blocks(path)
    for start, (name, runner) in WINDOWS_BLOCKS.items():
        if name not in blocks:
            fail(f"{path} has no block beginning {start!r}")
        if runner is None:
            print(f"{name}: not run: {NOT_RUN[name]}")
        else:
            runner_names(runner, name)
            print(f"{name}: run by {runner}")
    batch = named_blocks(readme, "windows")["convert.bat"][1]
    if blocks["convert.bat"] != batch:
        fail(f"{path}'s batch file differs from {readme}'s windows=convert.bat")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("mode", choices=("readme", "windows", "block"))
    parser.add_argument("--doc", required=True)
    parser.add_argument("--readme", help="the README, for windows")
    parser.add_argument("--version", help="the project's version, for readme")
    parser.add_argument("name", nargs="?", help="KEY=NAME of a README block, or a Windows name")
    args = parser.parse_intermixed_args()
    if args.mode == "readme":
        check_readme(args.doc, args.version)
    elif args.mode == "windows":
        check_windows(args.doc, args.readme)
    elif "=" in args.name:
        key, name = args.name.split("=", 1)
        blocks = named_blocks(args.doc, key)
        if name not in blocks:
            fail(f"{args.doc} has no block {args.name}")
        sys.stdout.write(blocks[name][1])
    else:
        sys.stdout.write(windows_blocks(args.doc)[args.name])
    return 0


if __name__ == "__main__":
    sys.exit(main())
