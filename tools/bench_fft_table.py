#!/usr/bin/env python3
"""Turns bench_fft's JSON output into a table of GFLOP/s (5 N log2 N / t) of slot 5, slot 6 and
FFTW per order, for each direction in place and out of place, with slot 6's speed over FFTW's
(above 1: slot 6 is faster), and the time of the scanner's call (order 7, forward, in place, slot
6). t is the real time of the best of the repetitions when the run was repeated (the median when
no minimum was reported); a slot the processor lacks shows as "-"."""
import json
import sys

MODES = (("fwd", "inplace", "forward, in place"), ("fwd", "outofplace", "forward, out of place"),
         ("inv", "inplace", "inverse, in place"), ("inv", "outofplace", "inverse, out of place"))
VARIANTS = ("s5", "s6", "fftw")


def times_of(runs, pick):
    """(direction, placement, variant, order) -> real time in ns of the chosen statistic."""
    times = {}
    for r in runs:
        if pick and r.get("aggregate_name") != pick:
            continue
        parts = r["run_name"].split("/")
        if len(parts) != 4 or parts[0] not in ("fwd", "inv"):
            continue  # the plain slot's figures
        if r.get("error_occurred"):
            continue
        scale = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}[r.get("time_unit", "ns")]
        times[(parts[0], parts[1], parts[2], int(parts[3]))] = r["real_time"] * scale
    return times


def gflops(order, ns):
    return 5.0 * (1 << order) * order / ns


def main(path):
    data = json.load(open(path))
    runs = data["benchmarks"]
    names = {r.get("aggregate_name") for r in runs if r.get("run_type") == "aggregate"}
    pick = "min" if "min" in names else "median" if names else None
    times = times_of(runs, pick)
    medians = times_of(runs, "median") if "median" in names else {}
    ctx = data.get("context", {})
    load = ", ".join("%.2f" % v for v in ctx.get("load_avg", [])) or "not reported"
    what = {"min": "best of the repetitions", "median": "median of the repetitions"}.get(pick, "one run")
    print("FFT, slots 5 and 6 against FFTW (fftwf_plan_dft_1d, FFTW_MEASURE), unscaled, single thread")
    print(f"GFLOP/s = 5 N log2 N / t, t the real time per transform, {what}")
    print(f"run {ctx.get('date', '?')} on {ctx.get('num_cpus', '?')} CPUs, load average {load}")
    orders = sorted({k[3] for k in times})
    for direction, placement, title in MODES:
        print(f"\n{title}")
        print("%5s %8s" % ("order", "N") + "".join("%9s" % h for h in ("slot 5", "slot 6", "FFTW"))
              + "%10s" % "s6/FFTW")
        for order in orders:
            t = {v: times.get((direction, placement, v, order)) for v in VARIANTS}
            cells = ["%9.2f" % gflops(order, t[v]) if t[v] else "%9s" % "-" for v in VARIANTS]
            ratio = "%10.2f" % (t["fftw"] / t["s6"]) if t["s6"] and t["fftw"] else "%10s" % "-"
            print("%5d %8d" % (order, 1 << order) + "".join(cells) + ratio)
    call = ("fwd", "inplace", "s6", 7)
    if call in times:
        line = f"\nslot 6, order 7, forward in place (the scanner's call): {times[call]:.1f} ns per transform"
        if call in medians and pick != "median":
            line += f" (median {medians[call]:.1f} ns)"
        print(line)


if __name__ == "__main__":
    main(sys.argv[1])
