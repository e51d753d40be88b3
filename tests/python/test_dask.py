# SPDX-License-Identifier: GPL-3.0-or-later
# vistrel.dask on a two-process LocalCluster: its answers must be exactly those
# of one process (evaluate_table) and of vistrel-cli run by hand (screen maps).
import json
import os
import shutil
import subprocess

import pytest

try:
    import dask
    import dask.dataframe as dd
    import distributed
    import pandas as pd
except ImportError as missing:
    pytest.skip(f"vistrel.dask needs dask, distributed and pandas: {missing}", allow_module_level=True)

import vistrel
import vistrel.dask

# What one result may take on a loaded machine, under the sanitizers too (whose
# runtime every worker process preloads); a hang fails instead of stalling CI.
TIMEOUT = 300
CLI = os.environ["VISTREL_CLI"]
SCREEN = {"white_cdm2": 300, "black_cdm2": 0.5, "pixel_pitch_mm": 0.25, "age": 45, "viewing_distance_mm": 750,
          "ease": 90}


@pytest.fixture(scope="module")
def client():
    with distributed.LocalCluster(n_workers=2, threads_per_worker=1, processes=True, host="127.0.0.1",
                                  dashboard_address=None) as cluster, distributed.Client(cluster) as c:
        yield c


def designs():
    rows = []
    for height in (2, 3.5, 6, 9):
        for distance in (500, 750, 1200):
            rows.append({"id": len(rows), "mode": "illuminance", "illuminance_lux": 1076, "letter_factor": 0.8,
                         "background_factor": 0.2, "age": 40 + height, "letter_height_mm": height,
                         "viewing_distance_mm": distance, "ratio": 7, "ease": "90% confidence",
                         "label": f"{height} mm at {distance} mm"})
    return pd.DataFrame(rows)


# The frame's partitions are rows 0-3, 4-7 and 8-11; the filter empties the first.
@pytest.mark.parametrize("select, options", [
    (lambda f: f, {}),
    (lambda f: f[f.letter_height_mm >= 6], {}),
    (lambda f: f, {"daylight": True}),
])
def test_evaluate_table_over_partitions_equals_one_process(client, select, options):
    frame = designs()
    whole = vistrel.evaluate_table(select(frame), **options)
    lazy = vistrel.dask.evaluate_table(select(dd.from_pandas(frame, npartitions=3)), **options)
    assert lazy.npartitions == 3
    assert list(lazy.columns) == list(whole.columns)
    assert lazy.dtypes.equals(whole.dtypes)
    pd.testing.assert_frame_equal(client.compute(lazy).result(timeout=TIMEOUT), whole, check_exact=True)


def test_a_bad_cell_raises_input_error_naming_its_partition(client):
    frame = designs()
    frame.loc[10, "mode"] = "sun"
    lazy = vistrel.dask.evaluate_table(dd.from_pandas(frame, npartitions=3))
    with pytest.raises(vistrel.InputError, match='index 8 to 11, counted from 0 there: column mode row 2: "sun"') as e:
        client.compute(lazy).result(timeout=TIMEOUT)
    assert e.value.field == "mode"


def test_evaluate_table_learns_its_columns_without_computing():
    def never(_):
        raise AssertionError("a partition was computed to learn the columns")

    frame = designs()
    parts = [dask.delayed(never)(i) for i in range(3)]
    lazy = dd.from_delayed(parts, meta=frame.iloc[:0], verify_meta=False)
    vistrel.dask.evaluate_table(lazy)


def draw(path, text):
    subprocess.run(["convert", "-size", "320x120", "xc:#101010", "-font", "Liberation-Sans", "-fill", "#f0f0f0",
                    "-pointsize", "36", "-annotate", "+20+75", text, path], check=True)


@pytest.fixture(scope="module")
def screens(tmp_path_factory):
    if shutil.which("convert") is None:
        pytest.skip("the screens are drawn with ImageMagick's convert")
    folder = tmp_path_factory.mktemp("screens")
    paths = []
    for name, text in (("speed", "SPEED 88"), ("range", "Range 212"), ("gear", "D 4")):
        paths.append(str(folder / f"{name}.png"))
        draw(paths[-1], text)
    return paths


