#!/usr/bin/env bash
# Installs what is missing, builds and runs the whole test suite through CTest.
#   scripts/test.sh             normal build in build/
#   scripts/test.sh --sanitize  ASan + UBSan build in build-asan/
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
if [ "${1:-}" = "--sanitize" ]; then
  export QUILL_BUILD_DIR=build-asan
  export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
  export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
  scripts/build.sh -DQUILL_SANITIZE=ON -DCMAKE_BUILD_TYPE=Debug
else
  export QUILL_BUILD_DIR=build
  scripts/build.sh
fi
export QT_QPA_PLATFORM=offscreen
cd "$QUILL_BUILD_DIR"
ctest --output-on-failure -j2
