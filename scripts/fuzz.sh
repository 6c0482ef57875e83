#!/usr/bin/env bash
# Builds every libFuzzer target with clang 14 and runs each for SECONDS seconds (default 60).
# Convention: fuzz/<name>/ builds the target fuzz-<name> and, optionally, fuzz-<name>-seeds DIR, which
# writes a seed corpus. The libraries are instrumented for coverage and built with ASan + UBSan.
# Exits non-zero on a build failure or any finding (crash, leak, hang, allocation beyond the limit).
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
build=build-fuzz

CXX=clang++-14 cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DKZV_BUILD_FUZZ=ON -DKZV_BUILD_TESTS=OFF -DKZV_BUILD_BENCH=OFF -DKZV_BUILD_HOST=OFF \
    -DKZV_SANITIZE=ON -DCMAKE_CXX_FLAGS=-fsanitize=fuzzer-no-link >/dev/null

known_targets=$(cmake --build "$build" --target help | sed -n 's/^\([^: ]*\): .*/\1/p')
has_target() { grep -qx "$1" <<<"$known_targets"; }

targets=()
to_build=()
for dir in fuzz/*/; do
    name=$(basename "$dir")
    [ -f "$dir/CMakeLists.txt" ] || continue
    target="fuzz-$name"
    has_target "$target" || { echo "fuzz: $dir does not build $target" >&2; exit 1; }
    targets+=("$target")
    to_build+=("$target")
    if has_target "$target-seeds"; then to_build+=("$target-seeds"); fi
done
((${#targets[@]})) || { echo "fuzz: no fuzz targets" >&2; exit 1; }
if ! cmake --build "$build" --target "${to_build[@]}" -j2 >"$build/build.log" 2>&1; then
    cat "$build/build.log" >&2
    exit 1
fi

status=0
for target in "${targets[@]}"; do
    corpus="$build/corpus/$target"
    artifacts="$build/artifacts/$target"
    mkdir -p "$corpus" "$artifacts"
    if has_target "$target-seeds"; then "$build/bin/$target-seeds" "$corpus"; fi
    echo "fuzz: running $target for ${seconds}s" >&2
    if ! "$build/bin/$target" -max_total_time="$seconds" -rss_limit_mb=512 -malloc_limit_mb=64 -timeout=10 \
        -max_len=65536 -print_final_stats=1 -artifact_prefix="$artifacts/" "$corpus" 2>"$build/$target.log"; then
        tail -n 60 "$build/$target.log" >&2
        echo "fuzz: $target found a problem; inputs are in $artifacts" >&2
        status=1
    else
        grep -E '^(stat::number_of_executed_units|stat::peak_rss_mb)' "$build/$target.log" >&2 || true
    fi
done
exit "$status"
