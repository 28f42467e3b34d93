"""Finds the named code blocks of a Markdown document: a fence whose info string is the
language followed by key=name, as in ```python recipe=numpy."""

import re

_FENCE = re.compile(
    r"^```(?P<language>[\w+-]+) (?P<key>\w+)=(?P<name>[\w.-]+)\n(?P<body>.*?)^```$",
    re.MULTILINE | re.DOTALL,
)


def named_blocks(path, key):
    """Returns {name: (language, body)} for the blocks marked key=name."""
    with open(path, encoding="utf-8") as f:
        text = f.read()
    blocks = {}
    for match in _FENCE.finditer(text):
        if match["key"] != key:
            continue
        if match["name"] in blocks:
            raise SystemExit(f"{path}: two blocks named {key}={match['name']}")
        blocks[match["name"]] = (match["language"], match["body"])
    return blocks


def block(path, key, name):
    """Returns (language, body) of the block key=name; exits if the document has none."""
    blocks = named_blocks(path, key)
    if name not in blocks:
        raise SystemExit(f"{path} has no block {key}={name} (it has {sorted(blocks)})")
    return blocks[name]
