"""Converts the worked example of the format guide with the tool and checks that the value
file holds exactly the bytes the guide shows. Both are given as od -Ax -tx1z dumps."""

import argparse
import os
import subprocess
import sys
import tempfile

from doc_blocks import block


def dump_bytes(dump):
    """The bytes of an od -Ax -tx1z dump; its last line, the offset alone, is their count."""
    data = bytearray()
    for line in dump.splitlines():
        words = line.split(">")[0].split()
        if len(words) == 1:
            if int(words[0], 16) != len(data):
                raise SystemExit(f"dump ends at {words[0]} but holds {len(data)} bytes")
            return bytes(data)
        if int(words[0], 16) != len(data):
            raise SystemExit(f"dump line {line!r} is not at offset {len(data):06x}")
        data += bytes(int(word, 16) for word in words[1:])
    raise SystemExit("dump has no final offset line")


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--doc", required=True)
    parser.add_argument("--tool", required=True)
    args = parser.parse_args()

    log = dump_bytes(block(args.doc, "example", "log")[1])
    want = dump_bytes(block(args.doc, "example", "values")[1])
    with tempfile.TemporaryDirectory() as folder:
        with open(os.path.join(folder, "example.log"), "wb") as f:
            f.write(log)
        run = subprocess.run([args.tool, "example.log", "example.mx"], cwd=folder,
                             capture_output=True, check=False)
        with open(os.path.join(folder, "example.mx"), "rb") as f:
            got = f.read()
    if run.returncode != 0 or got != want:
        raise SystemExit(f"status {run.returncode}, value file {got.hex(' ')}, "
                         f"the guide shows {want.hex(' ')}")
    print(f"the worked example converts to the {len(want)} bytes shown")
    return 0


if __name__ == "__main__":
    sys.exit(main())
