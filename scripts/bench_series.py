#!/usr/bin/env python3
"""Times a case series as one `--cases` run against the same cases as single
runs one after another, and prints the medians as the README's table.

The cases: COUNT cases near the example's (every fourth with an ID), against
the example's 20 controls (k = 2, calibrated prior, 1,000,000 draws, CSV).
Each round runs the batch once (under /usr/bin/time -v: user and system CPU,
elapsed time, peak resident memory) and the COUNT single runs (each on a data
file of the 20 control rows and that case, their times added up), the two
alternating round by round; every CSV field of the batch must equal that of
its single run (the data file's name aside). Prints the medians of the rounds
and the load average before and after.

Run: python3 scripts/bench_series.py CLI_BINARY [rounds [count [draws]]]
"""

import csv
import io
import os
import re
import statistics
import subprocess
import sys
import tempfile

HERE = os.path.dirname(os.path.abspath(__file__))
EXAMPLE = os.path.join(HERE, "..", "examples", "controls-and-case.txt")


def timed(command, out_path):
    """Runs command with /usr/bin/time -v; returns (user, system, elapsed, max RSS KB)."""
    with open(out_path, "w", encoding="utf-8", newline="") as out:
        done = subprocess.run(["/usr/bin/time", "-v"] + command, stdout=out,
                              stderr=subprocess.PIPE, text=True, check=False)
    if done.returncode != 0:
        sys.exit(f"{command}: exit code {done.returncode}\n{done.stderr}")
    err = done.stderr

    def field(name):
        return re.search(rf"{re.escape(name)}: (.+)", err).group(1).strip()

    elapsed = field("Elapsed (wall clock) time (h:mm:ss or m:ss)").split(":")
    seconds = sum(float(part) * 60 ** i for i, part in enumerate(reversed(elapsed)))
    return (float(field("User time (seconds)")), float(field("System time (seconds)")), seconds,
            int(field("Maximum resident set size (kbytes)")))


def records(path):
    with open(path, encoding="utf-8", newline="") as f:
        return list(csv.DictReader(f))


def main():
    cli = sys.argv[1]
    rounds = int(sys.argv[2]) if len(sys.argv) > 2 else 3
    count = int(sys.argv[3]) if len(sys.argv) > 3 else 50
    draws = sys.argv[4] if len(sys.argv) > 4 else "1000000"
    with open(EXAMPLE, encoding="ascii") as f:
        controls = [line.rstrip("\r\n") + "\n" for line in f if line.strip()][:20]
    temp = tempfile.mkdtemp(prefix="quorvane-series-")
    data = os.path.join(temp, "controls.txt")
    with open(data, "w", encoding="ascii") as f:
        f.writelines(controls)
    lines, rows = [], []
    for i in range(count):
        scores = f"{9 + i % 7 * 1.25} {27 - i % 5 * 0.75} {84 + i * 0.5} {11 + i % 3}"
        lines.append((f"id-{i} " if i % 4 == 0 else "") + scores + "\n")
        rows.append(scores + "\n")
    cases = os.path.join(temp, "cases.txt")
    with open(cases, "w", encoding="ascii") as f:
        f.writelines(lines)
    base = [cli, "--controls", "20", "--covariates", "2", "--draws", draws, "--format", "csv"]
    load_before = os.getloadavg()
    batch_times, single_times = [], []
    for r in range(rounds):
        batch_out = os.path.join(temp, "batch.csv")
        batch_times.append(timed(base + ["--cases", cases, data], batch_out))
        batch = records(batch_out)
        total = [0.0, 0.0, 0.0, 0]
        for i, row in enumerate(rows):
            single_data = os.path.join(temp, "single.txt")
            with open(single_data, "w", encoding="ascii") as f:
                f.writelines(controls + [row])
            single_out = os.path.join(temp, "single.csv")
            user, system, elapsed, rss = timed(base + [single_data], single_out)
            total = [total[0] + user, total[1] + system, total[2] + elapsed, max(total[3], rss)]
            single = records(single_out)[0]
            for name, value in single.items():
                if name != "inputs.data.file" and batch[i][name] != value:
                    sys.exit(f"case {i}: {name} is {batch[i][name]} in the batch, {value} alone")
        single_times.append(tuple(total))
        print(f"round {r + 1} of {rounds}: batch {batch_times[-1]}, singles {single_times[-1]}",
              file=sys.stderr)
    load_after = os.getloadavg()

    def median(values, index):
        return statistics.median(v[index] for v in values)

    def listed(values, index):
        return ", ".join(f"{v[index]:.1f}" for v in values)

    print(f"{count} cases, {draws} draws; load average {load_before[0]:.1f} before, "
          f"{load_after[0]:.1f} after; every CSV field equal in every round")
    print("| what | elapsed s, median | user CPU s, median | system CPU s | user + system "
          "| peak memory |")
    print("|---|---|---|---|---|---|")
    for name, values in (("one `--cases` run", batch_times), (f"{count} single runs", single_times)):
        cpu = statistics.median(v[0] + v[1] for v in values)
        print(f"| {name} | {median(values, 2):.1f} ({listed(values, 2)}) | {median(values, 0):.1f} "
              f"({listed(values, 0)}) | {median(values, 1):.1f} | {cpu:.1f} "
              f"| {median(values, 3) / 1024:.0f} MB |")
    batch_cpu = statistics.median(v[0] + v[1] for v in batch_times)
    single_cpu = statistics.median(v[0] + v[1] for v in single_times)
    print(f"CPU of the batch / CPU of the single runs: {batch_cpu / single_cpu:.3f}")


if __name__ == "__main__":
    main()
