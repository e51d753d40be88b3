#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Every JSON object vistrel-cli writes (eval, solve, sweep, batch, check and
# tolerance), for verdicts, messages, unreadable rows, answers found or not,
# bands, profiles and worst cases, must follow the schema the guide publishes.
# Usage: json_schema.py VISTREL_CLI SCHEMA.json
import json
import shutil
import subprocess
import sys
import tempfile

try:
    import jsonschema
except ImportError:
    print("python3-jsonschema is not installed (scripts/install-deps dev)")
    sys.exit(77)

cli, schema_path = sys.argv[1:3]
schema = json.load(open(schema_path, encoding="utf-8"))
jsonschema.Draft202012Validator.check_schema(schema)
validator = jsonschema.Draft202012Validator(schema)

CASE = ["--mode", "illuminance", "--illuminance_lux", "1076", "--letter_factor", "0.8", "--background_factor", "0.2",
        "--age", "40", "--letter_height_mm", "6", "--viewing_distance_mm", "750", "--ratio", "7", "--ease", "90"]
TABLE = ("id,mode,illuminance_lux,letter_factor,background_factor,age,letter_height_mm,viewing_distance_mm,ratio,ease\n"
         "a,illuminance,1076,0.8,0.2,40,6,750,7,easy\n"
         "b,illuminance,1076,0.8,0.2,40,6,750,2,90\n"
         "c,sideways,1076,0.8,0.2,40,6,750,7,90\n"
         "d,illuminance,x,0.8,0.2,40,6,750,7,90\n"
         "e,too,few\n")

# Legible only between two background luminances, and two stroke ratios.
BAND = ["--mode", "luminance", "--letter_cdm2", "50", "--background_cdm2", "1", "--age", "60",
        "--letter_height_mm", "3", "--viewing_distance_mm", "750", "--ratio", "7", "--ease", "90",
        "--ambient_lux", "1000", "--display_reflectance", "0.04"]

# (arguments, stdin, one object or JSON Lines, objects expected)
RUNS = [
    (["eval", "--json"] + CASE, None, False, 1),
    (["eval", "--json"] + CASE + ["--ratio", "2"], None, False, 1),
    (["eval", "--json"] + CASE + ["--age", "\xff"], None, False, 1),
    (["solve", "--json", "--for", "letter_height_mm"] + CASE, None, False, 1),
    (["solve", "--json", "--for", "age"] + CASE + ["--ratio", "2"], None, False, 1),
    (["sweep", "--json", "--vary", "ratio=2:8:2"] + CASE, None, True, 4),
    (["batch", "--json", "-"], TABLE, True, 5),
    (["eval", "--json"] + CASE + ["--ambient_lux", "5000", "--display_reflectance", "0.02"], None, False, 1),
    # Glare (one source and a list) and the view from the seat add their own inputs and outputs.
    (["eval", "--json"] + BAND + ["--glare", "2@5", "--glare", "0.5@20", "--view_tilt_deg", "-30",
                                  "--view_pan_deg", "20", "--off_axis_factor", "0.7"], None, False, 1),
    (["solve", "--json", "--for", "glare_lux"] + BAND + ["--glare_angle_deg", "5", "--view_tilt_deg", "-30"],
     None, False, 1),
    (["solve", "--json", "--for", "ambient_lux"] + CASE + ["--display_reflectance", "0.04"], None, False, 1),
    (["batch", "--json", "--profile", "faa-distance", "-"], TABLE, True, 5),
    (["solve", "--json", "--for", "background_cdm2"] + BAND, None, False, 1),
    (["solve", "--json", "--for", "ratio"] + BAND, None, False, 1),
    (["check", "--json", "--profile", "text-legibility"] + CASE, None, False, 1),
    (["check", "--json", "--profile", "faa-distance", "--profile", "stroke-width"] + CASE, None, False, 1),
    (["check", "--json", "--profile", "text-legibility"] + BAND, None, False, 1),
    (["tolerance", "--json", "--samples", "500", "--tol", "age=normal:45:12", "--tol", "ratio=+-1"] + CASE,
     None, False, 1),
    (["tolerance", "--json", "--samples", "500", "--tol", "background_cdm2=uniform:5:400"] + BAND, None, False, 1),
    (["tolerance", "--json", "--samples", "200", "--tol", "ratio=uniform:1:2.9"] + CASE, None, False, 1),
]

