#!/usr/bin/env bash
# Installs Debian's Blender and the numpy its glTF importer needs (only what is missing), for the
# add-on's test in a real Blender. A big download: only the Blender test needs it.
set -euo pipefail
missing=()
for p in blender python3-numpy; do
    dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "install ok installed" || missing+=("$p")
done
((${#missing[@]})) || exit 0
echo "install-blender: installing ${missing[*]}" >&2
sudo_cmd=()
[ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo)
"${sudo_cmd[@]}" apt-get update -qq
DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
