#!/usr/bin/env bash
# Builds the fuzz targets with clang (build-fuzz/) and runs them one after
# another, SECONDS each (default 1800), one process at a time. Each target
# keeps its corpus in build-fuzz/corpus/TARGET (seeds from SEED_DIR/TARGET
# that it lacks are added before each run); crashes land in
# build-fuzz/artifacts/TARGET, the run's output in build-fuzz/logs/TARGET/.
# Seeds for every target: build/quill-make-fuzz-seeds SEED_DIR.
#
#   scripts/fuzz.sh [SECONDS] [SEED_DIR] [TARGET...]
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-1800}
seeds=${2:-}
shift $(($# > 2 ? 2 : $#))
targets=("$@")
[[ ${#targets[@]} -gt 0 ]] || targets=(fuzz_scan_jpeg fuzz_convert_lossless fuzz_lossless_oracle
                                       fuzz_load_bmp fuzz_load_gif fuzz_load_png fuzz_load_jpeg)

cmake -S . -B build-fuzz -G Ninja -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_C_COMPILER=clang \
      -DCMAKE_BUILD_TYPE=RelWithDebInfo -DQUILL_BUILD_GUI=OFF -DQUILL_BUILD_TESTS=OFF \
      -DQUILL_BUILD_FUZZ=ON >/dev/null
cmake --build build-fuzz -j"${QUILL_JOBS:-2}" --target "${targets[@]}"

root=$PWD
for t in "${targets[@]}"; do
    corpus=$root/build-fuzz/corpus/$t artifacts=$root/build-fuzz/artifacts/$t/ logs=$root/build-fuzz/logs/$t
    mkdir -p "$corpus" "$artifacts" "$logs"
    if [[ -n $seeds && -d $seeds/$t ]]; then cp -n "$seeds/$t"/* "$corpus"/; fi
    echo "== $t for ${seconds}s"
    # A loader may hold a 384 MiB picture plus libjpeg's own 1 GiB.
    (cd "$logs" && "$root/build-fuzz/$t" -jobs=1 -workers=1 -max_total_time="$seconds" \
        -rss_limit_mb=2560 -timeout=30 -print_final_stats=1 -artifact_prefix="$artifacts" \
        "$corpus" >/dev/null 2>&1) || true
    grep -E '^(#[0-9]+.*DONE|stat::number_of_executed_units|stat::peak_rss_mb)' "$logs/fuzz-0.log" || true
    grep -E 'ERROR|SUMMARY' "$logs/fuzz-0.log" || echo "   no crash"
done