failures = []
objects = []
for args, stdin, lines, count in RUNS:
    run = subprocess.run([cli] + args, input=(stdin or "").encode(), capture_output=True)
    text = run.stdout.decode("utf-8")
    found = [json.loads(l) for l in text.splitlines()] if lines else [json.loads(text)]
    if len(found) != count:
        failures.append(f"{args}: {len(found)} objects, expected {count}")
    for o in found:
        for error in validator.iter_errors(o):
            failures.append(f"{args}: {error.json_path}: {error.message}")
    objects += found

# screen --table: a region judged and one too small to measure, on a screen ImageMagick draws.
screen = None
with tempfile.TemporaryDirectory() as work:
    drawn = subprocess.run(["convert", "-size", "320x120", "xc:black", "-font", "Liberation-Sans", "-fill", "white",
                            "-pointsize", "40", "-annotate", "+10+60", "SPEED 88", f"{work}/s.png"],
                           capture_output=True) if shutil.which("convert") else None
    if drawn and drawn.returncode == 0:
        with open(f"{work}/r.csv", "w", encoding="utf-8") as f:
            f.write("id,x,y,w,h,label\nspeed,5,15,220,60,Speed\ndot,300,100,3,3,\n")
        subprocess.run([cli, "screen", f"{work}/s.png", "-o", f"{work}/m.png", "--table", f"{work}/t.json",
                        "--regions", f"{work}/r.csv", "--pixel-pitch-mm", "0.2", "--white-cdm2", "300",
                        "--black-cdm2", "0.5", "--age", "45",
                        "--viewing_distance_mm", "750", "--ease", "90"], capture_output=True)
        screen = json.load(open(f"{work}/t.json", encoding="utf-8"))
        for error in validator.iter_errors(screen):
            failures.append(f"screen: {error.json_path}: {error.message}")
        if [r["polarity"] is None for r in screen["regions"]] != [False, True]:
            failures.append("screen: the regions are not one measured and one not")

# Each shape must have been seen, or a command could write nothing checkable.
for key in ("bands", "profiles", "worst_case"):
    if not any(key in o for o in objects):
        failures.append(f"no object has {key}")

# The schema must tell a wrong object from a right one, or the checks above prove nothing.
good = objects[0]
band = next((o for o in objects if o.get("bands")), None)
check = next((o for o in objects if o.get("profiles")), None)
tolerance = next((o for o in objects if "worst_case" in o), None)
daylight = next(o for o in objects if "ambient_lux" in o["inputs"])
wrong = [
    dict(good, margin_log=str(good["margin_log"])),
    dict(good, inputs=dict(good["inputs"], age="")),
    dict(good, outputs={k: v for k, v in good["outputs"].items() if k != "threshold_contrast"}),
    dict(good, verdict="legible"),
    dict(good, message=""),  # notes or null, never empty
    {k: v for k, v in good.items() if k != "verdict"},
    dict(daylight, outputs=dict(daylight["outputs"], polarity="sideways")),
    dict(daylight, inputs=dict(daylight["inputs"], ambient_lux="")),
]
if band:
    wrong += [dict(band, bands=[dict(band["bands"][0], to="13870")]), {k: v for k, v in band.items() if k != "bands"}]
if check:
    first = check["profiles"][0]
    wrong += [{k: v for k, v in check.items() if k != "passed"},
              dict(check, profiles=[dict(first, criteria=[dict(first["criteria"][0], status="passed")])])]
if tolerance:
    wrong += [dict(tolerance, worst_case=dict(tolerance["worst_case"], found_by="guess")),
              dict(tolerance, nominal=dict(tolerance["nominal"], verdict="legible")),
              {k: v for k, v in tolerance.items() if k != "worst_case"}]
if screen:
    region = screen["regions"][0]
    wrong += [dict(screen, regions=[{k: v for k, v in region.items() if k != "case"}]),
              dict(screen, regions=[dict(region, polarity="light")]),
              dict(screen, regions=[dict(region, case=dict(region["case"], verdict="legible"))])]
for k, o in enumerate(wrong):
    if validator.is_valid(o):
        failures.append(f"wrong object {k} passed the schema")

for f in failures:
    print("FAIL:", f)
print(f"{len(objects)} objects, {len(failures)} failures")
sys.exit(1 if failures else 0)
