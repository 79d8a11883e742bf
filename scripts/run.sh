#!/usr/bin/env bash
# Installs what is missing, builds Kelmor and starts it on the bundled sample books.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh
scripts/build.sh build -DCMAKE_BUILD_TYPE=RelWithDebInfo
# The build tree's share/ comes first, so the program finds the sample data without installing.
export XDG_DATA_DIRS="$PWD/build/share:${XDG_DATA_DIRS:-/usr/local/share:/usr/share}"
exec build/app/kelmor "$@"
