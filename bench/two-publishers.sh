#!/usr/bin/env bash
# Two copies of the program (two application folders on one drive, so one drive serial)
# publish at the same moment, round after round, against a private publishing server.
# Counts the rounds in which each got its own whole page, failures, and wrong content.
#   PARLIVO_BUILD_DIR=build bench/two-publishers.sh [ROUNDS]   (25 by default)
set -euo pipefail
ROOT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
ROUNDS=${1:-25}
export PARLIVO_BUILD_DIR=${PARLIVO_BUILD_DIR:-$ROOT/build}
export PARLIVO_RUNTIME=${PARLIVO_RUNTIME:-$PARLIVO_BUILD_DIR/runtime}
mkdir -p "$PARLIVO_RUNTIME"
# shellcheck source=/dev/null
source "$ROOT/scripts/services/20-pubserver.sh"
pubserver_start
work=$(mktemp -d)
trap 'pubserver_stop; rm -rf "$work"' EXIT
for who in anna bobby; do
    mkdir -p "$work/$who"
    cp -a "$PARLIVO_BUILD_DIR/app/." "$work/$who/"
done
pics=("$ROOT/assets/Images/Happy_Cat.jpg" "$ROOT/assets/Images/Sunset_Hills.jpg")
whole=0 failed=0 wrong=0 renamed=0
start=$(date +%s.%N)
for round in $(seq "$ROUNDS"); do
    i=0
    for who in anna bobby; do
        "$work/$who/parlivo" publish --picture "${pics[$i]}" --text "Message of $who, round $round" \
            >"$work/$who.out" 2>"$work/$who.err" &
        i=$((i + 1))
    done
    codes=()
    for job in $(jobs -p); do
        if wait "$job"; then codes+=(0); else codes+=(1); fi
    done
    i=0
    for who in anna bobby; do
        if [ "${codes[$i]}" != 0 ]; then
            failed=$((failed + 1))
            echo "round $round: $who failed: $(cat "$work/$who.err")" >&2
        else
            url=$(tr -d '\r' <"$work/$who.out" | tail -n 1 | tr -d ' ')
            base=${url%.htm}
            case $url in *_[0-9][0-9]_[0-9][0-9]_[0-9][0-9]_*.htm) renamed=$((renamed + 1)) ;; esac
            curl -fsS -o "$work/page" "$url" || true
            curl -fsS -o "$work/picture" "$base.gif" || true
            if grep -q "Message of $who, round $round" "$work/page" && cmp -s "$work/picture" "${pics[$i]}"; then
                whole=$((whole + 1))
            else
                wrong=$((wrong + 1))
                echo "round $round: $who exited 0 but $url is not its message" >&2
            fi
        fi
        i=$((i + 1))
    done
done
end=$(date +%s.%N)
left=$(find "$PARLIVO_WEBROOT" -maxdepth 1 -name '.*' -type f | wc -l)
printf 'rounds %d, publications %d: whole and own %d, failed %d, exit 0 with another message %d\n' \
    "$ROUNDS" $((2 * ROUNDS)) "$whole" "$failed" "$wrong"
printf 'moved to a fresh name %d; temporary files left in the web folder %d; %.2f s per round\n' \
    "$renamed" "$left" "$(echo "($end - $start) / $ROUNDS" | bc -l)"
