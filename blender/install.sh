#!/usr/bin/env bash
# Installs the KZV import add-on into a Blender's add-on folder and, with --enable, enables it in
# that Blender's preferences.
# Usage: blender/install.sh [--blender PROGRAM] [--addons-dir DIR] [--enable] [--kzv-import PATH]
#   --blender PROGRAM   the Blender to install for (default: blender on PATH)
#   --addons-dir DIR    install into DIR instead of the Blender's user add-on folder
#   --enable            enable the add-on and save the Blender's preferences
#   --kzv-import PATH   with --enable: store PATH as the add-on's kzv-import program
set -euo pipefail
here=$(cd "$(dirname "$0")" && pwd)

blender=blender addons_dir="" enable=0 program=""
while (($#)); do
    case $1 in
        --blender) blender=$2; shift 2 ;;
        --addons-dir) addons_dir=$2; shift 2 ;;
        --enable) enable=1; shift ;;
        --kzv-import) program=$(realpath "$2"); shift 2 ;;
        -h|--help) sed -n '2,9s/^# \{0,1\}//p' "$0"; exit 0 ;;
        *) echo "install.sh: unknown option $1 (see --help)" >&2; exit 2 ;;
    esac
done

run_blender() {
    "$blender" -b --factory-startup --python-exit-code 1 --python-expr "$1" 2>&1
}

if [ -z "$addons_dir" ]; then
    command -v "$blender" >/dev/null || { echo "install.sh: $blender not found (use --blender)" >&2; exit 1; }
    addons_dir=$(run_blender "import bpy; print('ADDONS=' + bpy.utils.user_resource('SCRIPTS', path='addons', create=True))" |
                 sed -n 's/^ADDONS=//p')
    [ -n "$addons_dir" ] || { echo "install.sh: $blender did not name its add-on folder" >&2; exit 1; }
fi
mkdir -p "$addons_dir"
rm -rf "$addons_dir/io_import_kzv"
cp -r "$here/io_import_kzv" "$addons_dir/"
find "$addons_dir/io_import_kzv" -name __pycache__ -prune -exec rm -rf {} +
echo "installed the add-on into $addons_dir/io_import_kzv"

if ((enable)); then
    # Without --factory-startup, so that the user's preferences are the ones changed and saved.
    KZV_INSTALL_PROGRAM=$program "$blender" -b --python-exit-code 1 --python-expr "
import addon_utils, bpy, os
if not addon_utils.enable('io_import_kzv', default_set=True):
    raise SystemExit('the add-on could not be enabled')
if os.environ['KZV_INSTALL_PROGRAM']:
    bpy.context.preferences.addons['io_import_kzv'].preferences.program = os.environ['KZV_INSTALL_PROGRAM']
bpy.ops.wm.save_userpref()
print('enabled io_import_kzv')" >"${TMPDIR:-/tmp}/kzv-addon-enable.log" 2>&1 ||
        { cat "${TMPDIR:-/tmp}/kzv-addon-enable.log" >&2; echo "install.sh: enabling failed" >&2; exit 1; }
    echo "enabled the add-on in $blender's preferences"
fi
