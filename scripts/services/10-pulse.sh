# A private PulseAudio for the tests: a null sink that swallows playback and, as the
# default "microphone", a source remapped from that sink's monitor. Whatever is played
# into the sink is therefore recorded by the program. Two more inputs stand for the
# other microphones a machine may have: one hears a steady 880 Hz tone, one silence. Sourced by ./dev;
# exports PULSE_SERVER for the clients and PARLIVO_PULSE=1 so the tests that need a
# server run (the others skip). Everything the daemon writes stays under the runtime folder.
pulse_for="test"

_pulse_dirs() {
    PULSE_DIR=${PARLIVO_RUNTIME:-${PARLIVO_BUILD_DIR:-$PWD}/runtime}/pulse
}

# The daemon's own environment: without these it writes into root's home.
_pulse_env() {
    env HOME="$PULSE_DIR/home" XDG_RUNTIME_DIR="$PULSE_DIR/runtime" \
        PULSE_RUNTIME_PATH="$PULSE_DIR/runtime" PULSE_STATE_PATH="$PULSE_DIR/state" \
        PULSE_CONFIG_PATH="$PULSE_DIR/config" GST_REGISTRY="$PULSE_DIR/cache/gst-registry.bin" \
        XDG_CACHE_HOME="$PULSE_DIR/cache" XDG_CONFIG_HOME="$PULSE_DIR/config" \
        PULSE_SERVER= PULSE_CLIENTCONFIG="$PULSE_DIR/client.conf" "$@"
}

_pulse_pid() {
    local f="$PULSE_DIR/runtime/pid"
    [ -s "$f" ] && cat "$f"
}

pulse_start() {
    _pulse_dirs
    pulse_stop >/dev/null 2>&1 || true
    rm -rf "$PULSE_DIR"
    mkdir -p "$PULSE_DIR"/{home,runtime,state,config,cache}
    chmod 700 "$PULSE_DIR/runtime"
    cat >"$PULSE_DIR/client.conf" <<EOF
autospawn = no
cookie-file = $PULSE_DIR/cookie
EOF
    cat >"$PULSE_DIR/parlivo.pa" <<EOF
load-module module-native-protocol-unix auth-anonymous=1 socket=$PULSE_DIR/runtime/native
load-module module-null-sink sink_name=parlivo_out rate=44100 channels=1 sink_properties=device.description=Parlivo-Speaker
load-module module-remap-source source_name=parlivo_mic master=parlivo_out.monitor channels=1 source_properties=device.description=Parlivo-Microphone
load-module module-sine-source source_name=parlivo_tone rate=44100 frequency=880 source_properties=device.description=Parlivo-Tone
load-module module-null-source source_name=parlivo_silence rate=44100 channels=1 description=Parlivo-Silence
set-default-sink parlivo_out
set-default-source parlivo_mic
EOF
    if ! _pulse_env pulseaudio --daemonize=yes --system=false --exit-idle-time=-1 --disallow-exit \
            -n -F "$PULSE_DIR/parlivo.pa" --use-pid-file=yes --disable-shm=yes \
            --log-target="file:$PULSE_DIR/pulse.log" --log-level=notice; then
        echo "pulse: the daemon did not start (see $PULSE_DIR/pulse.log)" >&2
        return 1
    fi
    export PULSE_SERVER="unix:$PULSE_DIR/runtime/native"
    export PULSE_CLIENTCONFIG="$PULSE_DIR/client.conf"
    local ok=
    for _ in $(seq 100); do
        if pactl info >/dev/null 2>&1; then ok=1; break; fi
        sleep 0.1
    done
    if [ -z "$ok" ]; then
        echo "pulse: the daemon does not answer (see $PULSE_DIR/pulse.log)" >&2
        pulse_stop
        return 1
    fi
    # An idle null sink renders in 2-second slices, so the "microphone" would deliver its
    # first sound up to 2 s late. A quiet low-latency listener on the monitor keeps the
    # sink working in 20 ms steps for every client.
    parec --latency-msec=20 --raw -d parlivo_out.monitor >/dev/null 2>>"$PULSE_DIR/keeper.log" &
    echo $! >"$PULSE_DIR/keeper.pid"
    disown 2>/dev/null || true
    # Ready once the slice the sink began before the listener came has played out.
    local latency
    for _ in $(seq 50); do
        latency=$(pactl list sinks 2>/dev/null | sed -n 's/^\s*Latency: \([0-9]*\) usec, configured 20000 usec.*/\1/p' | head -1)
        [ -n "$latency" ] && [ "$latency" -lt 100000 ] && break
        sleep 0.1
    done
    export PARLIVO_PULSE=1 PARLIVO_PULSE_SINK=parlivo_out PARLIVO_PULSE_SOURCE=parlivo_mic
}

pulse_stop() {
    _pulse_dirs
    local pid keeper
    keeper=$(cat "$PULSE_DIR/keeper.pid" 2>/dev/null) || true
    if [ -n "$keeper" ]; then
        kill "$keeper" 2>/dev/null || true
        rm -f "$PULSE_DIR/keeper.pid"
    fi
    pid=$(_pulse_pid) || true
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
        kill "$pid" 2>/dev/null || true
        for _ in $(seq 50); do
            kill -0 "$pid" 2>/dev/null || break
            sleep 0.1
        done
        kill -9 "$pid" 2>/dev/null || true
    fi
    rm -f "$PULSE_DIR/runtime/pid"
    unset PARLIVO_PULSE PARLIVO_PULSE_SINK PARLIVO_PULSE_SOURCE PULSE_SERVER PULSE_CLIENTCONFIG
}
