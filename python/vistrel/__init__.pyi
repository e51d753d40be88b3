# SPDX-License-Identifier: GPL-3.0-or-later
# Types of the vistrel module. Units are those of vistrel.INPUTS' columns (help(vistrel.evaluate)).
import os
from types import SimpleNamespace
from typing import Any, Dict, Iterable, List, Mapping, Optional, Tuple, TypeVar, Union

from ._errors import Error as Error, InputError as InputError, ProfileError as ProfileError
from ._result import Band as Band, Change as Change, Result as Result, Solution as Solution

__version__: str
INPUTS: Tuple[str, ...]
OUTPUTS: Tuple[str, ...]
LOCALES: Tuple[str, ...]

Value = Union[int, float, str, None]
Table = TypeVar("Table")

def evaluate(*, locale: Optional[str] = ..., daylight: bool = ..., **inputs: Value) -> Result: ...
def evaluate_table(table: Table, *, daylight: bool = ..., nan_is_empty: bool = ...) -> Table: ...
def solve(column: str, *, min: Optional[float] = ..., max: Optional[float] = ..., **inputs: Value) -> Solution: ...
def sweep(column: str, start: float, stop: float, *, step: Optional[float] = ..., factor: Optional[float] = ...,
          **inputs: Value) -> Dict[str, Any]: ...
def tolerance(spreads: Mapping[str, Union[str, float]], *, samples: int = ..., seed: int = ..., threads: int = ...,
              **inputs: Value) -> SimpleNamespace: ...
def check(case: Mapping[str, Value], profile: Union[str, os.PathLike, Iterable[Union[str, os.PathLike]]],
          profile_dirs: Optional[Iterable[Union[str, os.PathLike]]] = ...) -> SimpleNamespace: ...
def conditions(designs: Any, conditions: Any = ...) -> SimpleNamespace: ...
