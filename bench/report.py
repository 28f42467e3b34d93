"""The figures of bench/run.sh: one table at a time, a summary against the targets, a chart.

  report.py table NAME TITLE LOG BASE LABEL...
                                            prints a table from the hyperfine rounds and peak
                                            memory files of NAME, and keeps its rows in
                                            results.jsonl; BASE is the earlier commit whose rows
                                            ("BASE", "BASE SET") the rows of this one
                                            ("MIRTAK", "MIRTAK SET") are compared with
  report.py summary                         the ratios the targets speak of (those of the
                                            tables that were run)
  report.py chart FILE                      the figures as an SVG chart (needs matplotlib)
Times are medians; every ratio compares commands timed side by side in the same rounds. The
processor they ran on (processor.txt, written by bench/run.sh) heads every table and the chart."""
import glob
import json
import os
import statistics
import sys

RESULTS = "results.jsonl"
FLOOR = "I/O floor"
# The whole run of each kernel set on the main log against the same set of the earlier commit,
# timed in the same rounds: at most this much (no set slower; AVX2, which most processors run,
# a tenth faster).
BASE_TARGETS = {"avx512": 1.02, "avx2": 0.9, "sse4": 1.02, "portable": 1.02, "plain": 1.02}
# The default build on the big log against the earlier commit's: no slower.
BIG_TARGET = 1.0
# The SSE4.2 set against the portable one of the same build.
SSE4_TARGET = 0.5
# A run over an existing value file against the same tool judging it by its size alone.
CHECKS_TARGET = 1.02


def processor():
    try:
        with open("processor.txt", encoding="utf-8") as f:
            return f.read().strip()
    except FileNotFoundError:
        return "processor not recorded"


def base_label(label, base):
    """The earlier commit's row that label is compared with, if label is one of this build's."""
    if not base or not label.startswith("MIRTAK"):
        return None
    return base + label[len("MIRTAK"):]


def read_rows():
    with open(RESULTS, encoding="utf-8") as f:
        return [json.loads(line) for line in f]


def table(name, title, log, base, labels):
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
    print(f"{title} ({log}, {size / 1e6:.1f} MB) on {processor()}")
    print(f"  {'command':<18}{'median s':>10}{'MB/s':>9}{'÷ floor':>9}{'MIRTAK ×':>10}"
          f"{'÷ ' + (base or 'base'):>10}{'peak RSS':>10}  same bytes")
    rows = []
    for label in labels:
        with open(f"{name}.{label.replace(' ', '_').replace('/', '_')}.rss", encoding="utf-8") as f:
            rss_kib = int(f.read().split()[-1])
        same = ""
        if reference is not None and os.path.exists(out_of(label)) and label != FLOOR:
            with open(out_of(label), "rb") as f:
                same = "yes" if f.read() == reference else "NO"
        floor = median[label] / median[FLOOR] if FLOOR in median else float("nan")
        earlier = base_label(label, base)
        to_base = median[label] / median[earlier] if earlier in median else None
        print(f"  {label:<18}{median[label]:>10.4f}{size / 1e6 / median[label]:>9.0f}"
              f"{floor:>9.2f}{median[label] / median['MIRTAK']:>10.1f}"
              f"{'' if to_base is None else f'{to_base:.2f}':>10}"
              f"{rss_kib / 1024:>9.1f}M  {same}")
        rows.append({"table": name, "title": title, "size": size, "label": label,
                     "median": median[label], "floor": floor, "to_base": to_base,
                     "base": base, "rss_kib": rss_kib, "same": same})
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
    print(f"Against the targets (medians, ratios from the same rounds) on {processor()}")
    for name in ("existing", "existing_reach"):
        checked, unjudged = find(rows, name, "MIRTAK"), find(rows, name, "MIRTAK unjudged")
        if checked and unjudged:
            ratio = checked["median"] / unjudged["median"]
            print(f"  {checked['title']}: checks ÷ none {ratio:5.3f}"
                  f"   target ≤ {CHECKS_TARGET}: {verdict(ratio, CHECKS_TARGET)}")
    base = find(rows, "t100", "MIRTAK")
    if base is None:
        return
    for r in rows:
        if r["table"] == "t100" and r["label"].startswith("MIRTAK"):
            kernels = r["label"].split(" ", 1)[1] if " " in r["label"] else "default"
            line = f"  {kernels:<9} whole run ÷ I/O floor {r['floor']:5.2f}"
            if r.get("to_base") is not None:
                line += f"   ÷ {r['base']} {r['to_base']:5.2f}"
                if kernels in BASE_TARGETS:
                    limit = BASE_TARGETS[kernels]
                    line += f"   target ≤ {limit}: {verdict(r['to_base'], limit)}"
            print(line)
    sse4, portable = find(rows, "t100", "MIRTAK sse4"), find(rows, "t100", "MIRTAK portable")
    if sse4 and portable:
        ratio = sse4["median"] / portable["median"]
        print(f"  sse4 ÷ portable of this build {ratio:5.2f}"
              f"   target ≤ {SSE4_TARGET}: {verdict(ratio, SSE4_TARGET)}")
    big = find(rows, "t1g", "MIRTAK")
    if big and big.get("to_base") is not None:
        print(f"  {big['title']}: default ÷ {big['base']} {big['to_base']:5.2f}"
              f"   target ≤ {BIG_TARGET}: {verdict(big['to_base'], BIG_TARGET)}")
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
        print(f"  literal port ÷ MIRTAK {ratio:5.1f}   target ≥ 18: {verdict(ratio, 18, False)}")
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
    shapes = [r for r in rows if r["table"] not in ("t100", "existing", "existing_reach")
              and r["label"] == "MIRTAK"]
    fig, (top, bottom) = plt.subplots(
        2, 1, figsize=(8, 7), gridspec_kw={"height_ratios": [len(main), max(1, len(shapes))]})
    fig.suptitle(f"on {processor()}", fontsize=9, x=0.01, ha="left")
    for axis, group, labels, title in (
            (top, main, [r["label"] for r in main],
             f"{main[0]['title']}: whole run ÷ I/O floor (log scale)"),
            (bottom, shapes, [r["title"] for r in shapes],
             "MIRTAK on other logs: whole run ÷ I/O floor")):
        values = [r["floor"] for r in group]
        # This build's rows blue, the earlier commit's light blue, the other tools grey.
        colours = ["#2f6f9f" if r["label"].startswith("MIRTAK") else
                   "#9fc3df" if r.get("base") and r["label"].startswith(r["base"]) else
                   "#a0a0a0" for r in group]
        axis.barh(range(len(group)), values, color=colours)
        axis.set_yticks(range(len(group)), labels)
        axis.invert_yaxis()
        axis.set_title(title, fontsize=10, loc="left")
        axis.axvline(1, color="black", linewidth=0.8)
        for i, v in enumerate(values):
            axis.text(v, i, f" {v:.1f}", va="center", fontsize=8)
    top.set_xscale("log")
    bottom.set_xlim(0, max([r["floor"] for r in shapes] + [1]) * 1.25)
    fig.tight_layout()
    fig.savefig(path, metadata={"Date": None})


if __name__ == "__main__":
    command = sys.argv[1]
    if command == "table":
        table(sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5], sys.argv[6:])
    elif command == "summary":
        summary()
    elif command == "chart":
        chart(sys.argv[2])
    else:
        raise SystemExit(__doc__)
