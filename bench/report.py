"""Prints one benchmark table from the hyperfine rounds and peak memory files of bench/run.sh."""
import glob
import json
import os
import statistics
import sys

name, log, labels = sys.argv[1], sys.argv[2], sys.argv[3:]
size = os.path.getsize(log)
times = {label: [] for label in labels}
for path in sorted(glob.glob(name + ".round*.json")):
    for result in json.load(open(path))["results"]:
        times[result["command"]] += result["times"]
median = {label: statistics.median(times[label]) for label in labels}
reference = open(name + ".MIRTAK.out", "rb").read() if os.path.exists(name + ".MIRTAK.out") else None

print(f"{log}: {size / 1e6:.1f} MB")
print(f"  {'command':<16}{'median s':>10}{'MB/s':>9}{'x wc -l':>9}{'MIRTAK x':>10}{'peak RSS':>10}  same bytes")
for label in labels:
    rss = int(open(f"{name}.{label}.rss").read().split()[-1])
    out = f"{name}.{label.replace(' ', '_')}.out"
    same = ""
    if os.path.exists(out) and reference is not None:
        same = "yes" if open(out, "rb").read() == reference else "NO"
    print(f"  {label:<16}{median[label]:>10.4f}{size / 1e6 / median[label]:>9.0f}"
          f"{median[label] / median['wc -l']:>9.2f}{median[label] / median['MIRTAK']:>10.1f}"
          f"{rss / 1024:>9.1f}M  {same}")
