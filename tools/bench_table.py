#!/usr/bin/env python3
"""The table of tools/bench.sh: reads its rows (label|ours|reference|target,
ours and reference as program:benchmark) from standard input and the JSON
results of each program from the folder named first, and prints per row the
median of ours and of the reference with the min and max of the repetitions,
and the ratio of the medians beside the target."""
import json
import statistics
import sys

SCALE = {"ns": 1e-6, "us": 1e-3, "ms": 1.0, "s": 1e3}  # to milliseconds


def main():
    results = sys.argv[1]
    cache = {}

    def times(source):
        key, name = source.split(":", 1)
        if key not in cache:
            with open(f"{results}/{key}.json") as f:
                cache[key] = json.load(f)["benchmarks"]
        found = [b["real_time"] * SCALE[b["time_unit"]] for b in cache[key]
                 if b.get("run_type") == "iteration" and b["run_name"] == name]
        if not found:
            sys.exit(f"no benchmark {name} in the results of {key}")
        return found

    def cell(t):
        return f"{statistics.median(t):.2f} ({min(t):.2f}-{max(t):.2f})"

    print(f"{'row':<68} {'ours ms (min-max)':>24} {'reference ms (min-max)':>24} {'ratio':>6} {'target':>7}")
    for line in sys.stdin.read().splitlines():
        label, ours, reference, target = line.split("|")
        a, b = times(ours), times(reference)
        ratio = statistics.median(a) / statistics.median(b)
        verdict = "" if target == "-" else ("  met" if ratio <= float(target) + 1e-9 else "  over")
        print(f"{label:<68} {cell(a):>24} {cell(b):>24} {ratio:6.2f} {target:>7}{verdict}")


if __name__ == "__main__":
    main()
