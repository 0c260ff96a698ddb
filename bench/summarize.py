#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Median and spread of the comparison benchmark's figures over several runs.

usage: summarize.py run1.json run2.json ...   (each from --benchmark_format=json)
Prints, per benchmark, the median of store, sqlite and ratio, and the lowest
and highest ratio seen.
"""
import json
import statistics
import sys

runs = [json.load(open(path))["benchmarks"] for path in sys.argv[1:]]
names = [b["name"].split("/")[0] for b in runs[0]]
print(f"{'benchmark':32} {'store/s':>12} {'sqlite/s':>12} {'ratio':>8}  ratio range")
for name in names:
    figures = [b for run in runs for b in run if b["name"].split("/")[0] == name]
    median = {key: statistics.median(b[key] for b in figures) for key in ("store", "sqlite", "ratio")}
    ratios = [b["ratio"] for b in figures]
    print(f"{name[3:]:32} {median['store']:12.0f} {median['sqlite']:12.0f} {median['ratio']:8.3f}"
          f"  {min(ratios):.3f} .. {max(ratios):.3f}")
