# SPDX-License-Identifier: GPL-3.0-or-later
"""evaluate_table: the table kinds Python holds cases in, around the native columns."""
import math
from collections.abc import Mapping

import numpy as np

from ._errors import InputError
from ._vistrel import _evaluate_columns


def _frame_columns(frame):
    names = list(frame.columns)
    if len(set(names)) != len(names):
        twice = next(n for n in names if names.count(n) > 1)
        raise InputError(f"column {twice!r} appears twice in the table", twice if isinstance(twice, str) else None)
    return names, [frame[name].to_numpy() for name in names], len(frame)


def _dict_columns(table):
    names = list(table.keys())
    columns = [value if isinstance(value, np.ndarray) else list(value) for value in table.values()]
    rows = len(columns[0]) if columns else 0
    for name, column in zip(names, columns):
        if len(column) != rows:
            raise InputError(f"column {name} has {len(column)} rows where column {names[0]} has {rows}", name)
    return names, columns, rows


def _row_columns(rows):
    names = []
    for index, row in enumerate(rows):
        if not isinstance(row, Mapping):
            raise InputError(f"row {index} is {type(row).__name__}, not a dict")
        for name in row:
            if name not in names:
                names.append(name)
    for index, row in enumerate(rows):
        for name in names:
            if name not in row:
                raise InputError(f"row {index} lacks column {name}, which other rows give; None leaves it empty",
                                 name)
    return names, [[row[name] for row in rows] for name in names], len(rows)


def _cell(value):
    if isinstance(value, float) and math.isnan(value):
        return None
    return value


def evaluate_table(table, *, daylight=False, nan_is_empty=False):
    """Many cases at once, as `vistrel-cli batch` computes them, in parallel.

    table is a pandas DataFrame, a dict of NumPy arrays or lists, or a list of
    dicts, one column per input named as in vistrel.evaluate (vistrel.INPUTS).
    The answer is of the same kind, with the columns batch writes for that
    input: every column of the groups the table uses (inputs as the engine
    holds them, outputs), then message and margin_log. Numbers are float64,
    mode, ease, result, polarity and message are str; an empty cell is NaN in
    a number column and None elsewhere (None in a list of dicts).

    Columns that are no input (id, label, anything else) pass through in
    their place; one whose name is close to an input's is refused as a slip.
    A cell is a number or a text as typed; None (or "") leaves it empty.

    pandas writes a missing number as NaN: nan_is_empty=True reads NaN as an
    empty cell; without it NaN is refused, as it may come of a computation
    gone wrong.

    daylight=True shows the daylight columns even without a daylight input.

    Raises InputError (field: the column) for a table without rows, a
    column of another length, NaN or infinity, a column mixing numbers and
    texts or holding neither, a mode that is none of the four, and a table
    lacking a column every case needs (mode, age, ...). A case that ends
    without a verdict is no error: its message says why.
    """
    if isinstance(table, Mapping):
        names, columns, rows = _dict_columns(table)
        out_names, out_columns = _evaluate_columns(names, columns, rows, daylight, nan_is_empty)
        return dict(zip(out_names, out_columns))
    if isinstance(table, list):
        names, columns, rows = _row_columns(table)
        out_names, out_columns = _evaluate_columns(names, columns, rows, daylight, nan_is_empty)
        lists = [[_cell(v) for v in (c.tolist() if isinstance(c, np.ndarray) else c)] for c in out_columns]
        return [dict(zip(out_names, cells)) for cells in zip(*lists)]
    if hasattr(table, "columns") and hasattr(table, "index") and hasattr(table, "to_numpy"):
        import pandas as pd

        names, columns, rows = _frame_columns(table)
        out_names, out_columns = _evaluate_columns(names, columns, rows, daylight, nan_is_empty)
        # The outputs are new arrays, taken as they are (copying them would cost
        # a tenth of the computing); a column passed through is copied, so that
        # the answer shares no memory with the table asked about.
        given = {id(c) for c in columns}
        out_columns = [np.array(c, copy=True) if id(c) in given else c for c in out_columns]
        return pd.DataFrame(dict(zip(out_names, out_columns)), index=table.index, columns=out_names, copy=False)
    raise TypeError(f"evaluate_table takes a DataFrame, a dict of columns or a list of dicts, not {type(table).__name__}")
