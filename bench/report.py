"""Prints one benchmark table from hyperfine's JSON and the peak memory files of bench/run.sh."""
import json
import os
import statistics
import sys

name, log, labels = sys.argv[1], sys.argv[2], sys.argv[3:]
size = os.path.getsize(log)
results = {r["command"]: r for r in json.load(open(name + ".json"))["results"]}
median = {label: statistics.median(results[label]["times"]) for label in labels}
reference = open(name + ".MIRTAK.out", "rb").read() if os.path.exists(name + ".MIRTAK.out") else None

print(f"{log}: {size / 1e6:.1f} MB")
print(f"  {'command':<16}{'median s':>10}{'MB/s':>9}{'x wc -l':>9}{'MIRTAK x':>10}{'peak RSS':>10}  same bytes")
for label in labels:
    rss = int(open(f"{name}.{label}.rss").read().split()[-1])
    out = f"{name}.{label}.out"
    same = ""
    if os.path.exists(out) and reference is not None:
        same = "yes" if open(out, "rb").read() == reference else "NO"
    print(f"  {label:<16}{median[label]:>10.4f}{size / 1e6 / median[label]:>9.0f}"
          f"{median[label] / median['wc -l']:>9.2f}{median[label] / median['MIRTAK']:>10.1f}"
          f"{rss / 1024:>9.1f}M  {same}")
