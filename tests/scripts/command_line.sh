#!/usr/bin/env bash
# Every subcommand keeps the same conventions: --help prints its usage (naming it) once,
# --version the version, misuse exits 2 with a one-line reason and the usage; and Qt's
# warning about a missing XDG_RUNTIME_DIR never reaches the terminal.
set -euo pipefail
P=${PARLIVO_APP_DIR:?}/parlivo
unset XDG_RUNTIME_DIR
passed=0 failed=0
check() {
    local what=$1; shift
    if "$@"; then passed=$((passed + 1)); else echo "FAILED: $what"; failed=$((failed + 1)); fi
}
T=$(mktemp -d)
trap 'rm -rf "$T"' EXIT

"$P" --help >"$T/out" 2>&1
check "program help: Usage once, no path" test "$(grep -c 'Usage:' "$T/out")" = 1 -a -z "$(grep -F "$P" "$T/out" || true)"
rc=0; "$P" --bogus >/dev/null 2>"$T/err" || rc=$?
check "program misuse exits 2 with the usage" test $rc = 2 -a "$(grep -c 'Usage: parlivo' "$T/err")" = 1

commands=$(sed -n '/^Commands/,$p' "$T/out" | awk 'NR > 1 && NF {print $1}')
check "the help lists the commands" test -n "$commands"
for c in $commands; do
    check "$c --version" bash -c "'$P' $c --version | grep -q '^parlivo [0-9]'"
    "$P" "$c" --help >"$T/out" 2>&1 || true
    check "$c --help names $c once" test "$(grep -c "^Usage: parlivo $c" "$T/out")" = 1
    rc=0; "$P" "$c" --no-such-option >/dev/null 2>"$T/err" || rc=$?
    check "$c misuse exits 2" test $rc = 2
    check "$c misuse: reason first, then the usage" \
        bash -c "head -1 '$T/err' | grep -q '^parlivo $c: .*no-such-option' && grep -q '^Usage: parlivo $c' '$T/err'"
done
# The window's start is where Qt asks for the runtime folder.
QT_QPA_PLATFORM=offscreen PARLIVO_QUIT_AFTER_FIRST_FRAME=1 "$P" >/dev/null 2>"$T/err" || true
check "no runtime-folder warning from the window" bash -c "! grep -q XDG_RUNTIME_DIR '$T/err'"

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
