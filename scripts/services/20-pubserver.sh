# The local publishing server: a private sshd (SFTP only, chrooted) and a private nginx that
# serves what was uploaded. Sourced by ./dev. The program finds the server through a settings
# file in the runtime folder (PARLIVO_PUBLISH_CONF); for tests it also exports the
# PARLIVO_SFTP_* overrides, the page address base and PARLIVO_WEBROOT (the served folder).
#
# sshd insists that every folder of a chroot path is root-owned and writable by root only, which
# rules out /tmp; the chroot therefore lives under /var/lib/parlivo-dev/<hash of the build dir>
# so that several build folders on one machine each get their own.
pubserver_for="run test"

PUBSERVER_USER=${PUBSERVER_USER:-parlivo}
PUBSERVER_PASSWORD=${PUBSERVER_PASSWORD:-pv7k2m9qa}
PUBSERVER_ADDR=${PUBSERVER_ADDR:-127.0.0.2}

_pubserver_dirs() {
    local build=${PARLIVO_BUILD_DIR:-$PWD} hash
    hash=$(printf '%s' "$build" | sha256sum | cut -c1-12)
    PUBSERVER_RUN=${PARLIVO_RUNTIME:-$build/runtime}/pubserver
    PUBSERVER_JAIL=/var/lib/parlivo-dev/$hash
    PUBSERVER_WEBROOT=$PUBSERVER_JAIL/httpdocs
}

# True when something already answers on addr:port.
_pubserver_taken() {
    (exec 3<>"/dev/tcp/$1/$2") 2>/dev/null
}

_pubserver_free_port() {
    local p
    for _ in $(seq 200); do
        p=$((20000 + RANDOM % 30000))
        _pubserver_taken "$PUBSERVER_ADDR" "$p" || { echo "$p"; return 0; }
    done
    return 1
}

_pubserver_start_sshd() {
    local port=$1
    sed -i "s/^Port .*/Port $port/; s/^ListenAddress .*/ListenAddress $PUBSERVER_ADDR:$port/" "$PUBSERVER_RUN/sshd_config"
    rm -f "$PUBSERVER_RUN/sshd.pid"
    # sshd forks into the background only once it is listening; a failed bind makes it exit non-zero.
    /usr/sbin/sshd -f "$PUBSERVER_RUN/sshd_config" -E "$PUBSERVER_RUN/sshd.log" 2>>"$PUBSERVER_RUN/sshd.log" || return 1
    for _ in $(seq 50); do [ -s "$PUBSERVER_RUN/sshd.pid" ] && return 0; sleep 0.1; done
    return 1
}

_pubserver_start_nginx() {
    local port=$1
    sed -i "s/listen [^;]*;/listen $PUBSERVER_ADDR:$port;/" "$PUBSERVER_RUN/nginx.conf"
    rm -f "$PUBSERVER_RUN/nginx.pid"
    /usr/sbin/nginx -e "$PUBSERVER_RUN/nginx-error.log" -p "$PUBSERVER_RUN/nginx" -c "$PUBSERVER_RUN/nginx.conf" \
        2>>"$PUBSERVER_RUN/nginx-error.log" || return 1
    for _ in $(seq 50); do [ -s "$PUBSERVER_RUN/nginx.pid" ] && return 0; sleep 0.1; done
    return 1
}

# Starts _pubserver_start_<what> on the preferred port, or on free high ports when it is
# taken or the start fails; prints the port it listens on.
_pubserver_start_on_port() {
    local what=$1 port=$2 log=$3 tries
    _pubserver_taken "$PUBSERVER_ADDR" "$port" && port=$(_pubserver_free_port)
    for tries in 1 2 3 4 5; do
        "_pubserver_start_$what" "$port" >&2 && { echo "$port"; return 0; }
        port=$(_pubserver_free_port)
    done
    echo "pubserver: $what did not start (see $log)" >&2
    return 1
}

