# SPDX-License-Identifier: GPL-3.0-or-later
import csv
import io
import json
import os
import tempfile

import numpy as np
import pytest

import vistrel
from conftest import run_cli
from test_explore import flat_case, plain

CASE = dict(mode="luminance", letter_cdm2=500, background_cdm2=10, age=40, letter_height_mm=6,
            viewing_distance_mm=750, ratio=7, ease=90, ambient_lux=5000, display_reflectance=0.02)


@pytest.mark.parametrize("profiles, change, fails", [
    (["text-legibility", "faa-distance"], {}, ("recommended",)),
    (["stroke-width"], {}, ()),
    (["text-legibility"], {"letter_height_mm": 2}, ("required", "recommended")),
    (["faa-distance"], {"letter_cdm2": 11}, ("not-legible", "required", "recommended")),
])
def test_check_answers_as_the_command_line(profiles, change, fails):
    inputs = {**CASE, **change}
    ours = vistrel.check(inputs, profiles)
    done = run_cli("check", *[f"--profile={p}" for p in profiles], *[f"--{k}={v}" for k, v in inputs.items()],
                   "--json")
    theirs = json.loads(done.stdout)
    assert plain(ours.profiles) == theirs["profiles"] and ours.passed == theirs["passed"]
    assert plain(ours.case) == flat_case(theirs)
    assert ours.fails == fails and (done.returncode == 0) == ours.passed


@pytest.mark.parametrize("text, line", [
    ("title = 'x'\n[[criterion]]\nid = 'a'\nquantity = 'nothing'\n", 2),
    ("[[criterion\n", 1),
])
def test_a_bad_profile_raises_profile_error_with_its_line(text, line):
    with tempfile.TemporaryDirectory() as folder:
        path = os.path.join(folder, "bad.toml")
        with open(path, "w") as f:
            f.write(text)
        with pytest.raises(vistrel.ProfileError) as raised:
            vistrel.check(CASE, path)
    assert (raised.value.file, raised.value.line) == (path, line)


def test_a_missing_profile_names_the_folders_searched():
    with pytest.raises(vistrel.ProfileError, match="looked up in /nowhere"):
        vistrel.check(CASE, "text-legibility", profile_dirs=["/nowhere"])


DESIGNS = [dict(design="A", **CASE), dict(design="B", **{**CASE, "letter_cdm2": 100, "age": 60, "letter_height_mm": 3,
                                                           "display_reflectance": 0.05}),
           dict(design="C", **{**CASE, "mode": "illuminance", "illuminance_lux": 50, "letter_factor": 0.8,
                               "background_factor": 0.8})]


@pytest.mark.parametrize("conditions", [None, [dict(condition="dusk", ambient_lux=50), dict(condition="noon", ambient_lux=200000)]])
def test_conditions_judge_as_the_command_line(conditions):
    ours = vistrel.conditions(DESIGNS, conditions)
    with tempfile.TemporaryDirectory() as folder:
        files = []
        for rows in (DESIGNS, conditions):
            if rows is None:
                continue
            files.append(os.path.join(folder, f"{len(files)}.csv"))
            names = list(dict.fromkeys(k for row in rows for k in row))
            with open(files[-1], "w", newline="") as f:
                writer = csv.DictWriter(f, names)
                writer.writeheader()
                writer.writerows(rows)
        out = os.path.join(folder, "out.csv")
        run_cli("conditions", files[0], *(["--conditions", files[1]] if conditions else []), "-o", out)
        with open(out) as f:
            theirs = list(csv.DictReader(f))
    assert len(theirs) == ours.margins.size
    for k, row in enumerate(theirs):
        d, c = divmod(k, len(ours.conditions))
        assert (ours.designs[d], ours.conditions[c]) == (row["design"], row["condition"])
        assert ours.verdicts[d, c] == (row["result"] or None)
        assert (np.isnan(ours.margins[d, c]) and row["margin_log"] == "") or ours.margins[d, c] == float(
            row["margin_log"])
