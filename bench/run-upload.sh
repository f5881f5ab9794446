#!/usr/bin/env bash
# Runs bench_upload against a private publishing server started for the run.
#   PARLIVO_BUILD_DIR=build bench/run-upload.sh [--rounds N]
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
export PARLIVO_BUILD_DIR=${PARLIVO_BUILD_DIR:-$ROOT/build}
export PARLIVO_RUNTIME=${PARLIVO_RUNTIME:-$PARLIVO_BUILD_DIR/runtime}
mkdir -p "$PARLIVO_RUNTIME"
# shellcheck source=/dev/null
source "$ROOT/scripts/services/20-pubserver.sh"
pubserver_start
trap pubserver_stop EXIT
"$PARLIVO_BUILD_DIR/bench/bench_upload" "$@"
