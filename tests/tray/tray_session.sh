#!/usr/bin/env bash
# A tray session as a user has it: a private X server with a small notification area (trayer,
# the classic X11 tray), Kelmor started in tray mode. The icon must appear in the tray, a right
# click on it must open the quick-search popup with its bottom-right corner at the mouse, typing
# must complete the word, and Enter must open the viewer on it. Screenshots of each step go to
# OUT_DIR.
#
#   tray_session.sh KELMOR SHARE_DIR OUT_DIR
#     KELMOR     the built kelmor executable
#     SHARE_DIR  a data folder with "ZEL Programming/ZEL Kelmor/3.1/Books" (the build's share/)
#
# Exits 77 (skipped) when Xvfb, trayer, xdotool or setxkbmap is missing.
set -euo pipefail
kelmor=${1:?usage: tray_session.sh KELMOR SHARE_DIR OUT_DIR}
share=${2:?usage: tray_session.sh KELMOR SHARE_DIR OUT_DIR}
out=${3:?usage: tray_session.sh KELMOR SHARE_DIR OUT_DIR}

for tool in Xvfb trayer xdotool setxkbmap; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIP: $tool is not installed"
        exit 77
    fi
done

mkdir -p "$out"
work=$(mktemp -d "${TMPDIR:-/tmp}/kelmor-tray-session.XXXXXX")
xpid="" trayer_pid="" kelmor_pid=""
cleanup() {
    for p in $kelmor_pid $trayer_pid $xpid; do
        kill "$p" 2>/dev/null || true
        wait "$p" 2>/dev/null || true
    done
    rm -rf "$work"
}
trap cleanup EXIT

fail() {
    echo "FAIL: $*"
    echo "--- kelmor's log:"
    cat "$work/kelmor.log" 2>/dev/null || true
    exit 1
}

# Waits up to $1 tenths of a second for the command after it to succeed.
wait_for() {
    local tenths=$1
    shift
    for _ in $(seq 1 "$tenths"); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.1
    done
    return 1
}

shot() {
    if command -v import >/dev/null 2>&1; then
        import -window root "$out/$1.png" && echo "screenshot: $out/$1.png"
    fi
}

# A private X server on a display number it picks itself.
: >"$work/display"
Xvfb -displayfd 3 -screen 0 1280x800x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
xpid=$!
wait_for 100 test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=":$(head -n 1 "$work/display")"
# With a Russian keyboard map xdotool types Cyrillic as key presses.
setxkbmap -layout ru,us

trayer --edge bottom --align right --widthtype pixel --width 160 --height 28 \
    >"$work/trayer.log" 2>&1 &
trayer_pid=$!
wait_for 50 xdotool search --onlyvisible --class trayer || fail "trayer did not start"

# Kelmor in tray mode, on its own settings, over the X11 tray (no session bus, so no
# StatusNotifier host is found).
env DBUS_SESSION_BUS_ADDRESS=unix:path=/nonexistent QT_QPA_PLATFORM=xcb \
    XDG_DATA_DIRS="$share" XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" \
    XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work" \
    QT_LOGGING_RULES="kelmor.shell.info=true;kelmor.tray.info=true" \
    "$kelmor" /tray >"$work/kelmor.log" 2>&1 &
kelmor_pid=$!

# 1. The icon: in tray mode the main window is hidden, so the one shown window of Kelmor is the
# icon, and it sits in the tray at the bottom of the screen.
wait_for 150 xdotool search --onlyvisible --class kelmor || fail "no tray icon appeared"
icon=$(xdotool search --onlyvisible --class kelmor | head -n 1)
eval "$(xdotool getwindowgeometry --shell "$icon")"
echo "icon: ${WIDTH}x${HEIGHT} at $X,$Y"
[ "$Y" -ge $((800 - 28)) ] || fail "the icon is not in the tray at the bottom (y = $Y)"
grep -q "to tray" "$work/kelmor.log" || fail "the program did not enter tray mode"
shot 1-icon

# 2. A right click opens the popup with its bottom-right corner at the mouse.
mx=$((X + WIDTH / 2)) my=$((Y + HEIGHT / 2))
xdotool mousemove --sync "$mx" "$my" click 3
wait_for 50 xdotool search --onlyvisible --name "Быстрый поиск" || fail "no popup after the right click"
popup=$(xdotool search --onlyvisible --name "Быстрый поиск" | head -n 1)
eval "$(xdotool getwindowgeometry --shell "$popup")"
echo "popup: ${WIDTH}x${HEIGHT} at $X,$Y, mouse at $mx,$my"
[ $((X + WIDTH)) -eq "$mx" ] && [ $((Y + HEIGHT)) -eq "$my" ] ||
    fail "the popup's bottom-right corner is not at the mouse"

# 3. Typing completes the word from the list.
xdotool type --delay 120 "вод"
wait_for 30 grep -q "completed вод -> вода" "$work/kelmor.log" || fail "typing did not complete"
shot 2-popup

# 4. Enter opens the viewer on the word; the popup goes.
xdotool key Return
wait_for 50 xdotool search --onlyvisible --name "^Вода$" || fail "Enter did not open the viewer"
grep -q "Enter on вода -> the viewer" "$work/kelmor.log" || fail "Enter did not ask for the viewer"
wait_for 30 grep -q "popup closes" "$work/kelmor.log" || true
if xdotool search --onlyvisible --name "Быстрый поиск" >/dev/null 2>&1; then
    fail "the popup stayed open after Enter"
fi
shot 3-viewer

# The end of the session ends the program through its exit.
kill -TERM "$kelmor_pid"
wait "$kelmor_pid" || true
kelmor_pid=""
grep -q "exit with saving" "$work/kelmor.log" || fail "the program did not exit through ExitApp"
echo "PASS"
