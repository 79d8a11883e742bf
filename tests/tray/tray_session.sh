#!/usr/bin/env bash
# A tray session as a user has it: a private X server with a notification area and Kelmor
# started in tray mode. The icon must appear, the desktop's right click (or, where the
# notification area shows only menus, the icon menu's "Быстрый поиск…") must open the
# quick-search popup with its bottom-right corner at the mouse, typing must complete the word,
# and Enter must open the viewer on it. Screenshots of each step go to OUT_DIR.
#
#   tray_session.sh KELMOR SHARE_DIR OUT_DIR [MODE [SNI_WATCHER]]
#     KELMOR       the built kelmor executable
#     SHARE_DIR    a data folder with "ZEL Programming/ZEL Kelmor/3.1/Books" (the build's share/)
#     MODE         xembed (default): the classic X11 tray, trayer;
#                  statusnotifier: a StatusNotifierWatcher on a private session bus, as KDE
#                  Plasma has it (its panel calls the item's ContextMenu on a right click);
#                  gnome: the same with XDG_CURRENT_DESKTOP=GNOME, whose extension shows only
#                  the item's own menu
#     SNI_WATCHER  the test's StatusNotifierWatcher (tests/tray/sni_watcher.cpp), for the D-Bus
#                  modes
#
# Exits 77 (skipped) when a tool it needs is missing.
set -euo pipefail
usage="usage: tray_session.sh KELMOR SHARE_DIR OUT_DIR [xembed|statusnotifier|gnome [SNI_WATCHER]]"
kelmor=${1:?$usage}
share=${2:?$usage}
out=${3:?$usage}
mode=${4:-xembed}
watcher=${5:-}

tools=(Xvfb xdotool setxkbmap)
case $mode in
xembed) tools+=(trayer) ;;
statusnotifier | gnome)
    tools+=(dbus-daemon gdbus)
    if [ -z "$watcher" ] || [ ! -x "$watcher" ]; then
        echo "SKIP: no StatusNotifierWatcher for the test (Qt's D-Bus module was not found)"
        exit 77
    fi
    ;;
*)
    echo "$usage" >&2
    exit 2
    ;;
esac
for tool in "${tools[@]}"; do
    if ! command -v "$tool" >/dev/null 2>&1; then
        echo "SKIP: $tool is not installed"
        exit 77
    fi
done