pubserver_start() {
    local purpose=${1:-test}
    _pubserver_dirs
    pubserver_stop >/dev/null 2>&1 || true
    mkdir -p "$PUBSERVER_RUN/nginx" /run/sshd
    chmod 0755 /run/sshd

    # The jail: root-owned down to the jail folder itself, the web folder belongs to the account.
    mkdir -p /var/lib/parlivo-dev "$PUBSERVER_JAIL"
    chown root:root /var/lib/parlivo-dev "$PUBSERVER_JAIL"
    chmod 0755 /var/lib/parlivo-dev "$PUBSERVER_JAIL"
    if ! id "$PUBSERVER_USER" >/dev/null 2>&1; then
        useradd --system --no-create-home --home-dir / --shell /usr/sbin/nologin "$PUBSERVER_USER" 2>/dev/null ||
            id "$PUBSERVER_USER" >/dev/null 2>&1 || { echo "pubserver: cannot create user $PUBSERVER_USER" >&2; return 1; }
    fi
    echo "$PUBSERVER_USER:$PUBSERVER_PASSWORD" | chpasswd
    # Each start begins with an empty web folder so earlier runs cannot collide with this one.
    rm -rf "$PUBSERVER_WEBROOT"
    mkdir -p "$PUBSERVER_WEBROOT"
    chown "$PUBSERVER_USER:" "$PUBSERVER_WEBROOT"
    chmod 0755 "$PUBSERVER_WEBROOT"

    # Keys: the server's host key, and a client key so that benchmarks can drive the stock sftp tool.
    [ -f "$PUBSERVER_RUN/host_ed25519" ] || ssh-keygen -q -t ed25519 -N '' -C parlivo-dev -f "$PUBSERVER_RUN/host_ed25519"
    [ -f "$PUBSERVER_RUN/client_ed25519" ] || ssh-keygen -q -t ed25519 -N '' -C parlivo-bench -f "$PUBSERVER_RUN/client_ed25519"
    install -m 0644 -o root -g root "$PUBSERVER_RUN/client_ed25519.pub" "$PUBSERVER_JAIL.authorized_keys"

    cat >"$PUBSERVER_RUN/sshd_config" <<EOF
Port 22
ListenAddress $PUBSERVER_ADDR:22
HostKey $PUBSERVER_RUN/host_ed25519
PidFile $PUBSERVER_RUN/sshd.pid
UsePAM no
PasswordAuthentication yes
KbdInteractiveAuthentication no
PubkeyAuthentication yes
AuthorizedKeysFile $PUBSERVER_JAIL.authorized_keys
PermitRootLogin no
AllowUsers $PUBSERVER_USER
X11Forwarding no
AllowTcpForwarding no
PermitTunnel no
LogLevel VERBOSE
Subsystem sftp internal-sftp
Match User $PUBSERVER_USER
    ChrootDirectory $PUBSERVER_JAIL
    ForceCommand internal-sftp -u 0022
EOF
    /usr/sbin/sshd -t -f "$PUBSERVER_RUN/sshd_config" || { echo "pubserver: bad sshd configuration" >&2; return 1; }

    local worker=www-data
    id "$worker" >/dev/null 2>&1 || worker=nobody
    cat >"$PUBSERVER_RUN/nginx.conf" <<EOF
user $worker;
worker_processes 1;
daemon on;
pid $PUBSERVER_RUN/nginx.pid;
error_log $PUBSERVER_RUN/nginx-error.log;
events { worker_connections 256; }
http {
    types {
        text/html htm html;
        text/css css;
        application/javascript js;
        image/gif gif;
        image/jpeg jpg jpeg;
        image/png png;
        image/svg+xml svg;
        audio/wav wav;
        audio/mpeg mp3;
        video/mp4 mp4;
        video/quicktime mov;
        video/x-ms-wmv wmv;
        video/x-msvideo avi;
        video/mpeg mpg mpeg;
        video/webm webm;
        application/x-shockwave-flash swf;
    }
    default_type application/octet-stream;
    charset utf-8;
    sendfile on;
    access_log $PUBSERVER_RUN/nginx-access.log;
    client_body_temp_path $PUBSERVER_RUN/nginx/client_body;
    proxy_temp_path $PUBSERVER_RUN/nginx/proxy;
    fastcgi_temp_path $PUBSERVER_RUN/nginx/fastcgi;
    uwsgi_temp_path $PUBSERVER_RUN/nginx/uwsgi;
    scgi_temp_path $PUBSERVER_RUN/nginx/scgi;
    server {
        listen $PUBSERVER_ADDR:80;
        server_name _;
        root $PUBSERVER_WEBROOT;
        autoindex off;
        # Uploads travel as hidden temporary files; one left by a lost connection is private.
        location ~ /\\. {
            deny all;
        }
        # The same folder as a host with its directory index switched on serves it.
        location /listing/ {
            alias $PUBSERVER_WEBROOT/;
            autoindex on;
        }
    }
}
EOF

    local ssh_port http_port
    ssh_port=$(_pubserver_start_on_port sshd 22 "$PUBSERVER_RUN/sshd.log") || return 1
    http_port=$(_pubserver_start_on_port nginx 80 "$PUBSERVER_RUN/nginx-error.log") || return 1

    local fp page_base=http://$PUBSERVER_ADDR/
    fp=$(ssh-keygen -l -E sha256 -f "$PUBSERVER_RUN/host_ed25519.pub" | awk '{print $2}')
    [ "$http_port" = 80 ] || page_base=http://$PUBSERVER_ADDR:$http_port/
    local known=$PUBSERVER_ADDR
    [ "$ssh_port" = 22 ] || known="[$PUBSERVER_ADDR]:$ssh_port"
    printf '%s %s\n' "$known" "$(cut -d' ' -f1,2 "$PUBSERVER_RUN/host_ed25519.pub")" \
        >"$PUBSERVER_RUN/known_hosts"
    # The program carries no account of its own: it reads this one from the runtime folder.
    # A developer's agent keys are left out so that every run logs in the same way.
    (
        umask 077
        printf '%s\n' "# The local publishing server that ./dev started." "host = $PUBSERVER_ADDR" \
            "port = $ssh_port" "user = $PUBSERVER_USER" "password = $PUBSERVER_PASSWORD" \
            "known_hosts = $PUBSERVER_RUN/known_hosts" "use_agent = no" "page_base = $page_base" \
            >"$PUBSERVER_RUN/publish.conf"
    )
    chmod 600 "$PUBSERVER_RUN/publish.conf"
    export PARLIVO_PUBLISH_CONF=$PUBSERVER_RUN/publish.conf
    if [ "$purpose" = test ]; then
        export PARLIVO_SFTP_HOST=$PUBSERVER_ADDR
        export PARLIVO_SFTP_PORT=$ssh_port
        export PARLIVO_SFTP_USER=$PUBSERVER_USER
        export PARLIVO_SFTP_PASSWORD=$PUBSERVER_PASSWORD
        export PARLIVO_SFTP_HOSTKEY="ssh-ed25519 $fp"
        export PARLIVO_PAGE_BASE=$page_base
    fi
    export PARLIVO_WEBROOT=$PUBSERVER_WEBROOT
    # For tests that stop the server under a running upload, and for the benchmark's baseline.
    export PARLIVO_SFTP_SSHD_PIDFILE=$PUBSERVER_RUN/sshd.pid
    export PARLIVO_SFTP_CLIENTKEY=$PUBSERVER_RUN/client_ed25519
    export PARLIVO_SFTP_KNOWNHOSTS=$PUBSERVER_RUN/known_hosts
    # A sourceable copy, so a shell outside ./dev can reach the same server.
    {
        printf 'export %s=%q\n' PARLIVO_SFTP_HOST "$PUBSERVER_ADDR" PARLIVO_SFTP_PORT "$ssh_port" \
            PARLIVO_SFTP_USER "$PUBSERVER_USER" PARLIVO_SFTP_PASSWORD "$PUBSERVER_PASSWORD" \
            PARLIVO_SFTP_HOSTKEY "ssh-ed25519 $fp" PARLIVO_PAGE_BASE "$page_base"
        for v in PARLIVO_PUBLISH_CONF PARLIVO_WEBROOT PARLIVO_SFTP_SSHD_PIDFILE PARLIVO_SFTP_CLIENTKEY PARLIVO_SFTP_KNOWNHOSTS; do
            printf 'export %s=%q\n' "$v" "${!v}"
        done
    } >"$PUBSERVER_RUN/env.sh"
    echo "pubserver: sftp://$PUBSERVER_USER@$PUBSERVER_ADDR:$ssh_port/httpdocs/ served at $page_base" >&2
}

_pubserver_kill_pidfile() {
    local file=$1 pid
    [ -s "$file" ] || return 0
    pid=$(cat "$file")
    [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null || { rm -f "$file"; return 0; }
    # The sessions that sshd forked outlive their parent; end them first.
    pkill -TERM -P "$pid" 2>/dev/null || true
    kill -TERM "$pid" 2>/dev/null || true
    for _ in $(seq 30); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    kill -KILL "$pid" 2>/dev/null || true
    rm -f "$file"
}

pubserver_stop() {
    _pubserver_dirs
    _pubserver_kill_pidfile "$PUBSERVER_RUN/sshd.pid"
    _pubserver_kill_pidfile "$PUBSERVER_RUN/nginx.pid"
    rm -f "$PUBSERVER_RUN/env.sh" "$PUBSERVER_RUN/publish.conf"
    # A test that stopped half-way may leave its small file system mounted in the web folder.
    if [ -d "$PUBSERVER_WEBROOT" ]; then
        awk -v root="$PUBSERVER_WEBROOT/" 'index($2, root) == 1 {print $2}' /proc/mounts | sort -r |
            while read -r m; do umount -l "$m" 2>/dev/null || true; done
    fi
    return 0
}
