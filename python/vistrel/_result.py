# SPDX-License-Identifier: GPL-3.0-or-later
"""The answers of vistrel.evaluate and vistrel.solve."""
from typing import List, NamedTuple, Optional


class Result:
    """Every column the case shows, by name: numbers as float, words as str, empty as None.

    verdict is the engine's word ("Legible", "Not Legible") or None when the
    case reached none; margin_log is log_actual_contrast - log_threshold_contrast.
    message is why there is no verdict, or else the notes; texts holds every
    column as the window shows it in the locale asked for.
    """

    __slots__ = ("_values", "texts", "verdict", "margin_log", "message", "notes", "_text")

    def __init__(self, values, texts, verdict, margin_log, message, notes, text):
        self._values = values
        self.texts = texts
        self.verdict = verdict
        self.margin_log = margin_log
        self.message = message
        self.notes = notes
        self._text = text

    def __getattr__(self, name):
        try:
            return self._values[name]
        except KeyError:
            raise AttributeError(name) from None

    def __getitem__(self, name):
        return self._values[name]

    def __contains__(self, name):
        return name in self._values

    def __iter__(self):
        return iter(self._values)

    def __len__(self):
        return len(self._values)

    def keys(self):
        return self._values.keys()

    def dict(self):
        """Every shown column, then margin_log and message, as a new dict."""
        out = dict(self._values)
        out["margin_log"] = self.margin_log
        out["message"] = self.message
        return out

    def __str__(self):
        return self._text

    def __repr__(self):
        return f"<vistrel.Result verdict={self.verdict!r} margin_log={self.margin_log!r}>"


class Change(NamedTuple):
    """Where the verdict changes along the solved input: between below and above, one grid step apart."""

    below: float
    above: float
    state_below: str
    state_above: str


class Band(NamedTuple):
    """A run of legible grid points; from_start and to_end say it reaches an end of the range."""

    start: float
    end: float
    from_start: bool
    to_end: bool


class Solution(NamedTuple):
    """What vistrel.solve finds along one input, in that input's unit.

    answer is the smallest legible value (the largest for an input where less
    reads better), None when nothing in the range is legible; at is the case
    evaluated at the answer, or at min without one.
    """

    column: str
    min: float
    max: float
    state_at_min: str
    state_at_max: str
    changes: List[Change]
    answer: Optional[float]
    bands: List[Band]
    at: Result
