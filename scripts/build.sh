#!/usr/bin/env bash
# Configures and builds into build/ (or $QUILL_BUILD_DIR); extra arguments go to cmake.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${QUILL_BUILD_DIR:-build}
cmake -S . -B "$dir" -G Ninja "$@" >/dev/null
cmake --build "$dir" -j"${QUILL_JOBS:-2}"
