#!/usr/bin/env bash
# Pictures of the desktop program's screens, taken under a virtual display (Xvfb): the
# program signs in on a scratch database and saves each screen as a PNG. Builds nothing.
# usage: scripts/screenshot.sh [BUILD_DIR] [OUT_DIR]   (defaults: build, BUILD_DIR/screenshots)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
build=${1:-build}
out=${2:-$build/screenshots}
bin=$build/bin/orvdv
if [ ! -x "$bin" ]; then
    echo "screenshot: $bin is not built" >&2
    exit 1
fi
command -v xvfb-run >/dev/null || { echo "screenshot: xvfb-run is missing (package xvfb)" >&2; exit 1; }

# A scratch program folder and data source file, so nothing of the user's is touched.
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
cp "$build/bin/ORVTemplate.xmdb" "$home/"
[ -f "$build/bin/ORVDV.DLL" ] && cp "$build/bin/ORVDV.DLL" "$home/"
[ -f "$build/bin/contact.ini" ] && cp "$build/bin/contact.ini" "$home/"
cp "$build"/bin/*.rpt "$home/"
cp demo/demo-extract.csv "$home/"
mkdir -p "$out"
out=$(cd "$out" && pwd)

env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY ODBCINI="$home/odbc.ini" \
    xvfb-run -a -s "-screen 0 1280x800x24" "$bin" --home "$home" --screenshot "$out"
echo "screenshots in $out"
