#!/usr/bin/env bash
# Imports the bundled demo and a few dozen seeded random scenes with kzv-import and checks every
# .glb written with the Khronos glTF validator: any validator error fails the script.
# Random scenes whose import fails by design (a colour above 1, for instance) write nothing and
# are skipped, but at least half of them must import, and kzv-import must never crash.
# Usage: scripts/validate-examples.sh [BUILD_DIR]      (default: build; set up and built if needed)
# SCENES (default 40) is the number of random scenes, SEED (default 1) the first seed.
set -euo pipefail
cd "$(dirname "$0")/.."

build_dir=${1:-build}
scenes=${SCENES:-40}
first_seed=${SEED:-1}
started=$SECONDS

if [ -f "$build_dir/CMakeCache.txt" ]; then
    cmake --build "$build_dir" --target kzv-import make-random-scenes Imp_KZV
else
    scripts/setup.sh "$build_dir"
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

"$build_dir/bin/kzv-import" -q examples/demo.KZV -o "$work/demo.glb"
outputs=("$work/demo.glb")

"$build_dir/bin/make-random-scenes" "$work" "$scenes" "$first_seed"
imported=0
for ((seed = first_seed; seed < first_seed + scenes; seed++)); do
    scene="$work/random-$seed.KZV"
    status=0
    "$build_dir/bin/kzv-import" -q "$scene" 2>"$work/errors.txt" || status=$?
    case $status in
        0)
            imported=$((imported + 1))
            outputs+=("${scene%.KZV}.glb")
            ;;
        1) echo "validate-examples: seed $seed does not import: $(head -n1 "$work/errors.txt")" ;;
        *)
            echo "validate-examples: kzv-import ended with status $status on seed $seed:" >&2
            cat "$work/errors.txt" >&2
            exit 1
            ;;
    esac
done
echo "validate-examples: $imported of $scenes random scenes imported"
if ((imported * 2 < scenes)); then
    echo "validate-examples: too few random scenes import for the check to mean much" >&2
    exit 1
fi

status=0
scripts/validate-gltf.sh "${outputs[@]}" || status=$?
echo "validate-examples: ${#outputs[@]} files validated in $((SECONDS - started)) s"
exit $status
