#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs every command example of the guide as written and compares what it
# writes with the golden files; the outputs the guide shows must be those files.
# Usage: examples.py CLI_DIR GUIDE.md GOLDEN_DIR
import os
import re
import shlex
import subprocess
import sys
import tempfile

cli_dir, guide, golden = (os.path.abspath(a) for a in sys.argv[1:4])
text = open(guide, encoding="utf-8").read()
failures = []


def golden_text(name):
    with open(os.path.join(golden, name), encoding="utf-8") as f:
        return f.read()


# What an example's stdout is compared with: by command, and by --json.
def stdout_golden(words):
    command = words[1]
    if "--json" in words:
        return command + (".jsonl" if command in ("batch", "sweep") else ".json")
    return command + ".txt"


examples = re.findall(r"```sh\n(.*?)```", text, re.S)
if len(examples) < 6:
    failures.append(f"only {len(examples)} examples found in {guide}")
env = dict(os.environ, PATH=cli_dir + os.pathsep + os.environ["PATH"])
for example in examples:
    line = example.replace("\\\n", " ").strip()
    words = shlex.split(line)
    if "--plot" in words and not os.path.exists(os.path.join(cli_dir, "vistrel-plot")):
        plot = words.index("--plot")
        words[plot : plot + 2] = []  # built without the plotter
        line = shlex.join(words)
    with tempfile.TemporaryDirectory() as work:
        with open(os.path.join(work, "designs.csv"), "w", encoding="utf-8") as f:
            f.write(golden_text("designs.csv"))
        run = subprocess.run(line, shell=True, cwd=work, env=env, capture_output=True, text=True)
        if run.returncode != 0:
            failures.append(f"{line}: exit status {run.returncode}: {run.stderr}")
            continue
        # A file written with -o has a golden file of its name; stdout one named by the command.
        if "-o" in words:
            name = words[words.index("-o") + 1]
            got = open(os.path.join(work, name), encoding="utf-8").read()
        else:
            name = stdout_golden(words)
            got = run.stdout
        if got != golden_text(name):
            failures.append(f"{line}: output differs from {name}")
        if "--plot" in words:
            plot = os.path.join(work, words[words.index("--plot") + 1])
            if not os.path.getsize(plot):
                failures.append(f"{line}: empty plot")

# The outputs the guide shows are the golden files, byte for byte.
for name in ("eval.txt", "eval.json", "designs.csv", "results.csv", "solve.txt", "solve.json"):
    fence = "csv" if name.endswith(".csv") else "text"
    if f"```{fence}\n{golden_text(name)}```" not in text:
        failures.append(f"{guide} does not show {name} as it is")

for f in failures:
    print("FAIL:", f)
print(f"{len(examples)} examples, {len(failures)} failures")
sys.exit(1 if failures else 0)
