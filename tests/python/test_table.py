# SPDX-License-Identifier: GPL-3.0-or-later
import itertools
import math
import os
import shlex
import threading
import time

import numpy as np
import pandas as pd
import pytest

import vistrel
from conftest import batch_rows, same_cell

HERE = os.path.dirname(__file__)
COMMON = dict(age="40", letter_height_mm="6", viewing_distance_mm="750", ratio="7", ease="90% confidence",
              letter_factor="0.8", background_factor="0.2")


def scenario_rows():
    """The engine's scenarios (tests/calc/scenarios.txt) as rows of texts."""
    rows = []
    with open(os.path.join(HERE, "..", "calc", "scenarios.txt"), encoding="utf-8") as lines:
        for line in lines:
            if line.startswith("#") or not line.strip():
                continue
            label, mode, typed = [cell.strip() for cell in line.split("|")[:3]]
            row = dict(label=label, mode=mode, **COMMON)
            for text in filter(None, (t.strip() for t in typed.split(";"))):
                field, value = text.split("=", 1)
                row[vistrel._FIELD_COLUMNS[field]] = "".join(shlex.split(value)) if '"' in value else value
            rows.append(row)
    names = list(dict.fromkeys(itertools.chain.from_iterable(rows)))
    return [{n: row.get(n, "") for n in names} for row in rows]


def every_mode_rows():
    """Numbers in every mode, with and without daylight and glare, some of them failing."""
    rows = []
    for k, (mode, age, height) in enumerate(itertools.product(["source", "illuminance", "luminance"],
                                                               [20, 45.5, 80], [0.7, 3, 12.25])):
        row = dict(id=f"r{k}", mode=mode, source_cd=None, distance_m=None, illuminance_lux=None,
                   background_cdm2=None, letter_cdm2=None, letter_factor=None, background_factor=None,
                   age=age, viewing_distance_mm=750, letter_height_mm=height, ratio=7, ease="easy",
                   ambient_lux=None, display_reflectance=None, glare_lux=None, glare_angle_deg=None)
        if mode == "source":
            row.update(source_cd=1000 + k, distance_m=2.5, letter_factor=0.1, background_factor=0.5)
        elif mode == "illuminance":
            row.update(illuminance_lux=10 ** (k % 5), letter_factor=0.8, background_factor=0.2)
        else:
            row.update(background_cdm2=30.5, letter_cdm2=0.1 * k)
        if k % 3 == 1:
            row.update(ambient_lux=20000, display_reflectance=0.04)
        if k % 4 == 2:
            row.update(glare_lux=300, glare_angle_deg=5)
        rows.append(row)
    return rows


def as_text(value):
    return "" if value is None else repr(value) if isinstance(value, float) else str(value)


def assert_same_as_batch(ours, theirs):
    assert list(ours) == list(theirs[0])
    for k, row in enumerate(theirs):
        for name, cell in row.items():
            assert same_cell(name, ours[name][k], cell), (k, name, ours[name][k], cell)


@pytest.mark.parametrize("rows", [scenario_rows(), every_mode_rows()], ids=["scenarios", "every-mode"])
@pytest.mark.parametrize("kind", ["frame", "dict", "records"])
def test_table_equals_batch_cell_for_cell(rows, kind):
    theirs = batch_rows([{k: as_text(v) for k, v in row.items()} for row in rows])
    if kind == "frame":
        table = pd.DataFrame(rows)
        out = vistrel.evaluate_table(table, nan_is_empty=True)
        assert isinstance(out, pd.DataFrame) and (out.index == table.index).all()
        assert out["margin_log"].dtype == np.float64
    elif kind == "dict":
        out = vistrel.evaluate_table({n: np.array([r[n] for r in rows], dtype=object) for n in rows[0]})
        assert isinstance(out["age"], np.ndarray) and out["age"].dtype == np.float64
    else:
        out = vistrel.evaluate_table(rows)
        assert isinstance(out, list) and out[0]["id" if "id" in rows[0] else "label"] == theirs[0].get(
            "id", theirs[0].get("label"))
        out = {name: [row[name] for row in out] for name in out[0]}
    assert_same_as_batch(out, theirs)


GOOD = dict(mode=["illuminance"], illuminance_lux=[1076.0], letter_factor=[0.8], background_factor=[0.2], age=[40],
            letter_height_mm=[6.0], viewing_distance_mm=[750], ratio=[7], ease=["90"])


@pytest.mark.parametrize("change, field, words", [
    (dict(age=[float("nan")]), "age", "row 0: nan"),
    (dict(age=np.array([np.inf])), "age", "inf"),
    (dict(age=np.array(["2020-01-01"], dtype="datetime64[D]")), "age", "neither numbers nor texts"),
    (dict(age=np.array([True])), "age", "neither numbers nor texts"),
    ({**{k: v * 2 for k, v in GOOD.items()}, "age": [40, "41"]}, "age", "mixes numbers (row 0) and texts (row 1)"),
    (dict(age=[40, 41]), "age", "2 rows where column mode has 1"),
    (dict(mode=["daylight"]), "mode", 'row 0: "daylight" must be'),
    (dict(agee=[40]), "agee", 'did you mean "age"'),
    (dict(letter_reflectance=[0.8]), "letter_reflectance", "same column"),
    (dict(age=None), "age", "lacks a column every case needs: age"),
    (dict(mode=None), "mode", "needs: mode"),
])
def test_bad_tables_raise_input_error_naming_the_column(change, field, words):
    table = {k: v for k, v in {**GOOD, **change}.items() if v is not None}
    with pytest.raises(vistrel.InputError) as raised:
        vistrel.evaluate_table(table)
    assert raised.value.field == field and words in str(raised.value)


@pytest.mark.parametrize("table", [pd.DataFrame({k: [] for k in GOOD}), {k: [] for k in GOOD}, []])
def test_an_empty_table_is_refused(table):
    with pytest.raises(vistrel.InputError, match="no rows"):
        vistrel.evaluate_table(table)


def test_nan_is_an_empty_cell_when_asked():
    out = vistrel.evaluate_table(dict(GOOD, source_cd=[math.nan]), nan_is_empty=True)
    assert out["result"][0] == "Legible" and math.isnan(out["source_cd"][0])


def test_the_gil_is_released_while_rows_are_computed():
    rows = 400_000
    table = {k: np.repeat(np.array(v), rows) for k, v in GOOD.items()}
    span = []
    worker = threading.Thread(target=lambda: (span.append(time.monotonic()), vistrel.evaluate_table(table),
                                              span.append(time.monotonic())))
    ticks = []
    worker.start()
    while worker.is_alive():
        ticks.append(time.monotonic())
        time.sleep(0.002)
    worker.join()
    # Held throughout, the GIL would let this thread run only around the call.
    assert sum(span[0] < t < span[1] for t in ticks) >= 20
