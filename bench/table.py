"""Turns the benchmark's measurements into the Markdown table.

Reads bench results (one JSON object per line: figure, ours, baseline, unit,
goal) and prints the table with the ratio and whether the goal is met.
"""
import json
import sys


def fmt(value, unit):
    if unit == "ms":
        return f"{value:.3f} ms"
    if unit == "us":
        return f"{value:.2f} µs"
    if unit == "count":
        return f"{value:,.0f}"
    if unit == "KiB":
        return f"{value:,.0f} KiB"
    return f"{value}"


def main(path):
    rows = [json.loads(line) for line in open(path) if line.strip()]
    print("| Figure | Ours | Baseline | Ratio | Goal | Met |")
    print("|---|---|---|---|---|---|")
    for r in rows:
        ours, base, unit = r["ours"], r["baseline"], r["unit"]
        goal = r.get("goal", "")
        if r.get("kind") == "diff":
            shown, measure = f"+{ours - base:,.0f} {unit}", ours - base
        elif r.get("kind") == "max":  # a bound on our own figure
            shown, measure = f"{ours / base:.2f}×", ours
        else:
            shown = f"{ours / base:.2f}×" if base else "n/a"
            measure = ours / base if base else float("inf")
        met = ("yes" if measure <= r["limit"] else "no") if goal else ""
        print(f"| {r['figure']} | {fmt(ours, unit)} | {r['baseline_name']}: {fmt(base, unit)} "
              f"| {shown} | {goal} | {met} |")


if __name__ == "__main__":
    main(sys.argv[1])
