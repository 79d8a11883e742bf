#!/usr/bin/env bash
# compare_peers.sh [BUILD_DIR] [RUNS]: Kelmor side by side with sdcv on the generated library
# (20 books × 25,000 headwords, the same content written as StarDict files by
# bench_peer_library). Prints, per measure, the medians of interleaved runs of both programs and
# their ratio: a lookup of a word that every book has, of a word that none has and of a word
# found only through its dictionary form (the whole process), the same on an empty library (the
# floor of starting a process; beside it a program on Qt Core that does nothing), and the peak
# memory of a lookup against the goal (20 MB); then, under Xvfb, the main
# window's first and later starts and its memory beside GoldenDict's on the same StarDict files.
# With BASELINE=<an earlier build's kelmor>, also that build's first lookup after a change and
# first start of the main window, in the same runs. Installs sdcv and GoldenDict from Debian when
# they are missing. Not part of .ci/run.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-bench}
runs=${2:-21}

if ! command -v sdcv >/dev/null; then
    sudo=""; [ "$(id -u)" -ne 0 ] && sudo=sudo
    $sudo apt-get install -y sdcv
fi
[ -x /usr/bin/time ] || { sudo=""; [ "$(id -u)" -ne 0 ] && sudo=sudo; $sudo apt-get install -y time; }
# Hunspell's own command: the floor of anything that stems a word with the Russian dictionary.
command -v hunspell >/dev/null || { sudo=""; [ "$(id -u)" -ne 0 ] && sudo=sudo; $sudo apt-get install -y hunspell; }

scripts/build.sh "$build" -DKELMOR_BUILD_BENCH=ON -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
kelmor=$(cd "$build" && pwd)/app/kelmor
floor=$(cd "$build" && pwd)/bench/peers/bench_qt_core_floor

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
python3 - "$runs" "$work" "$present" "$absent" "$kelmor" "$form" "$floor" <<'PY'
import os, shutil, statistics, subprocess, sys, time
runs, work, present, absent, kelmor, form, floor = int(sys.argv[1]), sys.argv[2], sys.argv[3], sys.argv[4], sys.argv[5], sys.argv[6], sys.argv[7]
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
# The first lookup after the books changed (no cache): the answer, then the indexing it leaves
# to a process of its own, waited for (its roots written, its lock gone) before the next run;
# beside an earlier build's (BASELINE) when one is given, interleaved.
cache = os.environ["XDG_CACHE_HOME"]
headwords = cache + "/kelmor/headwords"
def indexed():
    t = time.perf_counter()
    while time.perf_counter() - t < 120:
        if os.path.exists(headwords + "/roots") and not os.path.exists(headwords + "/indexing.lock"):
            break
        time.sleep(0.02)
    return (time.perf_counter() - t) * 1000
baseline = os.environ.get("BASELINE", "")
def base(root, word):
    return ([baseline, "lookup", word], dict(os.environ, XDG_DATA_DIRS=root + "/share"))
