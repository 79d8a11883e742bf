#!/usr/bin/env bash
# Writes the word-processor part of the RTF test corpus: each sources/*.html opened and saved as
# RTF by LibreOffice Writer (Debian: libreoffice-writer), headless. The produced files are
# committed; CI does not run this. Our own fixtures (own_*.rtf) are written by hand.
set -euo pipefail
cd "$(dirname "$0")"
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
for src in sources/*.html; do
    soffice --headless --norestore --convert-to 'rtf:Rich Text Format' --outdir "$out" "$src" >/dev/null
    name=$(basename "$src" .html)
    mv "$out/$name.rtf" "$name.rtf"
    echo "$name.rtf"
done
