"""Writes a document of the Windows folder as plain text from the source the Linux document is
made of, so that the two cannot drift: CR LF line ends, ASCII only, no Markdown or roff syntax.

  markdown IN OUT   a Markdown document (README.md, docs/format.md, CHANGELOG.md) as text
  manual IN... OUT  the manual pages, rendered by groff with their Windows passages (WINDOWS=1)
  plain IN OUT      a text as it is, with CR LF line ends (LICENSE)

Passages for one system are marked in the Markdown sources with HTML comments, which a Markdown
viewer does not show:
  <!-- not windows -->...<!-- /not windows -->  shown in the Markdown, left out here
  <!-- windows: ... -->                         left out of the Markdown view, shown here
Any other comment is left out. In the manual page, the passages are roff conditionals on the
number register WINDOWS."""

import argparse
import re
import subprocess
import sys
import textwrap

WIDTH = 78
# The few typographic characters of the sources, as ASCII: Notepad of every Windows version and
# `type` in a Command Prompt show ASCII alike.
ASCII = {"\u2014": "-", "\u2013": "-", "\u2192": "->", "\u00d7": "x", "\u2026": "...",
         "\u00b7": ".", "\u2019": "'", "\u2018": "'", "\u201c": '"', "\u201d": '"',
         "\u00f7": "/", "\u2264": "<=", "\u2265": ">=", "\u00a0": " ", "\u2212": "-",
         " \u00b0C": " degrees C", "\u00b0": " degrees"}
# Documents the Markdown links to, by the names they have in the Windows folder.
FOLDER_NAMES = {"docs/format.md": "FORMAT.txt", "format.md": "FORMAT.txt",
                "docs/MIRTAK.1.in": "MANUAL.txt", "CHANGELOG.md": "CHANGELOG.txt",
                "LICENSE": "LICENSE.txt", "README.md": "README.txt", "../README.md": "README.txt"}


def for_windows(text, version):
    """The Markdown with each passage for one system resolved for Windows."""
    # A passage that starts a line is a block of its own: it leaves a paragraph break.
    text = re.sub(r"(?m)^[ \t]*<!-- not windows -->.*?<!-- /not windows -->\n?", "\n", text,
                  flags=re.DOTALL)
    text = re.sub(r"<!-- not windows -->.*?<!-- /not windows -->", "", text, flags=re.DOTALL)
    text = re.sub(r"(?m)^[ \t]*<!-- windows:\n(.*?)^[ \t]*-->\n?", r"\n\1\n", text,
                  flags=re.DOTALL)
    text = re.sub(r"<!-- windows:(.*?)-->", r"\1", text, flags=re.DOTALL)
    text = re.sub(r"<!--.*?-->\n?", "", text, flags=re.DOTALL)
    return re.sub(r"\bmirtak-VERSION-", f"mirtak-{version}-", text)


_CODE = re.compile(r"`([^`]+)`")
_LINK = re.compile(r"!?\[([^\]]*)\]\(([^)\s]*)\)")


def inline(text):
    """A paragraph's Markdown markup taken off: code spans, emphasis and links."""
    spans = []

    def keep(match):
        spans.append(match.group(1))
        return f"\0{len(spans) - 1}\0"

    text = _CODE.sub(keep, text)

    def link(match):
        label, target = match.group(1), match.group(2)
        if match.group(0).startswith("!"):
            return ""  # a picture has no place in a text file
        path, _, anchor = target.partition("#")
        label = FOLDER_NAMES.get(label.strip("\0"), label)
        if not path:
            return f'"{label}"'  # a section of this document
        if anchor:
            return f'"{label}"'  # a section of another document, which the sentence names
        return label
    text = _LINK.sub(link, text)
    text = re.sub(r"\*\*(.+?)\*\*", r"\1", text)
    text = re.sub(r"(?<![\w*])\*(?!\s)(.+?)(?<!\s)\*(?![\w*])", r"\1", text)
    text = re.sub(r"\0(\d+)\0", lambda m: FOLDER_NAMES.get(spans[int(m.group(1))],
                                                           spans[int(m.group(1))]), text)
    return text


def wrap(text, first="", rest=""):
    return textwrap.wrap(" ".join(text.split()), WIDTH, initial_indent=first,
                         subsequent_indent=rest, break_long_words=False,
                         break_on_hyphens=False) or [first.rstrip()]


