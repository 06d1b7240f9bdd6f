#!/usr/bin/env python3
"""Builds the benchmark source trees, the same bytes, names and times for the
same seed on every machine. Standard library only.

  make_tree.py small DEST   100,000 files of 0-8 KiB in about 2,000 folders
  make_tree.py small DEST --files N
                            N files of 0-8 KiB, one folder per 50 files
  make_tree.py big DEST     40 files of 64 MiB
  make_tree.py sparse DEST  one file of 10 GiB with 16 MiB of data in it

A finished tree leaves DEST.stamp beside it; a later call with the same
kind and seed finds the stamp and leaves the tree alone, so repeated bench
runs do not pay for building it again. A half-built tree (no stamp) is
removed and made afresh.
"""

import argparse
import os
import random
import shutil
import sys

KIB = 1024
MIB = 1024 * KIB

# Times fall in 2020-2024 and carry a nanosecond part, so that a tool which
# compares or stores times at a coarser precision shows up.
TIME_LOW_NS = 1577836800 * 10**9
TIME_HIGH_NS = 1735689600 * 10**9


def random_time(rng):
    return rng.randrange(TIME_LOW_NS, TIME_HIGH_NS)


def make_small(dest, rng, files=100_000, folders=2_000, max_depth=5, max_size=8 * KIB):
    # Each new folder hangs below a random earlier folder that is not yet at
    # the depth limit, which gives a bushy tree a few levels deep.
    tree = [("", 0)]  # (relative path, depth); the root is ""
    for index in range(folders):
        parent, depth = tree[rng.randrange(len(tree))]
        while depth >= max_depth:
            parent, depth = tree[rng.randrange(len(tree))]
        name = "d%04d_%s" % (index, rng.choice(["data", "docs", "img", "src", "x", "archive"]))
        tree.append((os.path.join(parent, name), depth + 1))
    for path, _ in tree[1:]:
        os.mkdir(os.path.join(dest, path))

    pool = rng.randbytes(4 * MIB)
    extensions = [".txt", ".dat", ".jpg", ".c", ".h", ".log", ""]
    for index in range(files):
        folder, _ = tree[rng.randrange(len(tree))]
        name = "f%06d%s" % (index, rng.choice(extensions))
        if rng.random() < 0.02:
            name = "." + name  # a few hidden files
        size = rng.randint(0, max_size)
        start = rng.randrange(len(pool) - max_size)
        path = os.path.join(dest, folder, name)
        with open(path, "wb") as out:
            out.write(pool[start:start + size])
        stamp = random_time(rng)
        os.utime(path, ns=(stamp, stamp))

    # Folder times last, deepest first: making an entry changes its folder's.
    for path, _ in sorted(tree[1:], key=lambda item: -item[1]):
        stamp = random_time(rng)
        os.utime(os.path.join(dest, path), ns=(stamp, stamp))


def make_big(dest, rng, files=40, size=64 * MIB):
    chunk = 8 * MIB
    pool = rng.randbytes(chunk)
    for index in range(files):
        path = os.path.join(dest, "big%02d.bin" % index)
        # Every file begins at another offset of the pool, so no two are equal.
        offset = rng.randrange(chunk)
        rotated = pool[offset:] + pool[:offset]
        with open(path, "wb") as out:
            for _ in range(size // chunk):
                out.write(rotated)
        stamp = random_time(rng)
        os.utime(path, ns=(stamp, stamp))


def make_sparse(dest, rng, size=10 * 1024 * MIB, extents=16, extent_size=MIB):
    # Data extents spread evenly over the file, the last one well before the
    # end, so the file ends in a hole that only its length describes.
    path = os.path.join(dest, "sparse.img")
    step = size // extents
    with open(path, "wb") as out:
        for index in range(extents):
            out.seek(index * step + rng.randrange(step // 2) // 4096 * 4096)
            out.write(rng.randbytes(extent_size))
        out.truncate(size)
    stamp = random_time(rng)
    os.utime(path, ns=(stamp, stamp))


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("kind", choices=["small", "big", "sparse"])
    parser.add_argument("dest")
    parser.add_argument("--seed", type=int, default=20261209)
    parser.add_argument("--files", type=int, default=100_000,
                        help="files of the small tree (default 100,000)")
    args = parser.parse_args()

    dest = os.path.abspath(args.dest)
    stamp_path = dest + ".stamp"
    # The stamp of the default small tree stays as it was, so a tree built
    # before the file count could be chosen is still found.
    wanted = "%s seed=%d" % (args.kind, args.seed)
    if args.kind == "small" and args.files != 100_000:
        wanted += " files=%d" % args.files
    wanted += "\n"
    if os.path.isdir(dest) and os.path.exists(stamp_path):
        with open(stamp_path) as stamp:
            if stamp.read() == wanted:
                print("make_tree: %s is already built (%s)" % (dest, wanted.strip()))
                return 0
    if os.path.exists(stamp_path):
        os.remove(stamp_path)
    if os.path.exists(dest):
        shutil.rmtree(dest)
    os.makedirs(dest)

    rng = random.Random(args.seed)
    if args.kind == "small":
        make_small(dest, rng, files=args.files, folders=max(1, args.files // 50))
    elif args.kind == "big":
        make_big(dest, rng)
    else:
        make_sparse(dest, rng)
    # The root's own time is fixed too, for tools that carry folder times.
    os.utime(dest, ns=(TIME_LOW_NS, TIME_LOW_NS))

    with open(stamp_path, "w") as stamp:
        stamp.write(wanted)
    print("make_tree: built %s (%s)" % (dest, wanted.strip()))
    return 0


if __name__ == "__main__":
    sys.exit(main())
