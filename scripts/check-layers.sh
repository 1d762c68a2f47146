#!/usr/bin/env bash
# What the compiler cannot refuse on its own: an include that climbs out of its folder by a
# relative path, the engine's interface used outside the database layer, and a screen that
# reaches into the main window. (An include of another layer's header by its name is refused by
# the build itself.)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
status=0
if grep -rnE '#include +"\.\./' src; then
    echo "check-layers: include by a relative path that leaves its folder (above)" >&2
    status=1
fi
if grep -rnE 'sqlite3(_[a-z_]+)? *\(|<sqlite3\.h>|SQLITE_[A-Z]' src --include='*.cpp' --include='*.h' |
    grep -v '^src/core/db/'; then
    echo "check-layers: the engine used outside src/core/db (above)" >&2
    status=1
fi
# Screens reach the frame through its navigator; only the frame, its front end and the start-up
# that makes it know the main window.
if grep -lE '#include +"MainWindow\.h"' src/ui/*.cpp src/ui/*.h |
    grep -vE '^src/ui/(MainWindow|GuiFrontEnd|SplashScreen)\.cpp$'; then
    echo "check-layers: a screen includes MainWindow.h instead of Navigator.h (above)" >&2
    status=1
fi
exit $status
