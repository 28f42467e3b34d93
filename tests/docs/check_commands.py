"""Every command a user is shown is run somewhere, or says why not.

  readme   every code block of the README is marked KEY=NAME, and each marked block is one that
           a check below runs (or one of NOT_RUN, with its reason); the Windows README,
           README.txt, is written from the README (cmake/windows_text.py), its blocks with it
  block    prints one block's text, for the scripts that run it

The runner named for each block must name the block, so a block cannot lose its runner
unnoticed."""

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
    ("shape", "sample"): ("scripts/ci-package.sh", "shape=sample"),
    ("check", "sha256"): ("scripts/ci-release.sh", "check=sha256"),
    ("recipe", "numpy"): ("tests/docs/CMakeLists.txt", "docs.readme.recipe.numpy"),
    **{("windows", name): ("scripts/ci-windows.sh", f"readme_block {name}")
       for name in ("msi-install", "msi-remove", "convert.bat")},
    **{("batch", name): ("tests/docs/run_batch.py", f'"{name}": Recipe(')
       for name in ("parallel", "joblog", "failed", "retry", "find", "hosts", "xargs")},
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


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("mode", choices=("readme", "block"))
    parser.add_argument("--doc", required=True)
    parser.add_argument("--version", help="the project's version, for readme")
    parser.add_argument("name", nargs="?", help="KEY=NAME of a README block")
    args = parser.parse_intermixed_args()
    if args.mode == "readme":
        check_readme(args.doc, args.version)
    else:
        key, name = args.name.split("=", 1)
        blocks = named_blocks(args.doc, key)
        if name not in blocks:
            fail(f"{args.doc} has no block {args.name}")
        sys.stdout.write(blocks[name][1])
    return 0


if __name__ == "__main__":
    sys.exit(main())
