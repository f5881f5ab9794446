#!/usr/bin/env bash
# ./dev package builds a .deb whose dependencies are runtime libraries only, lintian finds
# no error in it, and it installs, runs from /usr/bin and removes again. CI_SKIP_PACKAGE=1
# skips it (exit 77).
set -euo pipefail
[ "${CI_SKIP_PACKAGE:-0}" = 1 ] && { echo "skipped: CI_SKIP_PACKAGE=1"; exit 77; }
SRC=${PARLIVO_SOURCE_DIR:?}
BUILD=${PARLIVO_BUILD_DIR:?}
passed=0 failed=0
check() {
    local what=$1; shift
    if "$@"; then passed=$((passed + 1)); else echo "FAILED: $what"; failed=$((failed + 1)); fi
}

"$SRC/dev" package >/dev/null 2>"$BUILD/package-test.log" || { cat "$BUILD/package-test.log"; exit 1; }
deb=$(ls "$BUILD"/package/parlivo_*.deb)
depends=$(dpkg-deb -f "$deb" Depends)
echo "Depends: $depends"
echo "Installed-Size: $(dpkg-deb -f "$deb" Installed-Size) KiB"
check "no -dev or test package among the dependencies" bash -c "! grep -Eq -- '-dev\b|gtest|gmock' <<<'$depends'"
check "the Qt libraries are among the dependencies" grep -q libqt6widgets6 <<<"$depends"
check "Qt's Wayland plugin is a dependency" grep -q 'qt6-wayland' <<<"$depends"
errors=$(lintian --no-tag-display-limit "$deb" 2>&1 | grep '^E:' || true)
check "lintian reports no errors: $errors" test -z "$errors"

# dpkg refuses at once while another package manager holds its lock: wait for it instead.
dpkg_waiting() {
    local try
    for try in $(seq 60); do
        dpkg "$@" 2>"$BUILD/dpkg-test.log" && return 0
        grep -q 'lock' "$BUILD/dpkg-test.log" || { cat "$BUILD/dpkg-test.log"; return 1; }
        sleep 2
    done
    cat "$BUILD/dpkg-test.log"; return 1
}

if [ "$(id -u)" = 0 ] && ! dpkg-query -W -f='${Status}' parlivo 2>/dev/null | grep -q 'install ok installed'; then
    trap 'dpkg -r parlivo >/dev/null 2>&1 || true' EXIT
    check "dpkg installs it" dpkg_waiting -i "$deb" >/dev/null
    check "parlivo --version from /usr/bin" bash -c "/usr/bin/parlivo --version | grep -q '^parlivo '"
    check "the templates are in /usr/share/parlivo" test -f /usr/share/parlivo/MSTemp.dll
    check "dpkg removes it" dpkg_waiting -r parlivo >/dev/null
    check "nothing is left in /usr/share/parlivo" test ! -e /usr/share/parlivo
fi
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
