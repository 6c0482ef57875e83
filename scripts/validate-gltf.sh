#!/usr/bin/env bash
# Validates glTF files with the Khronos glTF validator (npm package gltf-validator), installing it
# on first use into tools/gltf-validate/node_modules (ignored by git).
# Usage: scripts/validate-gltf.sh [--skip-if-unavailable] FILE...
# Exit status: 0 no errors, 1 errors found, 2 a file could not be validated or bad usage,
# 77 (with --skip-if-unavailable) Node.js or the validator cannot be installed here.
set -euo pipefail

tool_dir="$(cd "$(dirname "$0")/.." && pwd)/tools/gltf-validate"
validator_version=$(sed -n 's/.*"gltf-validator": *"\([^"]*\)".*/\1/p' "$tool_dir/package.json")

skip_if_unavailable=0
if [ "${1:-}" = "--skip-if-unavailable" ]; then
    skip_if_unavailable=1
    shift
fi
if [ $# -eq 0 ]; then
    echo "usage: $0 [--skip-if-unavailable] FILE..." >&2
    exit 2
fi

unavailable() {
    echo "validate-gltf: $*" >&2
    if [ "$skip_if_unavailable" -eq 1 ]; then exit 77; fi
    exit 2
}

apt_install() {
    command -v apt-get >/dev/null || return 1
    local sudo_cmd=()
    [ "$(id -u)" -eq 0 ] || sudo_cmd=(sudo -n)
    echo "validate-gltf: installing $* with apt-get" >&2
    "${sudo_cmd[@]}" apt-get update -qq >/dev/null &&
        DEBIAN_FRONTEND=noninteractive "${sudo_cmd[@]}" apt-get install -y -qq "$@" >/dev/null
}

# npm as a command; or the copy that Node.js distributions bundle without putting it on PATH;
# or Debian's npm package, which works with Debian's nodejs.
npm_command() {
    if command -v npm >/dev/null; then
        echo npm
        return
    fi
    local bundled
    bundled="$(dirname "$(readlink -f "$(command -v node)")")/../lib/node_modules/npm/bin/npm-cli.js"
    if [ -f "$bundled" ]; then
        echo "node $bundled"
        return
    fi
    apt_install npm >&2 && command -v npm >/dev/null && echo npm
}

installed_version() {
    local manifest="$tool_dir/node_modules/gltf-validator/package.json"
    [ -f "$manifest" ] && sed -n 's/.*"version": *"\([^"]*\)".*/\1/p' "$manifest" | head -n1
}

if ! command -v node >/dev/null; then
    apt_install nodejs npm || unavailable "Node.js is not installed and cannot be installed"
fi
if [ "$(installed_version || true)" != "$validator_version" ]; then
    npm=$(npm_command) || unavailable "npm is not available and cannot be installed"
    echo "validate-gltf: installing gltf-validator $validator_version" >&2
    (cd "$tool_dir" && $npm install --no-package-lock --no-audit --no-fund --loglevel=error >&2) ||
        unavailable "cannot install gltf-validator"
fi

exec node "$tool_dir/validate.mjs" "$@"
