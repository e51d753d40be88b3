#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# The worked case of docs/glare.md: each command is run as written and must
# print exactly the block that follows it, so every number the text derives
# is the one vistrel-cli prints.
# Usage: glare_doc.py CLI_DIR GLARE.md
import os
import re
import subprocess
import sys

cli_dir, doc = (os.path.abspath(a) for a in sys.argv[1:3])
pairs = re.findall(r"```sh\n(.*?)```\n\n```text\n(.*?)```", open(doc, encoding="utf-8").read(), re.S)
env = dict(os.environ, PATH=cli_dir + os.pathsep + os.environ["PATH"])
failures = 0 if pairs else 1
for command, shown in pairs:
    run = subprocess.run(command.replace("\\\n", " "), shell=True, env=env, capture_output=True, text=True)
    if run.returncode != 0 or run.stdout != shown:
        print(f"FAIL: {command.strip()}: status {run.returncode}, prints\n{run.stdout}{run.stderr}")
        failures += 1
print(f"{len(pairs)} examples, {failures} failures")
sys.exit(1 if failures else 0)
