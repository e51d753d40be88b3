# SPDX-License-Identifier: GPL-3.0-or-later
"""Vistrel over a Dask cluster: tables of designs by partition, screenshots by image.

Import it on its own (``import vistrel.dask``): ``import vistrel`` needs no
Dask. The same code runs on a ``distributed.LocalCluster`` and on a real
cluster, whose workers need the vistrel module (and, for screen maps,
vistrel-cli and the images and output folder at the same paths).
"""
from __future__ import annotations

import functools
import json
import os
import shutil
import subprocess
from pathlib import Path
from typing import Any, Dict, Iterable, List, Optional, Union

import dask.bag
import dask.dataframe
import dask.dataframe.utils
import pandas as pd

import vistrel

__all__ = ["ScreenError", "evaluate_table", "screen_maps"]


def _stand_in(meta):
    """One row of the input's columns and dtypes that evaluate_table reads without complaint.

    The answer's columns depend on the input's names (and the options) alone:
    one made-up row gives them where the empty frame Dask keeps would be
    refused for having no rows. Dask's made-up numbers are finite; its texts
    ("foo") are no mode, so texts are left empty and the mode is one the
    engine knows.
    """
    sample = dask.dataframe.utils.meta_nonempty(meta).iloc[:1]
    columns = []
    for k, dtype in enumerate(meta.dtypes):
        column = sample.iloc[:, k]
        if dtype.kind == "O" or isinstance(dtype, pd.StringDtype):
            text = "luminance" if meta.columns[k] == "mode" else None
            column = pd.Series([text], index=sample.index, dtype=dtype)
        columns.append(column)
    frame = pd.concat(columns, axis=1) if columns else sample
    frame.columns = meta.columns
    return frame


def _evaluate_partition(part, meta, options):
    # Filtering leaves empty partitions, which evaluate_table refuses as a
    # table without cases: they answer with no rows.
    if len(part) == 0:
        return meta.set_axis(part.index[:0], axis=0)
    try:
        return vistrel.evaluate_table(part, **options)
    except vistrel.InputError as e:
        # Its row counts from the partition's first: say which rows those are.
        where = f"the rows of index {part.index[0]} to {part.index[-1]}, counted from 0 there"
        raise vistrel.InputError(f"{where}: {e}", e.field) from e


def evaluate_table(ddf: dask.dataframe.DataFrame, **options: Any) -> dask.dataframe.DataFrame:
    """Evaluate every design of a Dask DataFrame, partition by partition.

    Each partition goes through :func:`vistrel.evaluate_table` with ``options``
    (``daylight=True``); the result is a lazy Dask DataFrame with the columns
    and index that one evaluate_table over the whole frame would give. The
    columns come from the input's names alone, so nothing is computed to learn
    them, and a table that lacks a column or misspells one raises
    :class:`vistrel.InputError` here; a cell that cannot be read raises it when
    computed.
    """
    if not isinstance(ddf, dask.dataframe.DataFrame):
        raise TypeError(f"vistrel.dask.evaluate_table takes a dask DataFrame, not {type(ddf).__name__}")
    meta = vistrel.evaluate_table(_stand_in(ddf._meta), **options).iloc[:0]
    return ddf.map_partitions(functools.partial(_evaluate_partition, meta=meta, options=options), meta=meta)


class ScreenError(RuntimeError):
    """vistrel-cli screen failed on one image.

    ``path`` is the image, ``status`` the program's exit status (2: the image,
    a file it names or an option cannot be used; 1: an output could not be
    written) and ``stderr`` what it said.
    """

    def __init__(self, path: str, status: int, stderr: str):
        self.path = path
        self.status = status
        self.stderr = stderr
        said = stderr.strip() or "(no message)"
        super().__init__(f"vistrel-cli screen {path}: exit status {status}: {said}")

    def __reduce__(self):
        # From a worker to the client whole, not rebuilt from the message alone.
        return ScreenError, (self.path, self.status, self.stderr)


# Chosen by screen_maps for each image.
_RESERVED = {"o", "output", "table", "image"}


