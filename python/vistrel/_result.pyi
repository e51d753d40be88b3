# SPDX-License-Identifier: GPL-3.0-or-later
from typing import Any, Dict, Iterator, KeysView, List, NamedTuple, Optional, Union

class Result:
    texts: Dict[str, str]
    verdict: Optional[str]
    margin_log: Optional[float]
    message: Optional[str]
    notes: Optional[str]
    def __getattr__(self, name: str) -> Union[float, str, None]: ...
    def __getitem__(self, name: str) -> Union[float, str, None]: ...
    def __contains__(self, name: object) -> bool: ...
    def __iter__(self) -> Iterator[str]: ...
    def __len__(self) -> int: ...
    def keys(self) -> KeysView[str]: ...
    def dict(self) -> Dict[str, Union[float, str, None]]: ...

class Change(NamedTuple):
    below: float
    above: float
    state_below: str
    state_above: str

class Band(NamedTuple):
    start: float
    end: float
    from_start: bool
    to_end: bool

class Solution(NamedTuple):
    column: str
    min: float
    max: float
    state_at_min: str
    state_at_max: str
    changes: List[Change]
    answer: Optional[float]
    bands: List[Band]
    at: Result