mkdir -p "$out"
work=$(mktemp -d "${TMPDIR:-/tmp}/kelmor-tray-session.XXXXXX")
xpid="" trayer_pid="" bus_pid="" watcher_pid="" kelmor_pid=""
cleanup() {
    for p in $kelmor_pid $trayer_pid $watcher_pid $bus_pid $xpid; do
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
    for log in trayer xvfb; do
        if [ -s "$work/$log.log" ]; then
            echo "--- $log's log:"
            cat "$work/$log.log"
        fi
    done
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

bus=unix:path=/nonexistent
desktop=${XDG_CURRENT_DESKTOP:-}
if [ "$mode" = xembed ]; then
    start_trayer() {
        trayer --edge bottom --align right --widthtype pixel --width 160 --height 28 \
            >>"$work/trayer.log" 2>&1 &
        trayer_pid=$!
    }
    start_trayer
    if ! wait_for 150 xdotool search --onlyvisible --class trayer; then
        # A tray host that ended at once (seen on a loaded machine, before the X server took
        # clients readily) gets one more start.
        kill -0 "$trayer_pid" 2>/dev/null && fail "trayer did not show its panel"
        start_trayer
        wait_for 150 xdotool search --onlyvisible --class trayer || fail "trayer did not start"
    fi
else
    # A session bus of our own with the watcher on it.
    : >"$work/bus"
    dbus-daemon --session --nofork --nopidfile --print-address=3 3>"$work/bus" \
        >"$work/dbus.log" 2>&1 &
    bus_pid=$!
    wait_for 100 test -s "$work/bus" || fail "dbus-daemon did not start"
    bus=$(head -n 1 "$work/bus")
    DBUS_SESSION_BUS_ADDRESS=$bus "$watcher" >"$work/watcher.log" 2>&1 &
    watcher_pid=$!
    wait_for 100 grep -q ready "$work/watcher.log" || fail "the StatusNotifierWatcher did not start"
    desktop=KDE
    [ "$mode" = gnome ] && desktop=GNOME
fi
export DBUS_SESSION_BUS_ADDRESS=$bus

# Under AddressSanitizer, strict string checks would stop the program inside libxkbcommon-x11,
# which rightly passes strndup() names that are not NUL-terminated within their length; the
# check stays on for everything else.
asan_options=${ASAN_OPTIONS:+$ASAN_OPTIONS:strict_string_checks=0}

# Kelmor in tray mode, on its own settings. Without a session bus (xembed) no StatusNotifier
# host is found and Qt uses the X11 tray.
env ${asan_options:+ASAN_OPTIONS="$asan_options"} QT_QPA_PLATFORM=xcb XDG_CURRENT_DESKTOP="$desktop" \
    XDG_DATA_DIRS="$share" XDG_CONFIG_HOME="$work/config" XDG_CACHE_HOME="$work/cache" \
    XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work" \
    QT_LOGGING_RULES="kelmor.shell.info=true;kelmor.tray.info=true" \
    "$kelmor" /tray >"$work/kelmor.log" 2>&1 &
kelmor_pid=$!

# 1. The icon, and 2. the popup it opens.
if [ "$mode" = xembed ]; then
    # In tray mode the main window is hidden, so the one shown window of Kelmor is the icon,
    # and it sits in the tray at the bottom of the screen.
    wait_for 300 xdotool search --onlyvisible --class kelmor || fail "no tray icon appeared"
    icon=$(xdotool search --onlyvisible --class kelmor | head -n 1)
    eval "$(xdotool getwindowgeometry --shell "$icon")"
    echo "icon: ${WIDTH}x${HEIGHT} at $X,$Y"
    [ "$Y" -ge $((800 - 28)) ] || fail "the icon is not in the tray at the bottom (y = $Y)"
    grep -q "to tray" "$work/kelmor.log" || fail "the program did not enter tray mode"
    shot 1-icon
    # A right click on the icon.
    mx=$((X + WIDTH / 2)) my=$((Y + HEIGHT / 2))
    xdotool mousemove --sync "$mx" "$my" click 3
else
    # The item registers with the watcher, with its icon and the program's title as tooltip.
    wait_for 300 grep -q "^item " "$work/watcher.log" || fail "no StatusNotifier item registered"
    item=$(sed -n 's/^item //p' "$work/watcher.log" | head -n 1)
    echo "item: $item"
    get() {
        gdbus call --session --dest "$item" --object-path /StatusNotifierItem \
            --method org.freedesktop.DBus.Properties.Get org.kde.StatusNotifierItem "$1"
    }
    get ToolTip | grep -q "Сонник ZEL Kelmor 3" || fail "the item's tooltip: $(get ToolTip)"
    get Status | grep -q "Active" || fail "the item is not active: $(get Status)"
    get IconPixmap | grep -q "[0-9][0-9]*, [0-9]" || fail "the item has no icon"
    grep -q "to tray" "$work/kelmor.log" || fail "the program did not enter tray mode"
    # The mouse where the panel's icon would be.
    mx=1200 my=780
    xdotool mousemove --sync "$mx" "$my"
    menu=$(get Menu)
    echo "menu: $menu"
    if [ "$mode" = statusnotifier ]; then
        # No menu of its own: the panel asks the item for its context menu on a right click.
        case $menu in *NO_DBUSMENU*) ;; *) fail "the item exports a menu: the panel would show it" ;; esac
        gdbus call --session --dest "$item" --object-path /StatusNotifierItem \
            --method org.kde.StatusNotifierItem.ContextMenu "$mx" "$my" >/dev/null
    else
        # Only menus: the item's menu has the popup's entry and its commands.
        path=$(echo "$menu" | sed -n "s/.*objectpath '\([^']*\)'.*/\1/p")
        [ -n "$path" ] && [ "$path" != /NO_DBUSMENU ] || fail "the item exports no menu"
        layout=$(gdbus call --session --dest "$item" --object-path "$path" \
            --method com.canonical.dbusmenu.GetLayout -- 0 -1 "@as []")
        for label in "Быстрый поиск…" Развернуть Календарь Настройки "О программе" Выход; do
            case $layout in *"'$label'"*) ;; *) fail "the menu has no entry $label: $layout" ;; esac
        done
        id=$(echo "$layout" | grep -o "([0-9]*, {[^}]*'label': <'Быстрый поиск…'>" |
            sed 's/^(\([0-9]*\),.*/\1/')
        [ -n "$id" ] || fail "no id for the popup's entry in $layout"
        gdbus call --session --dest "$item" --object-path "$path" \
            --method com.canonical.dbusmenu.Event "$id" clicked "<0>" 0 >/dev/null
    fi
fi
wait_for 150 xdotool search --onlyvisible --name "Быстрый поиск" || fail "no popup opened"
popup=$(xdotool search --onlyvisible --name "Быстрый поиск" | head -n 1)
eval "$(xdotool getwindowgeometry --shell "$popup")"
echo "popup: ${WIDTH}x${HEIGHT} at $X,$Y, mouse at $mx,$my"
[ $((X + WIDTH)) -eq "$mx" ] && [ $((Y + HEIGHT)) -eq "$my" ] ||
    fail "the popup's bottom-right corner is not at the mouse"
# 3. Typing completes the word from the list, once the popup's field has the keyboard (a
# loaded machine, or one under the sanitizers, maps the window well before that).
wait_for 150 grep -q "popup has the keyboard" "$work/kelmor.log" || true
xdotool type --delay 120 "вод"
wait_for 150 grep -q "completed вод -> вода" "$work/kelmor.log" || fail "typing did not complete"
shot 2-popup

# 4. Enter opens the viewer on the word; the popup goes.
xdotool key Return
wait_for 150 xdotool search --onlyvisible --name "^Вода$" || fail "Enter did not open the viewer"
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
