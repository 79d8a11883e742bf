#!/usr/bin/env bash
# package-check.sh [-s SHOT.png] [BUILD]: builds the Debian package in BUILD (default: build),
# installs it on this machine with apt-get as a user would, runs the installed program on the
# installed books (the terminal commands, and the menu entry's Exec line under Xvfb), checks
# that the package put nothing outside /usr, and removes it again, also when a check fails.
#   -s SHOT.png  keep a screenshot of the installed program's window
set -euo pipefail
cd "$(dirname "$0")/.."

shot=""
while getopts "s:" o; do
    case $o in s) shot=$(realpath -m "$OPTARG") ;; *) exit 2 ;; esac
done
shift $((OPTIND - 1))
build=${1:-build}

sudo=""
if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
apt_get() { DEBIAN_FRONTEND=noninteractive $sudo apt-get -o DPkg::Lock::Timeout=600 "$@"; }

if dpkg-query -W -f='${Status}' kelmor 2>/dev/null | grep -q "install ok installed"; then
    echo "package-check: a kelmor package is installed already; remove it first" >&2
    exit 1
fi

echo "== package"
rm -f "$build"/kelmor_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
debs=("$build"/kelmor_*_*.deb)
[ -f "${debs[0]}" ] || { echo "package-check: cpack wrote no kelmor_*.deb" >&2; exit 1; }
deb=$(realpath "${debs[0]}")
echo "$(basename "$deb"): $(dpkg-deb -f "$deb" Depends)"

work=$(mktemp -d)
xvfb=""
pids=()
cleanup() {
    local status=$?
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    [ -n "$xvfb" ] && kill "$xvfb" 2>/dev/null || true
    if dpkg-query -W -f='${Status}' kelmor 2>/dev/null | grep -q "install ok installed"; then
        echo "== removing the package"
        apt_get remove -y -qq --purge kelmor >/dev/null
    fi
    rm -rf "$work"
    exit $status
}
trap cleanup EXIT

echo "== install"
apt_get install -y -qq "$deb" >"$work/apt.log" 2>&1 || { cat "$work/apt.log"; exit 1; }

failures=0
fail() { echo "FAIL: $*" >&2; failures=$((failures + 1)); }
pass() { echo "ok: $*"; }

# A user's clean environment: own settings folder, the system's data folders.
user_env=(env -i HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" PATH=/usr/bin:/bin
          LANG=C.UTF-8)
run() { "${user_env[@]}" "$@"; }
mkdir -p "$work/home"

echo "== installed files"
outside=$(dpkg -L kelmor | grep -v -e '^/\.$' -e '^/usr$' -e '^/usr/' || true)
if [ -n "$outside" ]; then fail "files outside /usr: $outside"; else pass "everything under /usr"; fi
books_dir="/usr/share/ZEL Programming/ZEL Kelmor/3.1/Books"
book=$(find "$books_dir" -name '*.book' | sort | head -n 1)
[ -n "$book" ] && pass "books installed in $books_dir" || fail "no book in $books_dir"

echo "== terminal commands"
if run /usr/bin/kelmor lookup Вода >"$work/lookup" 2>&1 && grep -qx 'Вода' "$work/lookup"; then
    pass "kelmor lookup Вода: $(grep -c . "$work/lookup") lines"
else
    fail "kelmor lookup Вода: $(head -n 3 "$work/lookup")"
fi
if run /usr/bin/kelmor moon --json >"$work/moon" 2>&1 &&
    python3 -c 'import json, sys; d = json.load(open(sys.argv[1])); assert "lunarDay" in d' \
        "$work/moon"; then
    pass "kelmor moon --json: $(grep '"lunarDay"' "$work/moon" | tr -d ' ,')"
else
    fail "kelmor moon --json: $(head -n 3 "$work/moon")"
fi
# The commands of the windowed program go through the command to it.
if [ -x /usr/libexec/kelmor/kelmor ] && run /usr/bin/kelmor journal --help >"$work/journal" 2>&1 &&
    grep -q 'kelmor journal' "$work/journal"; then
    pass "kelmor journal --help through /usr/libexec/kelmor/kelmor"
