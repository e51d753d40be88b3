#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Workbooks read back: every cell as the CSV table has it, numbers as numbers,
a units row under the frozen header, result and status cells filled by
verdict and columns sized. Skips (77) without openpyxl.
Usage: xlsx.py VISTREL_CLI"""
import csv
import os
import subprocess
import sys
import tempfile

try:
    import openpyxl
except ImportError:
    # Debian's python3-openpyxl serves the system interpreter, which may not be the first python3.
    if os.path.exists("/usr/bin/python3") and os.path.realpath(sys.executable) != "/usr/bin/python3" \
            and not os.environ.get("VISTREL_XLSX_REEXEC"):
        os.environ["VISTREL_XLSX_REEXEC"] = "1"
        os.execv("/usr/bin/python3", ["/usr/bin/python3", *sys.argv])
    print("skipped: python3-openpyxl is not installed")
    sys.exit(77)

CLI = os.path.realpath(sys.argv[1])
CASE = ["--mode", "illuminance", "--illuminance_lux", "1076", "--letter_factor", "0.25", "--background_factor",
        "0.2", "--age", "60", "--letter_height_mm", "6", "--ratio", "7", "--ease", "90"]
DESIGNS = ("id,mode,illuminance_lux,letter_factor,background_factor,age,viewing_distance_mm,letter_height_mm,ratio,ease\n"
           "007,illuminance,1076,0.25,0.2,60,750,6,7,90\n"
           "=cmd,illuminance,1076,0.8,0.2,+35.5,750,6,7,90\n"
           "x,illuminance,1076,0.8,0.2,35.5,750,6,7,hardly\n")
# A profile whose texts a spreadsheet would run, and a criterion of each status.
PROFILE = """title = "=odd"
[[criterion]]
id = "=cmd"
quantity = "letter_size_arcmin"
kind = "minimum"
limit = 16
level = "required"
source = "+1, \\"quoted\\""
[[criterion]]
id = "big"
quantity = "letter_size_arcmin"
kind = "range"
low = 40
high = 60
target = 50
level = "recommended"
source = "-"
[[criterion]]
id = "skipped"
quantity = "contrast_ratio"
kind = "minimum"
limit = 3
when = "contrast_ratio > 1e9"
level = "required"
source = "s"
"""
FILLS = {"Legible": "C6EFCE", "Not Legible": "FFC7CE", "": "D9D9D9",
         "pass": "C6EFCE", "fail": "FFC7CE", "not applicable": "D9D9D9"}
UNITS = {"illuminance_lux": "LUX", "viewing_distance_mm": "mm", "letter_size_arcmin": "Minutes", "age": None,
         "margin_log": None, "message": None, "value": None, "unit": None}
failures = []


def check(name, args, number_columns, verdict_column="result"):
    # The CSV without the formula guard: a workbook's text cells are never run, so they keep their text.
    subprocess.run([CLI, *args, "-o", "out.csv", *(["--no-formula-guard"] if name != "sweep" else [])],
                   capture_output=True)
    with open("out.csv", newline="") as f:
        rows = list(csv.reader(f))
    subprocess.run([CLI, *args, "-o", "out.XLSX"], capture_output=True)
    try:
        sheet = openpyxl.load_workbook("out.XLSX").active
    except Exception as e:  # noqa: BLE001 - any unreadable workbook is the failure
        failures.append(f"{name}: out.XLSX is no workbook: {e}")
        return
    cells = [list(r) for r in sheet.iter_rows()]
    header, units, body = rows[0], [c.value for c in cells[1]], cells[2:]
    problems = []
    if [c.value for c in cells[0]] != header:
        problems.append(f"header {[c.value for c in cells[0]]}")
    for column, unit in UNITS.items():
        if column in header and units[header.index(column)] != unit:
            problems.append(f"unit of {column}: {units[header.index(column)]!r}")
    if sheet.freeze_panes != "A3":
        problems.append(f"frozen at {sheet.freeze_panes}")
    if len(body) != len(rows) - 1:
        problems.append(f"{len(body)} rows for {len(rows) - 1}")
    for want, got in zip(rows[1:], body):
        for k, (text, cell) in enumerate(zip(want, got)):
            if header[k] in number_columns and text:
                try:
                    float(text)
                    expected = float(text)
                except ValueError:
                    expected = text
            else:
                expected = text or None
            number = isinstance(cell.value, (int, float))
            if cell.value != expected or number != isinstance(expected, float):
                problems.append(f"{header[k]}: {cell.value!r} where the CSV has {text!r}")
        verdict = got[header.index(verdict_column)]
        if verdict.fill.fgColor.rgb[-6:] != FILLS[verdict.value or ""]:
            problems.append(f"{verdict_column} {verdict.value!r} filled {verdict.fill.fgColor.rgb}")
    widths = [sheet.column_dimensions[openpyxl.utils.get_column_letter(k + 1)].width for k in range(len(header))]
    # As wide as the longest text of the column, two characters more, within 6 and 60.
    fits = [min(60, max(6, 2 + max(len(r[k]) for r in rows + [[u or "" for u in units]]))) for k in range(len(header))]
    if any(abs(w - f) >= 1 for w, f in zip(widths, fits)):
        problems.append(f"widths {widths}, wanted {fits}")
    if problems:
        failures.append(f"{name}: " + "; ".join(problems[:5]))


with tempfile.TemporaryDirectory() as folder:
    os.chdir(folder)
    with open("designs.csv", "w") as f:
        f.write(DESIGNS)
    values = {"mode", "margin_log", "illuminance_lux", "illuminance_fc", "letter_factor", "background_factor", "age",
              "viewing_distance_mm", "letter_height_mm", "ratio", "field_correction", "letter_size_arcmin",
              "stroke_size_arcmin", "threshold_contrast", "actual_contrast", "log_threshold_contrast",
              "log_actual_contrast", "log_background_fl", "ambient_lux", "veil_fl", "contrast_ratio", "modulation",
              "near_point_mm"}
    check("batch", ["batch", "designs.csv"], values)
    check("sweep", ["sweep", "--vary", "viewing_distance_mm=100:3000:50", *CASE], values)
    check("conditions", ["conditions", "designs.csv"], values)
    with open("odd.toml", "w") as f:
        f.write(PROFILE)
    check("check", ["check", "--profile", "odd.toml", "--profile", "text-legibility", *CASE,
                    "--viewing_distance_mm", "750"],
          {"value", "limit", "low", "high", "target", "margin", "margin_ratio"}, "status")

for f in failures:
    print("FAIL:", f)
print(f"{4 - len(failures)} passed, {len(failures)} failed")
sys.exit(1 if failures else 0)
