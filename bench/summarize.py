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
    return 0


if __name__ == "__main__":
    sys.exit(main())
