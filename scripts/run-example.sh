#!/usr/bin/env bash
# Builds the project and runs the main job on the bundled example scene.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh build
build/bin/kzv-dump examples/demo.KZV
