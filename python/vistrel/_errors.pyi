# SPDX-License-Identifier: GPL-3.0-or-later
from typing import Optional

class Error(ValueError): ...

class InputError(Error):
    field: Optional[str]
    def __init__(self, message: str, field: Optional[str] = ...) -> None: ...

class ProfileError(Error):
    file: Optional[str]
    line: int
    def __init__(self, message: str, file: Optional[str] = ..., line: int = ...) -> None: ...
