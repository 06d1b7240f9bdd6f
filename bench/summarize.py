#!/usr/bin/env python3
"""Turns the hyperfine exports and /usr/bin/time reports of bench/run.sh
into a Markdown table of medians, each set beside its target.

  summarize.py RESULTS_DIR
"""

import json
import os
import re
import sys

# 40 MB in KiB, as /usr/bin/time reports resident sizes.
MEMORY_LIMIT_KIB = 40_000_000 // 1024
PIPE_ALLOWANCE = 1.05
# "As fast as cp" for the sparse file, with room for the noise of a few runs.
SPARSE_ALLOWANCE = 1.10
# A copy may use a little more than its source's data (a partly written
# block at each extent's end), never the holes.
SPARSE_SPACE_ALLOWANCE = 1.10
# Flat: the largest tree's peak at most this much above the smallest's.
SCALE_ALLOWANCE = 1.10


def medians(results, name):
    path = os.path.join(results, name + ".json")
    with open(path) as export:
        data = json.load(export)
    return {entry["command"]: entry for entry in data["results"]}


def seconds(entry):
    return "%.3f s (σ %.3f, %d runs)" % (entry["median"], entry["stddev"] or 0.0,
                                          len(entry["times"]))


def cpu(entry):
    # Less disturbed than the wall time when other work shares the machine.
    return "%.3f s" % (entry["user"] + entry["system"])


def verdict(met):
    return "**met**" if met else "**not met**"


def peak_kib(results, name):
    with open(os.path.join(results, name)) as report:
        match = re.search(r"Maximum resident set size \(kbytes\): (\d+)", report.read())
    return int(match.group(1)) if match else None


def sparse_space(results):
    # name -> (apparent KiB, used KiB)
    space = {}
    path = os.path.join(results, "sparse-space.txt")
    if os.path.exists(path):
        with open(path) as report:
            for line in report:
                fields = line.split()
                if len(fields) == 3:
                    space[fields[0]] = (int(fields[1]), int(fields[2]))
    return space


def scale_sizes(results):
    sizes = set()
    for name in os.listdir(results):
        match = re.fullmatch(r"memory-scale-(\d+)-initial\.txt", name)
        if match:
            sizes.add(int(match.group(1)))
    return sizes


def print_load(results):
    path = os.path.join(results, "load.txt")
    if not os.path.exists(path):
        return
    with open(path) as report:
        notes = [line.split(None, 1) for line in report if line.strip()]
    print()
    print("Load average (1, 5, 15 min) at the start of each case: " +
          "; ".join("%s %s" % (case, load.strip()) for case, load in notes))


