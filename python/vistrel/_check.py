# SPDX-License-Identifier: GPL-3.0-or-later
"""vistrel.check, and where it finds the built-in profiles."""
import csv
import os

from . import _vistrel

INSTALLED_PROFILES = "/usr/share/vistrel/profiles"


def _from_build_tree():
    here = os.path.dirname(os.path.abspath(__file__))
    build = _vistrel._BUILD_PACKAGE_DIR
    return os.path.isdir(build) and os.path.samefile(here, build)


def default_profile_dirs():
    """The source tree's cli/profiles when imported from the build tree, then the installed folder."""
    return ([_vistrel._SOURCE_PROFILES_DIR] if _from_build_tree() else []) + [INSTALLED_PROFILES]


def check(case, profile, profile_dirs=None):
    """One case against one or more standards profiles, as `vistrel-cli check` answers.

    case is a dict of evaluate's inputs; profile a built-in profile's name
    ("text-legibility"), a .toml file (a name with a '/' or ending in .toml),
    or a list of them. Built-in names are looked up in profile_dirs, by
    default the source tree's cli/profiles when the module is imported from
    its build tree, then /usr/share/vistrel/profiles.

    Failing checks raise nothing: the answer's fails holds what the case fails
    in the terms of --fail-on ("not-legible", "required", "recommended"; each
    includes the ones before it), failed_required and failed_recommended the
    ids of the criteria, passed whether every required criterion passes, and
    case and profiles what `check --json` prints. Raises InputError for what
    evaluate refuses and ProfileError (file, line) for a profile that is
    missing or cannot be read.
    """
    names = [profile] if isinstance(profile, (str, os.PathLike)) else list(profile)
    dirs = default_profile_dirs() if profile_dirs is None else [os.fspath(d) for d in profile_dirs]
    return _vistrel._check(dict(case), [os.fspath(n) for n in names], dirs)


def default_conditions_file():
    """The shipped conditions: the source tree's when imported from the build tree, else the installed ones."""
    if _from_build_tree():
        return os.path.join(_vistrel._SOURCE_CONDITIONS_DIR, "default.csv")
    return "/usr/share/vistrel/conditions/default.csv"


def _rows(table, label):
    if isinstance(table, (str, os.PathLike)):
        with open(table, newline="", encoding="utf-8") as f:
            table = list(csv.DictReader(f))
    elif hasattr(table, "to_dict") and hasattr(table, "columns"):
        table = table.to_dict("records")
    return [(row.get(label), {k: v for k, v in row.items() if k != label}) for row in table]


def conditions(designs, conditions=None):
    """Every design under every condition, as `vistrel-cli conditions` judges them.

    designs and conditions are lists of dicts (or DataFrames, or CSV files):
    evaluate's inputs, named by a "design" or "condition" key (else by their
    number from 1); a condition's cells replace the design's. conditions
    defaults to the shipped default.csv (night, diffuse daylight, direct sun).
    The answer holds the designs' and conditions' names, verdicts and margins
    (margin_log, NaN without a verdict) as NumPy arrays [design, condition],
    worst (each design's worst condition) and all_legible. At most 1000
    conditions and 100000 designs x conditions.
    """
    source = default_conditions_file() if conditions is None else conditions
    return _vistrel._conditions(_rows(designs, "design"), _rows(source, "condition"))
