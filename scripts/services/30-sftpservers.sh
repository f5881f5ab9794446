# Further publishing servers of the kinds people host on, each from Debian's own packages at its
# shipped settings, each serving its upload folder over HTTP: OpenSSH with gesftpserver, ProFTPD
# with mod_sftp, dropbear with OpenSSH's sftp-server, and MySecureShell (once with its connection
# limits raised, once as shipped). Sourced by ./dev after the publishing server (20-pubserver.sh),
# whose address, password and helpers it shares. For each server it writes <name>.conf (publishing
# settings) and <name>.webroot (the served folder) into $PARLIVO_SFTP_SERVERS.
sftpservers_for="test"

SFTPSERVERS_USER=${SFTPSERVERS_USER:-parlivosh}      # a login shell: the subsystems are started through it
SFTPSERVERS_MSS_USER=${SFTPSERVERS_MSS_USER:-parlivomss}   # MySecureShell is the account's shell

_sftpservers_dirs() {
    _pubserver_dirs
    SFTPSERVERS_RUN=$PUBSERVER_RUN/servers
    SFTPSERVERS_ROOT=$PUBSERVER_JAIL-servers
}

_sftpservers_user() {
    local user=$1 shell=$2
    if ! id "$user" >/dev/null 2>&1; then
        useradd --system --no-create-home --home-dir / --shell "$shell" "$user" 2>/dev/null ||
            id "$user" >/dev/null 2>&1 || { echo "sftpservers: cannot create user $user" >&2; return 1; }
    fi
    usermod --shell "$shell" "$user" >/dev/null 2>&1 || true
    echo "$user:$PUBSERVER_PASSWORD" | chpasswd
}

# A fresh web folder <root>/<name>/httpdocs owned by `user`.
_sftpservers_webroot() {
    local name=$1 user=$2
    rm -rf "${SFTPSERVERS_ROOT:?}/$name"
    mkdir -p "$SFTPSERVERS_ROOT/$name/httpdocs"
    chmod 0755 "$SFTPSERVERS_ROOT" "$SFTPSERVERS_ROOT/$name"
    chown "$user:" "$SFTPSERVERS_ROOT/$name/httpdocs"
    chmod 0755 "$SFTPSERVERS_ROOT/$name/httpdocs"
}

# Writes the settings a test hands the program for server `name`.
_sftpservers_describe() {
    local name=$1 port=$2 user=$3 keyline=$4 folder=$5 http_port=$6 fp
    fp=$(printf '%s\n' "$keyline" | ssh-keygen -l -E sha256 -f - | awk '{print $2}')
    (
        umask 077
        printf '%s\n' "# $name, started by ./dev test" "host = $PUBSERVER_ADDR" "port = $port" "user = $user" \
            "password = $PUBSERVER_PASSWORD" "host_key = ${keyline%% *} $fp" "use_agent = no" \
            "remote_folder = $folder" "page_base = http://$PUBSERVER_ADDR:$http_port/" >"$SFTPSERVERS_RUN/$name.conf"
    )
    printf '%s\n' "$SFTPSERVERS_ROOT/$name/httpdocs" >"$SFTPSERVERS_RUN/$name.webroot"
}

_sftpservers_wait_pid() {
    for _ in $(seq 50); do [ -s "$1" ] && return 0; sleep 0.1; done
    return 1
}

_sftpservers_sshd_config() {
    local name=$1 port=$2 user=$3 subsystem=$4
    cat >"$SFTPSERVERS_RUN/$name-sshd_config" <<EOF
Port $port
ListenAddress $PUBSERVER_ADDR:$port
HostKey $SFTPSERVERS_RUN/host_ed25519
PidFile $SFTPSERVERS_RUN/$name.pid
UsePAM no
PasswordAuthentication yes
KbdInteractiveAuthentication no
AllowUsers $user
Subsystem sftp $subsystem
EOF
}

_sftpservers_sshd() {
    local name=$1
    _sftpservers_sshd_config "$@"
    /usr/sbin/sshd -f "$SFTPSERVERS_RUN/$name-sshd_config" -E "$SFTPSERVERS_RUN/$name.log" &&
        _sftpservers_wait_pid "$SFTPSERVERS_RUN/$name.pid"
}

