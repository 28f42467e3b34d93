"""Checks the manual page against groff and against the tool itself.

  renders   groff -man -ww -z prints nothing: no warning of any kind; and the page's title
            line names the tool's version.
  messages  every message the tool prints, produced by making each failure happen, stands
            word for word as an entry of DIAGNOSTICS, with LogFileName and KovirFileName as
            the file names; and the banner the tool prints is shown there, line by line.
  examples  every line of the README's batch recipes (its blocks marked batch=NAME) stands in
            EXAMPLES, so that the two show the same commands."""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile

from doc_blocks import named_blocks


def check_renders(groff, page, version):
    run = subprocess.run([groff, "-man", "-ww", "-z", page], capture_output=True, text=True,
                         check=False)
    if run.returncode != 0 or run.stdout or run.stderr:
        raise SystemExit(f"groff status {run.returncode}:\n{run.stdout}{run.stderr}")
    with open(page, encoding="utf-8") as f:
        title = next((line for line in f if line.startswith(".TH ")), "")
    if f'"MIRTAK {version}"' not in title:
        raise SystemExit(f"the title line {title.strip()!r} does not name MIRTAK {version}")
    print(f"{page} renders without warnings")


def section(groff, page, title):
    """The lines of one section of the page as plain text, each with its spaces squeezed."""
    run = subprocess.run([groff, "-man", "-Tascii", "-P-cbou", "-rLL=250n", page],
                         capture_output=True, text=True, check=True)
    lines, inside = [], False
    for line in run.stdout.splitlines():
        if line and not line[0].isspace():
            inside = line == title
        elif inside:
            lines.append(" ".join(line.split()))
    if not lines:
        raise SystemExit(f"{page} has no {title} section")
    return lines


def failures(folder, log):
    """Sets up each failure in folder; yields the arguments that make it happen."""
    yield []
    yield ["LogFileName", "KovirFileName"]
    shutil.copyfile(log, os.path.join(folder, "LogFileName"))
    os.mkdir(os.path.join(folder, "KovirFileName"))
    yield ["LogFileName", "KovirFileName"]
    os.rmdir(os.path.join(folder, "KovirFileName"))
    os.symlink("/dev/full", os.path.join(folder, "KovirFileName"))
    yield ["LogFileName", "KovirFileName"]
    os.remove(os.path.join(folder, "KovirFileName"))
    os.remove(os.path.join(folder, "LogFileName"))
    os.symlink("/proc/self/mem", os.path.join(folder, "LogFileName"))  # unreadable at offset 0
    yield ["LogFileName", "KovirFileName"]


def message_of(tool, arguments, folder, banner):
    run = subprocess.run([tool, *arguments], cwd=folder, capture_output=True, check=False)
    if run.returncode != 1 or not run.stdout.startswith(banner):
        raise SystemExit(f"MIRTAK {arguments}: status {run.returncode}, output {run.stdout!r}")
    message = run.stdout[len(banner):]
    if not message.startswith(b"\r\n") or b"\n" in message[2:]:
        raise SystemExit(f"MIRTAK {arguments}: not one message after the banner: {message!r}")
    return message[2:].decode()


def check_messages(groff, page, tool, log, banner_path):
    with open(banner_path, "rb") as f:
        banner = f.read()
    diagnostics = section(groff, page, "DIAGNOSTICS")
    missing = []
    for line in banner.decode().replace("\r", "").split("\n"):
        if line.strip() and " ".join(line.split()) not in diagnostics:
            missing.append(f"banner line {line!r}")
    with tempfile.TemporaryDirectory() as folder:
        messages = [message_of(tool, arguments, folder, banner)
                    for arguments in failures(folder, log)]
    for message in messages:
        if message not in diagnostics:
            missing.append(f"message {message!r}")
    if missing:
        raise SystemExit("DIAGNOSTICS lacks:\n  " + "\n  ".join(missing))
    print(f"DIAGNOSTICS shows the banner and all {len(messages)} messages")


def check_examples(groff, page, readme):
    examples = section(groff, page, "EXAMPLES")
    recipes = named_blocks(readme, "batch")
    if not recipes:
        raise SystemExit(f"{readme} has no batch recipes")
    missing = []
    for name, (_, body) in sorted(recipes.items()):
        for line in body.splitlines():
            if line.strip() and " ".join(line.split()) not in examples:
                missing.append(f"{name}: {line.strip()!r}")
    if missing:
        raise SystemExit("EXAMPLES lacks these lines of the README's recipes:\n  " +
                         "\n  ".join(missing))
    print(f"EXAMPLES shows all {len(recipes)} batch recipes of the README")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--groff", default="groff")
    parser.add_argument("--page", required=True)
    parser.add_argument("--version", help="the tool's version, for renders")
    parser.add_argument("--tool")
    parser.add_argument("--log", help="a log the tool converts")
    parser.add_argument("--banner", help="the banner's exact bytes")
    parser.add_argument("--readme", help="the README, for examples")
    parser.add_argument("check", choices=["renders", "messages", "examples"])
    args = parser.parse_args()
    if args.check == "renders":
        check_renders(args.groff, args.page, args.version)
    elif args.check == "messages":
        check_messages(args.groff, args.page, args.tool, args.log, args.banner)
    else:
        check_examples(args.groff, args.page, args.readme)
    return 0


if __name__ == "__main__":
    sys.exit(main())
