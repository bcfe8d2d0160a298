#!/usr/bin/env python3
"""Times whole engine runs with the x87 draw kernels and without, and prints
the medians as the README's table.

Runs `quorvane-bench --benchmark_filter=BM_EngineRun` several times over (each
pass runs every case once, the two kernel settings of a case one after the
other) and takes the median of the passes for each case: wall time, and the
CPU time of the whole process (both threads). The saving is the median of the
passes' own savings (each pass compares two runs made seconds apart), which a
shared machine disturbs less than the medians of the times.

Run: python3 scripts/bench_engines.py BENCH_BINARY [passes [filter [raw.json]]]
"""

import json
import re
import statistics
import subprocess
import sys


def main():
    binary = sys.argv[1]
    passes = int(sys.argv[2]) if len(sys.argv) > 2 else 7
    pattern = sys.argv[3] if len(sys.argv) > 3 else "BM_EngineRun"
    raw = sys.argv[4] if len(sys.argv) > 4 else None
    times = {}  # (calibrated, k, threads, kernels) -> ([real ms], [cpu ms])
    for p in range(passes):
        out = subprocess.run(
            [binary, f"--benchmark_filter={pattern}", "--benchmark_format=json"],
            check=True, capture_output=True, text=True).stdout
        for b in json.loads(out)["benchmarks"]:
            args = dict(re.findall(r"(\w+):(\d+)", b["name"]))
            key = (int(args["calibrated"]), int(args["k"]), int(args["threads"]),
                   int(args["kernels"]))
            real, cpu = times.setdefault(key, ([], []))
            real.append(b["real_time"])
            cpu.append(b["cpu_time"])
        print(f"pass {p + 1} of {passes} done", file=sys.stderr)
        if raw:
            with open(raw, "w", encoding="utf-8") as f:
                json.dump({" ".join(map(str, k)): v for k, v in times.items()}, f)

    print("| prior | k | threads | wall, kernels on / off (ms) | CPU, kernels on / off (ms) "
          "| CPU saved (range of the passes) |")
    print("| --- | --- | --- | --- | --- | --- |")
    for calibrated, k, threads, kernels in sorted(times, key=lambda t: (-t[0], t[1], t[2])):
        if not kernels or (calibrated, k, threads, 0) not in times:
            continue
        on = times[(calibrated, k, threads, 1)]
        off = times[(calibrated, k, threads, 0)]
        real_on, real_off = statistics.median(on[0]), statistics.median(off[0])
        cpu_on, cpu_off = statistics.median(on[1]), statistics.median(off[1])
        saved = statistics.median(1 - a / b for a, b in zip(on[1], off[1]))
        spread = max(1 - a / b for a, b in zip(on[1], off[1])) - min(
            1 - a / b for a, b in zip(on[1], off[1]))
        print(f"| {'calibrated' if calibrated else 'standard'} | {k} | {threads} "
              f"| {real_on:.0f} / {real_off:.0f} | {cpu_on:.0f} / {cpu_off:.0f} "
              f"| {100 * saved:+.0f}% (range {100 * spread:.0f}) |")


if __name__ == "__main__":
    main()