# MySecureShell reads its settings from a fixed path and keeps its table of clients in SysV
# shared memory that outlives it: its sshd runs in mount and IPC namespaces of its own, with
# its own settings mounted over the fixed path.
_sftpservers_mysecureshell() {
    local name=$1 port=$2 limits=$3
    sed -e "s|^\(\s*Home\s\+\)\S\+|\1$SFTPSERVERS_ROOT/$name|" /etc/ssh/sftp_config >"$SFTPSERVERS_RUN/$name-sftp_config"
    if [ "$limits" = raised ]; then
        sed -i -e 's/^\(\s*LimitConnectionByUser\s\+\)[0-9]\+/\110/' -e 's/^\(\s*LimitConnectionByIP\s\+\)[0-9]\+/\110/' \
            -e 's/^\(\s*Download\s\+\)\S\+/\10/' -e 's/^\(\s*GlobalDownload\s\+\)\S\+/\10/' "$SFTPSERVERS_RUN/$name-sftp_config"
    fi
    _sftpservers_sshd_config "$name" "$port" "$SFTPSERVERS_MSS_USER" /usr/lib/openssh/sftp-server
    unshare --mount --ipc -- sh -c "mount --bind '$SFTPSERVERS_RUN/$name-sftp_config' /etc/ssh/sftp_config &&
        exec /usr/sbin/sshd -f '$SFTPSERVERS_RUN/$name-sshd_config' -E '$SFTPSERVERS_RUN/$name.log'" &&
        _sftpservers_wait_pid "$SFTPSERVERS_RUN/$name.pid"
}

_sftpservers_proftpd() {
    local name=$1 port=$2
    cat >"$SFTPSERVERS_RUN/$name-proftpd.cfg" <<EOF
ServerType standalone
ServerName "parlivo test"
DefaultServer on
DefaultAddress $PUBSERVER_ADDR
SocketBindTight on
UseIPv6 off
Port $port
User nobody
Group nogroup
PidFile $SFTPSERVERS_RUN/$name.pid
ScoreboardFile $SFTPSERVERS_RUN/$name.scoreboard
DelayTable none
WtmpLog off
UseReverseDNS off
SystemLog $SFTPSERVERS_RUN/$name.log
RequireValidShell off
AuthOrder mod_auth_unix.c
DefaultRoot $SFTPSERVERS_ROOT/$name
Umask 022
ModulePath /usr/lib/proftpd
LoadModule mod_sftp.c
SFTPEngine on
SFTPLog $SFTPSERVERS_RUN/$name-sftp.log
SFTPHostKey $SFTPSERVERS_RUN/proftpd_ecdsa
SFTPAuthMethods password
EOF
    /usr/sbin/proftpd -c "$SFTPSERVERS_RUN/$name-proftpd.cfg" >>"$SFTPSERVERS_RUN/$name.log" 2>&1 &&
        _sftpservers_wait_pid "$SFTPSERVERS_RUN/$name.pid"
}

_sftpservers_dropbear() {
    local name=$1 port=$2
    /usr/sbin/dropbear -r "$SFTPSERVERS_RUN/dropbear_ed25519" -p "$PUBSERVER_ADDR:$port" \
        -P "$SFTPSERVERS_RUN/$name.pid" -E </dev/null >>"$SFTPSERVERS_RUN/$name.log" 2>&1 &&
        _sftpservers_wait_pid "$SFTPSERVERS_RUN/$name.pid"
}

