"""Reads the documents of the Windows folder as a Windows user gets them (written by
cmake/windows_text.py) and fails on anything that is not for that user:

  - a line that does not end in CR LF, or a character that is not plain ASCII;
  - Markdown or roff left over (code fences, backticks, bold, links, headings, tables, comments,
    font escapes, requests), or a placeholder of the build (@NAME@);
  - a Linux command, path or word (apt, sudo, man, od, parallel, xargs, ssh, flock, /dev/, /usr/,
    python3, a signal, Debian ...) in README.txt, MANUAL.txt or FORMAT.txt; the changelog
    records both systems' changes and is only read for syntax;
  - a document that does not speak of what Windows users have: the Command Prompt, MIRTAK.exe,
    the batch files, the page, and a PowerShell reader.

Each of the sources' own blocks of commands stands in README.txt as it stands in README.md, so
the commands CI runs from README.md are the ones a Windows user reads."""

import argparse
import os
import re
import sys

from doc_blocks import named_blocks

SYNTAX = [
    (re.compile(r"```|`"), "a Markdown code mark"),
    (re.compile(r"\*\*|__"), "Markdown bold"),
    (re.compile(r"\]\(|!\["), "a Markdown link"),
    (re.compile(r"^#+ "), "a Markdown heading"),
    (re.compile(r"^\|.*\|$|\|\s*-{3,}"), "a Markdown table"),
    (re.compile(r"<!--|-->"), "a comment"),
    (re.compile(r"\\f[BIRP]|\\\(|\\-|\\e"), "a roff escape"),
    (re.compile(r"^\.[A-Za-z]{1,2}( |$)"), "a roff request"),
    (re.compile(r"@[A-Z_]+@"), "a placeholder of the build"),
]
LINUX = re.compile(
    r"\b(apt|apt-get|sudo|dpkg|debian|ubuntu|lintian|parallel|xargs|ssh|sshfs|rsync|flock|"
    r"bash|python3|sha256sum|awk|grep|kill|sigterm|sigkill|sigint|inode|cgroup|bindfs|"
    r"cmake|ninja|nproc|od|tr -d|cat|man MIRTAK|/usr/share|PATH_MAX)\b"
    r"|/dev/|/usr/|/proc/|/tmp/|\$\(|\bsh -c\b|https?:|\.md\b|docs/",
    re.IGNORECASE)
MANUAL_SECTION = re.compile(r"\b[a-z]+\([1-8]\)")  # cat(1), flock(2): Linux manual pages
# What each document must speak of, as Windows users have it.
SPEAKS_OF = {
    "README.txt": ["Command Prompt", "MIRTAK.exe", "mirtak-shape.exe", "convert.bat",
                   "drop-logs.bat", "mirtak.html", "MANUAL.txt", "FORMAT.txt", "QDEMOX.LOG"],
    "MANUAL.txt": ["Command Prompt", "mirtak-shape", "drop-logs.bat", "convert.bat", "mirtak.html",
                   "PowerShell", "NUL"],
    "FORMAT.txt": ["PowerShell", "MANUAL.txt", "astype(np.int16)"],
}
FOR_SYNTAX_ONLY = {"CHANGELOG.txt", "LICENSE.txt"}


def problems(name, data):
    found = []
    if not data.endswith(b"\r\n"):
        found.append("does not end with CR LF")
    for number, raw in enumerate(data.split(b"\n")[:-1], 1):
        if not raw.endswith(b"\r") or b"\r" in raw[:-1]:
            found.append(f"line {number}: not one line ending in CR LF")
        try:
            line = raw[:-1].decode("ascii")
        except UnicodeDecodeError:
            found.append(f"line {number}: a character that is not ASCII: {raw!r}")
            continue
        if any(ord(c) < 32 and c != "\t" for c in line):
            found.append(f"line {number}: a control character: {line!r}")
        for pattern, what in SYNTAX:
            if name != "LICENSE.txt" and pattern.search(line):
                found.append(f"line {number}: {what}: {line.strip()}")
        if name not in FOR_SYNTAX_ONLY:
            match = LINUX.search(line) or MANUAL_SECTION.search(line)
            if match:
                found.append(f"line {number}: {match.group(0)!r}, not for Windows: "
                             f"{line.strip()}")
    text = data.decode("ascii", errors="replace")
    for words in SPEAKS_OF.get(name, []):
        if words not in text:
            found.append(f"says nothing of {words}")
    return found


def blocks_in_readme(readme_md, readme_txt):
    """The README's Windows commands, each as README.txt shows it (indented by four)."""
    with open(readme_txt, "rb") as f:
        text = f.read().decode("ascii").replace("\r\n", "\n")
    missing = []
    for name, (_, body) in sorted(named_blocks(readme_md, "windows").items()):
        shown = "".join(f"    {line}\n" if line else "\n" for line in body.splitlines())
        if shown not in text:
            missing.append(f"README.txt does not show README.md's windows={name} as it stands")
    return missing


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--readme", required=True, help="README.md")
    parser.add_argument("folder", help="the folder of the Windows documents")
    args = parser.parse_args()
    found = []
    names = sorted(name for name in os.listdir(args.folder) if name.endswith(".txt"))
    for name in set(SPEAKS_OF) | FOR_SYNTAX_ONLY:
        if name not in names:
            found.append(f"{name}: missing")
    for name in names:
        with open(os.path.join(args.folder, name), "rb") as f:
            found += [f"{name}: {problem}" for problem in problems(name, f.read())]
    found += blocks_in_readme(args.readme, os.path.join(args.folder, "README.txt"))
    if found:
        raise SystemExit("the Windows documents:\n  " + "\n  ".join(found))
    print(f"{', '.join(names)}: plain Windows text, CR LF, nothing of Linux")
    return 0


if __name__ == "__main__":
    sys.exit(main())