cold_runs = max(5, runs // 2)
print(f"{'first lookup after a change (medians of %d)' % cold_runs:44} {'kelmor':>10} {'background':>11} {'baseline':>10} {'ratio':>7}")
for name, word in [("word in 20 books", present), ("absent word", absent)]:
    kt, bt, it = [], [], []
    for _ in range(cold_runs):
        shutil.rmtree(cache, ignore_errors=True)
        kt.append(run(kel(lib, word)))
        it.append(indexed())
        if baseline:
            shutil.rmtree(cache, ignore_errors=True)
            bt.append(run(base(lib, word)))
    km, im = statistics.median(kt), statistics.median(it)
    bm = statistics.median(bt) if bt else float("nan")
    print(f"{name:44} {km:8.1f}ms {im:9.1f}ms {bm:8.1f}ms {km / bm:7.2f}")
measures = [
    ("lookup, word in 20 books", kel(lib, present), sd(lib, present)),
    ("lookup, absent word", kel(lib, absent), sd(lib, absent)),
    ("lookup, word through its form", kel(lib, form), sd(lib, form)),
    ("floor: lookup, empty library", kel(empty, present), sd(empty, present)),
    ("floor: Qt Core program, nothing", ([floor], os.environ), sd(empty, present)),
]
print(f"{'measure (medians of %d runs)' % runs:34} {'kelmor':>10} {'sdcv':>10} {'ratio':>7}")
for name, k, s in measures:
    kt, st = [], []
    for _ in range(runs):  # interleaved
        kt.append(run(k))
        st.append(run(s))
    km, sm = statistics.median(kt), statistics.median(st)
    print(f"{name:34} {km:8.1f}ms {sm:8.1f}ms {km / sm:7.2f}")
# Peak memory against the goal for a lookup (under 20 MB), sdcv's beside it.
goal = 20.0
print(f"{'peak RSS (medians of 5)':34} {'kelmor':>10} {'sdcv':>10} {'goal':>8} {'ratio':>7}")
for name, k, s in measures:
    km = statistics.median(peak(k) for _ in range(5))
    sm = statistics.median(peak(s) for _ in range(5))
    print(f"{name:34} {km:8.1f}MB {sm:8.1f}MB {goal:6.1f}MB {km / goal:7.2f}")
# A word not found as typed is looked up in the Russian dictionary: loading it is the floor of
# those lookups, shown by Hunspell's own command stemming the same word (time and peak memory).
def stem(word):
    t = time.perf_counter_ns()
    out = subprocess.run(["/usr/bin/time", "-f", "%M", "hunspell", "-d", "ru_RU", "-s"],
                         input=word + "\n", text=True, stdout=subprocess.DEVNULL,
                         stderr=subprocess.PIPE)
    return (time.perf_counter_ns() - t) / 1e6, int(out.stderr.strip().splitlines()[-1]) / 1024
for name, word in [("absent word", absent), ("word through its form", form)]:
    runs_of = [stem(word) for _ in range(runs)]
    ms = statistics.median(r[0] for r in runs_of)
    mb = statistics.median(r[1] for r in runs_of)
    print(f"{'floor: hunspell -s, ' + name:34} {ms:8.1f}ms {mb:8.1f}MB")
PY

# The main window under Xvfb beside GoldenDict's on the same StarDict files (installed from
# Debian when missing): the time from exec to the program's main window visible (xdotool), first
# start (no cache: Kelmor's headword indexes, GoldenDict's index folder) and later ones, and the
# resident memory 3 s after a start; interleaved, medians.
if ! command -v goldendict >/dev/null; then
    sudo=""; [ "$(id -u)" -ne 0 ] && sudo=sudo
    $sudo apt-get install -y --no-install-recommends goldendict xdotool >/dev/null || true
fi
if command -v Xvfb >/dev/null && command -v xdotool >/dev/null; then
    # A display number no other server holds, and the server answering before anything starts.
    number=$((90 + RANDOM % 100))
    while [ -e "/tmp/.X$number-lock" ]; do number=$((number + 1)); done
    display=:$number
    # -noreset: the server does not reset when its last client leaves (a program starting in
    # that moment could not connect).
    Xvfb "$display" -screen 0 1280x1024x24 -noreset >/dev/null 2>&1 &
    xvfb=$!
    trap 'kill "$xvfb" 2>/dev/null; rm -rf "$work"' EXIT
    for _ in $(seq 100); do
        DISPLAY=$display xdotool getdisplaygeometry >/dev/null 2>&1 && break
        sleep 0.1
    done
    # GoldenDict's own settings: the library's StarDict folder, no tray, no update check.
    mkdir -p "$work/gd-home/.goldendict"
    cat >"$work/gd-home/.goldendict/config" <<XML
<config>
 <paths><path recursive="1">$work/library/stardict</path></paths>
 <preferences>
  <enableTrayIcon>0</enableTrayIcon><startToTray>0</startToTray>
  <checkForNewReleases>0</checkForNewReleases>
  <enableMainWindowHotkey>0</enableMainWindowHotkey><enableClipboardHotkey>0</enableClipboardHotkey>
 </preferences>
</config>
XML
    DISPLAY=$display python3 - "$work" "$kelmor" "$runs" <<'PY'
import os, signal, statistics, subprocess, sys, time, shutil
work, kelmor, runs = sys.argv[1], sys.argv[2], max(3, int(sys.argv[3]) // 4)
kel_env = dict(os.environ, XDG_DATA_DIRS=work + "/library/share",
               XDG_CONFIG_HOME=work + "/gui-config", XDG_CACHE_HOME=work + "/gui-cache")
gd_env = dict(os.environ, HOME=work + "/gd-home", XDG_CONFIG_HOME=work + "/gd-home/.config",
              XDG_CACHE_HOME=work + "/gd-home/.cache")
programs = {
    "kelmor": ([kelmor], kel_env, r"Kelmor 3\.[0-9]", [work + "/gui-cache"]),
    "goldendict": (["goldendict"], gd_env, "^GoldenDict",
                   [work + "/gd-home/.cache", work + "/gd-home/.goldendict/index"]),
}
if os.environ.get("BASELINE"):
    programs["baseline"] = ([os.environ["BASELINE"]],
                            dict(kel_env, XDG_CONFIG_HOME=work + "/base-config",
                                 XDG_CACHE_HOME=work + "/base-cache"),
                            r"Kelmor 3\.[0-9]", [work + "/base-cache"])
def visible(name):
    return subprocess.run(["xdotool", "search", "--onlyvisible", "--name", name],
                          stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL).returncode == 0
def start(program, fresh):
    cmd, env, name, caches = programs[program]
    if fresh:
        for c in caches:
            shutil.rmtree(c, ignore_errors=True)
    t = time.perf_counter()
    log = open(f"{work}/{program}.log", "wb")
    p = subprocess.Popen(cmd, env=env, stdout=subprocess.DEVNULL, stderr=log)
    shown = None
    while shown is None and time.perf_counter() - t < 60:
        if visible(name):
            shown = (time.perf_counter() - t) * 1000
        else:
            time.sleep(0.005)
    time.sleep(3)
    if p.poll() is not None:
        with open(f"{work}/{program}.log", errors="replace") as f:
            tail = "".join(f.readlines()[-20:])
        sys.exit(f"{program} ended by itself with status {p.returncode}:\n{tail}")
    with open(f"/proc/{p.pid}/status") as f:
        rss = int(f.read().split("VmRSS:")[1].split()[0]) / 1024
    p.send_signal(signal.SIGTERM)
    try:
        p.wait(20)
    except subprocess.TimeoutExpired:
        p.kill()
        p.wait()
    return shown or float("nan"), rss
first = {k: [] for k in programs}
later = {k: [] for k in programs}
for _ in range(runs):  # interleaved
    for k in programs:
        first[k].append(start(k, True))
    for _ in range(2):
        for k in programs:
            later[k].append(start(k, False))
def med(values, i):
    return statistics.median(v[i] for v in values)
print(f"{'main window (medians of %d and %d starts)' % (runs, 2 * runs):42} {'kelmor':>10} {'goldendict':>11} {'ratio':>7}")
for label, table, i, unit in [("shown, first start", first, 0, "ms"),
                              ("shown, later starts", later, 0, "ms"),
                              ("resident memory 3 s after a later start", later, 1, "MB")]:
    k, g = med(table["kelmor"], i), med(table["goldendict"], i)
    print(f"{label:42} {k:8.1f}{unit} {g:9.1f}{unit} {k / g:7.2f}")
if "baseline" in programs:
    print(f"{'main window beside the baseline':42} {'kelmor':>10} {'baseline':>11} {'ratio':>7}")
    for label, table, i, unit in [("shown, first start", first, 0, "ms"),
                                  ("shown, later starts", later, 0, "ms")]:
        k, b = med(table["kelmor"], i), med(table["baseline"], i)
        print(f"{label:42} {k:8.1f}{unit} {b:9.1f}{unit} {k / b:7.2f}")
PY
    kill "$xvfb"
fi