sftpservers_start() {
    _sftpservers_dirs
    sftpservers_stop >/dev/null 2>&1 || true
    mkdir -p "$SFTPSERVERS_RUN/nginx"
    _sftpservers_user "$SFTPSERVERS_USER" /bin/sh || return 1
    _sftpservers_user "$SFTPSERVERS_MSS_USER" /usr/bin/mysecureshell || return 1
    mkdir -p "$SFTPSERVERS_ROOT"
    chown root:root "$SFTPSERVERS_ROOT"

    [ -f "$SFTPSERVERS_RUN/host_ed25519" ] || ssh-keygen -q -t ed25519 -N '' -C parlivo-dev -f "$SFTPSERVERS_RUN/host_ed25519"
    [ -f "$SFTPSERVERS_RUN/proftpd_ecdsa" ] || ssh-keygen -q -m PEM -t ecdsa -b 256 -N '' -C parlivo-dev -f "$SFTPSERVERS_RUN/proftpd_ecdsa"
    [ -f "$SFTPSERVERS_RUN/dropbear_ed25519" ] || dropbearkey -t ed25519 -f "$SFTPSERVERS_RUN/dropbear_ed25519" >/dev/null 2>&1
    chmod 0600 "$SFTPSERVERS_RUN"/*_ed25519 "$SFTPSERVERS_RUN/proftpd_ecdsa"
    local sshd_key proftpd_key dropbear_key
    sshd_key=$(cut -d' ' -f1,2 "$SFTPSERVERS_RUN/host_ed25519.pub")
    proftpd_key=$(cut -d' ' -f1,2 "$SFTPSERVERS_RUN/proftpd_ecdsa.pub")
    dropbear_key=$(dropbearkey -y -f "$SFTPSERVERS_RUN/dropbear_ed25519" | grep '^ssh-' | cut -d' ' -f1,2)

    local names=(gesftp proftpd dropbear mysecureshell mysecureshell-limited) name port
    local nginx_servers=""
    for name in "${names[@]}"; do
        case $name in
            mysecureshell*) _sftpservers_webroot "$name" "$SFTPSERVERS_MSS_USER" ;;
            *) _sftpservers_webroot "$name" "$SFTPSERVERS_USER" ;;
        esac
        local http_port
        http_port=$(_pubserver_free_port) || return 1
        nginx_servers+="    server { listen $PUBSERVER_ADDR:$http_port; root $SFTPSERVERS_ROOT/$name/httpdocs; location ~ /\\. { deny all; } }
"
        port=$(_pubserver_free_port) || return 1
        case $name in
            gesftp)
                _sftpservers_sshd "$name" "$port" "$SFTPSERVERS_USER" /usr/libexec/gesftpserver &&
                    _sftpservers_describe "$name" "$port" "$SFTPSERVERS_USER" "$sshd_key" "$SFTPSERVERS_ROOT/$name/httpdocs/" "$http_port" ;;
            proftpd)
                _sftpservers_proftpd "$name" "$port" &&
                    _sftpservers_describe "$name" "$port" "$SFTPSERVERS_USER" "$proftpd_key" /httpdocs/ "$http_port" ;;
            dropbear)
                _sftpservers_dropbear "$name" "$port" &&
                    _sftpservers_describe "$name" "$port" "$SFTPSERVERS_USER" "$dropbear_key" "$SFTPSERVERS_ROOT/$name/httpdocs/" "$http_port" ;;
            mysecureshell)
                _sftpservers_mysecureshell "$name" "$port" raised &&
                    _sftpservers_describe "$name" "$port" "$SFTPSERVERS_MSS_USER" "$sshd_key" /httpdocs/ "$http_port" ;;
            mysecureshell-limited)
                _sftpservers_mysecureshell "$name" "$port" shipped &&
                    _sftpservers_describe "$name" "$port" "$SFTPSERVERS_MSS_USER" "$sshd_key" /httpdocs/ "$http_port" ;;
        esac || { echo "sftpservers: $name did not start (see $SFTPSERVERS_RUN/$name.log)" >&2; return 1; }
    done

    local worker=www-data
    id "$worker" >/dev/null 2>&1 || worker=nobody
    cat >"$SFTPSERVERS_RUN/nginx.conf" <<EOF
user $worker;
worker_processes 1;
daemon on;
pid $SFTPSERVERS_RUN/nginx.pid;
error_log $SFTPSERVERS_RUN/nginx-error.log;
events { worker_connections 256; }
http {
    types { text/html htm html; image/gif gif; image/jpeg jpg jpeg; audio/mpeg mp3; audio/wav wav; video/mp4 mp4; }
    default_type application/octet-stream;
    access_log off;
    client_body_temp_path $SFTPSERVERS_RUN/nginx/client_body;
    proxy_temp_path $SFTPSERVERS_RUN/nginx/proxy;
    fastcgi_temp_path $SFTPSERVERS_RUN/nginx/fastcgi;
    uwsgi_temp_path $SFTPSERVERS_RUN/nginx/uwsgi;
    scgi_temp_path $SFTPSERVERS_RUN/nginx/scgi;
$nginx_servers}
EOF
    /usr/sbin/nginx -e "$SFTPSERVERS_RUN/nginx-error.log" -p "$SFTPSERVERS_RUN/nginx" -c "$SFTPSERVERS_RUN/nginx.conf" \
        2>>"$SFTPSERVERS_RUN/nginx-error.log" && _sftpservers_wait_pid "$SFTPSERVERS_RUN/nginx.pid" ||
        { echo "sftpservers: nginx did not start (see $SFTPSERVERS_RUN/nginx-error.log)" >&2; return 1; }
    export PARLIVO_SFTP_SERVERS=$SFTPSERVERS_RUN
    echo "sftpservers: ${names[*]} (settings in $SFTPSERVERS_RUN)" >&2
}

sftpservers_stop() {
    _sftpservers_dirs
    local f
    for f in "$SFTPSERVERS_RUN"/*.pid; do
        [ -e "$f" ] && _pubserver_kill_pidfile "$f"
    done
    rm -f "$SFTPSERVERS_RUN"/*.conf "$SFTPSERVERS_RUN"/*.webroot
    return 0
}
