# A headless Wayland compositor for the window tests that must run where top-level windows
# cannot be placed: weston without outputs to look at, drawing with pixman, one 1366x800
# screen. Sourced by ./dev. Its socket lives in the runtime folder, so several build folders
# each get their own; the tests find it through PARLIVO_WAYLAND_DISPLAY (an absolute path,
# which libwayland takes as it is). WAYLAND_DISPLAY itself is left alone: every other test
# keeps running offscreen.
weston_for="test"

_weston_dirs() {
    WESTON_DIR=${PARLIVO_RUNTIME:-${PARLIVO_BUILD_DIR:-$PWD}/runtime}/weston
}

weston_start() {
    _weston_dirs
    weston_stop >/dev/null 2>&1 || true
    command -v weston >/dev/null || { echo "weston: not installed; the Wayland window tests skip" >&2; return 0; }
    rm -rf "$WESTON_DIR"
    mkdir -p "$WESTON_DIR"
    chmod 700 "$WESTON_DIR"
    XDG_RUNTIME_DIR=$WESTON_DIR weston --backend=headless-backend.so --use-pixman --width=1366 --height=800 \
        --idle-time=0 --socket=wayland-parlivo --log="$WESTON_DIR/weston.log" >/dev/null 2>&1 &
    echo $! >"$WESTON_DIR/pid"
    disown 2>/dev/null || true
    for _ in $(seq 100); do
        [ -S "$WESTON_DIR/wayland-parlivo" ] && break
        sleep 0.1
    done
    if [ ! -S "$WESTON_DIR/wayland-parlivo" ]; then
        echo "weston: did not start (see $WESTON_DIR/weston.log); the Wayland window tests skip" >&2
        weston_stop
        return 0
    fi
    export PARLIVO_WAYLAND_DISPLAY=$WESTON_DIR/wayland-parlivo
}

weston_stop() {
    _weston_dirs
    local pid
    pid=$(cat "$WESTON_DIR/pid" 2>/dev/null) || true
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
        kill "$pid" 2>/dev/null || true
        for _ in $(seq 30); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -9 "$pid" 2>/dev/null || true
    fi
    rm -f "$WESTON_DIR/pid"
    unset PARLIVO_WAYLAND_DISPLAY
}
