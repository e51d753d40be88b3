# SPDX-License-Identifier: GPL-3.0-or-later
"""The errors the module raises; the native half raises these same classes."""


class Error(ValueError):
    """Anything Vistrel refuses to compute."""


class InputError(Error):
    """An input that cannot be used; field names the column at fault, or is None."""

    def __init__(self, message, field=None):
        super().__init__(message)
        self.field = field


class ProfileError(Error):
    """A profile that cannot be read; file and line say where (line 0: the file as a whole)."""

    def __init__(self, message, file=None, line=0):
        super().__init__(message)
        self.file = file
        self.line = line
