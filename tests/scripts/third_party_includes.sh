#!/usr/bin/env bash
# Only src/platform/ may include a third-party header: everything else reaches the outside
# world through the platform interfaces, so tests can put fakes in their place.
set -euo pipefail
cd "${PARLIVO_SOURCE_DIR:?}"
pattern='^\s*#\s*include\s*[<"](lame/|espeak-ng/|libssh2|sndfile|pulse/|libav|libsw|x264|wayland-)'
offenders=$(grep -rEn "$pattern" src --include='*.cpp' --include='*.h' | grep -v '^src/platform/' || true)
if [ -n "$offenders" ]; then
    echo "third-party headers outside src/platform/:"
    echo "$offenders"
    exit 1
fi
# The check must see the adapters' own includes, or the pattern has gone stale.
grep -rEq "$pattern" src/platform || { echo "pattern matches nothing under src/platform/"; exit 1; }
echo "1 passed, 0 failed"
