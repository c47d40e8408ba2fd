#!/usr/bin/env python3
"""Turns bench_memory's JSON output into a table of glibc's time over each slot's time per size
(1.00: equal, above 1: the slot is faster), from the best of the repetitions when the run was
repeated (the median when no minimum was reported)."""
import json
import sys


def main(path):
    runs = json.load(open(path))["benchmarks"]
    names = {r.get("aggregate_name") for r in runs if r.get("run_type") == "aggregate"}
    pick = "min" if "min" in names else "median" if names else None
    times = {}
    for r in runs:
        if pick and r.get("aggregate_name") != pick:
            continue
        op, variant, size = r["run_name"].split("/")[:3]
        times[(op, variant, int(size))] = r["real_time"]
    sizes = sorted({k[2] for k in times})
    for op in ("copy", "zero", "move"):
        variants = sorted({k[1] for k in times if k[0] == op and k[1] != "libc"})
        print(f"\n{op}: glibc time / slot time")
        print("%10s" % "bytes" + "".join("%7s" % v for v in variants))
        for n in sizes:
            base = times.get((op, "libc", n))
            cells = []
            for v in variants:
                t = times.get((op, v, n))
                cells.append("%7.2f" % (base / t) if base and t else "%7s" % "-")
            print("%10d" % n + "".join(cells))


if __name__ == "__main__":
    main(sys.argv[1])
