#!/usr/bin/env bash
# The executable must carry nobody's account: the local test server's password (and any other
# secret) reaches it only through a settings file or the environment at run time.
set -euo pipefail
app=${PARLIVO_APP_DIR:?}/parlivo
password=$(sed -n 's/^PUBSERVER_PASSWORD=\${PUBSERVER_PASSWORD:-\([^}]*\)}$/\1/p' "${PARLIVO_SOURCE_DIR:?}/scripts/services/20-pubserver.sh")
[ -n "$password" ] || { echo "could not find the test server's password in its script"; exit 1; }
if strings "$app" | grep -qF "$password"; then
    echo "the test server's password is compiled into $app"
    exit 1
fi