def _option_arguments(options: Dict[str, Any]) -> List[str]:
    args: List[str] = []
    for key, value in options.items():
        # vistrel-cli takes every option with hyphens, the case's with underscores too.
        name = key.replace("_", "-")
        if name.lstrip("-") in _RESERVED:
            raise TypeError(f"vistrel.dask.screen_maps: {key} is chosen for each image; leave it out")
        flag = name if name.startswith("-") else "--" + name
        if value is None or value is False:
            continue
        if value is True:
            args.append(flag)
        else:
            args += [flag, os.fspath(value) if isinstance(value, os.PathLike) else str(value)]
    return args


def _find_cli(cli: Union[str, os.PathLike, None]) -> str:
    if cli is not None:
        where = os.fspath(cli)
    elif os.environ.get("VISTREL_CLI"):
        where = os.environ["VISTREL_CLI"]
    else:
        found = shutil.which("vistrel-cli")
        if found is None:
            raise FileNotFoundError(
                "vistrel.dask.screen_maps: vistrel-cli is not on the PATH; "
                "pass cli= or set VISTREL_CLI (Debian: apt-get install vistrel-cli)"
            )
        return found
    if not os.access(where, os.X_OK) or os.path.isdir(where):
        raise FileNotFoundError(f"vistrel.dask.screen_maps: {where} is not a program that can be run")
    return where


def _screen_one(job, cli, out_dir, args):
    path, map_path, table_path = job
    os.makedirs(out_dir, exist_ok=True)
    run = subprocess.run(
        [cli, "screen", path, "-o", map_path, "--table", table_path, *args],
        stdin=subprocess.DEVNULL,
        capture_output=True,
        text=True,
        check=False,
    )
    # 3 is --fail-on's answer: the map and the table were written.
    if run.returncode not in (0, 3):
        raise ScreenError(path, run.returncode, run.stderr)
    with open(table_path, encoding="utf-8") as f:
        table = json.load(f)
    return {"path": path, "map": map_path, "table": table_path, "regions": table["regions"], "status": run.returncode}


def screen_maps(
    paths: Iterable[Union[str, os.PathLike]],
    out_dir: Union[str, os.PathLike],
    *,
    cli: Union[str, os.PathLike, None] = None,
    npartitions: Optional[int] = None,
    **options: Any,
) -> dask.bag.Bag:
    """Judge every screenshot in ``paths`` with ``vistrel-cli screen``, as a Dask bag.

    Each image ``NAME.EXT`` gives ``out_dir/NAME.map.png`` and the table
    ``out_dir/NAME.table.json``; two images of the same name, or an output that
    would replace an input, are refused before anything runs. ``options`` are
    the program's own (``white_cdm2=600, pixel_pitch_mm=0.152, age=60,
    viewing_distance_mm=750, ease=90``, ``fail_on="not-legible"``): True gives
    a flag alone, None or False leaves the option out. The program is ``cli``,
    else ``$VISTREL_CLI``, else ``vistrel-cli`` on the PATH.

    Computing the bag gives, per image in order, a dict: ``path``, ``map``,
    ``table``, ``regions`` (the table's regions, as parsed JSON) and
    ``status`` (0, or 3 when ``fail_on`` finds a failing region). An image the
    program refuses, or an output it cannot write, raises :class:`ScreenError`
    naming the image.
    """
    program = _find_cli(cli)
    args = _option_arguments(options)
    out = os.path.abspath(os.fspath(out_dir))
    images = [os.path.abspath(os.fspath(p)) for p in paths]
    jobs = []
    named: Dict[str, str] = {}
    for image in images:
        stem = Path(image).stem
        if stem in named:
            raise ValueError(f"vistrel.dask.screen_maps: {named[stem]} and {image} would write the same map {stem}.map.png")
        named[stem] = image
        jobs.append((image, os.path.join(out, stem + ".map.png"), os.path.join(out, stem + ".table.json")))
    inputs = {os.path.realpath(i) for i in images}
    for _, map_path, table_path in jobs:
        for written in (map_path, table_path):
            if os.path.realpath(written) in inputs:
                raise ValueError(f"vistrel.dask.screen_maps: the output {written} would replace an input")
    if not jobs:
        return dask.bag.from_sequence([], npartitions=1)
    bag = dask.bag.from_sequence(jobs, npartitions=npartitions)
    return bag.map(_screen_one, program, out, args)
