"""Checks that the documents state the file name limits this machine has, and that the tool has
none of its own: a log named by a path of the longest length the system takes converts, and a
longer path fails as a missing log. The manual page and the README must both give the lengths."""

import argparse
import os
import subprocess
import sys
import tempfile


def path_of_length(length, name_max):
    """A relative path of exactly length bytes, of folders with names of at most name_max."""
    parts, left = [], length
    while left > name_max:
        part = min(name_max, left - 2)  # leave a slash and at least one byte for the file
        parts.append("d" * part)
        left -= part + 1
    parts.append("f" * left)
    return "/".join(parts)


def run(tool, arguments):
    return subprocess.run([tool, *arguments], capture_output=True, check=False)


def check_tool(tool, log, path_max, name_max):
    with tempfile.TemporaryDirectory() as folder:
        os.chdir(folder)  # the path is longer than any path from the root would be allowed
        longest = path_of_length(path_max - 1, name_max)  # PATH_MAX counts the final NUL
        os.makedirs(os.path.dirname(longest))
        with open(log, "rb") as source, open(longest, "wb") as copy:
            copy.write(source.read())
        converted = run(tool, [longest, "values.mx"])
        if converted.returncode != 0 or not os.path.getsize("values.mx"):
            raise SystemExit(f"a log path of {len(longest)} bytes did not convert: "
                             f"status {converted.returncode}, {converted.stdout[-200:]!r}")
        too_long = "./" + longest
        refused = run(tool, [too_long, "other.mx"])
        if refused.returncode != 1 or not refused.stdout.endswith(b"No such file " +
                                                                  too_long.encode()):
            raise SystemExit(f"a log path of {len(too_long)} bytes: status {refused.returncode}")
        os.chdir("/")


def check_documents(groff, page, readme, lengths):
    rendered = subprocess.run([groff, "-man", "-Tascii", "-P-cbou", "-rLL=250n", page],
                              capture_output=True, text=True, check=True).stdout
    with open(readme, encoding="utf-8") as f:
        documents = {page: " ".join(rendered.split()), readme: " ".join(f.read().split())}
    missing = [f"{name}: {length}" for name, text in documents.items() for length in lengths
               if length not in text]
    if missing:
        raise SystemExit("the documents do not give the machine's limits:\n  " +
                         "\n  ".join(missing))


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--groff", default="groff")
    parser.add_argument("--page", required=True)
    parser.add_argument("--readme", required=True)
    parser.add_argument("--tool", required=True)
    parser.add_argument("--log", required=True, help="a log the tool converts")
    args = parser.parse_args()
    path_max = os.pathconf("/", "PC_PATH_MAX")
    name_max = os.pathconf("/", "PC_NAME_MAX")
    check_tool(args.tool, os.path.abspath(args.log), path_max, name_max)
    check_documents(args.groff, args.page, args.readme,
                    [f"{path_max - 1} bytes", f"{name_max} bytes"])
    print(f"paths of up to {path_max - 1} bytes, names of up to {name_max}: as documented")
    return 0


if __name__ == "__main__":
    sys.exit(main())
