#!/usr/bin/env bash
# Makes a screenshot of the main window listing a folder of generated sample
# JPEGs, offscreen (no display needed).
#   scripts/screenshot.sh [OUT.png] [FOLDER]
# Defaults: build/screenshot.png and build/samples (made when missing).
set -euo pipefail
cd "$(dirname "$0")/.."
out=${1:-build/screenshot.png}
samples=${2:-$PWD/build/samples}
if [ ! -x build/quill-screenshot ] || [ ! -x build/quill-make-samples ]; then
  scripts/build.sh
fi
if [ ! -d "$samples" ]; then
  build/quill-make-samples "$samples" 24
fi
QT_QPA_PLATFORM=offscreen build/quill-screenshot "$out" "$samples"
echo "$out"
