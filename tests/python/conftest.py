# SPDX-License-Identifier: GPL-3.0-or-later
# What the tests share: the command line to compare with, and its tables read back.
import csv
import io
import json
import math
import os
import subprocess

import pytest

CLI = os.environ.get("VISTREL_CLI", "vistrel-cli")
WORDS = {"mode", "ease", "result", "polarity", "message"}


def run_cli(*args, stdin=None):
    return subprocess.run([CLI, *args], input=stdin, capture_output=True, text=True)


def eval_json(inputs):
    args = [f"--{k}={v}" for k, v in inputs.items()]
    return json.loads(run_cli("eval", "--json", *args).stdout)


def batch_rows(rows, *extra):
    """The rows (dicts of texts) through vistrel-cli batch, read back as dicts of texts."""
    names = list(rows[0])
    out = io.StringIO()
    writer = csv.writer(out, lineterminator="\n")
    writer.writerow(names)
    writer.writerows([[row[n] for n in names] for row in rows])
    done = run_cli("batch", "--keep-unknown", *extra, "-", stdin=out.getvalue())
    assert done.returncode in (0, 1), done.stderr
    return list(csv.DictReader(io.StringIO(done.stdout)))


def same_cell(name, ours, theirs):
    """A cell of ours against batch's text: numbers exactly as floats, words exactly."""
    if name in WORDS or name in ("id", "label"):
        return (ours or "") == theirs
    try:
        value = float(theirs)
        if math.isfinite(value):
            return value == ours
    except ValueError:
        pass
    # Empty, or a text that is no number: no number in a float column.
    return ours is None or (isinstance(ours, float) and math.isnan(ours))


@pytest.fixture(scope="session")
def cli():
    return run_cli
