"""End-to-end checks of quorvane-cli's JSON and CSV output and of --cases.

Usage: check_formats.py CLI README EXAMPLE TEMPDIR TEST
TEST is one of: json, csv, batch, bad_row, summary_batch.
"""

import csv
import io
import json
import os
import re
import subprocess
import sys
from decimal import Decimal

CLI, README, EXAMPLE, TEMP, TEST = sys.argv[1:6]
BASE = ["--controls", "20", "--covariates", "2"]


def run(args, expect_rc=0):
    result = subprocess.run([CLI] + args, capture_output=True, text=True, check=False)
    if result.returncode != expect_rc:
        sys.exit(f"{args}: exit {result.returncode}, wanted {expect_rc}\n{result.stderr}")
    return result.stdout, result.stderr


def leaves(node, name=""):
    """(name, value) of every leaf, names as the CSV columns are named."""
    if isinstance(node, dict):
        for key, value in node.items():
            yield from leaves(value, f"{name}.{key}" if name else key)
    elif isinstance(node, list):
        for i, value in enumerate(node, 1):
            yield from leaves(value, f"{name}.{i}")
    else:
        yield name, node


def shape(node):
    """The field names and nesting, without the values."""
    if isinstance(node, dict):
        return {key: shape(value) for key, value in node.items()}
    if isinstance(node, list):
        return [shape(value) for value in node]
    return type(node).__name__


def readme_example():
    text = open(README, encoding="utf-8").read()
    match = re.search(r"<!-- json example -->\s*```json\n(.*?)```", text, re.S)
    if not match:
        sys.exit("README: no JSON example after <!-- json example -->")
    return json.loads(match.group(1))


def check_pairs(obj):
    """Every value/text pair: the text is the value rounded as the text shows it."""
    count = 0
    for name, node in leaves_of_pairs(obj):
        value, text = node["value"], node["text"]
        if len(Decimal(value).as_tuple().digits) > 21:
            sys.exit(f"{name}: more than 21 significant digits: {value}")
        if "e" in text:
            rounded = f"{float(value):.2e}"
        else:
            decimals = len(text.split(".")[1])
            rounded = f"{Decimal(value):.{decimals}f}"
        if rounded != text:
            sys.exit(f"{name}: text {text} is not the value {value} rounded ({rounded})")
        count += 1
    return count


def leaves_of_pairs(node, name=""):
    if isinstance(node, dict):
        if set(node) == {"value", "text"}:
            yield name, node
            return
        for key, value in node.items():
            yield from leaves_of_pairs(value, f"{name}.{key}")
    elif isinstance(node, list):
        for i, value in enumerate(node, 1):
            yield from leaves_of_pairs(value, f"{name}.{i}")


def check_json():
    out, _ = run(BASE + ["--draws", "20000", "--format", "json", EXAMPLE])
    obj = json.loads(out)
    if shape(obj) != shape(readme_example()):
        sys.exit("the JSON fields differ from the README's example")
    # 4 means, SDs, scores and z scores; 16 correlations; 2 + 2 + 1 + 2 + 1
    # conditional values; 9 results.
    if check_pairs(obj) != 49:
        sys.exit("not every number comes as a value/text pair")
    inputs = obj["inputs"]
    if (inputs["controls"], inputs["covariates"], inputs["draws"], inputs["data"]["file"]) != (
            20, 2, 20000, EXAMPLE):
        sys.exit(f"inputs: {inputs}")
    # The rounded texts are those the report prints.
    report, _ = run(BASE + ["--draws", "20000", EXAMPLE])
    r = obj["results"]
    s = obj["statistics"]
    for expected in (
            f" Two-tailed probability = {r['twoTailedP']['text']} ",
            f" One-tailed probability = {r['oneTailedP']['text']} ",
            f" Effect size (Z-DCCC) = {r['effectSize']['text']} (95% CI on effect size = "
            f"{r['effectSizeLower']['text']}  to  {r['effectSizeUpper']['text']})",
            f" Bayesian point estimate    = {r['percentMoreExtreme']['text']}% (95% CI = "
            f"{r['percentLower']['text']}%  to  {r['percentUpper']['text']}%)",
            f"between Y1 and Y2  = {s['partialCorrelation']['text']}\n",
            f" Number of posterior draws = 20000 (not the usual 1000000)\n"):
        if expected not in report:
            sys.exit(f"the report lacks {expected!r}")
    # The standard error of the one-tailed p is that of a mean of values in [0, 1].
    se = float(r["oneTailedPStandardError"]["value"])
    p = float(r["oneTailedP"]["value"])
    if not 0 < se <= (p * (1 - p) / 20000) ** 0.5 + 1e-15:
        sys.exit(f"standard error {se} for p {p}")


