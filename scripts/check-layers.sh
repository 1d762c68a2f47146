#!/usr/bin/env bash
# What the compiler cannot refuse on its own: an include that climbs out of its folder by a
# relative path, and the engine's interface used outside the database layer. (An include of
# another layer's header by its name is refused by the build itself.)
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
exit $status
