#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# Runs every command example of the guide as written and compares what it
# writes with the golden files (a report page by its text); the outputs the
# guide shows must be those files.
# The guide, each command's --help and the manual page name the same options,
# ease levels and examples.
# Usage: examples.py CLI_DIR GUIDE.md GOLDEN_DIR MANUAL.1
import html.parser
import os
import re
import shlex
import subprocess
import sys
import tempfile

cli_dir, guide, golden, manual = (os.path.abspath(a) for a in sys.argv[1:5])
text = open(guide, encoding="utf-8").read()
failures = []


def golden_text(name):
    with open(os.path.join(golden, name), encoding="utf-8") as f:
        return f.read()


# What an example's stdout is compared with: by command, and by --json; a
# command's second such example gets "-2" before the ending, and so on.
seen_goldens = {}


def stdout_golden(words):
    command = words[1]
    if "--json" in words:
        ending = ".jsonl" if command in ("batch", "sweep") else ".json"
    else:
        ending = ".txt"
    count = seen_goldens[command + ending] = seen_goldens.get(command + ending, 0) + 1
    return command + ("" if count == 1 else f"-{count}") + ending


class PageText(html.parser.HTMLParser):
    """A report page's text, a line per block and cells split by " | "; no styles or drawings."""

    BLOCKS = {"title", "h1", "h2", "h3", "p", "caption", "tr", "figcaption"}

    def __init__(self):
        super().__init__()
        self.lines, self.line, self.hidden = [], "", 0

    def handle_starttag(self, tag, attrs):
        self.hidden += tag in ("style", "svg")
        if tag in self.BLOCKS:
            self.flush()

    def handle_endtag(self, tag):
        self.hidden -= tag in ("style", "svg")
        if tag in ("td", "th"):
            self.line += " | "
        elif tag in self.BLOCKS:
            self.flush()

    def handle_data(self, data):
        if not self.hidden:
            self.line += data

    def flush(self):
        if self.line.strip():
            self.lines.append(" ".join(self.line.split()))
        self.line = ""


def page_text(page):
    """The text a reader sees, with the date and the version, which change, put aside."""
    parser = PageText()
    parser.feed(page)
    parser.flush()
    text = "\n".join(parser.lines) + "\n"
    return re.sub(r"^Generated \d{4}-\d\d-\d\d · Vistrel \S+$", "Generated DATE · Vistrel VERSION", text, flags=re.M)


examples = re.findall(r"```sh\n(.*?)```", text, re.S)
if len(examples) < 6:
    failures.append(f"only {len(examples)} examples found in {guide}")
env = dict(os.environ, PATH=cli_dir + os.pathsep + os.environ["PATH"])
for example in examples:
    line = example.replace("\\\n", " ").strip()
    words = shlex.split(line)
    has_plotter = os.path.exists(os.path.join(cli_dir, "vistrel-plot"))
    if words[1] == "report" and not has_plotter:
        continue  # its page would say it has no plots
    if "--plot" in words and not has_plotter:
        plot = words.index("--plot")
        words[plot : plot + 2] = []  # built without the plotter
        line = shlex.join(words)
    with tempfile.TemporaryDirectory() as work:
        for given in ("designs.csv", "worked.csv"):
            with open(os.path.join(work, given), "w", encoding="utf-8") as f:
                f.write(golden_text(given))
        # The example files the guide links to, as a reader would download them.
        shipped = os.path.join(os.path.dirname(guide), "examples")
        for given in os.listdir(shipped) if os.path.isdir(shipped) else []:
            with open(os.path.join(shipped, given), "rb") as f, open(os.path.join(work, given), "wb") as out:
                out.write(f.read())
        run = subprocess.run(line, shell=True, cwd=work, env=env, capture_output=True, text=True)
        # check and conditions exit 1 for an answer of no; their output is still compared.
        answered_no = run.returncode == 1 and words[1] in ("check", "conditions") and not run.stderr
        if run.returncode != 0 and not answered_no:
            failures.append(f"{line}: exit status {run.returncode}: {run.stderr}")
            continue
        # A file written with -o has a golden file of its name; stdout one named by the command.
        if "-o" in words and words[words.index("-o") + 1].endswith(".png"):
            # A map follows the finder's every improvement: its golden would be a photograph of today.
            with open(os.path.join(work, words[words.index("-o") + 1]), "rb") as f:
                if f.read(8) != b"\x89PNG\r\n\x1a\n":
                    failures.append(f"{line}: no PNG written")
            continue
        if "-o" in words:
            name = words[words.index("-o") + 1]
            got = open(os.path.join(work, name), encoding="utf-8").read()
            if name.endswith(".html"):  # a page is compared by its text
                name += ".txt"
                got = page_text(got)
        else:
            name = stdout_golden(words)
            got = run.stdout
        if os.environ.get("VISTREL_UPDATE_GOLDEN"):  # after a deliberate change; review the diff
            with open(os.path.join(golden, name), "w", encoding="utf-8") as f:
                f.write(got)
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

# One spelling of an example: words joined by single blanks, without line continuations.
def flat(example):
    return " ".join(example.replace("\\\n", " ").split())


page = open(manual, encoding="utf-8").read().replace("\\-", "-").replace("\\%", "")
page_examples = {flat(e) for e in page.split(".nf\n", 1)[-1].split(".fi")[0].replace("\\\\\n", "\\\n").split("\n\n")}
guide_examples = {flat(e) for e in examples}
cli = os.path.join(cli_dir, "vistrel-cli")
for command in ("eval", "batch", "solve", "sweep", "check", "conditions", "tolerance", "report", "screen"):
    help_text = subprocess.run([cli, command, "--help"], capture_output=True, text=True).stdout
    for option in sorted(set(re.findall(r"(?<![\w-])--[a-z][a-z0-9_-]*", help_text))):
        # The guide's table of names gives the inputs without their dashes.
        if option not in text and f"`{option.lstrip('-')}`" not in text:
            failures.append(f"{guide} does not name {option} of {command}")
        if option not in page:
            failures.append(f"{manual} does not name {option} of {command}")
    for example in re.findall(r"Example:\n  (.*)", help_text):
        if flat(example) not in guide_examples:
            failures.append(f"the example of {command} --help is not in {guide}")
        if flat(example) not in page_examples:
            failures.append(f"the example of {command} --help is not in {manual}")
    levels = help_text.split("levels", 1)[1] if "levels" in help_text else ""  # conditions takes no case
    for alias in re.findall(r"^  (\S+) {2,}\S", levels, re.M):
        for where, body in ((guide, text), (manual, page)):
            if alias not in body:
                failures.append(f"{where} does not list the ease level {alias}")

for f in failures:
    print("FAIL:", f)
print(f"{len(examples)} examples, {len(failures)} failures")
sys.exit(1 if failures else 0)