def check_csv():
    js, _ = run(BASE + ["--draws", "20000", "--format", "json", EXAMPLE])
    raw, _ = run(BASE + ["--draws", "20000", "--format", "csv", EXAMPLE])
    rows = list(csv.reader(io.StringIO(raw, newline="")))
    if len(rows) != 2:
        sys.exit(f"{len(rows)} CSV records, wanted a header and one row")
    flat = [(name, value if isinstance(value, str) else json.dumps(value))
            for name, value in leaves(json.loads(js))]
    if list(zip(rows[0], rows[1])) != flat:
        sys.exit("the CSV does not read back as the JSON's fields")


def write(path, lines):
    with open(path, "w", encoding="utf-8", newline="") as f:
        f.write("".join(lines))


def case_lines(count):
    """count cases near the example's, every fourth with an ID."""
    lines = []
    for i in range(count):
        scores = f"{9 + i % 7 * 1.25} {27 - i % 5 * 0.75} {84 + i * 0.5} {11 + i % 3}"
        lines.append((f'id-{i},"q" ' if i % 4 == 0 else "") + scores + ("\r\n" if i % 2 else "\n"))
    return lines


def controls():
    with open(EXAMPLE, encoding="ascii") as f:
        return [line.rstrip("\r\n") + "\n" for line in f if line.strip()][:20]


def check_batch():
    lines = case_lines(50)
    cases = os.path.join(TEMP, "cases-50.txt")
    write(cases, lines)
    out, _ = run(BASE + ["--draws", "2000", "--format", "csv", "--cases", cases, EXAMPLE])
    batch = list(csv.DictReader(io.StringIO(out, newline="")))
    if len(batch) != 50:
        sys.exit(f"{len(batch)} results for 50 cases")
    for i, line in enumerate(lines):
        row = batch[i]
        want_id = f'id-{i},"q"' if i % 4 == 0 else ""
        if row["case.line"] != str(i + 1) or row["case.id"] != want_id or row["error.message"]:
            sys.exit(f"case {i}: {row['case.line']} {row['case.id']} {row['error.message']}")
        data = os.path.join(TEMP, "single.txt")
        write(data, controls() + [line.split(" ", 1)[1] if i % 4 == 0 else line])
        single_out, _ = run(BASE + ["--draws", "2000", "--format", "csv", data])
        single = next(csv.DictReader(io.StringIO(single_out, newline="")))
        for name, value in single.items():
            if name != "inputs.data.file" and row[name] != value:
                sys.exit(f"case {i}: {name} is {row[name]} in the batch, {value} alone")
    # The Holm-adjusted p right after the unadjusted one, worked out here from
    # the batch's p values; the text output's table on standard error gives
    # the same.
    header = next(csv.reader(io.StringIO(out, newline="")))
    at = header.index("results.twoTailedP.text")
    if header[at + 1:at + 3] != ["results.twoTailedPHolm.value", "results.twoTailedPHolm.text"]:
        sys.exit(f"the adjusted p's columns are not after the p's: {header[at:at + 3]}")
    p = [float(row["results.twoTailedP.value"]) for row in batch]
    want = holm(p)
    for i, row in enumerate(batch):
        got = float(row["results.twoTailedPHolm.value"])
        if abs(got - want[i]) > 1e-15 * max(want[i], 1e-300):
            sys.exit(f"case {i}: Holm-adjusted p {got}, worked out {want[i]}")
    text, err = run(BASE + ["--draws", "2000", "--cases", cases, EXAMPLE])
    if ", adjusted p = " in text:
        sys.exit("the table of adjusted p is in the text reports' output")
    table = [line for line in err.splitlines() if ", adjusted p = " in line]
    if len(table) != 50:
        sys.exit(f"{len(table)} lines in the text output's table of adjusted p for 50 cases")
    for i, line in enumerate(table):
        if not line.endswith(f"adjusted p = {batch[i]['results.twoTailedPHolm.text']}"):
            sys.exit(f"table line {line!r}, CSV {batch[i]['results.twoTailedPHolm.text']}")


def holm(p):
    """Holm's step-down adjustment, each p in its own place: sorted ascending
    (ties in input order), the i-th smallest times the number not below it,
    capped at 1 and never below the one before."""
    order = sorted(range(len(p)), key=lambda i: (p[i], i))
    adjusted = [0.0] * len(p)
    running = 0.0
    for rank, i in enumerate(order):
        running = max(running, min(1.0, (len(p) - rank) * p[i]))
        adjusted[i] = running
    return adjusted


