# SPDX-License-Identifier: GPL-3.0-or-later
"""Vistrel New: whether the lettering of an automotive display can be read.

The same engine as the window and vistrel-cli, for notebooks and pipelines.
"""
from ._errors import Error, InputError, ProfileError  # noqa: F401
from ._result import Result  # noqa: F401
from ._vistrel import *  # noqa: F401,F403
from ._vistrel import _FIELD_COLUMNS, __version__, _evaluate_columns  # noqa: F401
from ._table import evaluate_table  # noqa: F401
from ._check import check, conditions  # noqa: F401
