#!/usr/bin/env bash
# Installs what is missing, builds the program and starts it. Without a display it runs the
# program's main job headless instead: a new validation database, a sign-in and the import of
# the demo extract, and says where the results are.
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/deps.sh
cmake --preset default
cmake --build --preset default -j"$(nproc)"
bin="$PWD/build/bin"
if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec "$bin/orvdv" "$@"
fi
echo "No display found: running the import headless on the demo extract instead."
demo="$PWD/build/demo"
mkdir -p "$demo"
db="$demo/demo.mdb"
"$bin/orvdv-cli" new "$db" --force
"$bin/orvdv-cli" signin "$db" --fiscal-year 2008
status=0
"$bin/orvdv-cli" import "$db" demo/demo-extract.csv --seed 2008 --yes || status=$?
echo
echo "The validation database is $db"
echo "(look inside with: $bin/orvdv-cli info $db)."
exit "$status"