def table(rows):
    cells = [[inline(cell.strip()) for cell in row.strip().strip("|").split("|")] for row in rows]
    header, body = cells[0], [row for row in cells[1:] if not all(re.fullmatch(r":?-+:?", c)
                                                                   for c in row)]
    widths = [max(len(row[i]) for row in [header, *body]) for i in range(len(header))]
    if sum(widths) + 2 * (len(widths) - 1) <= WIDTH:
        lines = ["  ".join(c.ljust(w) for c, w in zip(row, widths)).rstrip()
                 for row in [header, ["-" * w for w in widths], *body]]
        return lines
    # Too wide for a line: each row as its first cell, then the others by their headings.
    lines = []
    for row in body:
        lines.append(row[0] or "-")
        for title, cell in zip(header[1:], row[1:]):
            lines += wrap(f"{title}: {cell}", "    ", "      ")
        lines.append("")
    return lines[:-1]


def markdown(text):
    """Plain text of a Markdown document."""
    out = []
    lines = text.split("\n")
    i = 0

    def blank():
        if out and out[-1] != "":
            out.append("")

    while i < len(lines):
        line = lines[i]
        fence = re.match(r"^(\s*)```", line)
        if fence:
            indent = len(fence.group(1))
            blank()
            i += 1
            while not re.match(r"^\s*```", lines[i]):
                out.append(("    " + lines[i][indent:]).rstrip())
                i += 1
            i += 1
            blank()
            continue
        heading = re.match(r"^(#+) (.*)$", line)
        if heading:
            title = inline(heading.group(2))
            blank()
            if out:
                out.append("")
            underline = {1: "=", 2: "-"}.get(len(heading.group(1)), "~")
            out += [title, underline * len(title), ""]
            i += 1
            continue
        if line.startswith("|"):
            rows = []
            while i < len(lines) and lines[i].startswith("|"):
                rows.append(lines[i])
                i += 1
            blank()
            out += table(rows)
            blank()
            continue
        item = re.match(r"^(\s*)([-*]|\d+\.) (.*)$", line)
        if item:
            depth, mark, words = len(item.group(1)), item.group(2), [item.group(3)]
            i += 1
            while i < len(lines) and lines[i].strip() and \
                    not re.match(r"^\s*([-*]|\d+\.) ", lines[i]) and \
                    not lines[i].lstrip().startswith("```"):
                words.append(lines[i])
                i += 1
            lead = " " * depth + ("-" if mark in "-*" else mark) + " "
            out += wrap(inline(" ".join(words)), lead, " " * len(lead))
            if i < len(lines) and not lines[i].strip():
                out.append("")
            continue
        if not line.strip():
            blank()
            i += 1
            continue
        words = []
        while i < len(lines) and lines[i].strip() and not re.match(
                r"^(\s*```|#+ |\||\s*([-*]|\d+\.) )", lines[i]):
            words.append(lines[i])
            i += 1
        paragraph = inline(" ".join(words))
        if paragraph.strip():
            out += wrap(paragraph)
            out.append("")
    while out and out[-1] == "":
        out.pop()
    return "\n".join(out) + "\n"


def manual(sources, groff):
    run = subprocess.run([groff, "-man", "-Tascii", "-P-cbou", "-rWINDOWS=1", *sources],
                         capture_output=True, text=True, check=False)
    if run.returncode != 0 or run.stderr:
        raise SystemExit(f"groff could not render {sources} ({run.returncode}): {run.stderr}")
    return run.stdout


def as_ascii(text, source):
    for typographic, plain in ASCII.items():
        text = text.replace(typographic, plain)
    foreign = sorted({c for c in text if ord(c) > 126 or (ord(c) < 32 and c not in "\n")})
    if foreign:
        raise SystemExit(f"{source}: characters with no plain ASCII form: {foreign}")
    return text


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("kind", choices=("markdown", "manual", "plain"))
    parser.add_argument("source", nargs="+", help="the source (the manual pages, for manual)")
    parser.add_argument("output")
    parser.add_argument("--version", default="")
    parser.add_argument("--groff", default="groff")
    args = parser.parse_args()
    if args.kind == "manual":
        text = manual(args.source, args.groff)
    else:
        if len(args.source) != 1:
            parser.error(f"{args.kind} takes one source")
        with open(args.source[0], encoding="utf-8") as f:
            text = f.read()
        if args.kind == "markdown":
            text = markdown(for_windows(text, args.version))
    text = as_ascii(text, " ".join(args.source))
    with open(args.output, "w", encoding="ascii", newline="\r\n") as f:
        f.write(text)
    return 0


if __name__ == "__main__":
    sys.exit(main())
