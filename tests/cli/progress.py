#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# The progress line of the long commands: drawn on stderr when it is a
# terminal (a pseudo-terminal here), never into a pipe, never with --quiet.
# Usage: progress.py VISTREL_CLI
import os
import pty
import re
import struct
import subprocess
import sys
import tempfile
import zlib

cli = os.path.abspath(sys.argv[1])
work = tempfile.mkdtemp()
os.chdir(work)


def write(name, text):
    with open(name, "w", encoding="utf-8") as f:
        f.write(text)


def png(name, width, height, pixel):
    """An 8-bit grey PNG: dark, with a light block where pixel says."""
    rows = b"".join(b"\0" + bytes(pixel(x, y) for x in range(width)) for y in range(height))
    def chunk(kind, data):
        return struct.pack(">I", len(data)) + kind + data + struct.pack(">I", zlib.crc32(kind + data))
    with open(name, "wb") as f:
        f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 0, 0, 0, 0))
                + chunk(b"IDAT", zlib.compress(rows)) + chunk(b"IEND", b""))


design = "illuminance,1076,0.8,0.2,45,6,750,7,90"
write("designs.csv", "id,mode,illuminance_lux,letter_factor,background_factor,age,letter_height_mm,"
      "viewing_distance_mm,ratio,ease\n" + "".join(f"d{k},{design}\n" for k in range(20)))
write("few.csv", "id,mode,illuminance_lux,letter_factor,background_factor,age,letter_height_mm,"
      "viewing_distance_mm,ratio,ease\n" + "".join(f"d{k},{design}\n" for k in range(1)))
write("night.csv", "condition,illuminance_lux\ndim,10\nbright,10000\n")
write("regions.csv", "id,x,y,w,h\nt,10,10,60,20\n")
png("screen.png", 80, 40, lambda x, y: 230 if 15 <= x < 60 and 14 <= y < 26 and (x // 3) % 2 == 0 else 20)
case = ["--mode", "illuminance", "--illuminance_lux", "1076", "--letter_factor", "0.8", "--background_factor",
        "0.2", "--age", "45", "--letter_height_mm", "6", "--viewing_distance_mm", "750", "--ratio", "7",
        "--ease", "90"]
# command, its arguments, and the unit its line counts
commands = [
    ("batch", ["designs.csv", "-o", "out.csv"], "bytes"),
    ("tolerance", case + ["--tol", "age=normal:45:12", "--samples", "8000", "--threads", "2"], "samples"),
    ("conditions", ["designs.csv", "--conditions", "night.csv"], "cases"),
    ("report", ["few.csv", "-o", "r.html"], "designs"),
]
if os.access(os.path.join(os.path.dirname(cli), "vistrel-screen"), os.X_OK):
    commands.append(("screen", ["screen.png", "-o", "map.png", "--regions", "regions.csv", "--white-cdm2", "300",
                                "--black-cdm2", "0.5", "--pixel-pitch-mm", "0.25", "--age", "45",
                                "--viewing_distance_mm", "750", "--ease", "90"], "stages"))


def stderr_of(args, terminal, rows_shown=False):
    """stderr, from a terminal when asked; rows_shown: stdout goes to that terminal too."""
    with open("stdout", "wb") as out:
        if not terminal:
            return subprocess.run([cli] + args, stdin=subprocess.PIPE, stdout=out, stderr=subprocess.PIPE,
                                  check=False).stderr.decode()
        leader, follower = pty.openpty()
        child = subprocess.Popen([cli] + args, stdin=subprocess.PIPE, stdout=follower if rows_shown else out,
                                 stderr=follower)
        child.stdin.close()
        os.close(follower)
        text = b""
        while True:
            try:
                piece = os.read(leader, 4096)
            except OSError:  # the child has gone and closed its end
                break
            if not piece:
                break
            text += piece
        child.wait()
        os.close(leader)
        return text.decode()


failures = []
for command, args, unit in commands:
    drawn = stderr_of([command] + args, True)
    if not re.search(r"\r\[#+\] 100%  (\d+)/\1 " + unit + r"  [0-9.]+/s *\r\n", drawn):
        failures.append(f"{command} on a terminal: no finished progress line in {drawn!r}")
    for quiet, terminal in ((False, False), (True, True)):
        err = stderr_of([command] + args + (["--quiet"] if quiet else []), terminal)
        if "\r[" in err or re.search(r"\d+ " + unit, err):
            failures.append(f"{command} {'--quiet ' if quiet else ''}to a {'terminal' if terminal else 'pipe'} "
                            f"drew progress: {err!r}")

# batch's rows on the terminal are its progress: a line drawn among them would break them.
shown = stderr_of(["batch", "designs.csv"], True, rows_shown=True)
if "\r[" in shown or "d19," not in shown:
    failures.append(f"batch to a terminal drew progress among its rows: {shown!r}")

for failure in failures:
    print("FAIL: " + failure)
print(f"{len(commands)} commands, {len(failures)} failures")
sys.exit(1 if failures else 0)
