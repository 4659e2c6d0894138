#!/usr/bin/env bash
# Installs what is missing, builds, makes a sample folder of generated JPEGs
# and starts the program on it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
scripts/build.sh
samples=${QUILL_SAMPLES:-$PWD/build/samples}
build/quill-make-samples "$samples" 24
if [ -x build/quillmark ]; then
  if [ -z "${DISPLAY:-}" ] && [ -z "${WAYLAND_DISPLAY:-}" ] && [ -z "${QT_QPA_PLATFORM:-}" ]; then
    exec xvfb-run -a build/quillmark "$samples"
  fi
  exec build/quillmark "$samples"
fi
exec build/quillmark-cli scan "$samples"
