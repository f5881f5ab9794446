#!/usr/bin/env bash
# Installs into a temporary prefix, makes it read-only and runs the installed program as a
# user who cannot write there: --version, speaking, publishing (templates and the default
# picture found in share/parlivo), the window (working folders in the user's runtime folder,
# emptied at exit), one window per working folder, and a start after a crash.
set -euo pipefail
BUILD=${PARLIVO_BUILD_DIR:?}
T=$(mktemp -d)
USER_NAME=
passed=0 failed=0
cleanup() {
    [ -n "${FIRST:-}" ] && kill -9 "$FIRST" 2>/dev/null || true
    chmod -R u+w "$T" 2>/dev/null || true
    rm -rf "$T"
    [ -n "$USER_NAME" ] && userdel "$USER_NAME" 2>/dev/null || true
}
trap cleanup EXIT
check() {  # check "what" command...
    local what=$1; shift
    if "$@"; then passed=$((passed + 1)); else echo "FAILED: $what"; failed=$((failed + 1)); fi
}

chmod 755 "$T"
P=$T/prefix
cmake --install "$BUILD" --prefix "$P" >/dev/null
chmod -R a-w "$P"
listing() { find "$P" -printf '%p %s %T@\n' | sort; }
listing >"$T/before"

# As root, the program runs as a fresh user; otherwise as the caller.
H=$T/home
mkdir -p "$H/run" "$H/run2"
chmod 700 "$H/run" "$H/run2"
if [ "$(id -u)" = 0 ]; then
    USER_NAME=parlivo-t$$
    useradd --no-create-home --home-dir "$H" --shell /usr/sbin/nologin "$USER_NAME"
    chown -R "$USER_NAME:" "$H"
    AS_USER=(setpriv --reuid="$USER_NAME" --regid="$USER_NAME" --init-groups)
else
    AS_USER=(env)
fi
as_user() { "${AS_USER[@]}" "$@"; }
export HOME=$H XDG_RUNTIME_DIR=$H/run XDG_CACHE_HOME=$H/cache QT_QPA_PLATFORM=offscreen
# The local server's settings file is private to the developer; this user has the environment's.
unset PARLIVO_PUBLISH_CONF
W=$H/run/parlivo

version=$(as_user "$P/bin/parlivo" --version || true)
check "--version from the installed tree" test "${version#parlivo }" != "$version"
check "speak from the installed tree" as_user "$P/bin/parlivo" speak --text "Hello from the installed program" -o "$H/hello.mp3"
check "speak wrote the file" test -s "$H/hello.mp3"

if [ -n "${PARLIVO_SFTP_HOST:-}" ]; then
    out=$(as_user "$P/bin/parlivo" publish --audio "$H/hello.mp3" --text "Installed") || true
    page=$(grep -o "${PARLIVO_PAGE_BASE}[^ ]*\.htm" <<<"$out" | head -1)
    check "publish prints the page address" test -n "$page"
    check "the published page is served with the default picture" \
        bash -c "curl -fsS '$page' | grep -q '\.gif'"
fi

# The window: its working folders in the runtime folder.
rc=0; PARLIVO_QUIT_AFTER_FIRST_FRAME=1 as_user "$P/bin/parlivo" 2>"$T/window.err" || rc=$?
check "the window started and closed" test $rc = 0
check "working folders in the runtime folder" test -d "$W/Temp"

# One window per working folder.
# Temp/ is made at load, after the start-up emptying: once it is there, files put in it stay.
rm -rf "$W/Temp"
"${AS_USER[@]}" "$P/bin/parlivo" 2>"$T/first.err" &
FIRST=$!
for _ in $(seq 100); do [ -S "$W/parlivo.socket" ] && [ -d "$W/Temp" ] && break; sleep 0.1; done
as_user touch "$W/Temp/recording.mp3"
start=$(date +%s%N)
rc=0; as_user "$P/bin/parlivo" 2>"$T/second.err" || rc=$?
check "the second start exits with 0" test $rc = 0
check "the second start leaves within 2 s" test $((($(date +%s%N) - start) / 1000000)) -lt 2000
check "the first window was asked forward" grep -q "brought forward" "$T/second.err"
check "the first window's files are untouched" test -e "$W/Temp/recording.mp3"
kill -TERM "$FIRST"
wait "$FIRST" || true
FIRST=
check "the working folders are emptied at exit" test -z "$(find "$W/Temp" "$W/Quillbox" -type f 2>/dev/null)"

# A window that crashed leaves its lock; the next start is not blocked by it.
"${AS_USER[@]}" "$P/bin/parlivo" 2>/dev/null &
FIRST=$!
for _ in $(seq 100); do [ -S "$W/parlivo.socket" ] && break; sleep 0.1; done
kill -KILL "$FIRST"
wait "$FIRST" 2>/dev/null || true
FIRST=
check "a lock was left behind" test -e "$W/parlivo.lock"
PARLIVO_QUIT_AFTER_FIRST_FRAME=1 as_user "$P/bin/parlivo" 2>"$T/after-crash.err" || true
check "the window opens after a crash" bash -c "! grep -q 'already open' '$T/after-crash.err'"

# A read-only portable copy also keeps its working folders in the runtime folder.
cp -r "$BUILD/app" "$T/portable"
rm -rf "$T/portable/Temp" "$T/portable/Quillbox" "$T/portable"/parlivo.*
chmod -R a-w "$T/portable"
XDG_RUNTIME_DIR=$H/run2 PARLIVO_QUIT_AFTER_FIRST_FRAME=1 as_user "$T/portable/parlivo" 2>/dev/null || true
check "a read-only copy uses the runtime folder" test -d "$H/run2/parlivo/Temp" -a ! -e "$T/portable/Temp"

listing >"$T/after"
check "nothing was written under the prefix" diff -q "$T/before" "$T/after" >/dev/null
check "no runtime-folder warning reached the terminal" bash -c "! grep -qh XDG_RUNTIME_DIR '$T'/*.err"

echo "$passed passed, $failed failed"
[ "$failed" = 0 ]
