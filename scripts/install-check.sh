#!/usr/bin/env bash
# Checks an installation as a new user meets it: the files are where the desktop and the
# programs look for them, both programs answer --version without a display, and the batch
# front end creates, signs in and imports the demo extract with no --home, its program folder
# being the user's data folder, filled from the installed files on first start.
# Usage: scripts/install-check.sh [BUILD_DIR]    installs BUILD_DIR (default: build) into a
#                                                scratch prefix first
#        scripts/install-check.sh --prefix DIR   checks what is installed in DIR (e.g. /usr)
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT
if [ "${1:-}" = "--prefix" ]; then
    prefix="${2:?usage: install-check.sh --prefix DIR}"
else
    prefix="$work/prefix"
    cmake --install "${1:-build}" --prefix "$prefix" >/dev/null
fi

failures=0
fail() { echo "FAIL $1"; failures=$((failures + 1)); }
share="$prefix/share/orvdv"
id=org.orvdv.DataValidation
for f in bin/orvdv-cli share/orvdv/ORVTemplate.xmdb share/orvdv/R001-1.rpt \
    share/orvdv/R006-1.rpt; do
    [ -f "$prefix/$f" ] || fail "$f is not installed"
done
gui=no
if [ -x "$prefix/bin/orvdv" ]; then
    gui=yes
    for f in share/orvdv/ORVDV.DLL share/orvdv/contact.ini "share/applications/$id.desktop" \
        "share/metainfo/$id.metainfo.xml" "share/icons/hicolor/48x48/apps/$id.png" \
        "share/icons/hicolor/256x256/apps/$id.png"; do
        [ -f "$prefix/$f" ] || fail "$f is not installed"
    done
    if command -v desktop-file-validate >/dev/null; then
        desktop-file-validate "$prefix/share/applications/$id.desktop" || fail "desktop entry"
    fi
    mime="$prefix/share/mime/packages/$id.xml"
    [ -f "$mime" ] || fail "the database's MIME type is not installed"
    # A validation database is known by its content, whatever its name.
    if [ -f "$mime" ] && command -v update-mime-database >/dev/null && command -v gio >/dev/null; then
        mkdir -p "$work/xdg/mime/packages"
        cp "$mime" "$work/xdg/mime/packages/"
        update-mime-database "$work/xdg/mime" 2>/dev/null
        cp "$prefix/share/orvdv/ORVTemplate.xmdb" "$work/database.bin"
        type=$(XDG_DATA_HOME="$work/xdg" XDG_DATA_DIRS=/usr/share gio info \
            -a standard::content-type "$work/database.bin" | awk '/content-type/ {print $2}')
        [ "$type" = application/x-orvdv-database ] ||
            fail "a validation database is taken for '$type'"
    fi
    if command -v appstreamcli >/dev/null; then
        appstreamcli validate --no-net --no-color "$prefix/share/metainfo/$id.metainfo.xml" \
            >"$work/appstream.txt" || { cat "$work/appstream.txt"; fail "metainfo"; }
    fi
    version=$(env -u DISPLAY -u WAYLAND_DISPLAY -u QT_QPA_PLATFORM "$prefix/bin/orvdv" --version) ||
        fail "orvdv --version without a display"
    [[ "$version" =~ ^orvdv\ [0-9]+\.[0-9]+\.[0-9]+$ ]] || fail "orvdv --version says '$version'"
fi
version=$("$prefix/bin/orvdv-cli" --version) || fail "orvdv-cli --version"
[[ "$version" =~ ^orvdv-cli\ [0-9]+\.[0-9]+\.[0-9]+$ ]] ||
    fail "orvdv-cli --version says '$version'"

# A user who has never run the program: a fresh home, data folder and data source file.
export HOME="$work/home"
export XDG_DATA_HOME="$HOME/.local/share"
# The driver manager finds the user's odbc.ini through the password database, not HOME.
export ODBCINI="$HOME/.odbc.ini"
mkdir -p "$HOME"
data="$XDG_DATA_HOME/ORV Data Validation/orvdv"
cli="$prefix/bin/orvdv-cli"
db="$work/run.mdb"
if "$cli" new "$db" >"$work/out.txt" 2>&1 &&
    "$cli" signin "$db" --fiscal-year 2008 >>"$work/out.txt" 2>&1 &&
    "$cli" import "$db" demo/demo-extract.csv --seed 7 --yes >>"$work/out.txt" 2>&1; then
    [ -s "$data/ImportError.txt" ] || fail "no error report in the data folder $data"
    for f in "$share"/*; do
        [ -f "$f" ] || continue
        cmp -s "$f" "$data/$(basename "$f")" || fail "$(basename "$f") was not copied to $data"
    done
    [ ! -e "$data/guide" ] || fail "the guide was copied to $data"
    [ ! -e "$prefix/bin/ImportError.txt" ] || fail "the error report was written beside the program"
    grep -q "Database=$db" "$HOME/.odbc.ini" 2>/dev/null ||
        fail "the data source does not name $db"
else
    cat "$work/out.txt"
    fail "new, signin and import from $prefix"
fi

if [ "$failures" -ne 0 ]; then
    echo "$failures install check(s) failed"
    exit 1
fi
echo "install check passed: $prefix (desktop program: $gui), data folder as a user's"