def check_bad_row():
    lines = case_lines(50)
    lines[17] = "id-17 9 27 eighty-four 11\n"
    cases = os.path.join(TEMP, "cases-bad.txt")
    write(cases, lines)
    out, err = run(BASE + ["--draws", "2000", "--format", "json", "--cases", cases, EXAMPLE],
                   expect_rc=4)
    entries = json.loads(out)
    errors = [e for e in entries if "error" in e]
    results = [e for e in entries if "results" in e]
    if len(entries) != 50 or len(results) != 49 or len(errors) != 1:
        sys.exit(f"{len(results)} results, {len(errors)} errors")
    if [e["case"]["line"] for e in entries] != list(range(1, 51)):
        sys.exit("the entries are not in input order")
    error = errors[0]
    if (error["case"] != {"line": 18, "id": "id-17"}
            or error["error"]["message"] != 'Invalid numeric input in column 3: "eighty-four"'):
        sys.exit(f"error entry {error}")
    if "Case at line 18 (id-17): Invalid numeric input" not in err:
        sys.exit(f"standard error: {err}")


def texts(node):
    """The rounded texts of every value/text pair, by name."""
    return {name: pair["text"] for name, pair in leaves_of_pairs(node)}


def check_summary_batch():
    """Cases against a summary file written from the example's controls print
    what the same cases print against the raw data, case by case; the bad row
    gets its error entry in both runs."""
    summary = os.path.join(TEMP, "example-summary.txt")
    if os.path.exists(summary):
        os.remove(summary)
    run(BASE + ["--write-summary", summary, EXAMPLE])
    lines = case_lines(50)
    lines[17] = "id-17 9 27 eighty-four 11\n"
    cases = os.path.join(TEMP, "cases-summary.txt")
    write(cases, lines)
    for choices in (["--prior", "calibrated", "--limit", "two-sided"],
                    ["--prior", "standard", "--limit", "lower"]):
        common = choices + ["--draws", "2000", "--format", "json", "--cases", cases]
        raw_out, _ = run(BASE + common + [EXAMPLE], expect_rc=4)
        sum_out, sum_err = run(["--summary", summary] + common, expect_rc=4)
        raw, from_summary = json.loads(raw_out), json.loads(sum_out)
        if len(raw) != 50 or len(from_summary) != 50:
            sys.exit(f"{choices}: {len(raw)} and {len(from_summary)} entries for 50 cases")
        for i, (r, s) in enumerate(zip(raw, from_summary)):
            if r["case"] != s["case"]:
                sys.exit(f"{choices} entry {i}: case {r['case']} against {s['case']}")
            if "error" in r or "error" in s:
                if i != 17 or r.get("error") != s.get("error"):
                    sys.exit(f"{choices} entry {i}: errors {r.get('error')} {s.get('error')}")
                continue
            body = {key: value for key, value in s.items() if key != "case"}
            # A batch's result adds the Holm-adjusted p to a single run's fields.
            if "twoTailedPHolm" not in body["results"]:
                sys.exit(f"{choices} entry {i}: no results.twoTailedPHolm")
            body["results"] = {key: value for key, value in body["results"].items()
                               if key != "twoTailedPHolm"}
            if shape(body) != shape(readme_example()):
                sys.exit("the summary input's JSON fields differ from the README's example")
            if s["inputs"]["data"] != {"kind": "summary statistics", "file": summary}:
                sys.exit(f"{choices} entry {i}: inputs.data {s['inputs']['data']}")
            for key in ("controls", "covariates", "prior", "limit", "draws"):
                if r["inputs"][key] != s["inputs"][key]:
                    sys.exit(f"{choices} entry {i}: inputs.{key} differs")
            want, got = texts(r), texts(s)
            if want != got:
                diff = {k: (want[k], got.get(k)) for k in want if want[k] != got.get(k)}
                sys.exit(f"{choices} case {i}: printed values differ (raw, summary): {diff}")
        if "Case at line 18 (id-17): Invalid numeric input" not in sum_err:
            sys.exit(f"standard error: {sum_err}")
    # The text reports name the summary file, one per case with results.
    out, _ = run(["--summary", summary, "--draws", "2000", "--cases", cases], expect_rc=4)
    named = ("Summary statistics for the control sample and the case's scores were loaded from "
             "the following file: \n " + summary + "\n")
    if out.count(named) != 49 or out.count(" OUTPUTS:") != 49:
        sys.exit(f"{out.count(named)} reports name the summary file, wanted 49")


{"json": check_json, "csv": check_csv, "batch": check_batch, "bad_row": check_bad_row,
 "summary_batch": check_summary_batch}[TEST]()