else
    fail "kelmor journal --help: $(head -n 3 "$work/journal")"
fi
if [ -n "$book" ] && run /usr/bin/kelmor-book dump "$book" >"$work/dump" 2>&1 &&
    grep -q '"ToolName": ' "$work/dump"; then
    pass "kelmor-book dump $(basename "$book"): $(grep -m 1 '"ToolName": ' "$work/dump" | sed 's/^ *//')"
else
    fail "kelmor-book dump: $(head -n 3 "$work/dump")"
fi

echo "== manual pages and completion"
for page in kelmor kelmor-book; do
    for lang in en ru; do
        file=$(run man -L "$lang" -w "$page" 2>/dev/null || true)
        warnings=$(run MANWIDTH=80 man --warnings -L "$lang" "$page" 2>&1 >/dev/null || true)
        expected=/usr/share/man/man1/$page.1.gz
        [ "$lang" = en ] || expected=/usr/share/man/$lang/man1/$page.1.gz
        if [ "$file" = "$expected" ] && [ -z "$warnings" ]; then
            pass "man -L $lang $page: $file"
        else
            fail "man -L $lang $page: '$file' $warnings"
        fi
    done
done
for command in kelmor kelmor-book; do
    # The loader finds the completion by the command's name, as in an interactive shell.
    if run bash -c 'source /usr/share/bash-completion/bash_completion
                    _completion_loader "$1"; complete -p "$1"' _ "$command" 2>/dev/null |
        grep -q -- "-F _kelmor"; then
        pass "bash completes $command"
    else
        fail "no bash completion for $command"
    fi
done

echo "== menu entry"
desktop=/usr/share/applications/ru.zel.kelmor.desktop
exec_line=$(sed -n 's/^Exec=//p' "$desktop" | head -n 1)
if ! command -v Xvfb >/dev/null || ! command -v xdotool >/dev/null; then
    echo "skipped: starting from the menu entry needs Xvfb and xdotool (Debian xvfb, xdotool)"
else
    Xvfb -displayfd 3 -screen 0 1280x900x24 3>"$work/display" >/dev/null 2>&1 &
    xvfb=$!
    for _ in $(seq 1 100); do [ -s "$work/display" ] && break; sleep 0.1; done
    display=":$(head -n 1 "$work/display")"
    # The Exec line as a desktop starts it: split into words, no shell; it has no field codes.
    read -ra exec_words <<<"$exec_line"
    mkdir -p "$work/runtime" && chmod 700 "$work/runtime"
    session=("${user_env[@]}" DISPLAY="$display" XDG_RUNTIME_DIR="$work/runtime")
    "${session[@]}" "${exec_words[@]}" >"$work/gui.log" 2>&1 &
    pids+=($!)
    window=""
    for _ in $(seq 1 100); do
        window=$(DISPLAY=$display xdotool search --onlyvisible --name 'Kelmor 3' 2>/dev/null |
                     head -n 1 || true)
        [ -n "$window" ] && break
        sleep 0.1
    done
    if [ -z "$window" ]; then
        fail "'$exec_line' showed no window: $(head -n 3 "$work/gui.log")"
    else
        pass "'$exec_line' opened \"$(DISPLAY=$display xdotool getwindowname "$window")\""
        # Starting it again from the menu brings the first window forward and ends at once.
        if timeout 20 "${session[@]}" "${exec_words[@]}" >/dev/null 2>&1; then
            pass "a second start ended at once"
        else
            fail "a second start did not end by itself"
        fi
        if [ -n "$shot" ]; then
            sleep 1.5
            DISPLAY=$display import -window root "$shot" && echo "saved $shot"
        fi
        # The first instance ends through its own exit and saves its settings.
        kill -TERM "${pids[0]}"
        wait "${pids[0]}" 2>/dev/null || true
        pids=()
        if [ -f "$work/home/.config/ZEL_Programming.conf" ]; then
            pass "settings saved at exit"
        else
            fail "no settings file after exit"
        fi
    fi
fi

if [ "$failures" -ne 0 ]; then
    echo "package-check: $failures check(s) failed" >&2
    exit 1
fi
echo "package-check: all checks passed"
