#!/usr/bin/env bash
# Folders depend only downward: the window (src/app) builds on everything else, so nothing
# outside it includes from it; only src/main.cpp, which picks the window, may.
set -euo pipefail
cd "${PARLIVO_SOURCE_DIR:?}"
pattern='^\s*#\s*include\s*"app/'
offenders=$(grep -rEn "$pattern" src --include='*.cpp' --include='*.h' | grep -v -e '^src/app/' -e '^src/main\.cpp:' || true)
if [ -n "$offenders" ]; then
    echo "files outside src/app/ that include from it:"
    echo "$offenders"
    exit 1
fi
# The check must see the entry's own includes of the window, or the pattern has gone stale.
grep -Eq "$pattern" src/main.cpp || { echo "pattern matches nothing in src/main.cpp"; exit 1; }
echo "1 passed, 0 failed"
