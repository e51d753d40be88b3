# SPDX-License-Identifier: GPL-3.0-or-later
# Runs docs/python.md's Python blocks in order, in one namespace, from a
# folder where docs/ is the guide's own; a ```text block right after a block
# is what that block must print. Blocks that plot are skipped without
# matplotlib, and the blocks after them must not need what they made.
import contextlib
import importlib.util
import io
import os
import re
from pathlib import Path

import pytest

DOCS = Path(__file__).resolve().parents[2] / "docs"
FENCE = re.compile(r"^```(\w*)[^\n]*\n(.*?)^```\n", re.M | re.S)


def blocks():
    text = (DOCS / "python.md").read_text(encoding="utf-8")
    found = []
    for match in FENCE.finditer(text):
        line = text.count("\n", 0, match.start()) + 1
        kind, body = match.group(1), match.group(2)
        if kind == "text" and found and found[-1][2] is None and text[found[-1][3]:match.start()].strip() == "":
            found[-1][2] = body
        elif kind == "python":
            found.append([line, body, None, match.end()])
    return [tuple(b[:3]) for b in found]


BLOCKS = blocks()


@pytest.fixture(scope="module")
def namespace(tmp_path_factory):
    folder = tmp_path_factory.mktemp("guide")
    (folder / "docs").symlink_to(DOCS)
    before = os.getcwd()
    os.chdir(folder)
    os.environ.setdefault("MPLBACKEND", "Agg")
    yield {"__name__": "__guide__"}
    os.chdir(before)


def test_the_guide_has_its_blocks():
    assert len(BLOCKS) >= 8 and sum(shown is not None for _, _, shown in BLOCKS) >= 4


@pytest.mark.parametrize("line, body, shown", BLOCKS, ids=[f"line {b[0]}" for b in BLOCKS])
def test_block(namespace, line, body, shown):
    if "matplotlib" in body and importlib.util.find_spec("matplotlib") is None:
        pytest.skip("matplotlib is not installed")
    out = io.StringIO()
    with contextlib.redirect_stdout(out):
        exec(compile(body, f"docs/python.md:{line}", "exec"), namespace)
    if shown is not None:
        assert out.getvalue() == shown
