#!/usr/bin/env python3
"""Turns bench_fft's JSON output into tables of GFLOP/s (5 N log2 N / t) per order and mode:
- slots 0 to 4 beside FFTW with and without its SIMD codelets, orders 2 to 17, each SSE slot's
  speed over the plain slot's and slot 4's over FFTW's;
- slots 5 and 6 beside FFTW, orders 2 to 18, slot 6's speed over FFTW's;
- the large orders 16 to 24, both directions, every slot and FFTW, in GFLOP/s and ns per point, slot 6's
  speed over FFTW's and every vector slot's over the plain slot's;
and the time of the scanner's call (order 7, forward, in place, slot 6). A ratio above 1 means the
first named is faster. t is the real time of the best of the repetitions when the run was repeated
(the median when no minimum was reported); a slot the processor lacks, or a figure not measured,
shows as "-"."""
import json
import sys

MODES = (("fwd", "outofplace", "forward, out of place"), ("fwd", "inplace", "forward, in place"),
         ("inv", "outofplace", "inverse, out of place"), ("inv", "inplace", "inverse, in place"))
SSE = ("s0", "s1", "s2", "s3", "s4", "fftw", "fftw-nosimd")
AVX = ("s5", "s6", "fftw")
LARGE = ("s0", "s1", "s2", "s3", "s4", "s5", "s6", "fftw")
HEAD = {"fftw": "FFTW", "fftw-nosimd": "noSIMD"}


def head(variant):
    return HEAD.get(variant, "slot " + variant[1:])


def times_of(runs, pick):
    """(direction, placement, variant, order) -> real time in ns of the chosen statistic."""
    times = {}
    for r in runs:
        if pick and r.get("aggregate_name") != pick:
            continue
        # Options the benchmark set itself (repeats:3 on the large orders) follow the order.
        parts = [p for p in r["run_name"].split("/") if ":" not in p]
        if len(parts) != 4 or parts[0] not in ("fwd", "inv"):
            continue  # the planner's figures
        if r.get("error_occurred"):
            continue
        scale = {"ns": 1.0, "us": 1e3, "ms": 1e6, "s": 1e9}[r.get("time_unit", "ns")]
        times[(parts[0], parts[1], parts[2], int(parts[3]))] = r["real_time"] * scale
    return times


def gflops(order, ns):
    return 5.0 * (1 << order) * order / ns


def cell(value, fmt, width):
    return (fmt % value).rjust(width) if value is not None else "-".rjust(width)


def ratio(slow, fast):
    """Speed of the second over the first: the first's time over the second's."""
    return slow / fast if slow and fast else None


def table(times, direction, placement, title, variants, orders, ratios, per_point=False):
    """One table: GFLOP/s (or ns per point) per variant, then the named speed ratios."""
    orders = [o for o in orders if any((direction, placement, v, o) in times for v in variants)]
    if not orders:
        return
    print(f"\n{title}" + (", ns per point" if per_point else ", GFLOP/s"))
    print("%5s %9s" % ("order", "N") + "".join("%8s" % head(v) for v in variants)
          + "".join("%8s" % ("%s/%s" % (a[1:] if a[0] == "s" else HEAD.get(a, a),
                                        b[1:] if b[0] == "s" else HEAD.get(b, b))) for a, b in ratios))
    for order in orders:
        t = {v: times.get((direction, placement, v, order)) for v in set(variants) | {x for r in ratios for x in r}}
        if per_point:
            cells = [cell(t[v] / (1 << order) if t[v] else None, "%.3f", 8) for v in variants]
        else:
            cells = [cell(gflops(order, t[v]) if t[v] else None, "%.2f", 8) for v in variants]
        rs = [cell(ratio(t[b], t[a]), "%.2f", 8) for a, b in ratios]
        print("%5d %9d" % (order, 1 << order) + "".join(cells) + "".join(rs))


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
    print("FFT, every slot against FFTW (fftwf_plan_dft_1d, FFTW_MEASURE; noSIMD adds FFTW_NO_SIMD),")
    print("unscaled, single thread")
    print(f"GFLOP/s = 5 N log2 N / t, t the real time per transform, {what}")
    print("a/b: the speed of a over b (above 1: a is faster); 1/0 is slot 1 over slot 0")
    print(f"run {ctx.get('date', '?')} on {ctx.get('num_cpus', '?')} CPUs, load average at the start {load}")

    print("\n== Slots 0 to 4 (plain and SSE) against FFTW, orders 2 to 17 ==")
    sse_ratios = [("s1", "s0"), ("s2", "s0"), ("s3", "s0"), ("s4", "s0"), ("s4", "fftw")]
    for direction, placement, title in MODES:
        table(times, direction, placement, title, SSE, range(2, 18), sse_ratios)

    print("\n== Slots 5 and 6 (AVX, AVX2+FMA) against FFTW, orders 2 to 18 ==")
    for direction, placement, title in MODES:
        table(times, direction, placement, title, AVX, range(2, 19), [("s6", "fftw")])

    print("\n== Large orders 16 to 24, every slot against FFTW ==")
    large_ratios = [("s6", "fftw")] + [("s%d" % k, "s0") for k in range(1, 7)]
    for direction, placement, title in MODES:
        table(times, direction, placement, title, LARGE, range(16, 25), large_ratios)
        table(times, direction, placement, title, LARGE, range(16, 25), [], per_point=True)

    call = ("fwd", "inplace", "s6", 7)
    if call in times:
        line = f"\nslot 6, order 7, forward in place (the scanner's call): {times[call]:.1f} ns per transform"
        if call in medians and pick != "median":
            line += f" (median {medians[call]:.1f} ns)"
        print(line)


if __name__ == "__main__":
    main(sys.argv[1])
