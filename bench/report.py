"""The figures of bench/run.sh: one table at a time, a summary against the targets, a chart.

  report.py table NAME TITLE LOG LABEL...   prints a table from the hyperfine rounds and peak
                                            memory files of NAME, and keeps its rows in
                                            results.jsonl
  report.py summary                         the ratios the targets speak of
  report.py chart FILE                      the figures as an SVG chart (needs matplotlib)
Times are medians; every ratio compares commands timed side by side in the same rounds."""
import glob
import json
import os
import statistics
import sys

RESULTS = "results.jsonl"
FLOOR = "I/O floor"
# The whole run of each kernel set on the 100 MB log, against the I/O floor: at most this much.
KERNEL_TARGETS = {"avx512": 2.0, "avx2": 2.5, "neon": 2.5, "portable": 4.5}


def read_rows():
    with open(RESULTS, encoding="utf-8") as f:
        return [json.loads(line) for line in f]


def table(name, title, log, labels):
    size = os.path.getsize(log)
    times = {label: [] for label in labels}
    for path in sorted(glob.glob(name + ".round*.json")):
        with open(path, encoding="utf-8") as f:
            for result in json.load(f)["results"]:
                times[result["command"]] += result["times"]
    median = {label: statistics.median(times[label]) for label in labels}

    def out_of(label):
        return f"{name}.{label.replace(' ', '_').replace('/', '_')}.out"

    reference = None
    if os.path.exists(out_of("MIRTAK")):
        with open(out_of("MIRTAK"), "rb") as f:
            reference = f.read()
    print(f"{title} ({log}, {size / 1e6:.1f} MB)")
    print(f"  {'command':<18}{'median s':>10}{'MB/s':>9}{'÷ floor':>9}{'MIRTAK ×':>10}"
          f"{'peak RSS':>10}  same bytes")
    rows = []
    for label in labels:
        with open(f"{name}.{label.replace(' ', '_').replace('/', '_')}.rss", encoding="utf-8") as f:
            rss_kib = int(f.read().split()[-1])
        same = ""
        if reference is not None and os.path.exists(out_of(label)) and label != FLOOR:
            with open(out_of(label), "rb") as f:
                same = "yes" if f.read() == reference else "NO"
        floor = median[label] / median[FLOOR] if FLOOR in median else float("nan")
        print(f"  {label:<18}{median[label]:>10.4f}{size / 1e6 / median[label]:>9.0f}"
              f"{floor:>9.2f}{median[label] / median['MIRTAK']:>10.1f}"
              f"{rss_kib / 1024:>9.1f}M  {same}")
        rows.append({"table": name, "title": title, "size": size, "label": label,
                     "median": median[label], "floor": floor, "rss_kib": rss_kib, "same": same})
    with open(RESULTS, "a", encoding="utf-8") as f:
        for row in rows:
            f.write(json.dumps(row) + "\n")
    print()


def find(rows, name, label):
    return next((r for r in rows if r["table"] == name and r["label"] == label), None)


def verdict(value, limit, at_most=True):
    met = value <= limit if at_most else value >= limit
    return "met" if met else f"short by {abs(value - limit) / limit:.0%}"


def summary():
    rows = read_rows()
    print("Against the targets (medians, ratios from the same rounds)")
    for r in rows:
        if r["table"] == "t100" and r["label"].startswith("MIRTAK "):
            kernels = r["label"].split(" ", 1)[1]
            if kernels in KERNEL_TARGETS:
                limit = KERNEL_TARGETS[kernels]
                print(f"  {kernels:<9} whole run ÷ I/O floor {r['floor']:5.2f}"
                      f"   target ≤ {limit}: {verdict(r['floor'], limit)}")
    base = find(rows, "t100", "MIRTAK")
    per_byte = base["median"] / base["size"]
    for name, what, limit in (("c2000", "2000 columns", 1.3), ("line", "one 100 MB line", 1.3)):
        r = find(rows, name, "MIRTAK")
        if r:
            ratio = r["median"] / r["size"] / per_byte
            print(f"  {what:<18} time per byte ÷ 10 columns {ratio:5.2f}"
                  f"   target ≤ {limit}: {verdict(ratio, limit)}")
    for name, what in (("lf", "LF only"), ("c3", "3 columns")):
        r = find(rows, name, "MIRTAK")
        if r:
            ratio = (r["size"] / r["median"]) / (base["size"] / base["median"])
            print(f"  {what:<18} bytes per second ÷ 10 columns {ratio:5.2f}"
                  f"   target within 20%: {verdict(abs(ratio - 1), 0.2)}")
    literal = find(rows, "t100", "literal port")
    if literal:
        ratio = literal["median"] / base["median"]
        print(f"  literal port ÷ MIRTAK {ratio:5.1f}   target ≥ 12: {verdict(ratio, 12, False)}")
    peaks = {r["title"]: r["rss_kib"] for r in rows if r["label"] == "MIRTAK"}
    top = max(peaks.values())
    print(f"  peak memory {min(peaks.values()) / 1024:.1f} to {top / 1024:.1f} MiB over "
          f"{len(peaks)} logs   target ≤ 4 MiB: {verdict(top / 1024, 4)}")
    bad = [f"{r['title']}: {r['label']}" for r in rows if r["same"] == "NO"]
    print("  same bytes from every converter: " + ("yes" if not bad else "NO: " + ", ".join(bad)))


def chart(path):
    import matplotlib

    matplotlib.use("svg")
    import matplotlib.pyplot as plt

    rows = read_rows()
    main = [r for r in rows if r["table"] == "t100" and r["label"] != FLOOR]
    shapes = [r for r in rows if r["table"] != "t100" and r["label"] == "MIRTAK"]
    fig, (top, bottom) = plt.subplots(
        2, 1, figsize=(8, 6.5), gridspec_kw={"height_ratios": [len(main), len(shapes)]})
    for axis, group, labels, title in (
            (top, main, [r["label"] for r in main],
             "100 MB log, 10 columns, CR LF: whole run ÷ I/O floor (log scale)"),
            (bottom, shapes, [r["title"] for r in shapes],
             "MIRTAK on other logs: whole run ÷ I/O floor")):
        values = [r["floor"] for r in group]
        colours = ["#2f6f9f" if r["label"].startswith("MIRTAK") else "#a0a0a0" for r in group]
        axis.barh(range(len(group)), values, color=colours)
        axis.set_yticks(range(len(group)), labels)
        axis.invert_yaxis()
        axis.set_title(title, fontsize=10, loc="left")
        axis.axvline(1, color="black", linewidth=0.8)
        for i, v in enumerate(values):
            axis.text(v, i, f" {v:.1f}", va="center", fontsize=8)
            target = KERNEL_TARGETS.get(group[i]["label"].split(" ", 1)[-1])
            if axis is top and target is not None and group[i]["label"].startswith("MIRTAK "):
                axis.plot([target, target], [i - 0.4, i + 0.4], color="#c03030", linewidth=2)
    top.set_xscale("log")
    top.plot([], [], color="#c03030", linewidth=2, label="target for the kernel set")
    top.legend(loc="center right", fontsize=8)
    bottom.set_xlim(0, max(r["floor"] for r in shapes) * 1.25)
    fig.tight_layout()
    fig.savefig(path, metadata={"Date": None})


if __name__ == "__main__":
    command = sys.argv[1]
    if command == "table":
        table(sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5:])
    elif command == "summary":
        summary()
    elif command == "chart":
        chart(sys.argv[2])
    else:
        raise SystemExit(__doc__)
