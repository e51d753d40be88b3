#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Rows per second of vistrel.evaluate_table against `vistrel-cli batch` on the same table.

Usage: [RUNS=5] [VISTREL_CLI=...] bench/python_table.py [ROWS] [BUILD]   (1000000 rows, build/release by default)
Both read the same generated cases of every mode; batch reads them as CSV and
writes a new CSV, evaluate_table takes the DataFrame read from that CSV (its
empty cells are NaN, hence nan_is_empty) and answers with a DataFrame.
"""
import os
import statistics
import subprocess
import sys
import tempfile
import time

root = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..")
rows = int(sys.argv[1]) if len(sys.argv) > 1 else 1_000_000
build = sys.argv[2] if len(sys.argv) > 2 else os.path.join(root, "build", "release")
runs = int(os.environ.get("RUNS", "5"))
sys.path.insert(0, os.path.join(build, "python"))
cli = os.environ.get("VISTREL_CLI", os.path.join(build, "cli", "vistrel-cli"))

import pandas as pd  # noqa: E402

import vistrel  # noqa: E402

EASE = ["50% confidence (Half the letters Readable)", "90% confidence", "95% confidence", "Easy to Read"]


def cases(path):
    # The cases of bench/batch_throughput.sh: every mode, a mix of verdicts and refusals.
    with open(path, "w") as out:
        out.write("mode,source_cd,distance_ft,illuminance_lux,background_cdm2,letter_fl,letter_factor,"
                  "background_factor,age,letter_height_mm,viewing_distance_mm,ratio,ease\n")
        for i in range(rows):
            m, age, h, d, r, e = i % 3, 20 + i % 60, 2 + (i % 17) * 0.5, 400 + (i % 23) * 50, 4 + i % 6, EASE[i % 4]
            if m == 0:
                out.write(f"source,{500 + i % 1000},{5 + i % 20},,,,0.8,0.2,{age},{h:g},{d},{r},\"{e}\"\n")
            elif m == 1:
                out.write(f"illuminance,,,{200 + i % 5000},,,0.7,0.1,{age},{h:g},{d},{r},\"{e}\"\n")
            else:
                out.write(f"luminance,,,,{20 + i % 300},{5 + i % 90},,,{age},{h:g},{d},{r},\"{e}\"\n")


with tempfile.TemporaryDirectory() as work:
    source = os.path.join(work, "in.csv")
    cases(source)
    table = pd.read_csv(source)
    batch, python = [], []
    for run in range(runs):
        # Each writes a new file or table: replacing one would add a removal to one side only.
        target = os.path.join(work, f"out{run}.csv")
        start = time.perf_counter()
        subprocess.run([cli, "batch", source, "-o", target], check=True)
        batch.append(rows / (time.perf_counter() - start))
        start = time.perf_counter()
        out = vistrel.evaluate_table(table, nan_is_empty=True)
        python.append(rows / (time.perf_counter() - start))
        del out
    b, p = statistics.median(batch), statistics.median(python)
    print(f"rows: {rows}, runs: {runs}, cores: {os.cpu_count()}")
    print(f"vistrel-cli batch:      {b:12,.0f} rows/s (median; runs {', '.join(f'{v:,.0f}' for v in batch)})")
    print(f"vistrel.evaluate_table: {p:12,.0f} rows/s (median; runs {', '.join(f'{v:,.0f}' for v in python)})")
    print(f"evaluate_table / batch: {p / b:.2f}")
