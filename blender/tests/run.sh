#!/usr/bin/env bash
# The add-on in a real Blender: installs it into a scratch Blender configuration, imports the demo
# with it and checks the result (import_in_blender.py). Exits 77 (skipped) where Blender or its
# numpy is missing; scripts/install-blender.sh installs both.
# Usage: blender/tests/run.sh KZV_IMPORT DEMO.KZV [WORK_DIR]
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)
kzv_import=$(realpath "$1")
demo=$(realpath "$2")
work=${3:-$(mktemp -d)}

blender=${BLENDER:-blender}
if ! command -v "$blender" >/dev/null; then
    echo "blender-test: skipped: $blender is not installed (scripts/install-blender.sh installs it)"
    exit 77
fi
rm -rf "$work" && mkdir -p "$work"
# A configuration of its own: the user's preferences and add-ons stay as they are.
export BLENDER_USER_CONFIG=$work/config BLENDER_USER_SCRIPTS=$work/scripts KZV_IMPORT=$kzv_import
if ! "$blender" -b --factory-startup --python-exit-code 1 --python-expr "import numpy" >"$work/numpy.log" 2>&1; then
    echo "blender-test: skipped: Blender's Python has no numpy, which its glTF importer needs"
    exit 77
fi
"$here/../install.sh" --blender "$blender" --addons-dir "$BLENDER_USER_SCRIPTS/addons"
"$blender" -b --factory-startup --python-exit-code 1 --python "$here/import_in_blender.py" -- "$demo" "$work" \
    >"$work/blender.log" 2>&1 || status=$?
grep -E "^(ok|FAIL|     )|failures$|Error|Traceback" "$work/blender.log" || true
if [ "${status:-0}" != 0 ]; then
    echo "blender-test: failed; Blender's output is in $work/blender.log"
    exit 1
fi
