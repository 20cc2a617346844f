#!/usr/bin/env bash
# Zips a 200 MB tree of mixed files (text and random data, a few large files, many small ones) with
# our zipper and with `zip -r -6`, alternately, and prints the medians of each one's wall time and
# peak memory and their ratio; then the same on one core (both bound to the first CPU of the set
# the bench was started with), where deflating on every core must cost nothing.
set -euo pipefail
source "$(dirname "$0")/compare.bash"
build="$1"
zipper="$build/bench/bench_zip_folder"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

python3 - "$work/tree" <<'PY'
import os, random, sys
root = sys.argv[1]
rng = random.Random(7)
words = ("lorem ipsum dolor sit amet consectetur adipiscing elit sed do eiusmod tempor incididunt ut labore et "
         "dolore magna aliqua enim ad minim veniam quis nostrud exercitation ullamco laboris nisi aliquip ex ea "
         "commodo consequat duis aute irure in reprehenderit voluptate velit esse cillum fugiat nulla pariatur").split()
def text(size):
    out, n = [], 0
    while n < size:
        line = " ".join(rng.choices(words, k=12)) + "\n"
        out.append(line); n += len(line)
    return "".join(out).encode()[:size]
def write(path, data):
    path = os.path.join(root, path)
    os.makedirs(os.path.dirname(path), exist_ok=True)
    with open(path, "wb") as f: f.write(data)
block = text(1 << 20)
write("large/random.bin", os.urandom(60 << 20))
write("large/log.txt", b"".join(block[i:] + block[:i] for i in range(0, 60 << 10, 1 << 10)))
write("large/mixed.dat", b"".join(os.urandom(1 << 19) + block[: 1 << 19] for _ in range(30)))
for i in range(120):
    write("medium/%03d/%s" % (i % 12, "doc%03d.txt" % i), text(200 << 10) if i % 2 else os.urandom(200 << 10))
for i in range(6000):
    size = rng.randint(100, 8000)
    write("small/%02d/%02d/f%04d%s" % (i % 30, i % 7, i, ".txt" if i % 3 else ".bin"), text(size) if i % 3 else os.urandom(size))
    if i % 500 == 0:
        write("small/%02d/.hidden%04d" % (i % 30, i), b"")
PY
total=$(du -sb "$work/tree" | cut -f1)
echo "tree: $((total / 1048576)) MB in $(find "$work/tree" -type f | wc -l) files"

ours=("$zipper" "$work/tree" "$work/out.zip")
peer=(sh -c 'cd "$1" && exec zip -r -6 -q out.zip tree' sh "$work")
bench_before_each() { rm -f "$work/out.zip"; }
bench_check_ours() { echo "  ours: archive $(( $(stat -c %s "$work/out.zip") / 1048576 )) MB" >> "$work/sizes"; }
bench_check_peer() { echo "  zip:  archive $(( $(stat -c %s "$work/out.zip") / 1048576 )) MB" >> "$work/sizes"; }
echo "on the $(nproc) cores this process may use:"
bench_compare "TKZipArchive" "zip -r -6" "at most 0.5 on 8 cores"
sort -u "$work/sizes"

cpu="$(bench_first_cpu)"
ours=(taskset -c "$cpu" "$zipper" "$work/tree" "$work/out.zip")
peer=(taskset -c "$cpu" sh -c 'cd "$1" && exec zip -r -6 -q out.zip tree' sh "$work")
echo "on one core (CPU $cpu):"
bench_compare "TKZipArchive" "zip -r -6" "at most 0.90, as before on one core"