def by_hand(image, out, args):
    status = subprocess.run([CLI, "screen", image, "-o", f"{out}.png", "--table", f"{out}.json", *args]).returncode
    with open(f"{out}.json", encoding="utf-8") as f:
        return status, json.load(f)["regions"]


SCREEN_ARGS = ["--white-cdm2", "300", "--black-cdm2", "0.5", "--pixel-pitch-mm", "0.25", "--age", "45",
               "--viewing_distance_mm", "750", "--ease", "90"]


@pytest.mark.parametrize("options, args, status", [
    (SCREEN, SCREEN_ARGS, 0),
    ({**SCREEN, "viewing_distance_mm": 90000, "fail_on": "not-legible", "no_formula_guard": True, "regions": None},
     SCREEN_ARGS[:-4] + ["--viewing_distance_mm", "90000", "--ease", "90", "--fail-on", "not-legible",
                         "--no-formula-guard"], 3),
])
def test_screen_maps_equal_the_program_run_by_hand(client, screens, tmp_path, options, args, status):
    results = client.compute(vistrel.dask.screen_maps(screens, tmp_path / "maps", **options)).result(timeout=TIMEOUT)
    assert [r["path"] for r in results] == screens
    for r in results:
        name = os.path.basename(r["path"])[:-4]
        assert r["map"] == str(tmp_path / "maps" / f"{name}.map.png")
        own_status, regions = by_hand(r["path"], str(tmp_path / name), args)
        assert (r["status"], r["regions"]) == (status, regions) and own_status == status
        assert r["regions"], f"no text found in {name}"
        with open(r["map"], "rb") as a, open(tmp_path / f"{name}.png", "rb") as b:
            assert a.read() == b.read()


def test_a_screen_the_program_refuses_names_the_image(client, screens, tmp_path):
    broken = tmp_path / "broken.png"
    broken.write_bytes(open(screens[0], "rb").read()[:200])
    with pytest.raises(vistrel.dask.ScreenError, match=f"{broken}: exit status 2: .*broken.png") as e:
        client.compute(vistrel.dask.screen_maps([screens[1], broken], tmp_path / "maps", **SCREEN)).result(
            timeout=TIMEOUT)
    assert (e.value.path, e.value.status) == (str(broken), 2)


@pytest.mark.parametrize("paths, out, options, error, message", [
    (["a/speed.png", "b/speed.png"], "maps", {}, ValueError, "b/speed.png would write the same map speed.map.png"),
    (["maps/x.map.png", "x.png"], "maps", {}, ValueError, "maps/x.map.png would replace an input"),
    (["speed.png"], "maps", {"table": "t.json"}, TypeError, "table is chosen for each image"),
    (["speed.png"], "maps", {"o": "m.png"}, TypeError, "o is chosen for each image"),
    (["speed.png"], "maps", {"cli": "/nonexistent/vistrel-cli"}, FileNotFoundError, "/nonexistent/vistrel-cli"),
])
def test_screen_maps_refuses_before_running(monkeypatch, tmp_path, paths, out, options, error, message):
    monkeypatch.chdir(tmp_path)
    with pytest.raises(error, match=message):
        vistrel.dask.screen_maps(paths, out, **options)
    assert not os.path.exists("maps")


def test_screen_maps_finds_the_program_on_the_path(monkeypatch, tmp_path):
    monkeypatch.delenv("VISTREL_CLI")
    monkeypatch.setenv("PATH", str(tmp_path))
    with pytest.raises(FileNotFoundError, match="vistrel-cli is not on the PATH"):
        vistrel.dask.screen_maps(["speed.png"], tmp_path)
    os.symlink(CLI, tmp_path / "vistrel-cli")
    assert vistrel.dask.screen_maps(["speed.png"], tmp_path).npartitions == 1
