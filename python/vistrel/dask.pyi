# SPDX-License-Identifier: GPL-3.0-or-later
import os
from typing import Any, Iterable, Optional, Union

import dask.bag
import dask.dataframe

__all__ = ["ScreenError", "evaluate_table", "screen_maps"]

class ScreenError(RuntimeError):
    path: str
    status: int
    stderr: str
    def __init__(self, path: str, status: int, stderr: str) -> None: ...

def evaluate_table(ddf: dask.dataframe.DataFrame, **options: Any) -> dask.dataframe.DataFrame: ...
def screen_maps(
    paths: Iterable[Union[str, os.PathLike[str]]],
    out_dir: Union[str, os.PathLike[str]],
    *,
    cli: Union[str, os.PathLike[str], None] = ...,
    npartitions: Optional[int] = ...,
    **options: Any,
) -> dask.bag.Bag: ...
