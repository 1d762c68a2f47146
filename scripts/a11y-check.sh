#!/usr/bin/env bash
# Checks the desktop program as a screen reader meets it: on a virtual display (Xvfb) and a
# private session bus with the accessibility bus, the program opens every screen on a scratch
# database and scripts/a11y_walk.py walks each over AT-SPI. Fails, listing each, on a control
# without an accessible name, a window without a title, or a control Tab does not reach.
# Builds nothing.
# usage: scripts/a11y-check.sh [BUILD_DIR]   (default: build)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
build=${1:-build}
bin=$build/bin/orvdv
if [ ! -x "$bin" ]; then
    echo "a11y-check: $bin is not built" >&2
    exit 1
fi
missing=()
command -v xvfb-run >/dev/null || missing+=(xvfb)
command -v dbus-run-session >/dev/null || missing+=(dbus)
[ -x /usr/libexec/at-spi-bus-launcher ] || missing+=(at-spi2-core)
# Debian's own Python, where python3-pyatspi installs, whatever python3 is first on the PATH.
/usr/bin/python3 -c 'import pyatspi' 2>/dev/null || missing+=(python3-pyatspi)
if [ ${#missing[@]} -gt 0 ]; then
    echo "a11y-check: missing packages: ${missing[*]} (scripts/deps.sh installs them)" >&2
    exit 1
fi

# A scratch program folder and data source file, so nothing of the user's is touched.
home=$(mktemp -d)
trap 'rm -rf "$home"' EXIT
cp "$build/bin/ORVTemplate.xmdb" "$build"/bin/*.rpt demo/demo-extract.csv "$home/"
for file in ORVDV.DLL contact.ini; do
    if [ -f "$build/bin/$file" ]; then cp "$build/bin/$file" "$home/"; fi
done

# Qt offers its tree on the bus only when told to or when the desktop has a screen reader on.
# timeout ends the whole run, bus and display included, should anything hang. The walk's own
# status is kept in a file, which alone decides: xvfb-run's tidying up after it may fail and say
# so in its status.
status=$home/status
env -u QT_QPA_PLATFORM -u WAYLAND_DISPLAY -u DISPLAY -u DBUS_SESSION_BUS_ADDRESS \
    -u AT_SPI_BUS_ADDRESS ODBCINI="$home/odbc.ini" QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 \
    NO_AT_BRIDGE=1 XDG_RUNTIME_DIR="$home" \
    timeout -k 10 600 dbus-run-session -- \
    xvfb-run -a -s "-screen 0 1280x800x24" \
    sh -c '/usr/bin/python3 scripts/a11y_walk.py "$@"; echo $? >"$0"' "$status" \
    "$bin" "$home" "$home/screens" 2>&1 |
    grep -v -e '^dbus-daemon' -e '^SpiRegistry' || true
if [ ! -s "$status" ]; then
    echo "a11y-check: the walk did not finish (timed out or killed)" >&2
    exit 1
fi
exit "$(cat "$status")"
