#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/deps.sh
cmake --preset default
cmake --build --preset default -j"$(nproc)"
bin=build/bin
if [ -x "$bin/orvdv" ] && { [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; }; then
    exec "$bin/orvdv" "$@"
fi
if [ -x "$bin/orvdv" ]; then
    echo "No display found: the desktop program needs one. The batch front end:"
fi
exec "$bin/orvdv-cli" --help
