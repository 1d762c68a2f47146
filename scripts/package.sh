#!/usr/bin/env bash
# Builds the Debian package build-package/orvdv_<version>_<arch>.deb (Release, installed under
# /usr) and checks it: always its files and its Depends; run as root on a machine where orvdv
# is not installed, it also installs the package with apt-get, checks the installed programs
# with scripts/install-check.sh and removes the package again.
# Usage: scripts/package.sh
set -euo pipefail
cd "$(dirname "${BASH_SOURCE[0]}")/.."
scripts/deps.sh
build=build-package
launcher=()
command -v ccache >/dev/null && launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr \
    -DORV_BUILD_TESTS=OFF -DORV_BUILD_BENCH=OFF -DORV_BUILD_FUZZ=OFF "${launcher[@]}" >/dev/null
cmake --build "$build" -j"$(nproc)"
rm -f "$build"/orvdv_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
debs=("$build"/orvdv_*.deb)
deb="${debs[0]}"
[ -f "$deb" ] || { echo "package: cpack made no package" >&2; exit 1; }
echo "built $deb"

failures=0
fail() { echo "FAIL $1"; failures=$((failures + 1)); }
id=org.orvdv.DataValidation
contents="$(dpkg-deb --contents "$deb" | awk '{print $NF}')"
for f in usr/bin/orvdv usr/bin/orvdv-cli usr/share/orvdv/ORVTemplate.xmdb \
    usr/share/orvdv/ORVDV.DLL usr/share/orvdv/contact.ini usr/share/orvdv/R001-1.rpt \
    usr/share/orvdv/R006-1.rpt "usr/share/applications/$id.desktop" \
    "usr/share/metainfo/$id.metainfo.xml" "usr/share/icons/hicolor/256x256/apps/$id.png"; do
    grep -qx "\./$f" <<<"$contents" || fail "the package lacks /$f"
done
[ "$(dpkg-deb -f "$deb" Package)" = orvdv ] || fail "the package is not named orvdv"
version="$(dpkg-deb -f "$deb" Version)"
depends="$(dpkg-deb -f "$deb" Depends)"
for p in libsqliteodbc unixodbc libqt6core6 libqt6gui6 libqt6widgets6 libsqlite3-0 \
    libxlsxwriter; do
    grep -q "\b$p" <<<"$depends" || fail "Depends lacks $p: $depends"
done
echo "package orvdv $version depends on: $depends"

if [ "$(id -u)" -ne 0 ]; then
    echo "not root: the package was not installed (sudo apt-get install ./$deb does)"
elif dpkg-query -W -f='${Status}' orvdv 2>/dev/null | grep -q 'install ok installed'; then
    echo "orvdv is installed on this machine already: the package was not installed over it"
else
    trap 'apt-get remove -y -qq orvdv >/dev/null 2>&1 || true' EXIT
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "./$deb" >/dev/null ||
        fail "apt-get install ./$deb"
    if [ "$failures" -eq 0 ]; then
        QT_QPA_PLATFORM=offscreen orvdv --version >/dev/null || fail "installed orvdv --version"
        scripts/install-check.sh --prefix /usr || fail "the installed package"
    fi
    apt-get remove -y -qq orvdv >/dev/null || fail "apt-get remove orvdv"
    trap - EXIT
    echo "installed, checked and removed the package"
fi
if [ "$failures" -ne 0 ]; then
    echo "$failures package check(s) failed"
    exit 1
fi
echo "package check passed: $deb"
