#!/usr/bin/env bash
# Installs the Debian packages that building, running and testing Kelmor need (only those missing).
set -euo pipefail

packages=(
    build-essential cmake ninja-build pkg-config git
    qt6-base-dev qt6-base-dev-tools qt6-translations-l10n libgl-dev libcups2-dev
    libsqlite3-dev qt6-charts-dev libqt6opengl6-dev
    libgtest-dev libgmock-dev libbenchmark-dev
    libhunspell-dev hunspell-ru libsqlite3-dev
    clang libclang-rt-14-dev clang-format
    python3 python3-ephem python3-fonttools
    mdbtools unrtf poppler-utils fonts-liberation unicode-data
    xvfb xauth libxcb1-dev
    # Desktop integration and the Debian package: icons, validators, manual pages, completion,
    # the package's dependencies (dpkg-shlibdeps reads the executables' type with file), the
    # installed program under Xvfb (scripts/package-check.sh) and the screenshots.
    librsvg2-bin desktop-file-utils appstream man-db bash-completion file
    xdotool imagemagick x11-xkb-utils
    # The tray sessions under Xvfb: the X11 tray, a private session bus and D-Bus calls to the
    # StatusNotifier item.
    trayer dbus-daemon libglib2.0-bin
)
# And what the program uses at run time: the Debian package's own list of them.
while read -r p; do
    [ -n "$p" ] && packages+=("$p")
done < <(sed -n '/^set(KELMOR_RUNTIME_PACKAGES/,/^)/{/^set(/d;/^)/d;s/#.*//;p}' \
    "$(dirname "$0")/../cmake/KelmorPackaging.cmake" | tr -s ' ' '\n')

missing=()
for p in "${packages[@]}"; do
    if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed"; then
        missing+=("$p")
    fi
done

if [ ${#missing[@]} -gt 0 ]; then
    echo "Installing: ${missing[*]}"
    sudo=""
    if [ "$(id -u)" -ne 0 ]; then sudo="sudo"; fi
    $sudo apt-get update -qq
    DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi
