#!/usr/bin/env bash
# The menu entry, the metainfo and the manual page pass their validators; the icon is
# there at every size the menu asks for.
set -euo pipefail
BUILD=${PARLIVO_BUILD_DIR:?}
SRC=${PARLIVO_SOURCE_DIR:?}
passed=0 failed=0
check() {
    local what=$1; shift
    if "$@"; then passed=$((passed + 1)); else echo "FAILED: $what"; failed=$((failed + 1)); fi
}
check "desktop entry" desktop-file-validate "$SRC/packaging/org.parlivo.Parlivo.desktop"
check "metainfo" appstreamcli validate --no-net --explain "$BUILD/packaging/org.parlivo.Parlivo.metainfo.xml"
man_warnings=$(LC_ALL=C.UTF-8 MANWIDTH=80 man --warnings -l "$SRC/packaging/parlivo.1" 2>&1 >/dev/null || true)
check "manual page without warnings: $man_warnings" test -z "$man_warnings"
for size in 48 64 128 256; do
    check "icon at $size" bash -c "file '$BUILD/packaging/icons/$size/org.parlivo.Parlivo.png' | grep -q '$size x $size'"
done
echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