def main():
    results = sys.argv[1]
    rows = []

    def add_set(title, data, reference, target_text, met):
        first = True
        for command, entry in data.items():
            ratio = entry["median"] / data[reference]["median"]
            rows.append("| %s | %s | %s | %s | %.2fx %s | %s | %s |" % (
                title if first else "", command, seconds(entry), cpu(entry), ratio, reference,
                target_text if first else "", verdict(met) if first else ""))
            first = False

    nochange = medians(results, "nochange")
    ratio = nochange["tarnwick"]["median"] / nochange["walk_limit"]["median"]
    add_set("No-change re-run, 100,000 files", nochange, "walk_limit",
            "tarnwick <= 1.3x walk_limit", ratio <= 1.3)

    initial = medians(results, "initial")
    tarnwick = initial["tarnwick"]["median"]
    add_set("Initial copy, 100,000 files", initial, "cp",
            "tarnwick < rsync and <= 1.3x cp",
            tarnwick < initial["rsync"]["median"] and tarnwick <= 1.3 * initial["cp"]["median"])

    big = medians(results, "big")
    add_set("Copy of 40 x 64 MiB", big, "plain_copy", "tarnwick <= 1.15x plain_copy",
            big["tarnwick"]["median"] <= 1.15 * big["plain_copy"]["median"])

    space = sparse_space(results)
    if os.path.exists(os.path.join(results, "sparse.json")):
        sparse = medians(results, "sparse")
        dense = [name for name in ("tarnwick", "cp")
                 if name not in space or "source" not in space
                 or space[name][1] > SPARSE_SPACE_ALLOWANCE * space["source"][1]]
        # What the copy adds to a run that has nothing to copy, against cp; in
        # CPU time, as the wall time of such short runs follows the machine's
        # other work (the schedule update waits for the disk).
        def cpu_of(name):
            return sparse[name]["user"] + sparse[name]["system"]
        copy_part = cpu_of("tarnwick") - cpu_of("empty-run")
        add_set("Copy of a 10 GiB sparse file (16 MiB data)", sparse, "cp",
                "CPU of tarnwick minus empty-run <= %.2fx cp's CPU, target as sparse as the "
                "source (%.3f s, %.2fx cp)" % (SPARSE_ALLOWANCE, copy_part,
                                               copy_part / cpu_of("cp")),
                copy_part <= SPARSE_ALLOWANCE * cpu_of("cp") and not dense)

    output = medians(results, "output")
    add_set("Output cost, no-change run", output, "devnull",
            "pipe <= 1.05x devnull (all-lines: no target)",
            output["pipe"]["median"] <= PIPE_ALLOWANCE * output["devnull"]["median"])

    print("| Case | Command | Median wall time | CPU (user+sys, mean) | Ratio of medians "
          "| Target | Verdict |")
    print("|---|---|---|---|---|---|---|")
    for row in rows:
        print(row)

    print()
    print("| Peak memory of tarnwick-cli run, 100,000 files | Maximum resident set size | Target | Verdict |")
    print("|---|---|---|---|")
    for label, name in (("initial copy", "memory-initial.txt"),
                        ("no-change re-run", "memory-nochange.txt")):
        kib = peak_kib(results, name)
        if kib is None:
            print("| %s | not measured | < 40 MB | **not met** |" % label)
        else:
            print("| %s | %.1f MB (%d KiB) | < 40 MB | %s |" % (
                label, kib * 1024 / 1e6, kib, verdict(kib < MEMORY_LIMIT_KIB)))

    if space:
        print()
        print("| Sparse file | Apparent size | Space used (du) |")
        print("|---|---|---|")
        for name, (apparent, used) in space.items():
            print("| %s | %.1f GiB | %.1f MiB (%d KiB) |" % (
                name, apparent / 1024 / 1024, used / 1024, used))

    sizes = scale_sizes(results)
    if sizes:
        peaks = {}  # files -> (initial KiB, no-change KiB)
        for files in sizes:
            peaks[files] = (peak_kib(results, "memory-scale-%d-initial.txt" % files),
                            peak_kib(results, "memory-scale-%d-nochange.txt" % files))
        peaks.setdefault(100_000, (peak_kib(results, "memory-initial.txt"),
                                   peak_kib(results, "memory-nochange.txt")))
        print()
        print("| Peak memory by tree size | Initial copy | No-change re-run |")
        print("|---|---|---|")
        for files in sorted(peaks):
            print("| %s files | %s | %s |" % (
                format(files, ","),
                *("%.1f MB (%d KiB)" % (kib * 1024 / 1e6, kib) if kib else "not measured"
                  for kib in peaks[files])))
        smallest, largest = min(peaks), max(peaks)
        for index, label in ((0, "initial copy"), (1, "no-change re-run")):
            low, high = peaks[smallest][index], peaks[largest][index]
            if low and high:
                print("\nFlat from %s to %s files, %s: %.2fx (target <= %.2fx): %s" % (
                    format(smallest, ","), format(largest, ","), label, high / low,
                    SCALE_ALLOWANCE, verdict(high <= SCALE_ALLOWANCE * low)))

    print_load(results)
    return 0


if __name__ == "__main__":
    sys.exit(main())
