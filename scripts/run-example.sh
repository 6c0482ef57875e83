#!/usr/bin/env bash
# Builds the project, imports the bundled example scene into out/demo.glb and prints its summary.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build
mkdir -p out
build/bin/kzv-import examples/demo.KZV -o out/demo.glb --summary
