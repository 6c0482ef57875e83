#!/usr/bin/env bash
# Runs check.mjs on each file, installing three.js on first use into node_modules (ignored by git).
# Exits 77 (skipped) where Node.js or three.js cannot be had.
# Usage: tools/three-check/run.sh FILE.glb...
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
command -v node >/dev/null || { echo "three-check: skipped: no Node.js"; exit 77; }
if [ ! -f "$here/node_modules/three/package.json" ]; then
    command -v npm >/dev/null || { echo "three-check: skipped: no npm to install three.js"; exit 77; }
    (cd "$here" && npm install --no-audit --no-fund --silent >/dev/null 2>&1) ||
        { echo "three-check: skipped: three.js cannot be installed here"; exit 77; }
fi
status=0
for file in "$@"; do
    echo "$file:"
    node "$here/check.mjs" "$file" || status=1
done
exit $status
