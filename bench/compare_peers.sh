#!/usr/bin/env bash
# compare_peers.sh [BUILD_DIR] [RUNS]: Kelmor side by side with sdcv on the generated library
# (20 books × 25,000 headwords, the same content written as StarDict files by
# bench_peer_library). Prints, per measure, the medians of interleaved runs of both programs and
# their ratio: a lookup of a word that every book has, of a word that none has and of a word
# found only through its dictionary form (the whole process), the same on an empty library (the
# floor of starting a process), and the peak memory of a lookup; then, under Xvfb, the main
# window's first and later starts and its memory.
# Installs sdcv from Debian when it is missing. Not part of .ci/run.
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
kelmor=$(cd "$build" && pwd)/app/kelmor

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
"$build/bench/peers/bench_peer_library" "$work/library" >"$work/words"
present=$(sed -n 1p "$work/words")
absent=$(sed -n 2p "$work/words")
form=$(sed -n 3p "$work/words")
mkdir -p "$work/empty/share/ZEL Programming/ZEL Kelmor/3.1/Books" "$work/empty/stardict"

export XDG_CONFIG_HOME=$work/config XDG_CACHE_HOME=$work/cache HOME=$work/home
mkdir -p "$HOME"
# The first lookup ever (the books indexed into the cache), then the warm ones.
python3 - "$runs" "$work" "$present" "$absent" "$kelmor" "$form" <<'PY'
import os, statistics, subprocess, sys, time
runs, work, present, absent, kelmor, form = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5], sys.argv[6]
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
print(f"first lookup of a word not found as typed (the books' forms indexed): {run(kel(lib, absent)):.0f} ms")
measures = [
    ("lookup, word in 20 books", kel(lib, present), sd(lib, present)),
    ("lookup, absent word", kel(lib, absent), sd(lib, absent)),
    ("lookup, word through its form", kel(lib, form), sd(lib, form)),
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

# The main window under Xvfb (Kelmor only: GoldenDict is not driven by this script): the time
# from exec to the window shown (its "started shown" log line), first start (no cache) and later
# ones, and the resident memory 3 s after the start (the books indexed after a first start).
if command -v Xvfb >/dev/null; then
    display=:$((90 + RANDOM % 100))
    Xvfb "$display" -screen 0 1280x1024x24 >/dev/null 2>&1 &
    xvfb=$!
    sleep 1
    DISPLAY=$display python3 - "$work" "$kelmor" <<'PY'
import os, signal, statistics, subprocess, sys, time, shutil
work, kelmor = sys.argv[1], sys.argv[2]
env = dict(os.environ, XDG_DATA_DIRS=work + "/library/share", XDG_CONFIG_HOME=work + "/gui-config",
           XDG_CACHE_HOME=work + "/gui-cache", QT_LOGGING_RULES="kelmor.shell.info=true")
def start():
    t = time.perf_counter()
    p = subprocess.Popen([kelmor], env=env, stderr=subprocess.PIPE, stdout=subprocess.DEVNULL, text=True)
    shown = None
    for line in p.stderr:
        if "started" in line:
            shown = (time.perf_counter() - t) * 1000
            break
    time.sleep(3)
    with open(f"/proc/{p.pid}/status") as f:
        rss = int(f.read().split("VmRSS:")[1].split()[0]) / 1024
    p.send_signal(signal.SIGTERM)
    p.wait(20)
    return shown, rss
firsts, warms = [], []
for _ in range(3):
    shutil.rmtree(work + "/gui-cache", ignore_errors=True)
    firsts.append(start())
    warms.append(start())
    warms.append(start())
print(f"main window shown, first start      {statistics.median(f[0] for f in firsts):8.0f}ms")
print(f"main window shown, later starts     {statistics.median(w[0] for w in warms):8.0f}ms")
print(f"resident memory 3 s after a start   {statistics.median(w[1] for w in warms):8.1f}MB")
PY
    kill "$xvfb"
fi
