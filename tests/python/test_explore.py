# SPDX-License-Identifier: GPL-3.0-or-later
import csv
import io
import json
import math
import types

import numpy as np
import pytest

import vistrel
from conftest import run_cli, same_cell

CASE = dict(mode="illuminance", illuminance_lux=1076, letter_factor=0.8, background_factor=0.2, age=60,
            letter_height_mm=2.5, viewing_distance_mm=750, ratio=7, ease=90)


def options(inputs):
    return [f"--{k}={v}" for k, v in inputs.items()]


def plain(value):
    """Namespaces, Results and tuples as the JSON the command line prints."""
    if isinstance(value, types.SimpleNamespace):
        return {k: plain(v) for k, v in vars(value).items()}
    if isinstance(value, vistrel.Result):
        d = value.dict()
        return {"verdict": value.verdict, "message": value.message, "margin_log": value.margin_log,
                **{k: v for k, v in d.items() if k not in ("result", "message", "margin_log")}}
    if isinstance(value, dict):
        return {k: plain(v) for k, v in value.items()}
    if isinstance(value, (list, tuple)):
        return [plain(v) for v in value]
    return value


def flat_case(j):
    return {"verdict": j["verdict"], "message": j["message"], "margin_log": j["margin_log"], **j["inputs"],
            **j["outputs"]}


@pytest.mark.parametrize("column, limits, change", [
    ("letter_height_mm", {}, {}),
    ("viewing_distance_mm", {}, {}),
    ("age", {"min": 20, "max": 80}, {}),
    ("illuminance_lux", {}, {"letter_height_mm": 3}),            # logarithmic grid
    ("ratio", {}, {"letter_height_mm": 1}),                      # nothing legible
])
def test_solve_finds_what_the_command_line_finds(column, limits, change):
    inputs = {k: v for k, v in {**CASE, **change}.items() if k != column}
    ours = vistrel.solve(column, **limits, **inputs)
    theirs = json.loads(run_cli("solve", "--for", column, *options(inputs),
                                *[f"--{k}={v}" for k, v in limits.items()], "--json").stdout)
    assert (ours.min, ours.max, ours.state_at_min, ours.state_at_max, ours.answer) == (
        theirs["min"], theirs["max"], theirs["state_at_min"], theirs["state_at_max"], theirs["answer"])
    assert [list(c) for c in ours.changes] == [list(c.values()) for c in theirs["changes"]]
    assert [list(b) for b in ours.bands] == [list(b.values()) for b in theirs["bands"]]
    assert plain(ours.at) == flat_case(theirs)


@pytest.mark.parametrize("column, start, stop, step, factor", [
    ("viewing_distance_mm", 100, 3000, 10, None),
    ("illuminance_lux", 1, 100000, None, 1.1),
    ("ambient_lux", 0, 50000, 2500, None),                      # adds the daylight columns
])
def test_sweep_writes_what_the_command_line_writes(column, start, stop, step, factor):
    inputs = {k: v for k, v in CASE.items() if k != column}
    ours = vistrel.sweep(column, start, stop, step=step, factor=factor, **inputs)
    spec = f"{column}={start}:{stop}:" + (f"{step}" if step else f"x{factor}")
    theirs = list(csv.DictReader(io.StringIO(run_cli("sweep", "--vary", spec, *options(inputs)).stdout)))
    assert list(ours) == list(theirs[0]) and len(ours["margin_log"]) == len(theirs)
    for k, row in enumerate(theirs):
        assert all(same_cell(name, ours[name][k], cell) for name, cell in row.items()), k


@pytest.mark.parametrize("spreads, change", [
    ({"age": "uniform:50:70", "illuminance_lux": "±10%"}, {}),
    ({"letter_factor": "normal:0.05", "letter_height_mm": "triangular:2:2.5:3"}, {}),
    ({"background_factor": "uniform:0.7:0.9"}, {}),             # samples ending in a message
])
def test_tolerance_answers_as_the_command_line(spreads, change):
    inputs = {**CASE, **change}
    ours = vistrel.tolerance(spreads, samples=3000, seed=7, **inputs)
    tols = [f"--tol={k}={v}" for k, v in spreads.items()]
    theirs = json.loads(run_cli("tolerance", *tols, "--samples=3000", "--seed=7", *options(inputs),
                                "--json").stdout)
    mc = plain(ours.monte_carlo)
    margins = ours.monte_carlo.margins
    mc["interval_95"] = dict(zip(("low", "high"), mc["interval_95"]))
    del mc["margins"]
    theirs["nominal"] = flat_case(theirs["nominal"])
    assert {**plain(vars(ours)), "monte_carlo": mc} == theirs
    given = margins[~np.isnan(margins)]
    assert margins.size == 3000 and np.isnan(margins).sum() == ours.monte_carlo.message_samples
    assert np.all(np.diff(given) >= 0)
    if given.size:
        assert math.isclose(np.percentile(given, 50), ours.monte_carlo.margin_log_p50, abs_tol=1e-12)


@pytest.mark.parametrize("call, field", [
    (lambda: vistrel.solve("letter_size_arcmin", **CASE), "letter_size_arcmin"),
    (lambda: vistrel.solve("age", min=50, max=10, **{k: v for k, v in CASE.items() if k != "age"}), "min"),
    (lambda: vistrel.sweep("age", 10, 90, **CASE), "step"),
    (lambda: vistrel.sweep("age", 10, 90, step=0, **CASE), "age"),
    (lambda: vistrel.tolerance({"agee": "±1"}, **CASE), "agee"),
    (lambda: vistrel.tolerance({"age": "about 5"}, **CASE), "age"),
    (lambda: vistrel.tolerance({"age": "±1"}, samples=0, **CASE), "samples"),
])
def test_bad_questions_raise_input_error(call, field):
    with pytest.raises(vistrel.InputError) as raised:
        call()
    assert raised.value.field == field
