#!/usr/bin/env bash
# screenshots.sh [BUILD]: takes the software-centre screenshots of Kelmor (dist/screenshots) from
# the program built in BUILD (default: build) on its sample books, under a private Xvfb with a
# fresh settings folder, typing as a user does.
#   interpretation.png  the interpretation of "Вода" beside the main window
#   word-list.png       the main window with the list at the typed letters "бер"
# Needs the Debian packages xvfb, xdotool, imagemagick and x11-xkb-utils.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
out=dist/screenshots

missing=()
for tool in Xvfb:xvfb xdotool:xdotool import:imagemagick convert:imagemagick \
    setxkbmap:x11-xkb-utils; do
    command -v "${tool%%:*}" >/dev/null || missing+=("${tool#*:}")
done
if [ ${#missing[@]} -gt 0 ]; then
    echo "screenshots.sh: install first: apt-get install ${missing[*]}" >&2
    exit 1
fi
[ -x "$build/app/kelmor" ] || { echo "screenshots.sh: build Kelmor in $build first" >&2; exit 1; }

work=$(mktemp -d)
pids=()
cleanup() {
    for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 1280x800x24 3>"$work/display" >/dev/null 2>&1 &
pids+=($!)
for _ in $(seq 1 100); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(head -n 1 "$work/display")"
# With a Russian keyboard map xdotool types Cyrillic reliably.
setxkbmap -layout ru,us

# Starts Kelmor on the sample books with fresh settings; waits for its main window.
start() {
    rm -rf "$work/config"
    XDG_DATA_DIRS="$PWD/$build/share" XDG_CONFIG_HOME="$work/config" \
        XDG_RUNTIME_DIR="$work/runtime" "$build/app/kelmor" >"$work/log" 2>&1 &
    kelmor=$!
    pids+=("$kelmor")
    main=""
    for _ in $(seq 1 100); do
        main=$(xdotool search --onlyvisible --name 'Kelmor 3' 2>/dev/null | head -n 1 || true)
        [ -n "$main" ] && break
        sleep 0.1
    done
    [ -n "$main" ] || { echo "screenshots.sh: no window: $(cat "$work/log")" >&2; exit 1; }
    sleep 2 # the splash screen closes
    xdotool windowfocus --sync "$main"
}

stop() {
    kill "$kelmor"
    wait "$kelmor" 2>/dev/null || true
}

# The visible windows of the program, as "id x y" lines, left to right.
windows() {
    for w in $(xdotool search --onlyvisible --pid "$kelmor" 2>/dev/null); do
        eval "$(xdotool getwindowgeometry --shell "$w")"
        [ "$WIDTH" -gt 50 ] && echo "$w $X $Y"
    done | sort -n -k 2
}

# Composes the program's windows, each framed, in their places on a plain background, cut to
# 16:9 around them: a desktop without the desktop.
compose() {
    local name=$1 files=() xs=() ys=() minx=100000 miny=100000 maxx=0 maxy=0 i=0
    while read -r w x y; do
        import -window "$w" "$work/w$i.png"
        convert "$work/w$i.png" -bordercolor '#8a949e' -border 1 "$work/w$i.png"
        local size width height
        size=$(identify -format '%w %h' "$work/w$i.png")
        width=${size% *} height=${size#* }
        ((x < minx)) && minx=$x
        ((y < miny)) && miny=$y
        ((x + width > maxx)) && maxx=$((x + width))
        ((y + height > maxy)) && maxy=$((y + height))
        files+=("$work/w$i.png") xs+=("$x") ys+=("$y")
        i=$((i + 1))
    done < <(windows)
    local margin=40
    local width=$((maxx - minx + 2 * margin)) height=$((maxy - miny + 2 * margin))
    if ((width * 9 < height * 16)); then width=$(((height * 16 + 8) / 9)); fi
    if ((width * 9 > height * 16)); then height=$(((width * 9 + 15) / 16)); fi
    local left=$(((minx + maxx - width) / 2)) top=$(((miny + maxy - height) / 2)) args=()
    for i in "${!files[@]}"; do
        args+=("${files[$i]}" -geometry "+$((xs[i] - left))+$((ys[i] - top))" -composite)
    done
    convert -size "${width}x${height}" xc:'#dde3ea' "${args[@]}" -strip \
        -define png:exclude-chunks=date,time "$out/$name"
    echo "saved $out/$name (${width}x${height})"
}

mkdir -p "$out"

start
xdotool type --delay 120 'вод'
xdotool key Return
sleep 1.5
compose interpretation.png
stop

start
xdotool type --delay 120 'бер'
sleep 1
compose word-list.png
stop
