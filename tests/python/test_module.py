# SPDX-License-Identifier: GPL-3.0-or-later
import subprocess
import os

import vistrel


def test_version_matches_the_command_line():
    out = subprocess.run([os.environ["VISTREL_CLI"], "--version"], capture_output=True, text=True, check=True)
    assert out.stdout.split()[1] == vistrel.__version__
