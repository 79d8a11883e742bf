#!/usr/bin/env bash
# compare_peers.sh [BUILD_DIR] [RUNS]: Kelmor side by side with sdcv on the generated library
# (20 books × 25,000 headwords, the same content written as StarDict files by
# bench_peer_library). Prints, per measure, the medians of interleaved runs of both programs and
# their ratio: a lookup of a word that every book has and of a word that none has (the whole
# process), the same on an empty library (the floor of starting a process), and the peak
# memory of a lookup. Installs sdcv from Debian when it is missing. Not part of .ci/run.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench}
runs=${2:-21}

if ! command -v sdcv >/dev/null; then
    sudo=""; [ "$(id -u)" -ne 0 ] && sudo=sudo
    $sudo apt-get install -y sdcv
fi
[ -x /usr/bin/time ] || { sudo=""; [ "$(id -u)" -ne 0 ] && sudo=sudo; $sudo apt-get install -y time; }

scripts/build.sh "$build" -DKELMOR_BUILD_BENCH=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
kelmor=$PWD/$build/app/kelmor

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/peers/bench_peer_library" "$work/library" >"$work/words"
present=$(sed -n 1p "$work/words")
absent=$(sed -n 2p "$work/words")
mkdir -p "$work/empty/share/ZEL Programming/ZEL Kelmor/3.1/Books" "$work/empty/stardict"

export XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache HOME=$work/home
mkdir -p "$HOME"
# The first lookup ever (the books indexed into the cache), then the warm ones.
python3 - "$runs" "$work" "$present" "$absent" "$kelmor" <<'PY'
import os, statistics, subprocess, sys, time
runs, work, present, absent, kelmor = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5]
lib, empty = work + "/library", work + "/empty"
def kel(root, word):
    return ([kelmor, "lookup", word], dict(os.environ, XDG_DATA_DIRS=root + "/share"))
def sd(root, word):
    return (["sdcv", "-n", "--utf8-output", "--data-dir", root + "/stardict", word], os.environ)
def run(cmd):
    t = time.perf_counter_ns()
    subprocess.run(cmd[0], env=cmd[1], stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    return (time.perf_counter_ns() - t) / 1e6
def peak(cmd):
    out = subprocess.run(["/usr/bin/time", "-f", "%M"] + cmd[0], env=cmd[1],
                         stdout=subprocess.DEVNULL, stderr=subprocess.PIPE, text=True)
    return int(out.stderr.strip().splitlines()[-1]) / 1024
print(f"first lookup ever (indexes the 20 books into the cache): {run(kel(lib, present)):.0f} ms")
measures = [
    ("lookup, word in 20 books", kel(lib, present), sd(lib, present)),
    ("lookup, absent word", kel(lib, absent), sd(lib, absent)),
    ("floor: lookup, empty library", kel(empty, present), sd(empty, present)),
]
print(f"{'measure (medians of %d runs)' % runs:34} {'kelmor':>10} {'sdcv':>10} {'ratio':>7}")
for name, k, s in measures:
    kt, st = [], []
    for _ in range(runs):  # interleaved
        kt.append(run(k))
        st.append(run(s))
    km, sm = statistics.median(kt), statistics.median(st)
    print(f"{name:34} {km:8.1f}ms {sm:8.1f}ms {km / sm:7.2f}")
for name, k, s in measures:
    km = statistics.median(peak(k) for _ in range(5))
    sm = statistics.median(peak(s) for _ in range(5))
    print(f"{'peak RSS, ' + name:34} {km:8.1f}MB {sm:8.1f}MB {km / sm:7.2f}")
PY
