# SPDX-License-Identifier: GPL-3.0-or-later
"""Vistrel New: whether the lettering of an automotive display can be read.

The same engine as the window and vistrel-cli, for notebooks and pipelines.
"""
from ._vistrel import *  # noqa: F401,F403
from ._vistrel import __version__  # noqa: F401
